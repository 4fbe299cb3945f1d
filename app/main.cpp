// Orvalo Phone: reads the command line, points the phone at its service and
// opens the main window over the production RTC client.
#include "engine/ServiceConfig.h"
#include "platform/linphone/LinphoneClientFactory.h"
#include "resources/ResourceIds.h"
#include "shell/MilestoneLog.h"
#include "shell/OrvaloPhoneApp.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <optional>

namespace {
constexpr int kBadCommandLine = 2;
constexpr int kCannotStart = 1;

struct SCommandLine {
    ServiceConfig service;
    LinphoneClientOptions client;
    QString milestoneFile;
};

// A value that may not be blank; nothing (after a message) when it is.
std::optional<QString> NonBlank(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    const QString value = parser.value(option).trimmed();
    if (value.isEmpty()) {
        std::fprintf(stderr, "orvalo-phone: --%s needs a value.\n", qPrintable(option.names().constFirst()));
        return std::nullopt;
    }
    return value;
}

std::optional<SCommandLine> ParseCommandLine(const QApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Orvalo Phone, the softphone of the Orvalo Phone service."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption sipServer(QStringLiteral("sip-server"),
                                       QStringLiteral("SIP server (outbound proxy) used at logon."),
                                       QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption sipDomain(QStringLiteral("sip-domain"),
                                       QStringLiteral("SIP domain of every user and dialled address."),
                                       QStringLiteral("DOMAIN"));
    const QCommandLineOption webPortal(QStringLiteral("web-portal"),
                                       QStringLiteral("Host of the service's web portal."), QStringLiteral("HOST"));
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
    const QCommandLineOption milestones(
        QStringLiteral("milestones"),
        QStringLiteral("Append what the window shows, with monotonic-clock times, to this file (for measuring)."),
        QStringLiteral("FILE"));
    parser.addOptions({sipServer, sipDomain, webPortal, dataDir, playFile, recordFile, sipTrace, sipPort, milestones});
    parser.process(app);

    SCommandLine line{ServiceConfig::current(), LinphoneClientOptions{}, QString()};
    const std::pair<const QCommandLineOption*, QString*> texts[] = {
        {&sipServer, &line.service.sipServer},  {&sipDomain, &line.service.sipDomain},
        {&webPortal, &line.service.webPortal},  {&dataDir, &line.client.dataDir},
        {&playFile, &line.client.playFile},     {&recordFile, &line.client.recordFile},
        {&sipTrace, &line.client.sipTraceFile}, {&milestones, &line.milestoneFile},
    };
    for (const auto& [option, target] : texts) {
        if (!parser.isSet(*option))
            continue;
        const std::optional<QString> value = NonBlank(parser, *option);
        if (!value)
            return std::nullopt;
        *target = *value;
    }
    if (parser.isSet(sipPort)) {
        bool ok = false;
        const int port = parser.value(sipPort).toInt(&ok);
        if (!ok || port < 1 || port > 65535) {
            std::fprintf(stderr, "orvalo-phone: --sip-port needs a port number from 1 to 65535.\n");
            return std::nullopt;
        }
        line.client.sipPort = port;
    }
    return line;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Organisation and application name place the settings file (Quenlark/OrvaloPhone),
    // where the list controls keep their column layout too, and the data folder.
    QApplication::setOrganizationName(QStringLiteral("Quenlark"));
    QApplication::setApplicationName(QStringLiteral("OrvaloPhone"));
    QApplication::setApplicationVersion(QStringLiteral("1.12"));
    QApplication::setWindowIcon(Resources::AppIcon());

    const std::optional<SCommandLine> line = ParseCommandLine(app);
    if (!line)
        return kBadCommandLine;
    ServiceConfig::setCurrent(line->service);
    if (!line->milestoneFile.isEmpty() && !CMilestoneLog::Open(line->milestoneFile))
        return kBadCommandLine;

    const LinphoneClientOptions options = line->client;
    COrvaloPhoneApp phone([options](RtcClientPtr& client) { return CreateLinphoneRtcClient(options, client); });
    // The engine has told the user why it cannot start.
    if (!phone.InitInstance())
        return kCannotStart;
    return app.exec();
}
