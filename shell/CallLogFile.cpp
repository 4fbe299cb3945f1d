#include "CallLogFile.h"

#include "CallLogRecord.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>

namespace {
const QString kLineEnd = QStringLiteral("\r\n");
constexpr int kUnitSize = 2;
constexpr int kLineEndUnits = 2;
// Bounds the search for a free name when several damaged logs are set aside in one second.
constexpr int kMaxAsideNames = 100;

QByteArray ToUtf16Le(const QString& text)
{
    QByteArray bytes(text.size() * kUnitSize, '\0');
    for (qsizetype i = 0; i < text.size(); ++i) {
        qToLittleEndian<quint16>(text[i].unicode(), bytes.data() + kUnitSize * i);
    }
    return bytes;
}

QString FromUtf16Le(const QByteArray& bytes)
{
    QString text(bytes.size() / kUnitSize, QChar());
    for (qsizetype i = 0; i < text.size(); ++i) {
        text[i] = QChar(qFromLittleEndian<quint16>(bytes.constData() + kUnitSize * i));
    }
    return text;
}

bool IsDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}
} // namespace

CCallLogFile::CCallLogFile(int slotCount, int recordWidth)
    : m_slotCount(std::max(1, slotCount)), m_recordWidth(std::max(1, recordWidth))
{
}

qint64 CCallLogFile::HeaderSize() const
{
    return (kHeaderDigits + kLineEndUnits) * kUnitSize;
}

qint64 CCallLogFile::SlotSize() const
{
    return static_cast<qint64>(m_recordWidth + kLineEndUnits) * kUnitSize;
}

qint64 CCallLogFile::SlotOffset(int slot) const
{
    return HeaderSize() + SlotSize() * (slot - 1);
}

bool CCallLogFile::HasSlot(int slot) const
{
    return slot >= 1 && slot <= m_slotCount && m_file.size() >= SlotOffset(slot) + SlotSize();
}

bool CCallLogFile::Fail(const QString& error)
{
    m_error = error;
    return false;
}

bool CCallLogFile::Open(const QString& path, EOpenMode mode)
{
    Close();
    m_error.clear();
    if (path.isEmpty()) {
        return Fail(QStringLiteral("There is no call log for this user."));
    }
    m_file.setFileName(path);
    // Read-write creates a missing file and, without Truncate, keeps an existing one whole.
    if (!m_file.open(mode == EOpenMode::Read ? QIODevice::ReadOnly : QIODevice::ReadWrite)) {
        return Fail(m_file.errorString());
    }
    return true;
}

void CCallLogFile::Close()
{
    m_file.close();
}

std::optional<int> CCallLogFile::ReadHeader()
{
    const qint64 size = m_file.size();
    if (size == 0) {
        return 0;
    }
    const qint64 slotBytes = size - HeaderSize();
    if (slotBytes < SlotSize() || slotBytes % SlotSize() != 0 || slotBytes / SlotSize() > m_slotCount) {
        return std::nullopt;
    }
    if (!m_file.seek(0)) {
        Fail(m_file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = m_file.read(HeaderSize());
    if (bytes.size() != HeaderSize()) {
        Fail(m_file.errorString());
        return std::nullopt;
    }
    const QString header = FromUtf16Le(bytes);
    const QStringView digits = QStringView(header).left(kHeaderDigits);
    if (!IsDigits(digits) || !header.endsWith(kLineEnd)) {
        return std::nullopt;
    }
    const int last = digits.toInt();
    if (!HasSlot(last)) {
        return std::nullopt;
    }
    return last;
}

bool CCallLogFile::Replace(const QByteArray& image)
{
    // One step for the whole file: a program killed while writing leaves the old log
    // or the new one, never a slot without its header.
    const QString path = m_file.fileName();
    QSaveFile save(path);
    if (!save.open(QIODevice::WriteOnly) || save.write(image) != image.size() || !save.commit()) {
        return Fail(save.errorString());
    }
    m_file.close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadWrite)) {
        return Fail(m_file.errorString());
    }
    return true;
}

bool CCallLogFile::SetAside()
{
    // The damaged file is kept under another name: nothing the user had is lost.
    const QString path = m_file.fileName();
    m_file.close();
    const QString base =
        path + QStringLiteral(".bad-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = base;
    for (int n = 1; QFileInfo::exists(aside) && n < kMaxAsideNames; ++n) {
        aside = base + QLatin1Char('-') + QString::number(n);
    }
    if (QFileInfo::exists(aside) || !QFile::rename(path, aside)) {
        return Fail(QStringLiteral("The damaged call log %1 could not be set aside.").arg(path));
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadWrite)) {
        return Fail(m_file.errorString());
    }
    return true;
}

bool CCallLogFile::Append(const QString& record)
{
    if (!m_file.isOpen() || !m_file.isWritable()) {
        return Fail(QStringLiteral("The call log is not open for writing."));
    }
    std::optional<int> last = ReadHeader();
    if (!last) {
        if (!SetAside()) {
            return false;
        }
        last = 0;
    }
    const int slot = *last + 1 > m_slotCount ? 1 : *last + 1;
    const QString text = CutToWidth(BlankControlCharacters(record), m_recordWidth);
    if (!m_file.seek(0)) {
        return Fail(m_file.errorString());
    }
    QByteArray image = m_file.readAll();
    const qint64 end = SlotOffset(slot) + SlotSize();
    if (image.size() < end) {
        image.append(QByteArray(end - image.size(), '\0'));
    }
    image.replace(SlotOffset(slot), SlotSize(),
                  ToUtf16Le(text.leftJustified(m_recordWidth, QLatin1Char(' ')) + kLineEnd));
    const QString header = QStringLiteral("%1").arg(slot, kHeaderDigits, 10, QLatin1Char('0')) + kLineEnd;
    image.replace(0, HeaderSize(), ToUtf16Le(header));
    return Replace(image);
}

int CCallLogFile::BeginReading()
{
    const std::optional<int> last = ReadHeader();
    if (!last || *last == 0) {
        return 0;
    }
    // Until the ring has wrapped, slot 1 holds the oldest record.
    const int next = *last + 1;
    return next <= m_slotCount && HasSlot(next) ? next : 1;
}

bool CCallLogFile::ReadNext(int& slot, QString& text)
{
    if (!HasSlot(slot)) {
        return Fail(QStringLiteral("The call log has no slot %1.").arg(slot));
    }
    if (!m_file.seek(SlotOffset(slot))) {
        return Fail(m_file.errorString());
    }
    const QByteArray bytes = m_file.read(static_cast<qint64>(m_recordWidth) * kUnitSize);
    if (bytes.size() != m_recordWidth * kUnitSize) {
        return Fail(m_file.errorString());
    }
    QString line = FromUtf16Le(bytes);
    const auto lineEnd = std::find_if(line.cbegin(), line.cend(), [](QChar c) { return c == u'\r' || c == u'\n'; });
    line.truncate(lineEnd - line.cbegin());
    while (!line.isEmpty() && line.back().isSpace()) {
        line.chop(1);
    }
    text = line;
    ++slot;
    if (!HasSlot(slot)) {
        slot = 1;
    }
    return true;
}

QStringList CCallLogFile::ReadAll()
{
    QStringList records;
    const int start = BeginReading();
    if (start == 0) {
        return records;
    }
    int slot = start;
    for (int read = 0; read < m_slotCount; ++read) {
        QString text;
        if (!ReadNext(slot, text)) {
            break;
        }
        if (!text.isEmpty()) {
            records.append(text);
        }
        if (slot == start) {
            break;
        }
    }
    return records;
}

SCallLogContents ReadCallLog(const QString& path)
{
    SCallLogContents contents;
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        return contents;
    }
    CCallLogFile file;
    if (!file.Open(path, CCallLogFile::EOpenMode::Read)) {
        contents.state = ECallLogState::Failed;
        contents.error = file.ErrorString();
        return contents;
    }
    if (!file.ReadHeader()) {
        contents.state = ECallLogState::Damaged;
        return contents;
    }
    contents.state = ECallLogState::Records;
    contents.records = file.ReadAll();
    return contents;
}

bool AppendCallLog(const QString& path, const QString& record, QString* error)
{
    CCallLogFile file;
    if (file.Open(path, CCallLogFile::EOpenMode::ReadWrite) && file.Append(record)) {
        return true;
    }
    if (error) {
        *error = file.ErrorString();
    }
    return false;
}
