// Saved message transcripts: UTF-8 without a byte order mark, every line ending
// in CR LF, written atomically so that a failed save leaves an existing file intact.
#pragma once

#include <QString>

namespace TranscriptFile {
// The file's bytes for a transcript whose lines are separated by LF.
QByteArray Encode(const QString& transcript);
// Writes the transcript to the file; false with the reason in `error` when it could not.
bool Write(const QString& path, const QString& transcript, QString& error);
} // namespace TranscriptFile
