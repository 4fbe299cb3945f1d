// The text of one call log record, "name|URI|date and time|call type", and the
// rules that keep its fields clean and within one slot of the log file.
#pragma once

#include <QDateTime>
#include <QString>

// Call types of CCallLogPage::AddEntry.
enum ECallType { kCallPlaced = 0, kCallAnswered = 1, kCallMissed = 2 };

constexpr int kCallLogRecordWidth = 128;

struct SCallLogFields {
    QString name;
    QString uri;
    QString dateTime;
    QString callType;
};

// "Placed Call", "Answered Call" or "Missed Call"; empty for an unknown type.
QString CallTypeText(int callType);

// Month, day, four-digit year, two blanks, hour and minute: "03-07-2005  14:05".
QString CallLogDateTime(const QDateTime& when);

// Line breaks and other control characters, and halves of broken surrogate pairs,
// become blanks: they would break the slot's line or the list's row.
QString BlankControlCharacters(const QString& text);

// At most width UTF-16 units, never ending in the first half of a surrogate pair.
QString CutToWidth(const QString& text, int width);

// Cleans every field ("|" becomes a blank as well) and bounds the record to width
// characters: the name is shortened first; a URI that cannot fit whole is left out
// rather than cut, so that a call back never reaches a wrong party.
QString BuildCallLogRecord(const SCallLogFields& fields, int width = kCallLogRecordWidth);

// The four fields of a record read back; fields missing with their separators are empty.
SCallLogFields SplitCallLogRecord(const QString& record);

// The log file "<user>.log" in folder; empty when the user part is empty or could
// name a file outside the folder.
QString CallLogPath(const QString& folder, const QString& userPart);

// The user's documents folder, created when missing.
QString CallLogFolder();
