#include "CallLogRecord.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>

namespace {
const QChar kSeparator = QLatin1Char('|');
constexpr int kSeparatorCount = 3;

bool IsUnsafe(QChar c, QChar previous, QChar next)
{
    if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0) || c == QChar::LineSeparator ||
        c == QChar::ParagraphSeparator) {
        return true;
    }
    if (c.isHighSurrogate()) {
        return !next.isLowSurrogate();
    }
    return c.isLowSurrogate() && !previous.isHighSurrogate();
}

QString CleanField(const QString& text)
{
    QString clean = BlankControlCharacters(text);
    clean.replace(kSeparator, QLatin1Char(' '));
    return clean.trimmed();
}

QString Bounded(const QString& text, int width)
{
    return CutToWidth(text, std::max(0, width)).trimmed();
}
} // namespace

QString CallTypeText(int callType)
{
    switch (callType) {
    case kCallPlaced: return QStringLiteral("Placed Call");
    case kCallAnswered: return QStringLiteral("Answered Call");
    case kCallMissed: return QStringLiteral("Missed Call");
    default: return QString();
    }
}

QString CallLogDateTime(const QDateTime& when)
{
    return when.toString(QStringLiteral("MM-dd-yyyy  HH:mm"));
}

QString BlankControlCharacters(const QString& text)
{
    QString clean = text;
    for (qsizetype i = 0; i < clean.size(); ++i) {
        const QChar previous = i > 0 ? text[i - 1] : QChar();
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (IsUnsafe(text[i], previous, next)) {
            clean[i] = QLatin1Char(' ');
        }
    }
    return clean;
}

QString CutToWidth(const QString& text, int width)
{
    if (text.size() <= width) {
        return text;
    }
    const qsizetype cut = width > 0 && text[width - 1].isHighSurrogate() ? width - 1 : width;
    return text.left(cut);
}

QString BuildCallLogRecord(const SCallLogFields& fields, int width)
{
    int room = width - kSeparatorCount;
    const QString callType = Bounded(CleanField(fields.callType), room);
    room -= callType.size();
    const QString dateTime = Bounded(CleanField(fields.dateTime), room);
    room -= dateTime.size();
    QString uri = CleanField(fields.uri);
    if (uri.size() > room) {
        uri.clear();
    }
    room -= uri.size();
    const QString name = Bounded(CleanField(fields.name), room);
    return name + kSeparator + uri + kSeparator + dateTime + kSeparator + callType;
}

SCallLogFields SplitCallLogRecord(const QString& record)
{
    // Each separator found ends one field; the call type is everything after the third.
    QString parts[4];
    qsizetype start = 0;
    for (int field = 0; field < 4; ++field) {
        const qsizetype end = field < kSeparatorCount ? record.indexOf(kSeparator, start) : -1;
        parts[field] = BlankControlCharacters(record.mid(start, end < 0 ? -1 : end - start)).trimmed();
        if (end < 0) {
            break;
        }
        start = end + 1;
    }
    return SCallLogFields{parts[0], parts[1], parts[2], parts[3]};
}

QString CallLogPath(const QString& folder, const QString& userPart)
{
    if (userPart.isEmpty() || userPart == QLatin1String(".") || userPart == QLatin1String("..") ||
        userPart.contains(QLatin1Char('/')) || userPart.contains(QLatin1Char('\\')) ||
        BlankControlCharacters(userPart) != userPart) {
        return QString();
    }
    return QDir(folder).filePath(userPart + QStringLiteral(".log"));
}

QString CallLogFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QDir().mkpath(folder);
    return folder;
}
