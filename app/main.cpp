// Orvalo Phone: reads the command line, hands a second start to the running
// phone, points the phone at its service and opens the main window over the
// production RTC client, whose module loads while the window comes up.
#include "app/CommandLine.h"
#include "app/EngineStart.h"
#include "app/SingleInstance.h"
#include "app/StallReporter.h"
#include "platform/linphone/module/LinphoneModule.h"
#include "resources/ResourceIds.h"
#include "shell/MilestoneLog.h"
#include "shell/OrvaloPhoneApp.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <string_view>

namespace {
constexpr int kBadCommandLine = 2;
constexpr int kCannotStart = CEngineStart::kCannotStart;

// Organisation and application name place the settings file (Quenlark/OrvaloPhone),
// where the list controls keep their column layout too, and the data folder.
void NameTheApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quenlark"));
    QCoreApplication::setApplicationName(QStringLiteral("OrvaloPhone"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVALO_VERSION));
}

// --help and --version only print: they must work without a display, from a terminal.
bool AsksOnlyForText(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--help" || argument == "-h" || argument == "-?" || argument == "--help-all" ||
            argument == "--version" || argument == "-v")
            return true;
    }
    return false;
}

// The exit status of a command line that does not start the phone; nothing when it does.
std::optional<int> Answer(const SCommandLineResult& read)
{
    switch (read.outcome) {
    case SCommandLineResult::EOutcome::ShowText: std::fputs(qPrintable(read.text), stdout); return 0;
    case SCommandLineResult::EOutcome::Refuse:
        std::fprintf(stderr, "%s\n", qPrintable(read.text));
        return kBadCommandLine;
    case SCommandLineResult::EOutcome::Run: break;
    }
    return std::nullopt;
}
} // namespace

int main(int argc, char* argv[])
{
    if (AsksOnlyForText(argc, argv)) {
        QCoreApplication core(argc, argv);
        NameTheApplication();
        return Answer(ReadCommandLine(QCoreApplication::arguments())).value_or(kBadCommandLine);
    }

    QApplication app(argc, argv);
    NameTheApplication();
    QApplication::setDesktopFileName(QStringLiteral("orvalo-phone"));
    QApplication::setWindowIcon(Resources::AppIcon());

    const SCommandLineResult read = ReadCommandLine(QApplication::arguments());
    if (const std::optional<int> status = Answer(read))
        return *status;
    const SCommandLine& line = read.line;

    CSingleInstance instance(CSingleInstance::DefaultSocketPath());
    switch (instance.Start(line.address)) {
    case CSingleInstance::EStart::HandedOn: return 0;
    case CSingleInstance::EStart::NoAnswer:
        std::fprintf(stderr, "orvalo-phone: the Orvalo Phone already running did not answer.\n");
        return kCannotStart;
    case CSingleInstance::EStart::First: break;
    }

    ServiceConfig::setCurrent(line.service);
    if (!line.milestoneFile.isEmpty() && !CMilestoneLog::Open(line.milestoneFile))
        return kBadCommandLine;
    std::optional<CStallReporter> stalls;
    if (line.stallThresholdMs > 0)
        stalls.emplace(line.stallThresholdMs);
    const LinphoneClientOptions options = line.client;
    std::optional<CLinphoneModule> sipModule;
    COrvaloPhoneApp phone(
        [&sipModule, options](RtcClientPtr& client) { return sipModule->CreateClient(options, client); });
    phone.ShowMainWindow();
    // The SIP layer's libraries load while the window comes up on the screen. Not
    // sooner: the process has one loader lock, and Qt takes it while it starts and
    // lays the window out (its plugins, its first thread-local objects), so it
    // would wait for the whole module.
    sipModule.emplace(CLinphoneModule::DefaultPath());
    new CEngineStart(phone, *sipModule, &app);
    QObject::connect(&instance, &CSingleInstance::addressReceived, &app,
                     [&phone](const QString& address) { phone.ShowAndDial(address); });
    if (!line.address.isEmpty())
        QTimer::singleShot(0, &app, [&phone, address = line.address] { phone.ShowAndDial(address); });
    return app.exec();
}
