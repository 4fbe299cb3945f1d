// The per-user call log file: a ring of fixed-size UTF-16 text slots behind a
// header that names the slot written last.
//
//   offset 0                 ten digits, the slot written last (0000000001 .. 0000000020), "\r\n"
//   offset 24 + 260 (n - 1)  slot n: 128 characters, blank padded, "\r\n"
//
// Each append replaces the whole file in one step (it is about 5 KB).
// All text is UTF-16 little-endian without a byte-order mark. A header that is not ten
// digits naming an existing slot, or a length that is not a whole number of slots, marks
// a damaged file: it reads as empty, and the next append sets it aside and starts anew.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <optional>

class CCallLogFile {
public:
    static constexpr int kSlotCount = 20;
    static constexpr int kRecordWidth = 128;
    static constexpr int kHeaderDigits = 10;

    enum class EOpenMode {
        Read,     // an existing file only; never creates one
        ReadWrite // creates a missing file; never truncates
    };

    explicit CCallLogFile(int slotCount = kSlotCount, int recordWidth = kRecordWidth);

    bool Open(const QString& path, EOpenMode mode);
    void Close();
    bool IsOpen() const { return m_file.isOpen(); }
    QString ErrorString() const { return m_error; }

    // The slot written last, 0 for an empty file; nothing when the file is damaged.
    std::optional<int> ReadHeader();
    // Writes the record (cleaned and cut to the record width) into the next slot.
    bool Append(const QString& record);
    // The slot of the oldest record, or 0 when there is none to read.
    int BeginReading();
    // Reads the slot's text without its padding and advances the slot, wrapping to 1.
    bool ReadNext(int& slot, QString& text);
    // Every record from the oldest to the newest; blank slots are skipped.
    QStringList ReadAll();

    qint64 HeaderSize() const;
    qint64 SlotSize() const;
    qint64 SlotOffset(int slot) const;

private:
    bool HasSlot(int slot) const;
    bool SetAside();
    bool Replace(const QByteArray& image);
    bool Fail(const QString& error);

    QFile m_file;
    int m_slotCount;
    int m_recordWidth;
    QString m_error;
};

// What a reload finds in a call log file.
enum class ECallLogState {
    Missing, // no file: an empty log
    Damaged, // unreadable header or length: shown as an empty log
    Records, // zero or more records
    Failed   // the file exists but cannot be opened or read
};

struct SCallLogContents {
    ECallLogState state = ECallLogState::Missing;
    QStringList records; // oldest first
    QString error;
};

// Reads the log at path without ever creating it.
SCallLogContents ReadCallLog(const QString& path);
// Appends one record, creating the file when missing; error receives the reason of a failure.
bool AppendCallLog(const QString& path, const QString& record, QString* error = nullptr);
