// Setting the library up and taking it down again.
#include "engine/ClientEngine.h"
#include "engine/ProcessGlobals.h"
#include "tests/fakes/FakeRtcClient.h"
#include "tests/fakes/MessageCapture.h"
#include "tests/fakes/RecordingViews.h"

#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

class TestEngineStartup : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<FakeRtcClient> m_client;
    RecordingDisplay m_display;

    RtcClientFactory factory()
    {
        return [this](RtcClientPtr& client) {
            client = m_client;
            return S_OK;
        };
    }

private slots:
    void init()
    {
        m_client = FakeRtcClient::create();
        m_display = RecordingDisplay();
    }

    void setsTheLibraryUpInOrder()
    {
        MessageCapture messages;
        QScopedPointer<CClientEngine> engine(CClientEngine::Create(factory(), m_display));
        QVERIFY(engine);
        QCOMPARE(g_pClientEngine, engine.data());
        QCOMPARE(m_client->log().ops(),
                 QStringList({"Client.get_Version", "Client.Initialize", "Client.put_EventFilter",
                              "Client.put_AllowedPorts", "Client.put_AllowedPorts", "Client.put_AnswerMode",
                              "Client.put_AnswerMode", "Client.put_AnswerMode", "Client.put_AnswerMode",
                              "Client.put_AnswerMode", "Client.put_AnswerMode", "Client.Advise",
                              "Client.put_ClientName", "Client.put_ClientCurVer"}));
        const auto& calls = m_client->log().calls();
        QCOMPARE(calls[2].args, QVariantList({0x8F2FFF}));
        QCOMPARE(calls[3].args, QVariantList({RTCTR_TCP, RTCLM_BOTH}));
        QCOMPARE(calls[4].args, QVariantList({RTCTR_UDP, RTCLM_BOTH}));
        const QList<QVariantList> answerModes{
            {RTCST_PC_TO_PC, RTCAM_OFFER_SESSION_EVENT},       {RTCST_IM, RTCAM_AUTOMATICALLY_ACCEPT},
            {RTCST_MULTIPARTY_IM, RTCAM_AUTOMATICALLY_ACCEPT}, {RTCST_APPLICATION, RTCAM_OFFER_SESSION_EVENT},
            {RTCST_PC_TO_PHONE, RTCAM_OFFER_SESSION_EVENT},    {RTCST_PHONE_TO_PHONE, RTCAM_OFFER_SESSION_EVENT}};
        for (int i = 0; i < answerModes.size(); ++i)
            QCOMPARE(calls[5 + i].args, answerModes[i]);
        QCOMPARE(calls[12].args, QVariantList({"Orvalo Phone"}));
        // "Built:" + the compiler's date ("Nov  1 2004") + "." + time ("08:31:46").
        const QString version = calls[13].args.value(0).toString();
        QVERIFY2(
            QRegularExpression(R"(^Built:[A-Z][a-z]{2} [ 1-3]\d \d{4}\.\d\d:\d\d:\d\d$)").match(version).hasMatch(),
            qPrintable(version));
        QVERIFY(m_client->hasSink());
        QVERIFY(messages.texts.isEmpty());
    }

    void refusesOldOrMissingLibraries_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<HRESULT>("versionResult");
        QTest::addColumn<QString>("message");
        QTest::newRow("1.1") << 0x10001 << S_OK << "RTC Client v1.2 or higher required!";
        QTest::newRow("version unreadable") << 0x10002 << E_FAIL << "RTC Client v1.1 or higher required!";
    }

    void refusesOldOrMissingLibraries()
    {
        QFETCH(int, version);
        QFETCH(HRESULT, versionResult);
        QFETCH(QString, message);
        m_client->m_version = version;
        m_client->setResult("Client.get_Version", versionResult);
        MessageCapture messages;
        QCOMPARE(CClientEngine::Create(factory(), m_display), nullptr);
        QCOMPARE(messages.texts, QStringList{message});
        QCOMPARE(messages.captions, QStringList{"Orvalo Phone"});
        QCOMPARE(m_client->log().count("Client.Initialize"), 0);
        QCOMPARE(g_pClientEngine, nullptr);
    }

    void refusesWhenTheClientCannotBeCreated()
    {
        MessageCapture messages;
        const RtcClientFactory failing = [](RtcClientPtr&) { return E_OUTOFMEMORY; };
        QCOMPARE(CClientEngine::Create(failing, m_display), nullptr);
        QCOMPARE(messages.texts, QStringList{"RTC Client v1.1 or higher required!"});
    }

    void eachSetUpFailureLeavesNothingBehind_data()
    {
        QTest::addColumn<QString>("failingOp");
        for (const char* op : {"Client.Initialize", "Client.put_EventFilter", "Client.put_AllowedPorts",
                               "Client.put_AnswerMode", "Client.Advise", "Client.put_ClientCurVer"})
            QTest::newRow(op) << QString::fromLatin1(op);
    }

    void eachSetUpFailureLeavesNothingBehind()
    {
        QFETCH(QString, failingOp);
        m_client->setResult(failingOp, E_FAIL);
        MessageCapture messages;
        std::weak_ptr<FakeRtcClient> watch = m_client;
        QCOMPARE(CClientEngine::Create(factory(), m_display), nullptr);
        QVERIFY(messages.texts.isEmpty());
        QVERIFY(!m_client->hasSink());
        QCOMPARE(m_client->log().count("Client.Unadvise"),
                 m_client->log().count("Client.Advise") - (failingOp == "Client.Advise" ? 1 : 0));
        QCOMPARE(m_client->log().count("Client.Shutdown"), 0);
        m_client.reset();
        QVERIFY2(watch.expired(), "the engine still holds the client");
    }

    void onlyThePhoneSessionAnswerModesMayFail()
    {
        m_client->setResultOfCall("Client.put_AnswerMode", 5, E_FAIL);
        m_client->setResultOfCall("Client.put_AnswerMode", 6, E_FAIL);
        QScopedPointer<CClientEngine> engine(CClientEngine::Create(factory(), m_display));
        QVERIFY(engine);

        engine.reset();
        m_client = FakeRtcClient::create();
        m_client->setResultOfCall("Client.put_AnswerMode", 4, E_FAIL);
        QCOMPARE(CClientEngine::Create(factory(), m_display), nullptr);
    }

    void closeThenCleanupDoneShutsDownOnce()
    {
        QPointer<CClientEngine> engine = CClientEngine::Create(factory(), m_display);
        QVERIFY(engine);
        m_client->log().clear();
        engine->OnClose();
        QCOMPARE(m_client->log().count("Client.PrepareForShutdown"), 1);
        QCOMPARE(m_client->log().count("Client.Shutdown"), 1);
        QVERIFY(engine); // alive until the library says it has cleaned up

        QVERIFY(m_client->fire(RTCE_CLIENT, FakeEvents::client(RTCCET_ASYNC_CLEANUP_DONE)));
        QTRY_VERIFY(!engine);
        QCOMPARE(m_client->log().count("Client.Shutdown"), 1);
        QCOMPARE(m_client->log().count("Client.Unadvise"), 1);
        QVERIFY(!m_client->hasSink());
        QCOMPARE(g_pClientEngine, nullptr);
    }

    void closeWithoutPreparedShutdownEndsAtOnce()
    {
        m_client->setResult("Client.PrepareForShutdown", E_FAIL);
        QPointer<CClientEngine> engine = CClientEngine::Create(factory(), m_display);
        engine->OnClose();
        QCOMPARE(m_client->log().count("Client.Shutdown"), 0);
        QTRY_VERIFY(!engine);
        QCOMPARE(m_client->log().count("Client.Shutdown"), 1);
    }

    void destructionWithoutCloseUnregistersAndShutsDown()
    {
        CClientEngine* engine = CClientEngine::Create(factory(), m_display);
        m_client->log().clear();
        delete engine;
        QCOMPARE(m_client->log().ops(), QStringList({"Client.Unadvise", "Client.Shutdown"}));
        QVERIFY(!m_client->hasSink());
    }
};

QTEST_MAIN(TestEngineStartup)
#include "tst_engine_startup.moc"
