#include "shell/CallLogFile.h"

#include <QDir>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray Utf16(const QString& text)
{
    QStringEncoder encoder(QStringConverter::Utf16LE);
    return encoder(text);
}

QByteArray Header(int slot)
{
    return Utf16(QStringLiteral("%1\r\n").arg(slot, 10, 10, QLatin1Char('0')));
}

QByteArray Slot(const QString& text)
{
    return Utf16(text.leftJustified(128, QLatin1Char(' ')) + QStringLiteral("\r\n"));
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QString Record(int n)
{
    return QStringLiteral("caller %1|sip:999%1@sip.orvalo.test|03-07-2005  14:05|Placed Call").arg(n);
}
} // namespace

class TestCallLogFile : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_folder.isValid());
        QFile::remove(LogPath());
    }
    void firstRecordLayout();
    void ring_data();
    void ring();
    void textOutsideAsciiRoundTrips();
    void recordsAreBoundedToTheirSlot();
    void openNeitherTruncatesNorCreatesForReading();
    void damagedFileIsSetAside_data();
    void damagedFileIsSetAside();
    void blankSlotsAreSkipped();
    void unusableFiles();

private:
    QString LogPath() const { return m_folder.filePath(QStringLiteral("18005551234.log")); }
    QTemporaryDir m_folder;
};

void TestCallLogFile::firstRecordLayout()
{
    const QString record = Record(1);
    QVERIFY(AppendCallLog(LogPath(), record));
    const QByteArray bytes = Contents(LogPath());
    QCOMPARE(bytes.size(), 284);
    QCOMPARE(bytes.left(24), Utf16(QStringLiteral("0000000001\r\n")));
    QCOMPARE(bytes.mid(24), Slot(record));

    const SCallLogContents contents = ReadCallLog(LogPath());
    QCOMPARE(contents.state, ECallLogState::Records);
    QCOMPARE(contents.records, QStringList{record});
}

void TestCallLogFile::ring_data()
{
    QTest::addColumn<int>("appends");
    for (int appends : {1, 5, 19, 20, 21, 45}) {
        QTest::addRow("%d records", appends) << appends;
    }
}

void TestCallLogFile::ring()
{
    QFETCH(int, appends);
    const QString path = m_folder.filePath(QStringLiteral("ring%1.log").arg(appends));
    for (int n = 1; n <= appends; ++n) {
        QVERIFY(AppendCallLog(path, Record(n)));
    }
    const int kept = std::min(appends, 20);
    const int last = (appends - 1) % 20 + 1;
    const QByteArray bytes = Contents(path);
    QCOMPARE(bytes.size(), 24 + 260 * kept);
    QCOMPARE(bytes.left(24), Header(last));
    QCOMPARE(bytes.mid(24 + 260 * (last - 1), 260), Slot(Record(appends)));

    CCallLogFile file;
    QVERIFY(file.Open(path, CCallLogFile::EOpenMode::Read));
    QCOMPARE(file.BeginReading(), appends < 20 ? 1 : last % 20 + 1);
    QStringList expected;
    for (int n = appends - kept + 1; n <= appends; ++n) {
        expected << Record(n);
    }
    QCOMPARE(file.ReadAll(), expected); // oldest first, the newest last
}

void TestCallLogFile::textOutsideAsciiRoundTrips()
{
    const QString record = QStringLiteral("Zoë Ångström 東京 \U0001F600|sip:9995550100@sip.orvalo.test|x|Missed Call");
    QVERIFY(AppendCallLog(LogPath(), record));
    QVERIFY(Contents(LogPath()).contains(QByteArray("Z\0o\0\xeb\0", 6)));
    QCOMPARE(ReadCallLog(LogPath()).records, QStringList{record});
}

void TestCallLogFile::recordsAreBoundedToTheirSlot()
{
    // Too long: cut at the slot's width, never through a surrogate pair.
    const QString longRecord = QString(127, QLatin1Char('a')) + QStringLiteral("\U0001F600 and more");
    QVERIFY(AppendCallLog(LogPath(), longRecord));
    // A line break inside would end the slot's line early.
    QVERIFY(AppendCallLog(LogPath(), QStringLiteral("Eve\r\nX|sip:1|d|t")));
    QCOMPARE(Contents(LogPath()).size(), 24 + 2 * 260);
    QCOMPARE(ReadCallLog(LogPath()).records,
             QStringList({QString(127, QLatin1Char('a')), QStringLiteral("Eve  X|sip:1|d|t")}));
}

void TestCallLogFile::openNeitherTruncatesNorCreatesForReading()
{
    const SCallLogContents missing = ReadCallLog(LogPath());
    QCOMPARE(missing.state, ECallLogState::Missing);
    QVERIFY(!QFile::exists(LogPath()));

    QVERIFY(AppendCallLog(LogPath(), Record(1)));
    const QByteArray before = Contents(LogPath());
    CCallLogFile file;
    QVERIFY(file.Open(LogPath(), CCallLogFile::EOpenMode::ReadWrite));
    file.Close();
    QCOMPARE(Contents(LogPath()), before);

    QVERIFY(file.Open(LogPath(), CCallLogFile::EOpenMode::Read));
    QVERIFY(!file.Append(Record(2)));
    QVERIFY(!file.ErrorString().isEmpty());
    QCOMPARE(Contents(LogPath()), before);
}

void TestCallLogFile::damagedFileIsSetAside_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray two = Header(2) + Slot(Record(1)) + Slot(Record(2));
    QTest::newRow("letter in the header") << Utf16(QStringLiteral("00000000x1\r\n")) + Slot(Record(1));
    QTest::newRow("header 0") << Header(0) + Slot(Record(1));
    QTest::newRow("header above 20") << Header(21) + two.mid(24);
    QTest::newRow("header past the last slot") << Header(3) + two.mid(24);
    QTest::newRow("header without line end") << Utf16(QStringLiteral("0000000001XY")) + Slot(Record(1));
    QTest::newRow("truncated") << two.left(two.size() - 100);
    QTest::newRow("header only") << Header(1);
    QTest::newRow("more than 20 slots") << Header(1) + Slot(Record(1)).repeated(21);
    QTest::newRow("odd byte count") << two + QByteArray(1, 'x');
}

void TestCallLogFile::damagedFileIsSetAside()
{
    QFETCH(QByteArray, bytes);
    Write(LogPath(), bytes);

    // Shown as an empty log, so that Clear Log stays reachable; the file is left alone.
    QCOMPARE(ReadCallLog(LogPath()).state, ECallLogState::Damaged);
    QCOMPARE(Contents(LogPath()), bytes);

    QVERIFY(AppendCallLog(LogPath(), Record(7)));
    QCOMPARE(Contents(LogPath()), Header(1) + Slot(Record(7)));
    const QStringList aside = QDir(m_folder.path()).entryList({QStringLiteral("18005551234.log.bad-*")});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(Contents(m_folder.filePath(aside.first())), bytes);
    QVERIFY(QFile::remove(m_folder.filePath(aside.first())));
}

void TestCallLogFile::blankSlotsAreSkipped()
{
    Write(LogPath(), Header(3) + Slot(Record(1)) + Slot(QString()) + Slot(Record(3)));
    QCOMPARE(ReadCallLog(LogPath()).records, QStringList({Record(1), Record(3)}));
}

void TestCallLogFile::unusableFiles()
{
    // A path below a plain file can be neither created nor read.
    Write(LogPath(), Header(1) + Slot(Record(1)));
    const QString below = LogPath() + QStringLiteral("/1.log");
    QString error;
    QVERIFY(!AppendCallLog(below, Record(2), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!AppendCallLog(QString(), Record(2)));

    const QString folderPath = m_folder.filePath(QStringLiteral("folder.log"));
    QVERIFY(QDir().mkpath(folderPath));
    const SCallLogContents contents = ReadCallLog(folderPath);
    QCOMPARE(contents.state, ECallLogState::Failed);
    QVERIFY(!contents.error.isEmpty());
}

QTEST_MAIN(TestCallLogFile)
#include "tst_CallLogFile.moc"
