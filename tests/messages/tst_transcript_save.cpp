// Saving a conversation: the file's exact bytes, and a save that fails, which
// leaves an existing file as it was and says so.
#include "MessageRig.h"

#include "sessions/TranscriptFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {
QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Files larger than the limit cannot be written while it lives, even by root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
};
} // namespace

class TestTranscriptSave : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<MessageRig> m_rig;
    std::unique_ptr<QTemporaryDir> m_folder;
    CIMSessionWnd* m_window = nullptr;
    QString m_chosen;

    MessageRig& rig() { return *m_rig; }

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        m_rig = std::make_unique<MessageRig>();
        rig().logOn();
        m_window = rig().startConversation(kCarolUri);
        QVERIFY(m_window);
        m_window->SetSaveFileChooser([this](QWidget*) { return m_chosen; });
        rig().participantOf(*m_window)->m_name = "Carol";
        MessageRig::typeAndSend(*m_window, QString::fromUtf8("é 中文 😀"));
        rig().receive(*m_window, "Hi\nthere");
    }
    void cleanup() { m_rig.reset(); }

    void theTranscriptIsSavedAsUtf8WithCrLfAndNoByteOrderMark()
    {
        m_chosen = m_folder->filePath("talk.txt");
        QCOMPARE(m_window->SaveTranscript(), S_OK);
        QCOMPARE(ReadAll(m_chosen), QByteArray("Alice says:\r\n\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80\r\n"
                                               "Carol says:\r\nHi\r\nthere\r\n"));
        QVERIFY(rig().messages().isEmpty());

        m_chosen.clear(); // cancelled
        QCOMPARE(m_window->SaveTranscript(), S_FALSE);
    }

    void aFailedSaveKeepsTheOldFileAndSaysWhichFile()
    {
        m_chosen = m_folder->filePath("old.txt");
        {
            QFile old(m_chosen);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("kept\r\n");
        }
        {
            const FileSizeLimit limit(8);
            QCOMPARE(m_window->SaveTranscript(), E_FAIL);
        }
        QCOMPARE(ReadAll(m_chosen), QByteArray("kept\r\n"));
        QCOMPARE(rig().messages().size(), 1);
        QVERIFY(rig().messages().first().contains(m_chosen));
        QVERIFY(rig().messages().first().contains("File too large"));
        QCOMPARE(rig().captions(), QStringList{"Orvalo Phone"});
        // No half-written copy is left behind either.
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files), QStringList{"old.txt"});
    }
};

QTEST_MAIN(TestTranscriptSave)
#include "tst_transcript_save.moc"
