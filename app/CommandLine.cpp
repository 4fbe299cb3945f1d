#include "CommandLine.h"

#include "engine/SettingsStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>

namespace {
using EOutcome = SCommandLineResult::EOutcome;

constexpr int kMaxPort = 65535;
constexpr int kMaxStallThresholdMs = 60000;

SCommandLineResult Refused(const QString& text)
{
    return SCommandLineResult{EOutcome::Refuse, {}, QStringLiteral("orvalo-phone: ") + text};
}

QString OptionName(const QCommandLineOption& option)
{
    return QStringLiteral("--") + option.names().constFirst();
}

bool IsPort(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    return digits.match(text).hasMatch() && text.toInt() >= 1 && text.toInt() <= kMaxPort;
}

bool IsHost(const QString& text)
{
    static const QRegularExpression name(QStringLiteral(
        "^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)*$"));
    return text.size() <= 253 && name.match(text).hasMatch();
}

// "host", "host:port", "[v6]" or "[v6]:port".
bool IsHostAndPort(const QString& text)
{
    if (text.startsWith(u'[')) {
        const qsizetype end = text.indexOf(u']');
        if (end < 0 || QHostAddress(text.mid(1, end - 1)).protocol() != QAbstractSocket::IPv6Protocol)
            return false;
        const QString after = text.mid(end + 1);
        return after.isEmpty() || (after.startsWith(u':') && IsPort(after.mid(1)));
    }
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0)
        return IsHost(text);
    return IsHost(text.left(colon)) && IsPort(text.mid(colon + 1));
}

bool IsReadableFile(const QString& path)
{
    const QFileInfo file(path);
    return file.isFile() && file.isReadable();
}

// A file the program is to write: its folder must be there and writable.
bool IsWritableFile(const QString& path)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    return !file.isDir() && folder.isDir() && folder.isWritable() && (!file.exists() || file.isWritable());
}

struct SValueRule {
    const QCommandLineOption* option;
    QString* target;
    bool (*accepts)(const QString&); // null: any text that is not blank
    const char* expected;            // what the option wants, for the message
};
} // namespace

SCommandLineResult ReadCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Orvalo Phone, the softphone of the Orvalo Phone service."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption sipServer(QStringLiteral("sip-server"),
                                       QStringLiteral("SIP server (outbound proxy) used at logon."),
                                       QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption sipDomain(QStringLiteral("sip-domain"),
                                       QStringLiteral("SIP domain of every user and dialled address."),
                                       QStringLiteral("DOMAIN"));
    const QCommandLineOption webPortal(QStringLiteral("web-portal"),
                                       QStringLiteral("Host of the service's web portal."),
                                       QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption dataDir(QStringLiteral("data-dir"),
                                     QStringLiteral("Folder for the SIP library's configuration and databases."),
                                     QStringLiteral("DIR"));
    const QCommandLineOption playFile(QStringLiteral("play-file"),
                                      QStringLiteral("Play this sound file instead of the microphone."),
                                      QStringLiteral("WAV"));
    const QCommandLineOption recordFile(QStringLiteral("record-file"),
                                        QStringLiteral("Record what is heard into this sound file."),
                                        QStringLiteral("WAV"));
    const QCommandLineOption sipTrace(QStringLiteral("sip-trace"), QStringLiteral("Write a SIP trace to this file."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption sipPort(QStringLiteral("sip-port"),
                                     QStringLiteral("Fixed local SIP port (1 to 65535); a free one by default."),
                                     QStringLiteral("N"));
    const QCommandLineOption directSip(
        QStringLiteral("direct-sip"),
        QStringLiteral("Accept SIP requests from anywhere, not only from the SIP server (direct peer-to-peer use; "
                       "also the setting \"%1\" = 1).")
            .arg(QLatin1String(kSettingDirectSip)));
    const QCommandLineOption reportStalls(
        QStringLiteral("report-stalls"),
        QStringLiteral("Diagnostics: tell on standard error when the event loop stalls longer than MS (1 to 60000)."),
        QStringLiteral("MS"));
    const QCommandLineOption milestones(
        QStringLiteral("milestones"),
        QStringLiteral("Append what the window shows, with monotonic-clock times, to this file (for measuring)."),
        QStringLiteral("FILE"));
    parser.addOptions({sipServer, sipDomain, webPortal, dataDir, playFile, recordFile, sipTrace, sipPort, directSip,
                       reportStalls, milestones});
    parser.addPositionalArgument(QStringLiteral("address"),
                                 QStringLiteral("Dial this once logged on: sip:, sips: or tel: address, or a number."),
                                 QStringLiteral("[address]"));

    if (!parser.parse(arguments))
        return Refused(parser.errorText());
    if (parser.isSet(help))
        return SCommandLineResult{EOutcome::ShowText, {}, parser.helpText()};
    if (parser.isSet(version))
        return SCommandLineResult{EOutcome::ShowText,
                                  {},
                                  QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() +
                                      u'\n'};

    SCommandLineResult result;
    SCommandLine& line = result.line;
    line.service = ServiceConfig::current();
    const SValueRule rules[] = {
        {&sipServer, &line.service.sipServer, IsHostAndPort, "a host name or address with an optional :PORT"},
        {&sipDomain, &line.service.sipDomain, IsHost, "a domain name"},
        {&webPortal, &line.service.webPortal, IsHostAndPort, "a host name or address with an optional :PORT"},
        {&dataDir, &line.client.dataDir, nullptr, "a folder"},
        {&playFile, &line.client.playFile, IsReadableFile, "a sound file that can be read"},
        {&recordFile, &line.client.recordFile, IsWritableFile, "a file in a folder that can be written"},
        {&sipTrace, &line.client.sipTraceFile, IsWritableFile, "a file in a folder that can be written"},
        {&milestones, &line.milestoneFile, IsWritableFile, "a file in a folder that can be written"},
    };
    for (const SValueRule& rule : rules) {
        if (!parser.isSet(*rule.option))
            continue;
        const QString value = parser.value(*rule.option).trimmed();
        if (value.isEmpty() || (rule.accepts && !rule.accepts(value)))
            return Refused(
                QStringLiteral("%1 \"%2\" is not %3.")
                    .arg(OptionName(*rule.option), parser.value(*rule.option), QString::fromLatin1(rule.expected)));
        *rule.target = value;
    }
    if (parser.isSet(sipPort)) {
        if (!IsPort(parser.value(sipPort)))
            return Refused(QStringLiteral("--sip-port needs a port number from 1 to 65535."));
        line.client.sipPort = parser.value(sipPort).toInt();
    }

    if (parser.isSet(reportStalls)) {
        bool ok = false;
        const int threshold = parser.value(reportStalls).toInt(&ok);
        if (!ok || threshold < 1 || threshold > kMaxStallThresholdMs)
            return Refused(QStringLiteral("--report-stalls needs a number of milliseconds from 1 to 60000."));
        line.stallThresholdMs = threshold;
    }
    line.client.sipFromServiceOnly =
        !parser.isSet(directSip) && !CSettingsStore::IsFlagSet(QLatin1String(kSettingDirectSip));

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return Refused(QStringLiteral("one address at most, not %1.").arg(positional.size()));
    if (!positional.isEmpty()) {
        line.address = positional.constFirst().trimmed();
        if (line.address.size() > kMaxAddressLength)
            return Refused(QStringLiteral("the address is longer than %1 characters.").arg(kMaxAddressLength));
    }
    return result;
}
