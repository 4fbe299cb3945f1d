// The "Call Logs" page over a real engine and the fake library: what is written,
// how the list shows it, and what its context menu does.
#include "controls/SortListCtrl.h"
#include "engine/ClientEngine.h"
#include "engine/ProcessGlobals.h"
#include "engine/RtcEventMessage.h"
#include "engine/SettingsStore.h"
#include "shell/CallLogPage.h"
#include "tests/fakes/EngineRig.h"
#include "tests/fakes/IsolatedHome.h"
#include "tests/fakes/MessageCapture.h"
#include "tests/fakes/RecordingSessionWnd.h"
#include "tests/fakes/RecordingViews.h"

#include <QDir>
#include <QMenu>
#include <QRegularExpression>
#include <QSettings>
#include <QStringEncoder>
#include <QtTest>

#include <memory>
#include <vector>

namespace {
const QString kUser = QStringLiteral("sip:15551230001@sip.orvalo.test");
const QString kMember = QStringLiteral("sip:9995550002@sip.orvalo.test");
const QString kPhone = QStringLiteral("sip:18005551234@sip.orvalo.test");

// The page with its menu answered by the test instead of the user.
class TestCallLogPage : public CCallLogPage {
public:
    using CCallLogPage::CCallLogPage;

    QList<QStringList> menus; // the entries of each menu shown, as "text=command"
    int answer = 0;

protected:
    int ChooseCommand(QMenu& menu, const QPoint&) override
    {
        QStringList entries;
        for (const QAction* action : menu.actions())
            entries << QStringLiteral("%1=%2").arg(action->text()).arg(action->data().toInt());
        menus << entries;
        return answer;
    }
};

QString DocumentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString UserLogPath()
{
    return QDir(DocumentsFolder()).filePath(QStringLiteral("15551230001.log"));
}

QByteArray Utf16(const QString& text)
{
    QStringEncoder encoder(QStringConverter::Utf16LE);
    return encoder(text);
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The text of slot 1 of the user's log, as stored.
QString FirstSlot()
{
    QStringDecoder decoder(QStringConverter::Utf16LE);
    return decoder(Contents(UserLogPath()).mid(24, 256));
}
} // namespace

class TestCallLogPageSuite : public QObject {
    Q_OBJECT

private:
    IsolatedHome m_home;
    std::unique_ptr<EngineRig> m_rig;
    RecordingWindowFactory m_windows;
    QScopedPointer<TestCallLogPage> m_page;

    // Logged on as far as the profile: enough for the log to know whose it is.
    void logOn(const QString& uri = kUser)
    {
        m_rig->profile()->m_userUri = uri;
        m_rig->startLogon();
        QVERIFY(m_rig->engine().Profile());
    }

    QList<QStringList> rows() const
    {
        QList<QStringList> result;
        const CSortListCtrl* list = m_page->List();
        for (int row = 0; row < list->RowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < list->ColumnCount(); ++column)
                cells << list->CellText(row, column);
            result << cells;
        }
        return result;
    }

    bool showsOnlyThePlaceholder() const
    {
        const CSortListCtrl* list = m_page->List();
        return list->RowCount() == 1 && list->GetRowValue(0) == CCallLogPage::kPlaceholderValue &&
               rows().first() == QStringList(4, QString());
    }

    // A right click as the window system delivers it: the press, then the menu request.
    static void rightClick(QWidget* widget, const QPoint& position)
    {
        QTest::mousePress(widget, Qt::RightButton, {}, position);
        QContextMenuEvent request(QContextMenuEvent::Mouse, position, widget->mapToGlobal(position));
        QApplication::sendEvent(widget, &request);
        QTest::mouseRelease(widget, Qt::RightButton, {}, position);
    }

    // Each row as "name/call type", top to bottom.
    QStringList order() const
    {
        QStringList result;
        for (const QStringList& row : rows())
            result << row[CCallLogPage::kNameColumn] + "/" + row[CCallLogPage::kCallTypeColumn];
        return result;
    }

    void selectRow(int row) { m_page->List()->topLevelItem(row)->setSelected(true); }

    QStringList logFiles() const { return QDir(DocumentsFolder()).entryList({QStringLiteral("*.log*")}, QDir::Files); }

private slots:
    void init()
    {
        QSettings(QStringLiteral("Quenlark"), QStringLiteral("OrvaloPhone")).clear();
        QDir(DocumentsFolder()).removeRecursively();
        m_rig = std::make_unique<EngineRig>();
        m_rig->engine().SetSessionWindowFactory(&m_windows);
        m_page.reset(new TestCallLogPage(m_rig->display()));
    }

    void cleanup()
    {
        m_page.reset();
        m_rig.reset();
        m_windows.windows.clear();
        QCOMPARE(g_activeCallWindow, nullptr);
    }

    void theListTakesTheStoredColumnLayout()
    {
        m_page.reset();
        QSettings().setValue(QStringLiteral("ListCtrls/1008"), ColumnLayoutRecord({120, 0, 90, 60}));
        m_page.reset(new TestCallLogPage(m_rig->display()));
        QCOMPARE(m_page->List()->headerItem()->text(CCallLogPage::kDateTimeColumn), "Date/Time");
        QCOMPARE(m_page->List()->columnWidth(CCallLogPage::kNameColumn), 120);
        QCOMPARE(m_page->List()->columnWidth(CCallLogPage::kCallTypeColumn), 60);
    }

    void withoutALoggedOnUserNothingIsWritten()
    {
        QVERIFY(CCallLogPage::GetCallLogPath().isEmpty());
        m_page->AddEntry(kPhone, QString(), 0);
        m_page->Reload();
        QVERIFY(showsOnlyThePlaceholder());
        QVERIFY(logFiles().isEmpty());

        logOn();
        m_page->Reload(); // only an entry creates the file
        QVERIFY(showsOnlyThePlaceholder());
        QVERIFY(logFiles().isEmpty());
    }

    void thePathIsTheUsersNumberInTheDocumentsFolder_data()
    {
        QTest::addColumn<QString>("userUri");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("service number") << kUser << "15551230001.log";
        QTest::newRow("foreign address") << "sip:bob.smith@example.org"
                                         << "bobsmithexampleorg.log";
        QTest::newRow("path characters") << "sip:../../etc/x@h"
                                         << "__etc_xh.log";
    }

    void thePathIsTheUsersNumberInTheDocumentsFolder()
    {
        QFETCH(QString, userUri);
        QFETCH(QString, fileName);
        logOn(userUri);
        QCOMPARE(CCallLogPage::GetCallLogPath(), QDir(DocumentsFolder()).filePath(fileName));
    }

    void anEntryIsWrittenAndListed()
    {
        logOn();
        m_page->AddEntry(kPhone, QString(), 0);
        QCOMPARE(QFileInfo(UserLogPath()).size(), 284);
        QCOMPARE(Contents(UserLogPath()).left(24), Utf16(QStringLiteral("0000000001\r\n")));

        const QList<QStringList> listed = rows();
        QCOMPARE(listed.size(), 1);
        QCOMPARE(m_page->List()->GetRowValue(0), 0);
        QCOMPARE(listed[0][CCallLogPage::kNameColumn], "18005551234");
        QCOMPARE(listed[0][CCallLogPage::kUriColumn], kPhone);
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d-\\d\\d-\\d{4}  \\d\\d:\\d\\d$"))
                    .match(listed[0][CCallLogPage::kDateTimeColumn])
                    .hasMatch());
        QCOMPARE(listed[0][CCallLogPage::kCallTypeColumn], "Placed Call");
    }

    // The list keeps its rows in descending order of the first column; a sort the
    // user picks lasts until the next reload, which also clears the header's arrow.
    void everyReloadListsTheRowsByTheirFirstColumnDescending_data()
    {
        QTest::addColumn<bool>("byNewEntry");
        QTest::newRow("a new entry") << true;
        QTest::newRow("a reload at logon") << false;
    }

    void everyReloadListsTheRowsByTheirFirstColumnDescending()
    {
        QFETCH(bool, byNewEntry);
        logOn();
        m_page->AddEntry(kPhone, QString(), 0);
        m_page->AddEntry(kMember, QStringLiteral("Bob"), 1);
        m_page->AddEntry(kPhone, QString(), 2);
        m_page->AddEntry(kMember, QString(), 1);
        const QStringList listedAfterEntries = order();
        // Of equal first columns the newest comes first.
        QCOMPARE(listedAfterEntries, QStringList({"Bob/Answered Call", "18005551234/Missed Call",
                                                  "18005551234/Placed Call", "9995550002/Answered Call"}));

        m_page->show();
        CSortHeaderCtrl* header = m_page->List()->SortHeader();
        const QPoint callType(header->sectionViewportPosition(CCallLogPage::kCallTypeColumn) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, callType);
        QCOMPARE(order(), QStringList({"Bob/Answered Call", "9995550002/Answered Call", "18005551234/Missed Call",
                                       "18005551234/Placed Call"}));
        QCOMPARE(header->SortColumn(), int(CCallLogPage::kCallTypeColumn));

        QStringList expected = listedAfterEntries;
        if (byNewEntry) {
            m_page->AddEntry(kMember, QStringLiteral("Carol"), 2);
            expected.prepend("Carol/Missed Call");
        } else {
            m_page->Reload();
        }
        QCOMPARE(order(), expected);
        QCOMPARE(header->SortColumn(), -1);
    }

    void aStoredNameWithAnAtSignShowsItsNumber()
    {
        logOn();
        m_page->AddEntry(kMember, QStringLiteral("9995550002@sip.orvalo.test"), 1);
        QCOMPARE(rows().first()[CCallLogPage::kNameColumn], "9995550002");
        QVERIFY(FirstSlot().startsWith("9995550002@sip.orvalo.test|"));
    }

    void aDamagedLogShowsThePlaceholderAndIsStartedAgainOnTheNextCall()
    {
        logOn();
        QVERIFY(QDir().mkpath(DocumentsFolder()));
        QFile damaged(UserLogPath());
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        const QByteArray garbage = Utf16(QStringLiteral("00000000x1\r\n") + QString(130, 'z'));
        damaged.write(garbage);
        damaged.close();

        m_page->Reload();
        QVERIFY(showsOnlyThePlaceholder());
        QCOMPARE(Contents(UserLogPath()), garbage);

        m_page->AddEntry(kPhone, QString(), 0);
        QCOMPARE(rows().size(), 1);
        QCOMPARE(rows().first()[CCallLogPage::kUriColumn], kPhone);
        QCOMPARE(logFiles().size(), 2); // the damaged file is kept aside
    }

    void aLogThatCannotBeOpenedIsReportedAndTheRowsStay()
    {
        logOn();
        m_page->AddEntry(kPhone, QString(), 0);
        QVERIFY(QFile::remove(UserLogPath()));
        QVERIFY(QDir().mkpath(UserLogPath())); // a folder where the file should be

        MessageCapture messages;
        m_page->Reload();
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY(messages.texts.first().contains(UserLogPath()));
        QCOMPARE(rows().size(), 1);
        QCOMPARE(rows().first()[CCallLogPage::kUriColumn], kPhone);

        m_page->AddEntry(kMember, QString(), 0);
        QCOMPARE(messages.texts.size(), 2);
        QCOMPARE(rows().size(), 1);
    }

    void rightClickShowsTheMenuOnlyForASelectedRow()
    {
        logOn();
        m_page->AddEntry(kPhone, QString(), 0);
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.data()));
        QWidget* viewport = m_page->List()->viewport();
        const QRect firstRow = m_page->List()->visualItemRect(m_page->List()->topLevelItem(0));

        rightClick(viewport, QPoint(10, firstRow.bottom() + 40));
        QVERIFY(m_page->List()->selectedItems().isEmpty());
        QVERIFY(m_page->menus.isEmpty());

        rightClick(viewport, firstRow.center());
        QVERIFY(m_page->List()->topLevelItem(0)->isSelected());
        QCOMPARE(m_page->menus.size(), 1);
        QCOMPARE(m_page->menus.first(), QStringList({"&Call...=32810", "&Message...=32811", "Clear Log=32818"}));
    }

    void callingBackPicksTheSessionTypeByTheNumber_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("rowName");
        QTest::addColumn<int>("sessionType");
        QTest::addColumn<QString>("participantName");
        QTest::newRow("member") << kMember << "Bob" << 0 << "Bob";
        QTest::newRow("telephone") << kPhone << "18005551234" << 1 << "18005551234";
        QTest::newRow("name is the address") << kPhone << kPhone << 1 << QString();
    }

    void callingBackPicksTheSessionTypeByTheNumber()
    {
        QFETCH(QString, uri);
        QFETCH(QString, rowName);
        QFETCH(int, sessionType);
        QFETCH(QString, participantName);
        logOn();
        selectRow(m_page->List()->AddRow({rowName, uri}));
        m_rig->client().log().clear();

        m_page->answer = CCallLogPage::kCallCommand;
        emit m_page->List()->customContextMenuRequested(QPoint(1, 1));

        QString number = uri;
        number.remove("sip:").remove("@sip.orvalo.test");
        QCOMPARE(m_rig->display().phoneViewSelections, 1);
        QCOMPARE(m_rig->display().dialedNumber, number);
        QCOMPARE(m_rig->display().statusMessages, QStringList(number + "\r\r\nCalling..."));
        const FakeCall* created = m_rig->client().log().last("Client.CreateSession");
        QVERIFY(created);
        QCOMPARE(created->args.first().toInt(), sessionType);
        QCOMPARE(m_rig->client().log().last("Session.AddParticipant")->args, QVariantList({uri, participantName}));
    }

    void messagingOpensAMessageSessionButNotForARowWithoutAnAddress()
    {
        logOn();
        m_page->Reload();
        selectRow(0); // the placeholder
        m_page->RunCommand(CCallLogPage::kCallCommand);
        m_page->RunCommand(CCallLogPage::kMessageCommand);
        QCOMPARE(m_rig->client().log().count("Client.CreateSession"), 0);
        QVERIFY(m_rig->display().statusMessages.isEmpty());

        m_page->AddEntry(kMember, QStringLiteral("Bob"), 1);
        selectRow(0);
        m_page->RunCommand(CCallLogPage::kMessageCommand);
        QCOMPARE(m_rig->client().log().last("Client.CreateSession")->args.first().toInt(), int(RTCST_MULTIPARTY_IM));
        QCOMPARE(m_rig->client().log().last("Session.AddParticipant")->args, QVariantList({kMember, "Bob"}));
        QCOMPARE(m_rig->display().phoneViewSelections, 0);
    }

    void clearLogDeletesTheFileOrOnlyRefreshes()
    {
        logOn();
        m_page->List()->AddRow({"stale"});
        selectRow(0);
        m_page->RunCommand(CCallLogPage::kClearLogCommand);
        QVERIFY(showsOnlyThePlaceholder());
        QVERIFY(!QFile::exists(UserLogPath()));

        m_page->AddEntry(kPhone, QString(), 0);
        selectRow(0);
        m_page->answer = CCallLogPage::kClearLogCommand;
        m_page->List()->customContextMenuRequested(QPoint(1, 1));
        QVERIFY(showsOnlyThePlaceholder());
        QVERIFY(logFiles().isEmpty());
    }

    void logOffKeepsTheLogOnlyWhenThePasswordIsRemembered_data()
    {
        QTest::addColumn<QString>("remember");
        QTest::addColumn<bool>("profileGoneFirst");
        QTest::addColumn<bool>("kept");
        QTest::newRow("remembered") << "1" << false << true;
        QTest::newRow("not remembered") << "" << false << false;
        QTest::newRow("other text") << "yes" << false << false;
        QTest::newRow("profile already released") << "" << true << false;
    }

    void logOffKeepsTheLogOnlyWhenThePasswordIsRemembered()
    {
        QFETCH(QString, remember);
        QFETCH(bool, profileGoneFirst);
        QFETCH(bool, kept);
        CSettingsStore::WriteSetting(QString::fromLatin1(kSettingRememberPassword), remember);
        logOn();
        m_page->AddEntry(kPhone, QString(), 0);
        if (profileGoneFirst) {
            m_rig->engine().LogOff();
            QVERIFY(!m_rig->engine().Profile());
        }

        m_page->ClearForLogOff();
        QCOMPARE(QFile::exists(UserLogPath()), kept);
        QCOMPARE(showsOnlyThePlaceholder(), !kept);
    }
};

QTEST_MAIN(TestCallLogPageSuite)
#include "tst_CallLogPage.moc"
