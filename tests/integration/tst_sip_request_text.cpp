// Telling a BYE and its Call-ID from an arriving datagram, in the header forms
// peers use.
#include "platform/linphone/SipRequestText.h"

#include <QtTest>

class TestSipRequestText : public QObject {
    Q_OBJECT

private slots:
    void callIdOfBye_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("callId");
        const QByteArray start =
            "BYE sip:15551230001@127.0.0.1:5070 SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1;branch=z9\r\n";
        QTest::newRow("long form") << start + "Call-ID: abc@host\r\nCSeq: 2 BYE\r\n\r\n" << QByteArray("abc@host");
        QTest::newRow("compact form, no blank") << start + "i:xyz\r\n\r\n" << QByteArray("xyz");
        QTest::newRow("other case") << start + "call-id:  q1 \r\n\r\n" << QByteArray("q1");
        QTest::newRow("not in the body") << start + "Content-Length: 11\r\n\r\nCall-ID: no" << QByteArray();
        QTest::newRow("an INVITE") << QByteArray("INVITE sip:a@b SIP/2.0\r\nCall-ID: abc\r\n\r\n") << QByteArray();
        QTest::newRow("an answer to a BYE")
            << QByteArray("SIP/2.0 200 OK\r\nCSeq: 2 BYE\r\nCall-ID: abc\r\n\r\n") << QByteArray();
    }
    void callIdOfBye()
    {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, callId);
        QCOMPARE(CallIdOfBye(message), callId);
    }
};

QTEST_GUILESS_MAIN(TestSipRequestText)
#include "tst_sip_request_text.moc"
