// A wrong password at a registrar that challenges every REGISTER: one retry with
// the stored credentials, never a run of digests that could lock the account.
#include "PhoneOverService.h"

#include <QFile>

namespace {
const CEndpoint::Account& kUser = CEndpoint::kAlice;

// The REGISTERs with an Authorization header the service logged for the user.
int DigestsOnTheWire(const QString& serviceFolder)
{
    QFile log(serviceFolder + QStringLiteral("/kamailio.log"));
    if (!log.open(QIODevice::ReadOnly))
        return -1;
    return int(log.readAll().count(QByteArrayLiteral("REGISTER with credentials from sip:") + kUser.number.toLatin1()));
}
} // namespace

class TestCredentialRetry : public QObject {
    Q_OBJECT

private:
    CTestHome m_home;

private slots:
    void aWrongPasswordCostsAtMostTwoDigestsThenTheDialog_data()
    {
        QTest::addColumn<bool>("forbidden");
        QTest::newRow("challenged again") << false;
        QTest::newRow("answered 403") << true;
    }

    void aWrongPasswordCostsAtMostTwoDigestsThenTheDialog()
    {
        QFETCH(bool, forbidden);
        const QString folder = m_home.NewFolder(QStringLiteral("service"));
        CSipService service(folder);
        QVERIFY2(service.Start(forbidden), qPrintable(service.error()));
        CPhoneOverService phone(m_home, service, kUser, QStringLiteral("not-the-password"));
        QVERIFY(phone.created());
        CSettingsStore::WriteSetting(QLatin1String(kSettingAutoLogon), QStringLiteral("1"));

        QVERIFY(phone.StartLogon());
        QVERIFY(CPhoneOverService::WaitFor([&] { return phone.display().logOnRuns > 0; },
                                           CPhoneOverService::kSignallingMs));
        // The library would go on answering challenges by itself: give it the time to.
        CEventQueue::Pump(5000);
        const int digests = DigestsOnTheWire(folder);
        QVERIFY2(digests >= 1 && digests <= 2, qPrintable(QString::number(digests)));
        QCOMPARE(phone.display().logOnRuns, 1);
        QVERIFY(!phone.engine().Profile());
        QString autoLogon;
        CSettingsStore::ReadSetting(QLatin1String(kSettingAutoLogon), autoLogon);
        QCOMPARE(autoLogon, QStringLiteral("0"));
    }
};

QTEST_MAIN(TestCredentialRetry)
#include "tst_credential_retry.moc"
