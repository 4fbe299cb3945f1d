#include "SipScreen.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

namespace {

using namespace SipLimits;

bool IsTokenChar(char c)
{
    static constexpr std::string_view kMarks = "-.!%*_+`'~";
    return std::isalnum(static_cast<unsigned char>(c)) || kMarks.find(c) != std::string_view::npos;
}

bool IsToken(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), IsTokenChar);
}

// Control characters other than tab have no place in a start line or a header.
bool HasControl(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t') || byte == 0x7F;
    });
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

template <std::size_t N> bool IsOneOf(std::string_view name, const std::array<std::string_view, N>& names)
{
    return std::any_of(names.begin(), names.end(),
                       [name](std::string_view known) { return EqualsNoCase(name, known); });
}

// Headers whose values the library parses as addresses, compact forms included.
constexpr std::array<std::string_view, 19> kAddressHeaders = {"From",
                                                              "f",
                                                              "To",
                                                              "t",
                                                              "Contact",
                                                              "m",
                                                              "Route",
                                                              "Record-Route",
                                                              "Refer-To",
                                                              "r",
                                                              "Referred-By",
                                                              "b",
                                                              "Reply-To",
                                                              "P-Asserted-Identity",
                                                              "P-Preferred-Identity",
                                                              "Diversion",
                                                              "Remote-Party-ID",
                                                              "Path",
                                                              "Service-Route"};

// Bodies the phone takes besides text, SDP and typing notices. Anything else
// (delivery notices, resource lists, conference documents, multipart) it has no
// use for, and the library parses some of those with a validating parser whose
// errors end the program.
constexpr std::array<std::string_view, 6> kPlainBodyTypes = {"application/pidf+xml",   "application/watcherinfo+xml",
                                                             "application/xpidf+xml",  "message/sipfrag",
                                                             "application/dtmf-relay", "application/dtmf"};

bool StartLineIsWellFormed(std::string_view line)
{
    const std::size_t first = line.find(' ');
    if (first == std::string_view::npos)
        return false;
    const std::string_view head = line.substr(0, first);
    const std::string_view rest = line.substr(first + 1);
    if (head == "SIP/2.0") {
        // SIP/2.0 200 OK: three digits, a space, a reason phrase (possibly empty).
        return rest.size() >= 4 &&
               std::all_of(rest.begin(), rest.begin() + 3,
                           [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) &&
               rest[0] != '0' && rest[3] == ' ';
    }
    // METHOD SP Request-URI SP SIP/2.0
    const std::size_t second = rest.find(' ');
    if (!IsToken(head) || head.size() > kMaxMethod || second == std::string_view::npos ||
        rest.substr(second + 1) != "SIP/2.0")
        return false;
    const std::string_view uri = rest.substr(0, second);
    const std::size_t colon = uri.find(':');
    return colon != std::string_view::npos && colon > 0 && colon + 1 < uri.size() &&
           uri.find(' ') == std::string_view::npos;
}

// Quoted strings must close, and a quoted display name must stay short.
SipVerdict CheckQuotes(std::string_view value)
{
    std::size_t i = 0;
    while ((i = value.find('"', i)) != std::string_view::npos) {
        const std::size_t start = ++i;
        while (i < value.size() && value[i] != '"')
            i += value[i] == '\\' ? 2 : 1;
        if (i >= value.size())
            return SipVerdict::Malformed;
        if (i - start > kMaxDisplayName)
            return SipVerdict::DisplayNameTooLong;
        ++i;
    }
    return SipVerdict::Accepted;
}

// What parsing the words of an address costs the library (see kMaxAddressWeight).
// Quoted strings are bounded on their own and cheap to parse.
std::size_t AddressWeight(std::string_view text)
{
    static constexpr std::string_view kDelimiters = " \t\r\n.;:@=<>,?/[]";
    std::size_t weight = 0;
    std::size_t word = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            i += c == '\\' ? 1 : 0;
            quoted = c != '"';
            continue;
        }
        if (c == '"' || kDelimiters.find(c) != std::string_view::npos) {
            weight += word * word;
            word = 0;
            quoted = c == '"';
            continue;
        }
        ++word;
    }
    return weight + word * word;
}

struct Header {
    std::string_view name;
    std::string_view value; // with its continuation lines
    std::size_t length = 0;
};

// Splits the header section (without the start line) into headers, joining
// continuation lines; nothing when a line is not "name: value".
std::optional<std::vector<Header>> SplitHeaders(std::string_view section)
{
    std::vector<Header> headers;
    std::size_t position = 0;
    while (position < section.size()) {
        std::size_t end = section.find("\r\n", position);
        if (end == std::string_view::npos)
            end = section.size();
        const std::string_view line = section.substr(position, end - position);
        position = end + 2;
        if (HasControl(line))
            return std::nullopt;
        if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            if (headers.empty())
                return std::nullopt;
            Header& folded = headers.back();
            folded.length += line.size() + 2;
            folded.value = std::string_view(folded.value.data(),
                                            static_cast<std::size_t>(line.data() + line.size() - folded.value.data()));
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !IsToken(Trim(line.substr(0, colon))))
            return std::nullopt;
        headers.push_back({Trim(line.substr(0, colon)), line.substr(colon + 1), line.size()});
    }
    return headers;
}

const Header* Find(const std::vector<Header>& headers, std::string_view name, std::string_view compact)
{
    const auto it = std::find_if(headers.begin(), headers.end(), [&](const Header& header) {
        return EqualsNoCase(header.name, name) || (!compact.empty() && EqualsNoCase(header.name, compact));
    });
    return it == headers.end() ? nullptr : &*it;
}

std::optional<std::size_t> ContentLength(const Header& header)
{
    const std::string_view digits = Trim(header.value);
    std::size_t length = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), length);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return length;
}

// The longest address of a header line, its name counted with each. A registrar
// lists every binding of the user in one Contact line, comma-separated: the
// bound is on each address, not on the list.
std::size_t LongestAddress(const Header& header)
{
    const std::size_t name = header.length - header.value.size();
    std::size_t longest = 0;
    std::size_t start = 0;
    bool quoted = false;
    bool bracketed = false;
    for (std::size_t i = 0; i < header.value.size(); ++i) {
        const char c = header.value[i];
        if (quoted) {
            i += c == '\\' ? 1 : 0;
            quoted = c != '"';
        } else if (c == '"') {
            quoted = true;
        } else if (c == '<' || c == '>') {
            bracketed = c == '<';
        } else if (c == ',' && !bracketed) {
            longest = std::max(longest, name + i - start);
            start = i + 1;
        }
    }
    return std::max(longest, name + header.value.size() - start);
}

SipVerdict CheckHeaders(const std::vector<Header>& headers, std::size_t addressWeight)
{
    if (headers.size() > kMaxHeaderLines)
        return SipVerdict::TooManyHeaders;
    for (const Header& header : headers) {
        const bool address = IsOneOf(header.name, kAddressHeaders);
        if (address ? LongestAddress(header) > kMaxAddressLine : header.length > kMaxLine)
            return SipVerdict::LineTooLong;
        if (address) {
            if (const SipVerdict quotes = CheckQuotes(header.value); quotes != SipVerdict::Accepted)
                return quotes;
        }
        if (address || EqualsNoCase(header.name, "Via") || EqualsNoCase(header.name, "v"))
            addressWeight += AddressWeight(header.value);
    }
    if (addressWeight > kMaxAddressWeight)
        return SipVerdict::AddressTooHeavy;
    // Which of two lengths or types the library would believe is not worth guessing.
    for (const auto& [name, compact] :
         {std::pair<std::string_view, std::string_view>{"Content-Length", "l"}, {"Content-Type", "c"}}) {
        if (std::count_if(headers.begin(), headers.end(), [&, name = name, compact = compact](const Header& header) {
                return EqualsNoCase(header.name, name) || EqualsNoCase(header.name, compact);
            }) > 1)
            return SipVerdict::Malformed;
    }
    // The library answers a request that lacks one of these itself, but only
    // after parsing it; nothing legitimate ever leaves them out.
    for (const auto& [name, compact] : {std::pair<std::string_view, std::string_view>{"Via", "v"},
                                        {"From", "f"},
                                        {"To", "t"},
                                        {"Call-ID", "i"},
                                        {"CSeq", ""}}) {
        if (!Find(headers, name, compact))
            return SipVerdict::Malformed;
    }
    return SipVerdict::Accepted;
}

// SDP goes through a parser of the same kind as the headers.
SipVerdict CheckSdp(std::string_view body)
{
    std::size_t position = 0;
    while (position < body.size()) {
        std::size_t end = body.find('\n', position);
        if (end == std::string_view::npos)
            end = body.size();
        if (end - position > kMaxLine)
            return SipVerdict::LineTooLong;
        position = end + 1;
    }
    return SipVerdict::Accepted;
}

// The library reads typing notices with a validating XML parser whose errors
// end the program. Only the plain form passes: <isComposing> holding <state>,
// then optionally <contenttype> and <refresh>, in the order of RFC 3994, with
// nothing else in it (no text, comments, declarations or other elements).
bool IsComposingIsPlain(std::string_view body)
{
    static constexpr std::string_view kNamespace = "urn:ietf:params:xml:ns:im-iscomposing";
    static constexpr std::array<std::u16string_view, 3> kChildren = {u"state", u"contenttype", u"refresh"};
    QXmlStreamReader xml(QByteArray(body.data(), static_cast<qsizetype>(body.size())));
    int depth = 0;
    bool rootSeen = false;
    std::size_t next = 0; // the first child still allowed
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartDocument:
        case QXmlStreamReader::EndDocument: break;
        case QXmlStreamReader::Characters:
            if (!xml.isWhitespace())
                return false;
            break;
        case QXmlStreamReader::StartElement: {
            if (!xml.attributes().isEmpty())
                return false;
            if (depth++ == 0) {
                if (rootSeen || xml.name() != u"isComposing" ||
                    xml.namespaceUri() != QLatin1String(kNamespace.data(), static_cast<qsizetype>(kNamespace.size())))
                    return false;
                rootSeen = true;
                break;
            }
            const auto* child = std::find(kChildren.begin() + next, kChildren.end(), xml.name());
            if (child == kChildren.end() || (next == 0 && child != kChildren.begin()))
                return false;
            next = static_cast<std::size_t>(child - kChildren.begin()) + 1;
            const QString text = xml.readElementText();
            --depth;
            if (xml.hasError())
                return false;
            if (*child == u"state" && text != u"active" && text != u"idle")
                return false;
            if (*child == u"refresh" &&
                (text.isEmpty() || text.size() > 9 || text.startsWith(u'0') ||
                 !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })))
                return false;
            break;
        }
        case QXmlStreamReader::EndElement: --depth; break;
        default: return false;
        }
    }
    return !xml.hasError() && rootSeen && next > 0;
}

SipVerdict CheckBody(const std::vector<Header>& headers, std::string_view body)
{
    // Without a length the library handed a body over empty to a parser that threw.
    const Header* length = Find(headers, "Content-Length", "l");
    if (length) {
        const std::optional<std::size_t> declared = ContentLength(*length);
        if (!declared || *declared > body.size())
            return SipVerdict::Malformed;
        // Bytes after the body stay in the library's buffer, which it then scans
        // for a message start again with every datagram that follows.
        if (body.find_first_not_of("\r\n", *declared) != std::string_view::npos)
            return SipVerdict::Malformed;
        body = body.substr(0, *declared);
    } else if (!body.empty()) {
        return SipVerdict::Malformed;
    }
    const Header* type = Find(headers, "Content-Type", "c");
    if (!type)
        return SipVerdict::Accepted;
    const std::string_view mediaType = Trim(Trim(type->value).substr(0, Trim(type->value).find(';')));
    if (EqualsNoCase(mediaType, "application/sdp"))
        return CheckSdp(body);
    // The library reads a typed body even when it is empty.
    if (EqualsNoCase(mediaType, "application/im-iscomposing+xml"))
        return IsComposingIsPlain(body) ? SipVerdict::Accepted : SipVerdict::BodyRefused;
    const bool known =
        (mediaType.size() > 5 && EqualsNoCase(mediaType.substr(0, 5), "text/")) || IsOneOf(mediaType, kPlainBodyTypes);
    return known ? SipVerdict::Accepted : SipVerdict::BodyRefused;
}

} // namespace

SipVerdict ScreenSipMessage(std::string_view message)
{
    if (message.size() > kMaxMessage)
        return SipVerdict::TooLarge;
    // Keep-alives: a bare line end or two.
    if (message.size() <= 4 && message.find_first_not_of("\r\n") == std::string_view::npos)
        return SipVerdict::Accepted;
    const std::size_t end = message.find("\r\n\r\n");
    if (end == std::string_view::npos)
        return message.size() > kMaxHeaderSection ? SipVerdict::HeaderSectionTooLarge : SipVerdict::Malformed;
    if (end + 2 > kMaxHeaderSection)
        return SipVerdict::HeaderSectionTooLarge;
    const std::string_view section = message.substr(0, end);
    const std::size_t startEnd = std::min(section.find("\r\n"), section.size());
    const std::string_view startLine = section.substr(0, startEnd);
    if (startLine.size() > kMaxStartLine)
        return SipVerdict::LineTooLong;
    if (HasControl(startLine) || !StartLineIsWellFormed(startLine))
        return SipVerdict::Malformed;
    const std::optional<std::vector<Header>> headers =
        SplitHeaders(startEnd < section.size() ? section.substr(startEnd + 2) : std::string_view());
    if (!headers)
        return SipVerdict::Malformed;
    const bool request = !startLine.starts_with("SIP/2.0 ");
    if (const SipVerdict verdict = CheckHeaders(*headers, request ? AddressWeight(startLine) : 0);
        verdict != SipVerdict::Accepted)
        return verdict;
    return CheckBody(*headers, message.substr(end + 4));
}

std::optional<std::size_t> SipFramedLength(std::string_view bytes)
{
    const std::size_t lineEnds = std::min(bytes.find_first_not_of("\r\n"), bytes.size());
    if (lineEnds > 0)
        return lineEnds;
    const std::size_t end = bytes.find("\r\n\r\n");
    if (end == std::string_view::npos)
        return bytes.size() > kMaxHeaderSection ? std::nullopt : std::optional<std::size_t>(0);
    const std::size_t headers = end + 4;
    if (headers > kMaxHeaderSection)
        return std::nullopt;
    const std::size_t startEnd = bytes.find("\r\n");
    const std::optional<std::vector<Header>> split =
        SplitHeaders(startEnd < end ? bytes.substr(startEnd + 2, end - startEnd - 2) : std::string_view());
    if (!split)
        return std::nullopt;
    // A stream cannot do without the length: it is what separates the messages.
    const Header* length = Find(*split, "Content-Length", "l");
    const std::optional<std::size_t> body = length ? ContentLength(*length) : std::nullopt;
    if (!body || *body > kMaxMessage - headers)
        return std::nullopt;
    return headers + *body;
}

SipStreamJudgement JudgeSipStream(std::string_view bytes)
{
    using Kind = SipStreamJudgement::Kind;
    const std::optional<std::size_t> framed = SipFramedLength(bytes);
    if (!framed)
        return {Kind::Refused, 0, SipVerdict::Accepted};
    if (*framed == 0 || *framed > bytes.size())
        return {Kind::Incomplete, 0, SipVerdict::Accepted};
    const std::string_view message = bytes.substr(0, *framed);
    // Line ends between messages are keep-alives, not messages.
    if (message.find_first_not_of("\r\n") == std::string_view::npos)
        return {Kind::Passes, *framed, SipVerdict::Accepted};
    const SipVerdict verdict = ScreenSipMessage(message);
    return {verdict == SipVerdict::Accepted ? Kind::Passes : Kind::Dropped, *framed, verdict};
}

const char* Describe(SipVerdict verdict)
{
    switch (verdict) {
    case SipVerdict::Accepted: return "accepted";
    case SipVerdict::TooLarge: return "message too large";
    case SipVerdict::HeaderSectionTooLarge: return "headers too large";
    case SipVerdict::TooManyHeaders: return "too many headers";
    case SipVerdict::LineTooLong: return "line too long";
    case SipVerdict::DisplayNameTooLong: return "display name too long";
    case SipVerdict::Malformed: return "not well formed";
    case SipVerdict::BodyRefused: return "body not taken";
    case SipVerdict::AddressTooHeavy: return "addresses too costly to parse";
    }
    return "unknown";
}

namespace {

// The header as it came, with its continuation lines.
std::string_view Raw(const Header& header)
{
    return {header.name.data(), header.length};
}

// Its value with its continuation lines.
std::string_view WholeValue(const Header& header)
{
    return Raw(header).substr(static_cast<std::size_t>(header.value.data() - header.name.data()));
}

// The one header of that name; nothing when it is missing or repeated.
const Header* Single(const std::vector<Header>& headers, std::string_view name, std::string_view compact)
{
    const Header* found = Find(headers, name, compact);
    if (!found || std::find_if(found + 1, headers.data() + headers.size(), [&](const Header& header) {
                      return EqualsNoCase(header.name, name) ||
                             (!compact.empty() && EqualsNoCase(header.name, compact));
                  }) != headers.data() + headers.size())
        return nullptr;
    return found;
}

bool AddressIsReadable(const Header* header)
{
    return header && header->length <= kMaxAddressLine && CheckQuotes(WholeValue(*header)) == SipVerdict::Accepted;
}

// The method of "CSeq: 20 MESSAGE"; empty when it is not of that form.
std::string_view CSeqMethod(std::string_view value)
{
    value = Trim(value);
    const std::size_t digits = std::min(value.find_first_not_of("0123456789"), value.size());
    const std::string_view method = Trim(value.substr(digits));
    return digits > 0 && digits < value.size() && method.size() < value.size() - digits && IsToken(method)
               ? method
               : std::string_view();
}

// Whether a To header carries a tag among its parameters (after the address).
bool HasTag(std::string_view value)
{
    const std::size_t close = value.rfind('>');
    std::string_view parameters = close == std::string_view::npos ? value : value.substr(close + 1);
    std::size_t separator = 0;
    while ((separator = parameters.find(';', separator)) != std::string_view::npos) {
        parameters.remove_prefix(separator + 1);
        separator = 0;
        const std::string_view name = Trim(parameters.substr(0, std::min(parameters.find('='), parameters.find(';'))));
        if (EqualsNoCase(name, "tag"))
            return true;
    }
    return false;
}

// The same request, sent again, gets the same tag: a stateless answer has
// nothing else to remember it by.
std::string TagFor(std::initializer_list<std::string_view> parts)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (std::string_view part : parts) {
        for (char c : part)
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string tag(16, '0');
    for (char& digit : tag) {
        digit = kDigits[hash & 0xF];
        hash >>= 4;
    }
    return tag;
}

const std::string& AcceptedBodyTypes()
{
    static const std::string types = [] {
        std::string list = "text/*, application/sdp, application/im-iscomposing+xml";
        for (std::string_view type : kPlainBodyTypes)
            list.append(", ").append(type);
        return list;
    }();
    return types;
}

struct RefusalStatus {
    int code;
    std::string_view reason;
};

RefusalStatus StatusFor(SipVerdict verdict, std::size_t headerSection, const std::vector<Header>& headers)
{
    switch (verdict) {
    case SipVerdict::TooLarge:
        if (headerSection <= kMaxHeaderSection)
            return {413, "Request Entity Too Large"};
        [[fallthrough]];
    case SipVerdict::HeaderSectionTooLarge:
    case SipVerdict::TooManyHeaders: return {513, "Message Too Large"};
    case SipVerdict::BodyRefused: {
        // A typing notice is a type the phone takes; only its content was refused.
        const Header* type = Find(headers, "Content-Type", "c");
        const std::string_view mediaType = type ? Trim(Trim(type->value).substr(0, Trim(type->value).find(';'))) : "";
        if (!EqualsNoCase(mediaType, "application/im-iscomposing+xml"))
            return {415, "Unsupported Media Type"};
        return {400, "Bad Request"};
    }
    default: return {400, "Bad Request"};
    }
}

} // namespace

std::optional<SipRefusalAnswer> BuildSipRefusalAnswer(std::string_view message, SipVerdict verdict)
{
    if (verdict == SipVerdict::Accepted)
        return std::nullopt;
    // Only as much as a message may have is read; its headers must end within it.
    const std::size_t end = message.substr(0, kMaxMessage).find("\r\n\r\n");
    if (end == std::string_view::npos)
        return std::nullopt;
    const std::string_view section = message.substr(0, end);
    const std::size_t startEnd = section.find("\r\n");
    // A response starts with "SIP/2.0", which is not a method.
    const std::string_view method = section.substr(0, std::min(section.find(' '), startEnd));
    if (startEnd == std::string_view::npos || method.size() >= startEnd || !IsToken(method) || method == "ACK")
        return std::nullopt;
    const std::optional<std::vector<Header>> headers = SplitHeaders(section.substr(startEnd + 2));
    if (!headers)
        return std::nullopt;
    std::vector<const Header*> vias;
    for (const Header& header : *headers) {
        if (EqualsNoCase(header.name, "Via") || EqualsNoCase(header.name, "v"))
            vias.push_back(&header);
    }
    const Header* from = Single(*headers, "From", "f");
    const Header* to = Single(*headers, "To", "t");
    const Header* callId = Single(*headers, "Call-ID", "i");
    const Header* cseq = Single(*headers, "CSeq", "");
    if (vias.empty() || !AddressIsReadable(from) || !AddressIsReadable(to) || !callId || callId->length > kMaxLine ||
        !cseq || cseq->length > kMaxLine || CSeqMethod(cseq->value) != method ||
        std::any_of(vias.begin(), vias.end(), [](const Header* via) { return via->length > kMaxLine; }))
        return std::nullopt;

    const RefusalStatus status = StatusFor(verdict, end + 2, *headers);
    std::string text = "SIP/2.0 " + std::to_string(status.code) + ' ' + std::string(status.reason) + "\r\n";
    for (const Header* via : vias)
        text.append(Raw(*via)).append("\r\n");
    text.append(Raw(*from)).append("\r\n").append(Raw(*to));
    if (!HasTag(WholeValue(*to)))
        text.append(";tag=").append(TagFor({Raw(*vias.front()), Raw(*from), Raw(*callId), Raw(*cseq)}));
    text.append("\r\n").append(Raw(*callId)).append("\r\n").append(Raw(*cseq)).append("\r\n");
    if (status.code == 415)
        text.append("Accept: ").append(AcceptedBodyTypes()).append("\r\n");
    text.append("Content-Length: 0\r\n\r\n");
    // Never more than a message may have, however many Via headers it had.
    if (text.size() > kMaxHeaderSection)
        return std::nullopt;
    return SipRefusalAnswer{status.code, std::move(text)};
}
