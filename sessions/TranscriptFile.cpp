#include "TranscriptFile.h"

#include <QSaveFile>

QByteArray TranscriptFile::Encode(const QString& transcript)
{
    QString text = transcript;
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text.toUtf8();
}

bool TranscriptFile::Write(const QString& path, const QString& transcript, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    const QByteArray bytes = Encode(transcript);
    // Qt 6.4 commits (and renames over the old file) even when the final flush
    // failed, e.g. on a full disk: flush first and give up on a failure.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        error = qt_error_string(); // the file's own text only says "Unknown error" here
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}
