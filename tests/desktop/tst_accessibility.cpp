// What a screen reader finds in the main window: every owner-drawn control and
// list has a name, the tabs their texts, and the hyperlink labels are links
// that can be pressed.
#include "controls/ColorTabCtrl.h"
#include "controls/HyperlinkLabel.h"
#include "tests/shell/ShellHarness.h"

#include <QAccessible>
#include <QAccessibleActionInterface>

class TestAccessibility : public QObject {
    Q_OBJECT

private:
    static QString Name(QObject* object)
    {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
        return accessible ? accessible->text(QAccessible::Name) : QString();
    }

private slots:
    void controlsAreNamed_data()
    {
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<QString>("name");
        const char* const controls[][3] = {
            {"status line", "1001", "Logged-on user"},
            {"buddy tree", "1007", "Buddy List"},
            {"call log list", "1008", "Call Logs"},
            {"number entry", "1056", "Phone number"},
            {"call status", "1030", "Call status"},
            {"speaker volume", "2007", "Speaker volume"},
            {"microphone volume", "2005", "Microphone volume"},
            {"dial pad key 1", "1013", "1"},
            {"add-buddy link", "104", "Click here to add a buddy"},
        };
        for (const auto& [row, objectName, name] : controls)
            QTest::newRow(row) << QString::fromLatin1(objectName) << QString::fromLatin1(name);
    }
    void controlsAreNamed()
    {
        QFETCH(QString, objectName);
        QFETCH(QString, name);
        ShellHarness shell;
        shell.startLoggedOn();
        QWidget* control = shell.frame()->findChild<QWidget*>(objectName);
        QVERIFY2(control, qPrintable(objectName));
        QCOMPARE(Name(control), name);
    }

    void tabsAreAnnouncedByTheirTexts()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        QAccessibleInterface* tabs = QAccessible::queryAccessibleInterface(shell.view()->TabCtrl());
        QVERIFY(tabs);
        QStringList names;
        for (int i = 0; i < tabs->childCount(); ++i)
            if (tabs->child(i)->role() == QAccessible::PageTab)
                names << tabs->child(i)->text(QAccessible::Name);
        QCOMPARE(names, (QStringList{"Buddy List", "Phone View", "Call Logs"}));
    }

    void aHyperlinkLabelIsALinkThatCanBePressed()
    {
        CHyperlinkLabel label(QStringLiteral("Help!"));
        label.SetLink(QStringLiteral("https://www.orvalo.test/dial_instrux.aspx"));
        QSignalSpy clicked(&label, &CHyperlinkLabel::clicked);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&label);
        QVERIFY(accessible);
        QCOMPARE(accessible->role(), QAccessible::Link);
        QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Help!"));
        QCOMPARE(accessible->text(QAccessible::Description), label.Link());
        accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicked.count(), 1);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
