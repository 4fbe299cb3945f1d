// One phone per user: a later start hands its address to the first, a socket
// file left by a crash is taken over, and what arrives on the socket is bounded
// and checked before it reaches the phone.
#include "StaleSocket.h"
#include "app/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <future>

class TestSingleInstance : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_sockets = 0;
    QString NewSocketPath() { return m_dir.filePath(QStringLiteral("phone-%1.socket").arg(++m_sockets)); }

    // A later start, which blocks until it has its answer, on a thread of its own.
    static std::future<CSingleInstance::EStart> StartLater(const QString& path, const QString& address)
    {
        return std::async(std::launch::async, [path, address] { return CSingleInstance(path).Start(address); });
    }
    static bool Finished(const std::future<CSingleInstance::EStart>& start)
    {
        return start.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready;
    }

private slots:
    void aLaterStartHandsItsAddressToTheFirst_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("a tel: link") << QStringLiteral("tel:+1-800-555-1234");
        QTest::newRow("nothing to dial") << QString();
        QTest::newRow("not ASCII") << QStringLiteral("sip:j\u00f6rg@sip.orvalo.test");
    }
    void aLaterStartHandsItsAddressToTheFirst()
    {
        QFETCH(QString, address);
        const QString path = NewSocketPath();
        CSingleInstance first(path);
        QCOMPARE(first.Start(QString()), CSingleInstance::EStart::First);
        QSignalSpy received(&first, &CSingleInstance::addressReceived);

        auto later = StartLater(path, address);
        QTRY_VERIFY(Finished(later));
        QCOMPARE(later.get(), CSingleInstance::EStart::HandedOn);
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).toString(), address);
    }

    void aStaleSocketIsTakenOver()
    {
        const QString path = NewSocketPath();
        QVERIFY(LeaveStaleSocket(path));
        CSingleInstance first(path);
        QCOMPARE(first.Start(QString()), CSingleInstance::EStart::First);
        QVERIFY(first.IsListening());
    }

    void aPhoneThatDoesNotAnswerIsReported()
    {
        const QString path = NewSocketPath();
        QLocalServer silent;
        QVERIFY(silent.listen(path));
        QCOMPARE(CSingleInstance(path).Start(QStringLiteral("tel:9995550001")), CSingleInstance::EStart::NoAnswer);
    }

    void hostileRequestsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("request");
        const QByteArray longest(CSingleInstance::kMaxRequestBytes, '1');
        QTest::newRow("too long, no line end") << longest + '1';
        QTest::newRow("too long, with a line end") << longest + "1\n";
        QTest::newRow("control character") << QByteArray("tel:999\x1b[2J5550001\n");
        QTest::newRow("not UTF-8") << QByteArray("tel:\xff\xfe\n");
    }
    void hostileRequestsAreRefused()
    {
        QFETCH(QByteArray, request);
        const QString path = NewSocketPath();
        CSingleInstance first(path);
        QCOMPARE(first.Start(QString()), CSingleInstance::EStart::First);
        QSignalSpy received(&first, &CSingleInstance::addressReceived);

        QLocalSocket client;
        client.connectToServer(path);
        QVERIFY(client.waitForConnected(1000));
        client.write(request);
        QTRY_COMPARE(client.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(client.readAll(), QByteArray());
        QTest::qWait(50);
        QCOMPARE(received.count(), 0);

        // The phone still serves the next start.
        auto later = StartLater(path, QStringLiteral("tel:9995550001"));
        QTRY_VERIFY(Finished(later));
        QCOMPARE(later.get(), CSingleInstance::EStart::HandedOn);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_single_instance.moc"
