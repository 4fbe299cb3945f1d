// orvalo-peer: a headless phone for tests and the demo (see Peer.h).
#include "Peer.h"
#include "SignalWatcher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStandardPaths>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvalo-peer"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A headless phone: logs on, answers calls and plays a sound file into them, echoes every "
                       "instant message with \"%1\" in front, and allows every watcher of its presence.")
            .arg(CMessageEcho::kEchoPrefix));
    parser.addHelpOption();
    const QCommandLineOption server(QStringLiteral("server"), QStringLiteral("Outbound proxy, host[:port]."),
                                    QStringLiteral("host:port"));
    const QCommandLineOption domain(QStringLiteral("domain"), QStringLiteral("SIP domain of the account."),
                                    QStringLiteral("domain"), QStringLiteral("sip.orvalo.test"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("Account number."), QStringLiteral("number"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("Account password."),
                                      QStringLiteral("password"));
    const QCommandLineOption name(QStringLiteral("name"), QStringLiteral("Display name."), QStringLiteral("name"));
    const QCommandLineOption tcp(QStringLiteral("tcp"), QStringLiteral("Use TCP instead of UDP."));
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("Folder for the library's files."),
                                     QStringLiteral("folder"));
    const QCommandLineOption playFile(QStringLiteral("play-file"), QStringLiteral("WAV file played into calls."),
                                      QStringLiteral("wav"));
    const QCommandLineOption recordFile(QStringLiteral("record-file"), QStringLiteral("WAV file of what is heard."),
                                        QStringLiteral("wav"));
    const QCommandLineOption trace(QStringLiteral("sip-trace"), QStringLiteral("Write the SIP trace to this file."),
                                   QStringLiteral("file"));
    const QCommandLineOption presence(QStringLiteral("presence"),
                                      QStringLiteral("Publish this presence status once registered: %1.")
                                          .arg(CPeerPresence::StatusNames().join(QStringLiteral(", "))),
                                      QStringLiteral("status"));
    parser.addOptions({server, domain, user, password, name, tcp, dataDir, playFile, recordFile, trace, presence});
    parser.process(app);
    if (!parser.isSet(server) || !parser.isSet(user) || !parser.isSet(password)) {
        std::fputs("orvalo-peer: --server, --user and --password are required\n", stderr);
        return 2;
    }
    const std::optional<RTC_PRESENCE_STATUS> status = CPeerPresence::StatusFromName(parser.value(presence));
    if (parser.isSet(presence) && !status) {
        const QString message =
            QStringLiteral("orvalo-peer: unknown presence status \"%1\"; use one of: %2\n")
                .arg(parser.value(presence), CPeerPresence::StatusNames().join(QStringLiteral(", ")));
        std::fputs(qPrintable(message), stderr);
        return 2;
    }

    PeerSettings settings;
    settings.server = parser.value(server);
    settings.domain = parser.value(domain);
    settings.user = parser.value(user);
    settings.password = parser.value(password);
    settings.displayName = parser.value(name);
    settings.transport = parser.isSet(tcp) ? RTCTR_TCP : RTCTR_UDP;
    settings.presence = status;
    settings.client.dataDir = parser.isSet(dataDir) ? parser.value(dataDir)
                                                    : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    // A peer has no sound card to speak of: it always works with files.
    settings.client.filesOnly = true;
    settings.client.playFile = parser.value(playFile);
    settings.client.recordFile = parser.value(recordFile);
    settings.client.sipTraceFile = parser.value(trace);

    CPeer peer(settings);
    CSignalWatcher stopSignals;
    QObject::connect(&stopSignals, &CSignalWatcher::stopRequested, &peer, &CPeer::Stop);
    QObject::connect(&peer, &CPeer::finished, &app, &QCoreApplication::exit);
    if (!peer.Start())
        return 1;
    return app.exec();
}
