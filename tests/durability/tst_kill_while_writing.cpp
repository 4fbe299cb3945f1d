// kill -9 while the call log and the presence store are being written: each file
// is afterwards one whole version. The writer appends record n to the log, then
// saves store version n, so the store holds the log's newest version or the one before.
#include "FileVersions.h"

#include "shell/CallLogFile.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>

namespace {
constexpr int kRounds = 25;
constexpr int kStartMs = 10000;
constexpr int kMaxRunMs = 40;
} // namespace

class TestKillWhileWriting : public QObject {
    Q_OBJECT

private slots:
    void bothFilesAreWholeAfterEachKill()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString log = folder.filePath(QStringLiteral("15551230001.log"));
        const QString storePath = folder.filePath(QStringLiteral("15551230001.xml"));
        for (int round = 0; round < kRounds; ++round) {
            QProcess writer;
            writer.start(QStringLiteral(ORVALO_FILE_WRITER_PATH), {log, storePath});
            QVERIFY2(writer.waitForReadyRead(kStartMs), qPrintable(writer.readAllStandardError()));
            QThread::msleep(QRandomGenerator::global()->bounded(kMaxRunMs));
            QCOMPARE(::kill(pid_t(writer.processId()), SIGKILL), 0);
            QVERIFY(writer.waitForFinished(kStartMs));

            const SCallLogContents contents = ReadCallLog(log);
            QCOMPARE(contents.state, ECallLogState::Records);
            const QList<int> numbers = FileVersions::CallLogNumbers(contents.records);
            QVERIFY(!numbers.isEmpty());
            // The newest records in order, as many as the ring holds.
            const int newest = numbers.last();
            QCOMPARE(numbers.size(), std::min(newest, int(CCallLogFile::kSlotCount)));
            for (qsizetype i = 0; i < numbers.size(); ++i)
                QCOMPARE(numbers[i], newest - int(numbers.size() - 1 - i));

            CPresenceStore store(storePath);
            const int version = FileVersions::StoreVersion(store.Load());
            QVERIFY2(store.setAside().isEmpty(), qPrintable(store.setAside()));
            QVERIFY2(version == newest || version == newest - 1,
                     qPrintable(QStringLiteral("store %1, log %2").arg(version).arg(newest)));
        }
    }
};

QTEST_MAIN(TestKillWhileWriting)
#include "tst_kill_while_writing.moc"
