// The logon dialog: what it shows from the settings, what "Logon" stores, and the
// Log On command around it.
#include "ShellHarness.h"

#include "engine/AddressRules.h"
#include "engine/ServiceConfig.h"
#include "shell/LogonDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace {
QLineEdit* Field(QWidget& dialog, int id)
{
    return dialog.findChild<QLineEdit*>(QString::number(id));
}
QCheckBox* Box(QWidget& dialog, int id)
{
    return dialog.findChild<QCheckBox*>(QString::number(id));
}
QString Stored(const char* name)
{
    QString value = QStringLiteral("<missing>");
    CSettingsStore::ReadSetting(QLatin1String(name), value);
    return value;
}
void Fill(QWidget& dialog, const QString& number, const QString& user, const QString& password)
{
    Field(dialog, 1000)->setText(number);
    Field(dialog, 1012)->setText(user);
    Field(dialog, 1014)->setText(password);
}
} // namespace

class TestLogonDialog : public QObject {
    Q_OBJECT
private:
    IsolatedHome m_home;

private slots:
    void init() { QSettings(QStringLiteral("Quenlark"), QStringLiteral("OrvaloPhone")).clear(); }

    void theDialogShowsWhatIsStored_data()
    {
        QTest::addColumn<QString>("remember");
        QTest::addColumn<QString>("autoLogon");
        QTest::addColumn<QString>("shownPassword");
        QTest::newRow("remembered") << "1"
                                    << "" << QStringLiteral("alicepw1");
        QTest::newRow("not remembered") << ""
                                        << "1" << QString();
    }
    void theDialogShowsWhatIsStored()
    {
        QFETCH(QString, remember);
        QFETCH(QString, autoLogon);
        QFETCH(QString, shownPassword);
        CSettingsStore::WriteSetting(kSettingUserUri, kTypedNumber);
        CSettingsStore::WriteSetting(kSettingAccount, QStringLiteral("alice"));
        CSettingsStore::WriteSetting(kSettingPassword, QStringLiteral("alicepw1"));
        CSettingsStore::WriteSetting(kSettingRememberPassword, remember);
        CSettingsStore::WriteSetting(kSettingAutoLogon, autoLogon);
        CSettingsStore::WriteSetting(kSettingLogonTransparently, QStringLiteral("1"));
        CLogonDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Logon"));
        QCOMPARE(Field(dialog, 1000)->text(), kTypedNumber);
        QCOMPARE(Field(dialog, 1012)->text(), QStringLiteral("alice"));
        QCOMPARE(Field(dialog, 1014)->text(), shownPassword);
        QCOMPARE(Field(dialog, 1014)->echoMode(), QLineEdit::Password);
        QCOMPARE(Box(dialog, 1031)->isChecked(), remember == "1");
        QCOMPARE(Box(dialog, 1029)->isChecked(), autoLogon == "1");
        QVERIFY(Box(dialog, 1030)->isChecked());
        for (const int id : {1000, 1012, 1014})
            QCOMPARE(Field(dialog, id)->maxLength(), 20);
    }

    void aNumberTheRulesRefuseKeepsTheDialog()
    {
        MessageCapture messages;
        CLogonDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Fill(dialog, QStringLiteral("555-1234"), QStringLiteral("alice"), QStringLiteral("alicepw1"));
        Field(dialog, 1014)->setFocus();
        dialog.findChild<QPushButton*>(QStringLiteral("1"))->click();
        QCOMPARE(messages.captions, QStringList({QStringLiteral("Invalid Number")}));
        QCOMPARE(messages.texts, QStringList({QString::fromLatin1(kInvalidNumberMessage)}));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.focusWidget(), Field(dialog, 1000));
        QCOMPARE(Stored(kSettingUserUri), QStringLiteral("<missing>"));
    }

    void logonStoresTheSettingsAndThePasswordOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("remember");
        QTest::addColumn<bool>("autoLogon");
        QTest::addColumn<bool>("passwordKept");
        QTest::newRow("neither") << false << false << false;
        QTest::newRow("remember") << true << false << true;
        QTest::newRow("automatic logon") << false << true << true;
    }
    void logonStoresTheSettingsAndThePasswordOnlyWhenAsked()
    {
        QFETCH(bool, remember);
        QFETCH(bool, autoLogon);
        QFETCH(bool, passwordKept);
        CSettingsStore::WriteSetting(kSettingPassword, QStringLiteral("an old one"));
        CLogonDialog dialog;
        Fill(dialog, kTypedNumber, QStringLiteral("alice"), QStringLiteral("alicepw1"));
        Box(dialog, 1031)->setChecked(remember);
        Box(dialog, 1029)->setChecked(autoLogon);
        Box(dialog, 1030)->setChecked(false);
        dialog.findChild<QPushButton*>(QStringLiteral("1"))->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        QCOMPARE(Stored(kSettingUserUri), kTypedNumber);
        QCOMPARE(Stored(kSettingAccount), QStringLiteral("alice"));
        QCOMPARE(Stored(kSettingRememberPassword), remember ? QStringLiteral("1") : QString());
        QCOMPARE(Stored(kSettingAutoLogon), autoLogon ? QStringLiteral("1") : QString());
        QCOMPARE(Stored(kSettingLogonTransparently), QString());
        QCOMPARE(Stored(kSettingPassword), passwordKept ? QStringLiteral("alicepw1") : QStringLiteral("<missing>"));

        const CLogonDialog::SLogon& logon = dialog.Result();
        QCOMPARE(logon.userUri, kUserUri);
        QCOMPARE(logon.userName, QStringLiteral("alice"));
        QCOMPARE(logon.password, QStringLiteral("alicepw1"));
        QCOMPARE(logon.server, ServiceConfig::current().sipServer);
        QCOMPARE(logon.transport, QStringLiteral("UDP"));
    }

    void newUserOpensTheSignUpPage()
    {
        QList<QUrl> opened;
        SetUrlOpener([&opened](const QUrl& url) { opened << url; });
        CLogonDialog dialog;
        dialog.findChild<QPushButton*>(QStringLiteral("105"))->click();
        SetUrlOpener(nullptr);
        QCOMPARE(opened, QList<QUrl>({WebPageUrl(WebPage::SignUp)}));
        QVERIFY(opened.value(0).toString().endsWith(QStringLiteral("/signup.aspx")));
    }

    void anEmptyPasswordSavesButStartsNothing()
    {
        ShellHarness shell;
        CModalDriver logon;
        logon.WhenOpen<CLogonDialog>([](CLogonDialog& dialog) {
            Fill(dialog, kTypedNumber, QStringLiteral("alice"), QString());
            dialog.accept();
        });
        QVERIFY(shell.app->InitInstance());
        QTRY_VERIFY(logon.Acted());
        QCOMPARE(Stored(kSettingUserUri), kTypedNumber);
        QCOMPARE(shell.client->log().count("Client.GetProfile"), 0);
        QVERIFY(shell.menu()->Action(ID_LOG_ON)->isEnabled());
        QVERIFY(!shell.view()->AwayTimer().isActive());
    }

    void theTypedPasswordAnswersTheChallengeWithoutBeingStored()
    {
        ShellHarness shell;
        CModalDriver logon;
        logon.WhenOpen<CLogonDialog>([](CLogonDialog& dialog) {
            Fill(dialog, kTypedNumber, QStringLiteral("alice"), QStringLiteral("typed-pw"));
            dialog.accept();
        });
        QVERIFY(shell.app->InitInstance());
        QTRY_VERIFY(logon.Acted());
        QCOMPARE(shell.client->log().count("Client.GetProfile"), 1);
        QVERIFY(shell.view()->AwayTimer().isActive());
        QCOMPARE(Stored(kSettingPassword), QStringLiteral("<missing>"));

        shell.deliver(RTCE_PROFILE, FakeEvents::profile(shell.profile));
        shell.registration(RTCRS_REGISTERING);
        shell.registration(RTCRS_REJECTED, RTC_E_STATUS_CLIENT_UNAUTHORIZED);
        const FakeCall* credentials = shell.client->log().last("Profile.SetCredentials");
        QVERIFY(credentials);
        QCOMPARE(credentials->args, QVariantList({kUserUri, QStringLiteral("alice"), QStringLiteral("typed-pw")}));
    }

    void theWaitCursorHasEndedWhenLogonFailedShows()
    {
        ShellHarness shell;
        shell.client->setResult("Client.GetProfile", E_FAIL);
        QStringList shown;
        bool waitCursorOnABox = false;
        CMessageBox::SetHandler([&](QWidget*, const QString&, const QString& text, QMessageBox::StandardButtons) {
            shown << text;
            waitCursorOnABox = waitCursorOnABox || QGuiApplication::overrideCursor();
            return QMessageBox::Ok;
        });
        CModalDriver logon;
        logon.WhenOpen<CLogonDialog>([](CLogonDialog& dialog) {
            Fill(dialog, kTypedNumber, QStringLiteral("alice"), QStringLiteral("alicepw1"));
            dialog.accept();
        });
        QVERIFY(shell.app->InitInstance());
        QTRY_VERIFY(logon.Acted());
        QCOMPARE(shown, QStringList{QStringLiteral("Logon failed!")});
        QVERIFY(!waitCursorOnABox);
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void aLogonTheEngineRefusesLeavesTheAwayTimerOff()
    {
        ShellHarness shell;
        CSettingsStore::WriteSetting(kSettingAutoLogon, QStringLiteral("0"));
        CModalDriver first;
        first.WhenOpen<CLogonDialog>([](CLogonDialog& dialog) { dialog.reject(); });
        QVERIFY(shell.app->InitInstance());
        QTRY_VERIFY(first.Acted());
        // A logon is already on its way: the engine refuses a second one.
        QCOMPARE(shell.view()->Engine()->StartLogon(kUserUri, QStringLiteral("127.0.0.1"), QStringLiteral("UDP")),
                 S_OK);
        CModalDriver second;
        second.WhenOpen<CLogonDialog>([](CLogonDialog& dialog) {
            Fill(dialog, kTypedNumber, QStringLiteral("alice"), QStringLiteral("alicepw1"));
            dialog.accept();
        });
        shell.view()->LogOn();
        QVERIFY(second.Acted());
        QCOMPARE(shell.client->log().count("Client.GetProfile"), 1);
        QVERIFY(!shell.view()->AwayTimer().isActive());
    }
};

QTEST_MAIN(TestLogonDialog)
#include "tst_logon_dialog.moc"
