#include "NetworkText.h"

#include <algorithm>

namespace {
const QChar kEllipsis(0x2026);

bool IsDirectionControl(char16_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Cuts without splitting a surrogate pair; a text that was cut ends in an ellipsis.
QString Bounded(QString text, qsizetype maxLength, bool alreadyCut)
{
    if (!alreadyCut && text.size() <= maxLength)
        return text;
    qsizetype cut = std::min(text.size(), maxLength - 1);
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut;
    text.truncate(cut);
    return text + kEllipsis;
}

QString Cleaned(const QString& text, bool singleLine)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                continue; // CR LF: the LF follows
            out += singleLine ? u' ' : u'\n';
        } else if (c == u'\n' || c == u'\t') {
            out += singleLine ? u' ' : QChar(c);
        } else if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            out += singleLine ? u' ' : u'\n';
        } else if (c < 0x20 || (c >= 0x7F && c < 0xA0) || (singleLine && IsDirectionControl(c))) {
            continue;
        } else if (QChar::isSurrogate(c) &&
                   !(QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) &&
                   !(QChar::isLowSurrogate(c) && i > 0 && text.at(i - 1).isHighSurrogate())) {
            out += QChar::ReplacementCharacter; // half of a broken pair
        } else {
            out += QChar(c);
        }
    }
    return out;
}
} // namespace

namespace {
QString Shown(const QString& text, qsizetype maxLength, bool singleLine)
{
    // A generous bound before cleaning keeps the work small for a huge text.
    const qsizetype scanned = maxLength * 2;
    return Bounded(Cleaned(text.left(scanned), singleLine), maxLength, text.size() > scanned);
}
} // namespace

QString NetworkText::SingleLine(const QString& text, qsizetype maxLength)
{
    return Shown(text, maxLength, true);
}

QString NetworkText::MultiLine(const QString& text, qsizetype maxLength)
{
    return Shown(text, maxLength, false);
}
