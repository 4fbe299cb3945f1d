#include "shell/CallLogFile.h"
#include "shell/CallLogRecord.h"

#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(SCallLogFields)

namespace {
const QString kUri = QStringLiteral("sip:18005551234@sip.orvalo.test");
const QString kWhen = QStringLiteral("03-07-2005  14:05");

SCallLogFields Fields(const QString& name, const QString& uri = kUri, const QString& when = kWhen,
                      const QString& type = QStringLiteral("Placed Call"))
{
    return SCallLogFields{name, uri, when, type};
}

QString Joined(const SCallLogFields& fields)
{
    return QStringList{fields.name, fields.uri, fields.dateTime, fields.callType}.join(QLatin1Char('#'));
}
} // namespace

class TestCallLogRecord : public QObject {
    Q_OBJECT
private slots:
    void recordText();
    void hostileFields_data();
    void hostileFields();
    void missingSeparators_data();
    void missingSeparators();
    void logPath_data();
    void logPath();
    void recordsSurviveTheFile();
};

void TestCallLogRecord::recordText()
{
    QCOMPARE(CallLogDateTime(QDateTime(QDate(2005, 3, 7), QTime(14, 5))), kWhen);
    QCOMPARE(CallLogDateTime(QDateTime(QDate(2024, 12, 31), QTime(0, 7))), QStringLiteral("12-31-2024  00:07"));
    QCOMPARE(CallTypeText(kCallPlaced), QStringLiteral("Placed Call"));
    QCOMPARE(CallTypeText(kCallAnswered), QStringLiteral("Answered Call"));
    QCOMPARE(CallTypeText(kCallMissed), QStringLiteral("Missed Call"));
    QVERIFY(CallTypeText(3).isEmpty());
    QVERIFY(CallTypeText(-1).isEmpty());

    const QString record = BuildCallLogRecord(Fields(QStringLiteral("18005551234")));
    QCOMPARE(record, QStringLiteral("18005551234|") + kUri + QStringLiteral("|03-07-2005  14:05|Placed Call"));
    QCOMPARE(Joined(SplitCallLogRecord(record)), Joined(Fields(QStringLiteral("18005551234"))));
}

void TestCallLogRecord::hostileFields_data()
{
    QTest::addColumn<SCallLogFields>("written");
    QTest::addColumn<SCallLogFields>("read");

    const QString longName(200, QLatin1Char('N'));
    const int nameRoom = 128 - 3 - kUri.size() - kWhen.size() - 11;
    const QString longUri = QStringLiteral("sip:") + QString(150, QLatin1Char('9')) + QStringLiteral("@x");
    QTest::newRow("separator and a second URI in the name")
        << Fields(QStringLiteral("Eve|sip:999666@evil.test")) << Fields(QStringLiteral("Eve sip:999666@evil.test"));
    QTest::newRow("line breaks in the name")
        << Fields(QStringLiteral("Eve\r\nMallory")) << Fields(QStringLiteral("Eve  Mallory"));
    QTest::newRow("control characters") << Fields(QStringLiteral("A\tB") + QChar(0) + QChar(0x85) + QStringLiteral("C"))
                                        << Fields(QStringLiteral("A B  C"));
    QTest::newRow("separator in the URI") << Fields(QStringLiteral("Bob"), QStringLiteral("sip:a|b@x"))
                                          << Fields(QStringLiteral("Bob"), QStringLiteral("sip:a b@x"));
    QTest::newRow("name of 200 characters") << Fields(longName) << Fields(longName.left(nameRoom));
    QTest::newRow("name cut between a surrogate pair")
        << Fields(QString(nameRoom - 1, QLatin1Char('n')) + QStringLiteral("\U0001F600"))
        << Fields(QString(nameRoom - 1, QLatin1Char('n')));
    QTest::newRow("URI that cannot fit") << Fields(QStringLiteral("Bob"), longUri)
                                         << Fields(QStringLiteral("Bob"), QString());
    QTest::newRow("empty name") << Fields(QString()) << Fields(QString());
}

void TestCallLogRecord::hostileFields()
{
    QFETCH(SCallLogFields, written);
    QFETCH(SCallLogFields, read);
    const QString record = BuildCallLogRecord(written);
    QVERIFY(record.size() <= 128);
    QCOMPARE(record.count(QLatin1Char('|')), 3);
    QCOMPARE(BlankControlCharacters(record), record);
    QCOMPARE(Joined(SplitCallLogRecord(record)), Joined(read));
}

void TestCallLogRecord::missingSeparators_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("fields");
    QTest::newRow("name only") << "Alice"
                               << "Alice###";
    QTest::newRow("no date") << "Alice|sip:1"
                             << "Alice#sip:1##";
    QTest::newRow("no call type") << "Alice|sip:1|03-07-2005  14:05"
                                  << "Alice#sip:1#03-07-2005  14:05#";
    QTest::newRow("empty") << ""
                           << "###";
    QTest::newRow("separators only") << "|||"
                                     << "###";
    QTest::newRow("extra separator") << "a|b|c|d|e"
                                     << "a#b#c#d|e";
    QTest::newRow("damaged characters") << QStringLiteral("Bob\x01|sip:2|x|y") << "Bob#sip:2#x#y";
}

void TestCallLogRecord::missingSeparators()
{
    QFETCH(QString, record);
    QTEST(Joined(SplitCallLogRecord(record)), "fields");
}

void TestCallLogRecord::logPath_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("path");
    QTest::newRow("number") << "18005551234"
                            << "/home/u/Documents/18005551234.log";
    QTest::newRow("no user") << ""
                             << "";
    QTest::newRow("parent folder") << ".."
                                   << "";
    QTest::newRow("slash") << "a/b"
                           << "";
    QTest::newRow("backslash") << "a\\b"
                               << "";
    QTest::newRow("line break") << "1\n2"
                                << "";
}

void TestCallLogRecord::logPath()
{
    QFETCH(QString, user);
    QTEST(CallLogPath(QStringLiteral("/home/u/Documents"), user), "path");
}

void TestCallLogRecord::recordsSurviveTheFile()
{
    QTemporaryDir folder;
    const QString path = CallLogPath(folder.path(), QStringLiteral("9995550100"));
    const SCallLogFields hostile = Fields(QStringLiteral("Zoë|sip:999666@evil\r\n") + QString(150, QLatin1Char('z')));
    const SCallLogFields plain = Fields(QStringLiteral("東京"), kUri, kWhen, CallTypeText(kCallMissed));
    QVERIFY(AppendCallLog(path, BuildCallLogRecord(hostile)));
    QVERIFY(AppendCallLog(path, BuildCallLogRecord(plain)));

    const QStringList records = ReadCallLog(path).records;
    QCOMPARE(records.size(), 2);
    const SCallLogFields first = SplitCallLogRecord(records[0]);
    QVERIFY(first.name.startsWith(QStringLiteral("Zoë sip:999666@evil  zzz")));
    QCOMPARE(first.uri, kUri);
    QCOMPARE(first.callType, QStringLiteral("Placed Call"));
    QCOMPARE(Joined(SplitCallLogRecord(records[1])), Joined(plain));
}

QTEST_MAIN(TestCallLogRecord)
#include "tst_CallLogRecord.moc"
