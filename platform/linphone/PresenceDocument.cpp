#include "PresenceDocument.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <array>

namespace {

const QString kPidf = QStringLiteral("urn:ietf:params:xml:ns:pidf");
const QString kDataModel = QStringLiteral("urn:ietf:params:xml:ns:pidf:data-model");
const QString kRpid = QStringLiteral("urn:ietf:params:xml:ns:pidf:rpid");
const QString kOwn = QStringLiteral("urn:orvalo:params:xml:ns:presence");
const QString kWatcherInfo = QStringLiteral("urn:ietf:params:xml:ns:watcherinfo");

struct StatusForm {
    RTC_PRESENCE_STATUS status;
    const char* token;    // this program's own element
    const char* activity; // RPID activity other clients understand, or none
};

// The one table of how a status is published.
constexpr std::array<StatusForm, 8> kForms{{
    {RTCXS_PRESENCE_OFFLINE, "offline", nullptr},
    {RTCXS_PRESENCE_ONLINE, "online", nullptr},
    {RTCXS_PRESENCE_AWAY, "away", "away"},
    {RTCXS_PRESENCE_IDLE, "idle", "away"},
    {RTCXS_PRESENCE_BUSY, "busy", "busy"},
    {RTCXS_PRESENCE_BE_RIGHT_BACK, "be-right-back", "away"},
    {RTCXS_PRESENCE_ON_THE_PHONE, "on-the-phone", "on-the-phone"},
    {RTCXS_PRESENCE_OUT_TO_LUNCH, "out-to-lunch", "meal"},
}};

const StatusForm& FormOf(RTC_PRESENCE_STATUS status)
{
    const auto it =
        std::find_if(kForms.begin(), kForms.end(), [status](const auto& form) { return form.status == status; });
    return it == kForms.end() ? kForms[1] : *it;
}

// How available a status is, to pick a presentity's status from its devices.
int Availability(RTC_PRESENCE_STATUS status)
{
    switch (status) {
    case RTCXS_PRESENCE_ONLINE: return 7;
    case RTCXS_PRESENCE_IDLE: return 6;
    case RTCXS_PRESENCE_BUSY: return 5;
    case RTCXS_PRESENCE_ON_THE_PHONE: return 4;
    case RTCXS_PRESENCE_BE_RIGHT_BACK: return 3;
    case RTCXS_PRESENCE_AWAY: return 2;
    case RTCXS_PRESENCE_OUT_TO_LUNCH: return 1;
    default: return 0;
    }
}

// The status other clients mean with an RPID activity.
RTC_PRESENCE_STATUS StatusFromActivity(const QString& activity)
{
    if (activity == QLatin1String("busy") || activity == QLatin1String("meeting") ||
        activity == QLatin1String("appointment"))
        return RTCXS_PRESENCE_BUSY;
    if (activity == QLatin1String("on-the-phone"))
        return RTCXS_PRESENCE_ON_THE_PHONE;
    if (activity == QLatin1String("meal") || activity == QLatin1String("lunch") ||
        activity == QLatin1String("breakfast") || activity == QLatin1String("dinner"))
        return RTCXS_PRESENCE_OUT_TO_LUNCH;
    if (activity == QLatin1String("away") || activity == QLatin1String("vacation") ||
        activity == QLatin1String("travel") || activity == QLatin1String("sleeping") ||
        activity == QLatin1String("permanent-absence"))
        return RTCXS_PRESENCE_AWAY;
    return RTCXS_PRESENCE_ONLINE;
}

struct TupleState {
    DevicePresence device;
    bool open = false;
    int ownStatus = -1;
};

} // namespace

QString StatusToken(RTC_PRESENCE_STATUS status)
{
    return QString::fromLatin1(FormOf(status).token);
}

int StatusFromToken(const QString& token)
{
    const auto it = std::find_if(kForms.begin(), kForms.end(),
                                 [&token](const auto& form) { return token == QLatin1String(form.token); });
    return it == kForms.end() ? -1 : it->status;
}

QByteArray WritePidf(const LocalPresence& presence)
{
    const StatusForm& form = FormOf(presence.status);
    const bool open = presence.status != RTCXS_PRESENCE_OFFLINE;
    QByteArray document;
    QXmlStreamWriter xml(&document);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(kPidf);
    xml.writeNamespace(kDataModel, QStringLiteral("dm"));
    xml.writeNamespace(kRpid, QStringLiteral("rpid"));
    xml.writeNamespace(kOwn, QStringLiteral("op"));
    xml.writeStartElement(kPidf, QStringLiteral("presence"));
    xml.writeAttribute(QStringLiteral("entity"), presence.entity);

    xml.writeStartElement(kPidf, QStringLiteral("tuple"));
    xml.writeAttribute(QStringLiteral("id"), presence.deviceId);
    xml.writeStartElement(kPidf, QStringLiteral("status"));
    xml.writeTextElement(kPidf, QStringLiteral("basic"), open ? QStringLiteral("open") : QStringLiteral("closed"));
    xml.writeTextElement(kOwn, QStringLiteral("status"), QString::fromLatin1(form.token));
    xml.writeEndElement();
    if (!presence.deviceName.isEmpty())
        xml.writeTextElement(kOwn, QStringLiteral("device-name"), presence.deviceName);
    xml.writeTextElement(kPidf, QStringLiteral("contact"), presence.entity);
    xml.writeEndElement(); // tuple

    xml.writeStartElement(kDataModel, QStringLiteral("person"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("p-") + presence.deviceId);
    if (form.activity && open) {
        xml.writeStartElement(kRpid, QStringLiteral("activities"));
        xml.writeEmptyElement(kRpid, QString::fromLatin1(form.activity));
        xml.writeEndElement();
    }
    if (!presence.displayName.isEmpty())
        xml.writeTextElement(kOwn, QStringLiteral("display-name"), presence.displayName);
    if (!presence.notes.isEmpty())
        xml.writeTextElement(kDataModel, QStringLiteral("note"), presence.notes);
    xml.writeEndElement(); // person
    xml.writeEndElement(); // presence
    xml.writeEndDocument();
    return document;
}

bool ParsePidf(const QByteArray& document, PresenceInfo& info)
{
    QXmlStreamReader xml(document);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("presence") || xml.namespaceUri() != kPidf)
        return false;
    PresenceInfo parsed;
    std::vector<TupleState> tuples;
    QString activity;
    bool inTuple = false;
    bool inPerson = false;
    bool inActivities = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (xml.name() == QLatin1String("tuple") && xml.namespaceUri() == kPidf)
                inTuple = false;
            else if (xml.name() == QLatin1String("person"))
                inPerson = false;
            else if (xml.name() == QLatin1String("activities"))
                inActivities = false;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const auto ns = xml.namespaceUri();
        const auto name = xml.name();
        if (ns == kPidf && name == QLatin1String("tuple")) {
            inTuple = true;
            tuples.emplace_back();
            tuples.back().device.id = xml.attributes().value(QStringLiteral("id")).toString();
        } else if (ns == kDataModel && name == QLatin1String("person")) {
            inPerson = true;
        } else if (ns == kRpid && name == QLatin1String("activities")) {
            inActivities = true;
        } else if (inActivities && ns == kRpid && activity.isEmpty()) {
            activity = name.toString();
        } else if (inTuple && ns == kPidf && name == QLatin1String("basic")) {
            tuples.back().open = xml.readElementText().trimmed() == QLatin1String("open");
        } else if (inTuple && ns == kOwn && name == QLatin1String("status")) {
            tuples.back().ownStatus = StatusFromToken(xml.readElementText().trimmed());
        } else if (inTuple && ns == kOwn && name == QLatin1String("device-name")) {
            tuples.back().device.name = xml.readElementText().trimmed();
        } else if (inTuple && ns == kPidf && name == QLatin1String("note")) {
            tuples.back().device.notes = xml.readElementText();
        } else if (inPerson && ns == kOwn && name == QLatin1String("display-name")) {
            parsed.displayName = xml.readElementText().trimmed();
        } else if ((inPerson && ns == kDataModel && name == QLatin1String("note")) ||
                   (!inTuple && !inPerson && ns == kPidf && name == QLatin1String("note"))) {
            if (parsed.notes.isEmpty())
                parsed.notes = xml.readElementText();
        }
    }
    if (xml.hasError())
        return false;
    for (TupleState& tuple : tuples) {
        DevicePresence& device = tuple.device;
        // A closed tuple is offline whatever else it says: the presence server closes an
        // ended publication and keeps the rest of its last document.
        if (!tuple.open)
            device.status = RTCXS_PRESENCE_OFFLINE;
        else if (tuple.ownStatus >= 0)
            device.status = static_cast<RTC_PRESENCE_STATUS>(tuple.ownStatus);
        else
            device.status = StatusFromActivity(activity);
        if (Availability(device.status) > Availability(parsed.status) ||
            (parsed.devices.empty() && device.status == RTCXS_PRESENCE_OFFLINE))
            parsed.status = device.status;
        parsed.devices.push_back(device);
    }
    info = parsed;
    return true;
}

bool ParseWatcherInfo(const QByteArray& document, std::vector<WatcherEntry>& watchers, bool& full)
{
    QXmlStreamReader xml(document);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("watcherinfo") || xml.namespaceUri() != kWatcherInfo)
        return false;
    full = xml.attributes().value(QStringLiteral("state")) == QLatin1String("full");
    std::vector<WatcherEntry> parsed;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("watcher"))
            continue;
        WatcherEntry entry;
        const auto attributes = xml.attributes();
        entry.id = attributes.value(QStringLiteral("id")).toString();
        entry.status = attributes.value(QStringLiteral("status")).toString();
        entry.event = attributes.value(QStringLiteral("event")).toString();
        entry.displayName = attributes.value(QStringLiteral("display-name")).toString();
        entry.uri = xml.readElementText().trimmed();
        parsed.push_back(entry);
    }
    if (xml.hasError())
        return false;
    watchers = parsed;
    return true;
}

QByteArray WritePresRules(const std::vector<WatcherRule>& rules)
{
    const QString policy = QStringLiteral("urn:ietf:params:xml:ns:common-policy");
    const QString presRules = QStringLiteral("urn:ietf:params:xml:ns:pres-rules");
    QByteArray document;
    QXmlStreamWriter xml(&document);
    xml.writeStartDocument();
    xml.writeNamespace(policy, QStringLiteral("cr"));
    xml.writeDefaultNamespace(presRules);
    xml.writeStartElement(policy, QStringLiteral("ruleset"));
    // The server applies the first rule that matches: single watchers before domains before everyone.
    std::vector<WatcherRule> ordered = rules;
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.scope < b.scope; });
    int index = 0;
    for (const WatcherRule& rule : ordered) {
        xml.writeStartElement(policy, QStringLiteral("rule"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("w%1").arg(++index));
        xml.writeStartElement(policy, QStringLiteral("conditions"));
        if (rule.scope != RTCAS_SCOPE_ALL) {
            xml.writeStartElement(policy, QStringLiteral("identity"));
            if (rule.scope == RTCAS_SCOPE_USER) {
                xml.writeEmptyElement(policy, QStringLiteral("one"));
                xml.writeAttribute(QStringLiteral("id"), rule.uri);
            } else {
                xml.writeEmptyElement(policy, QStringLiteral("many"));
                xml.writeAttribute(QStringLiteral("domain"), rule.uri.section(u'@', 1));
            }
            xml.writeEndElement();
        }
        xml.writeEndElement(); // conditions
        QString handling = QStringLiteral("confirm");
        if (rule.state == RTCWS_ALLOWED)
            handling = QStringLiteral("allow");
        else if (rule.state == RTCWS_BLOCKED)
            handling = QStringLiteral("polite-block");
        else if (rule.state == RTCWS_DENIED)
            handling = QStringLiteral("block");
        xml.writeStartElement(policy, QStringLiteral("actions"));
        xml.writeTextElement(presRules, QStringLiteral("sub-handling"), handling);
        xml.writeEndElement();
        xml.writeStartElement(policy, QStringLiteral("transformations"));
        xml.writeStartElement(presRules, QStringLiteral("provide-services"));
        xml.writeEmptyElement(presRules, QStringLiteral("all-services"));
        xml.writeEndElement();
        xml.writeStartElement(presRules, QStringLiteral("provide-persons"));
        xml.writeEmptyElement(presRules, QStringLiteral("all-persons"));
        xml.writeEndElement();
        xml.writeStartElement(presRules, QStringLiteral("provide-devices"));
        xml.writeEmptyElement(presRules, QStringLiteral("all-devices"));
        xml.writeEndElement();
        xml.writeEmptyElement(presRules, QStringLiteral("provide-all-attributes"));
        xml.writeEndElement(); // transformations
        xml.writeEndElement(); // rule
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return document;
}
