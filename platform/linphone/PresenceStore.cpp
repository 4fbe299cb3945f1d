#include "PresenceStore.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

const QString kRoot = QStringLiteral("orvalo-presence-store");
constexpr int kVersion = 1;

struct Name {
    int value;
    const char* text;
};
constexpr Name kStates[] = {{RTCWS_OFFERING, "offering"},
                            {RTCWS_ALLOWED, "allowed"},
                            {RTCWS_BLOCKED, "blocked"},
                            {RTCWS_DENIED, "denied"},
                            {RTCWS_PROMPT, "prompt"}};
constexpr Name kScopes[] = {{RTCAS_SCOPE_USER, "user"}, {RTCAS_SCOPE_DOMAIN, "domain"}, {RTCAS_SCOPE_ALL, "all"}};

template <size_t N> QString TextOf(const Name (&names)[N], int value)
{
    for (const Name& name : names) {
        if (name.value == value)
            return QString::fromLatin1(name.text);
    }
    return QString::fromLatin1(names[0].text);
}

template <size_t N> int ValueOf(const Name (&names)[N], QStringView text, bool& ok)
{
    for (const Name& name : names) {
        if (text == QLatin1String(name.text))
            return name.value;
    }
    ok = false;
    return names[0].value;
}

} // namespace

QByteArray CPresenceStore::Serialize(const PresenceStoreData& data)
{
    QByteArray document;
    QXmlStreamWriter xml(&document);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(kRoot);
    xml.writeAttribute(QStringLiteral("version"), QString::number(kVersion));
    for (const StoredBuddy& buddy : data.buddies) {
        xml.writeStartElement(QStringLiteral("buddy"));
        xml.writeAttribute(QStringLiteral("uri"), buddy.uri);
        xml.writeAttribute(QStringLiteral("name"), buddy.name);
        xml.writeAttribute(QStringLiteral("data"), buddy.data);
        xml.writeEndElement();
    }
    for (const StoredGroup& group : data.groups) {
        xml.writeStartElement(QStringLiteral("group"));
        xml.writeAttribute(QStringLiteral("name"), group.name);
        xml.writeAttribute(QStringLiteral("data"), group.data);
        for (const QString& member : group.members) {
            xml.writeStartElement(QStringLiteral("member"));
            xml.writeAttribute(QStringLiteral("uri"), member);
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    for (const StoredWatcher& watcher : data.watchers) {
        xml.writeStartElement(QStringLiteral("watcher"));
        xml.writeAttribute(QStringLiteral("uri"), watcher.uri);
        xml.writeAttribute(QStringLiteral("name"), watcher.name);
        xml.writeAttribute(QStringLiteral("data"), watcher.data);
        xml.writeAttribute(QStringLiteral("state"), TextOf(kStates, watcher.state));
        xml.writeAttribute(QStringLiteral("scope"), TextOf(kScopes, watcher.scope));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return document;
}

bool CPresenceStore::Parse(const QByteArray& document, PresenceStoreData& data)
{
    QXmlStreamReader xml(document);
    if (!xml.readNextStartElement() || xml.name() != kRoot)
        return false;
    PresenceStoreData parsed;
    bool ok = true;
    StoredGroup* group = nullptr;
    while (ok && !xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("group"))
            group = nullptr;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const auto attributes = xml.attributes();
        auto value = [&attributes](const char* key) { return attributes.value(QLatin1String(key)).toString(); };
        if (xml.name() == QLatin1String("buddy")) {
            parsed.buddies.push_back({value("uri"), value("name"), value("data")});
        } else if (xml.name() == QLatin1String("group")) {
            parsed.groups.push_back({value("name"), value("data"), {}});
            group = &parsed.groups.back();
        } else if (xml.name() == QLatin1String("member") && group) {
            group->members << value("uri");
        } else if (xml.name() == QLatin1String("watcher")) {
            StoredWatcher watcher{value("uri"), value("name"), value("data")};
            watcher.state =
                static_cast<RTC_WATCHER_STATE>(ValueOf(kStates, attributes.value(QLatin1String("state")), ok));
            watcher.scope = static_cast<RTC_ACE_SCOPE>(ValueOf(kScopes, attributes.value(QLatin1String("scope")), ok));
            parsed.watchers.push_back(watcher);
        } else {
            ok = false;
        }
    }
    if (!ok || xml.hasError())
        return false;
    data = parsed;
    return true;
}

PresenceStoreData CPresenceStore::Load()
{
    m_setAside.clear();
    m_writable = true;
    PresenceStoreData data;
    QFile file(m_path);
    if (!file.exists())
        return data;
    if (file.open(QIODevice::ReadOnly) && Parse(file.readAll(), data))
        return data;
    file.close();
    // Kept for the user to look at: renamed with the time, never overwritten.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside = m_path + QStringLiteral(".unreadable-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = m_path + QStringLiteral(".unreadable-%1-%2").arg(stamp).arg(n);
    if (QFile::rename(m_path, aside))
        m_setAside = aside;
    else
        m_writable = false;
    return {};
}

bool CPresenceStore::Save(const PresenceStoreData& data) const
{
    QSaveFile file(m_path);
    if (!m_writable || !file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray document = Serialize(data);
    return file.write(document) == document.size() && file.commit();
}
