// The program's command line: the service and sound options, checked as they are
// read, and the address (sip:, sips:, tel: or a number) to dial.
#pragma once

#include "engine/ServiceConfig.h"
#include "platform/linphone/LinphoneClientFactory.h"

#include <QString>
#include <QStringList>

struct SCommandLine {
    ServiceConfig service;
    LinphoneClientOptions client;
    QString address;          // empty: nothing to dial
    int stallThresholdMs = 0; // 0: event-loop stalls are not reported
    QString milestoneFile;    // empty: no milestones are written
};

struct SCommandLineResult {
    enum class EOutcome {
        Run,      // start (or hand the address to the running phone)
        ShowText, // --help or --version: print `text` and end successfully
        Refuse,   // print `text` as the error and end with a failure
    };
    EOutcome outcome = EOutcome::Run;
    SCommandLine line;
    QString text;
};

// Longest address accepted; a dial link never comes near it.
inline constexpr int kMaxAddressLength = 256;

// Reads the arguments (the first is the program). The defaults are the
// configuration in force.
SCommandLineResult ReadCommandLine(const QStringList& arguments);
