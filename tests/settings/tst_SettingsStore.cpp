#include "engine/AddressRules.h"
#include "engine/ServiceConfig.h"
#include "engine/SettingsStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

QSettings PhoneSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quenlark"),
                     QStringLiteral("OrvaloPhone"));
}

QString LongestAcceptedText()
{
    return QString(255, u'x');
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    QString m_file;
    QDateTime m_fileTime = QDateTime::currentDateTime().addDays(-1);

    // Puts text into the settings file as if edited by hand. The file's time is
    // moved on each time so that QSettings never mistakes it for the copy it caches.
    void writeFile(const QByteArray& content)
    {
        QFile file(m_file);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(content), content.size());
        m_fileTime = m_fileTime.addSecs(10);
        QVERIFY(file.setFileTime(m_fileTime, QFileDevice::FileModificationTime));
    }

    static QByteArray fileContent(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static int modeOf(const QString& path)
    {
        struct stat status {};
        return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? static_cast<int>(status.st_mode & 07777)
                                                                         : -1;
    }

    QFileInfoList settingsFolderEntries(const QString& pattern) const
    {
        return QFileInfo(m_file).dir().entryInfoList({pattern}, QDir::Files | QDir::Hidden);
    }

private slots:
    void initTestCase()
    {
        // Keep every test away from the real user's settings, and make a new file
        // group- and world-readable unless the store restricts it.
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
        QStandardPaths::setTestModeEnabled(true);
        ::umask(022);
        m_file = PhoneSettings().fileName();
        QVERIFY2(m_file.startsWith(m_home.path()), qPrintable(m_file));
        ServiceConfig::setCurrent({QStringLiteral("127.0.0.1"), QStringLiteral("presence.example.test"), QString()});
    }

    void init()
    {
        const QDir folder = QFileInfo(m_file).dir();
        for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden))
            QVERIFY(QFile::remove(folder.filePath(name)));
    }

    void missingValueLeavesValueAlone()
    {
        QString value = QStringLiteral("untouched");
        QCOMPARE(CSettingsStore::ReadSetting(kSettingAccount, value), E_FAIL);
        QCOMPARE(value, QStringLiteral("untouched"));

        QCOMPARE(CSettingsStore::WriteSetting(kSettingUserUri, QStringLiteral("9991234567")), S_OK);
        QCOMPARE(CSettingsStore::ReadSetting(kSettingAccount, value), E_FAIL);
        QCOMPARE(value, QStringLiteral("untouched"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");

        QTest::newRow("user URI") << kSettingUserUri << "1 (800) 555-1234";
        QTest::newRow("account") << kSettingAccount << "alice@example.test";
        QTest::newRow("password with separators") << kSettingPassword << "a, b; c=d # e";
        QTest::newRow("remember password") << kSettingRememberPassword << "1";
        QTest::newRow("auto logon, empty") << kSettingAutoLogon << "";
        QTest::newRow("logon transparently") << kSettingLogonTransparently << "0";
        QTest::newRow("last called URI") << kSettingLastCalledUri << "011441234567890";
        QTest::newRow("SIP server URI") << kSettingSipServerUri << "sip:presence@127.0.0.1";
        QTest::newRow("looks like a stored type") << kSettingPassword << "@ByteArray(secret)";
        QTest::newRow("quotes and backslashes") << kSettingPassword << "\"q\" \\n \\";
        QTest::newRow("surrounding blanks") << kSettingAccount << "  padded  ";
        QTest::newRow("line breaks") << kSettingAccount << "one\ntwo\r\n";
        QTest::newRow("beyond ASCII") << kSettingAccount
                                      << QString::fromUtf8("Zo\u00eb \u260e \u96fb\u8a71 \U0001F4DE");
        QTest::newRow("longest accepted") << kSettingPassword << LongestAcceptedText();
    }

    void roundTrip()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QCOMPARE(CSettingsStore::WriteSetting(name, text), S_OK);
        QString value = QStringLiteral("before");
        QCOMPARE(CSettingsStore::ReadSetting(name, value), S_OK);
        QCOMPARE(value, text);
        QVERIFY(PhoneSettings().childKeys().contains(name));
    }

    void writesKeepOtherValues()
    {
        QCOMPARE(CSettingsStore::WriteSetting(kSettingAccount, QStringLiteral("alice")), S_OK);
        QCOMPARE(CSettingsStore::WriteSetting(kSettingPassword, QStringLiteral("first")), S_OK);
        QCOMPARE(CSettingsStore::WriteSetting(kSettingPassword, QStringLiteral("second")), S_OK);
        QString account;
        QString password;
        QCOMPARE(CSettingsStore::ReadSetting(kSettingAccount, account), S_OK);
        QCOMPARE(CSettingsStore::ReadSetting(kSettingPassword, password), S_OK);
        QCOMPARE(account, QStringLiteral("alice"));
        QCOMPARE(password, QStringLiteral("second"));
    }

    void tooLongOrNotTextFails_data()
    {
        QTest::addColumn<QVariant>("stored");

        QTest::newRow("256 characters") << QVariant(QString(256, u'x'));
        QTest::newRow("256 UTF-16 units in 128 characters") << QVariant(QString::fromUtf8("\U0001F4DE").repeated(128));
        QTest::newRow("bytes") << QVariant(QByteArray("\x01\x02secret", 8));
        QTest::newRow("list") << QVariant(QStringList{QStringLiteral("a"), QStringLiteral("b")});
        QTest::newRow("point") << QVariant(QPoint(3, 4));
    }

    void tooLongOrNotTextFails()
    {
        QFETCH(QVariant, stored);
        {
            QSettings settings = PhoneSettings();
            settings.setValue(kSettingPassword, stored);
        }
        QString value = QStringLiteral("untouched");
        QCOMPARE(CSettingsStore::ReadSetting(kSettingPassword, value), E_FAIL);
        QCOMPARE(value, QStringLiteral("untouched"));
        QVERIFY(!CSettingsStore::IsFlagSet(kSettingPassword));
    }

    void handEditedFile()
    {
        // The presence server is only ever configured by hand, with blanks in its name.
        writeFile("[General]\nSIP Server URI = sip:presence@127.0.0.1\nAccount=alice, bob\nUserURI=9991234567\n");
        QCOMPARE(PresenceServerUri(), QStringLiteral("sip:presence@127.0.0.1"));
        QString value = QStringLiteral("untouched");
        QCOMPARE(CSettingsStore::ReadSetting(kSettingAccount, value), E_FAIL); // a list, not text
        QCOMPARE(value, QStringLiteral("untouched"));
        QCOMPARE(CSettingsStore::ReadSetting(kSettingUserUri, value), S_OK);
        QCOMPARE(value, QStringLiteral("9991234567"));
    }

    void damagedFileIsSetAside()
    {
        const QByteArray damaged("[General]\nAccount=alice\nthis line is no setting\n[Unclosed\n");
        writeFile(damaged);
        QString value;
        QCOMPARE(CSettingsStore::ReadSetting(kSettingAccount, value), S_OK);
        QCOMPARE(value, QStringLiteral("alice"));

        QCOMPARE(CSettingsStore::WriteSetting(kSettingPassword, QStringLiteral("secret")), S_OK);
        const QFileInfoList aside = settingsFolderEntries(QStringLiteral("OrvaloPhone.conf.unreadable-*"));
        QCOMPARE(aside.size(), 1);
        QCOMPARE(fileContent(aside.first().filePath()), damaged);
        QCOMPARE(modeOf(aside.first().filePath()), 0600);
        QVERIFY(settingsFolderEntries(QStringLiteral("*.check-*")).isEmpty());

        QCOMPARE(CSettingsStore::ReadSetting(kSettingPassword, value), S_OK);
        QCOMPARE(value, QStringLiteral("secret"));
        QCOMPARE(CSettingsStore::ReadSetting(kSettingAccount, value), S_OK);
        QCOMPARE(value, QStringLiteral("alice"));

        // The rewritten file reads in full, so nothing more is set aside.
        QCOMPARE(CSettingsStore::WriteSetting(kSettingPassword, QStringLiteral("other")), S_OK);
        QCOMPARE(settingsFolderEntries(QStringLiteral("OrvaloPhone.conf.unreadable-*")).size(), 1);
    }

    void fileIsOwnerOnly()
    {
        QCOMPARE(CSettingsStore::WriteSetting(kSettingPassword, QStringLiteral("secret")), S_OK);
        QCOMPARE(modeOf(m_file), 0600);

        // A file left readable by others, say by an older copy, is closed up at the next write.
        QVERIFY(QFile::setPermissions(m_file, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ReadGroup | QFileDevice::ReadOther));
        QCOMPARE(CSettingsStore::WriteSetting(kSettingAccount, QStringLiteral("alice")), S_OK);
        QCOMPARE(modeOf(m_file), 0600);
        QString password;
        QCOMPARE(CSettingsStore::ReadSetting(kSettingPassword, password), S_OK);
        QCOMPARE(password, QStringLiteral("secret"));
    }

    void flags_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("set");

        QTest::newRow("1") << "1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("true") << "true" << false;
        QTest::newRow("1 with a blank") << " 1" << false;
    }

    void flags()
    {
        QFETCH(QString, text);
        QFETCH(bool, set);
        QVERIFY(!CSettingsStore::IsFlagSet(kSettingAutoLogon));
        QCOMPARE(CSettingsStore::WriteSetting(kSettingAutoLogon, text), S_OK);
        QCOMPARE(CSettingsStore::IsFlagSet(kSettingAutoLogon), set);
    }

    void presenceServerUri_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("expected");

        const QString builtIn = QStringLiteral("sip:ZadodaVovova@presence.example.test");
        QTest::newRow("missing") << QVariant() << builtIn;
        QTest::newRow("four characters") << QVariant(QStringLiteral("sip:")) << builtIn;
        QTest::newRow("five characters") << QVariant(QStringLiteral("sip:p")) << "sip:p";
        QTest::newRow("configured") << QVariant(QStringLiteral("sip:pa@127.0.0.1")) << "sip:pa@127.0.0.1";
        QTest::newRow("not text") << QVariant(QByteArray("sip:pa@127.0.0.1")) << builtIn;
        QTest::newRow("too long") << QVariant(QStringLiteral("sip:") + QString(300, u'p')) << builtIn;
    }

    void presenceServerUri()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, expected);
        if (stored.isValid()) {
            QSettings settings = PhoneSettings();
            settings.setValue(kSettingSipServerUri, stored);
        }
        QCOMPARE(PresenceServerUri(), expected);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_SettingsStore.moc"
