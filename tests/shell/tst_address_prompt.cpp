// The number and name prompt of the call, message, add-buddy and add-group commands.
#include "engine/AddressRules.h"
#include "engine/SettingsStore.h"
#include "shell/AddressPrompt.h"
#include "tests/fakes/IsolatedHome.h"
#include "tests/fakes/MessageCapture.h"

#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {
using PromptStep = std::function<void(CAddressDialog&)>;

// Runs the steps on the open prompt, one timer tick apart, while the script lives.
class PromptScript {
public:
    explicit PromptScript(QList<PromptStep> steps) : m_steps(std::move(steps))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Step(); });
        m_timer.start();
    }

private:
    static constexpr int kMaxPolls = 400;

    void Step()
    {
        if (++m_polls > kMaxPolls || m_next >= m_steps.size()) {
            m_timer.stop();
            return;
        }
        if (auto* dialog = qobject_cast<CAddressDialog*>(QApplication::activeModalWidget()))
            m_steps.at(m_next++)(*dialog);
    }

    QList<PromptStep> m_steps;
    QTimer m_timer;
    int m_next = 0;
    int m_polls = 0;
};

QLineEdit* Edit(CAddressDialog& dialog)
{
    return dialog.findChild<QLineEdit*>();
}

PromptStep Type(const QString& text)
{
    return [text](CAddressDialog& dialog) {
        Edit(dialog)->clear();
        QTest::keyClicks(Edit(dialog), text);
        dialog.accept();
    };
}
} // namespace

class TestAddressPrompt : public QObject {
    Q_OBJECT
private:
    IsolatedHome m_home;

private slots:
    void init() { QSettings(QStringLiteral("Quenlark"), QStringLiteral("OrvaloPhone")).clear(); }

    void aNumberBecomesTheServiceAddressAndIsRemembered()
    {
        CSettingsStore::WriteSetting(kSettingLastCalledUri, QStringLiteral("999 555 0001"));
        QString prefilled;
        const PromptScript script({[&prefilled](CAddressDialog& dialog) {
                                       prefilled = Edit(dialog)->text();
                                       QCOMPARE(dialog.objectName(), QStringLiteral("105"));
                                       QCOMPARE(Edit(dialog)->objectName(), QStringLiteral("1006"));
                                   },
                                   Type(QStringLiteral("1 (555) 123-0002"))});
        QString address;
        QCOMPARE(PromptForAddress(nullptr, QStringLiteral("OrvaloPhone Call"), &address), S_OK);
        QCOMPARE(prefilled, QStringLiteral("999 555 0001"));
        QCOMPARE(address, ToServiceSipUri(QStringLiteral("15551230002")));
        QString last;
        QVERIFY(SUCCEEDED(CSettingsStore::ReadSetting(kSettingLastCalledUri, last)));
        QCOMPARE(last, QStringLiteral("1 (555) 123-0002"));
    }

    void aRefusedNumberKeepsThePromptOpen()
    {
        MessageCapture messages;
        bool stillOpen = false;
        QWidget* focused = nullptr;
        const PromptScript script({Type(QStringLiteral("12345")),
                                   [&](CAddressDialog& dialog) {
                                       stillOpen = dialog.isVisible();
                                       focused = dialog.focusWidget();
                                       QCOMPARE(focused, Edit(dialog));
                                   },
                                   Type(QStringLiteral("999 555 0001"))});
        QString address;
        QCOMPARE(PromptForAddress(nullptr, QStringLiteral("Add Buddy"), &address), S_OK);
        QVERIFY(stillOpen);
        QCOMPARE(messages.captions, QStringList({QStringLiteral("Invalid Number")}));
        QCOMPARE(messages.texts, QStringList({QString::fromLatin1(kInvalidNumberMessage)}));
        QCOMPARE(address, ToServiceSipUri(QStringLiteral("9995550001")));
    }

    void entriesStopAtTwentyCharacters()
    {
        QString name;
        const PromptScript script({Type(QStringLiteral("A name of thirty characters xx"))});
        QCOMPARE(PromptForAddress(nullptr, QStringLiteral("Add Group"), nullptr, &name), S_OK);
        QCOMPARE(name, QStringLiteral("A name of thirty cha"));
    }

    void cancelledOrBlankAnswersFail_data()
    {
        QTest::addColumn<bool>("askName");
        QTest::addColumn<QString>("typed"); // null: cancel
        QTest::newRow("number cancelled") << false << QString();
        QTest::newRow("name cancelled") << true << QString();
        QTest::newRow("blank name") << true << QStringLiteral("   ");
        QTest::newRow("empty name") << true << QStringLiteral("");
    }
    void cancelledOrBlankAnswersFail()
    {
        QFETCH(bool, askName);
        QFETCH(QString, typed);
        const PromptStep cancel = [](CAddressDialog& dialog) { dialog.reject(); };
        const PromptScript script({typed.isNull() ? cancel : Type(typed)});
        QString address = QStringLiteral("untouched");
        QString name = QStringLiteral("untouched");
        const HRESULT hr = askName ? PromptForAddress(nullptr, QStringLiteral("Add Group"), nullptr, &name)
                                   : PromptForAddress(nullptr, QStringLiteral("Add Buddy"), &address);
        QVERIFY(FAILED(hr));
        QCOMPARE(address, QStringLiteral("untouched"));
        QCOMPARE(name, QStringLiteral("untouched"));
    }

    void anOwnerThatGoesAwayEndsThePrompt()
    {
        auto* owner = new QWidget;
        const PromptScript script({[owner](CAddressDialog&) { delete owner; }});
        QString address;
        QVERIFY(FAILED(PromptForAddress(owner, QStringLiteral("Add Buddy"), &address)));
        QVERIFY(address.isEmpty());
    }
};

QTEST_MAIN(TestAddressPrompt)
#include "tst_address_prompt.moc"
