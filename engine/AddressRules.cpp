#include "engine/AddressRules.h"

#include "engine/ServiceConfig.h"
#include "engine/SettingsStore.h"

#include <QStringView>

#include <utility>

namespace {

constexpr qsizetype kMinNumberLength = 7;
constexpr qsizetype kMaxNumberLength = 20;
constexpr qsizetype kMaxDisplayLength = 20;
constexpr qsizetype kMinPresenceServerUriLength = 5;
constexpr char kDefaultPresenceServerUser[] = "sip:ZadodaVovova@";

bool IsDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Whether the character at `index` may stand there; positions count from the
// end of the number, the last character being position 1.
bool IsAllowedAt(QStringView number, qsizetype index)
{
    const QChar c = number[index];
    if (IsDigit(c) || c == u' ')
        return true;
    switch (number.size() - index) {
    case 5: return c == u'-';
    case 8:
    case 9:
    case 10: return c == u')';
    case 13:
    case 14:
    case 15:
        // The area code may be written "(800)": its ")" lies four places to the
        // right, at position 9 to 11, so always inside the number.
        if (c == u'(')
            return number[index + 4] == u')';
        return c == u'-' || c == u'.';
    default: return false;
    }
}

char16_t AsciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

bool StartsWithIgnoringAsciiCase(QStringView text, QStringView prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        if (AsciiLower(text[i].unicode()) != AsciiLower(prefix[i].unicode()))
            return false;
    }
    return true;
}

// Removes every non-overlapping occurrence of `part`, scanning left to right and
// comparing ASCII letters without regard to case. Unicode case folding would
// also match look-alikes such as the long s, which an address must not lose.
void RemoveIgnoringAsciiCase(QString& text, QStringView part)
{
    if (part.isEmpty())
        return;
    QString kept;
    kept.reserve(text.size());
    const QStringView rest(text);
    qsizetype i = 0;
    while (i < rest.size()) {
        if (StartsWithIgnoringAsciiCase(rest.sliced(i), part)) {
            i += part.size();
        } else {
            kept += rest[i];
            ++i;
        }
    }
    text = std::move(kept);
}

void RemoveCharacters(QString& text, QStringView characters)
{
    text.removeIf([characters](QChar c) { return characters.contains(c); });
}

} // namespace

int CheckPhoneNumber(const QString& text)
{
    if (text.size() < kMinNumberLength || text.size() > kMaxNumberLength)
        return 1;
    if (!text.startsWith(u'1') && !text.startsWith(u"011") && !text.startsWith(u"999"))
        return 1;
    for (qsizetype index = text.size() - 1; index >= 0; --index) {
        if (!IsAllowedAt(text, index))
            return 1;
    }
    return 0;
}

QString ToServiceSipUri(const QString& text)
{
    QString uri = QStringLiteral("sip:") + text;
    RemoveCharacters(uri, u" -.()+");
    return uri + u'@' + ServiceConfig::current().sipDomain;
}

void ToDisplayNumber(QString& text)
{
    RemoveIgnoringAsciiCase(text, ServiceConfig::current().sipDomain);
    RemoveIgnoringAsciiCase(text, u"sip:");
    RemoveIgnoringAsciiCase(text, u"tel:");
    RemoveCharacters(text, u"@- .()");
    if (text.size() > kMaxDisplayLength) {
        // Never keep half of a surrogate pair.
        const bool splitsPair = text[kMaxDisplayLength - 1].isHighSurrogate();
        text.truncate(splitsPair ? kMaxDisplayLength - 1 : kMaxDisplayLength);
    }
    text = text.trimmed();
}

QString PresenceServerUri()
{
    QString uri;
    if (FAILED(CSettingsStore::ReadSetting(QString::fromLatin1(kSettingSipServerUri), uri)) ||
        uri.size() < kMinPresenceServerUriLength)
        return QString::fromLatin1(kDefaultPresenceServerUser) + ServiceConfig::current().sipDomain;
    return uri;
}
