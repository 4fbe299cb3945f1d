// Creation of the production RTC client over liblinphone. Nothing outside this
// folder sees a liblinphone type; the rest of the program only gets an IRTCClient.
#pragma once

#include "platform/rtc/RtcInterfaces.h"

#include <QString>

struct LinphoneClientOptions {
    // Folder for the library's configuration, databases and logs (created owner-only).
    // Empty: the application data folder.
    QString dataDir;
    // When set, audio devices are replaced by files: this WAV file is played as the
    // microphone, and what is heard is recorded into recordFile (if set).
    QString playFile;
    QString recordFile;
    // Files even when sound devices exist (headless programs); no play file sends silence.
    bool filesOnly = false;
    // When set, the full SIP trace is written to this file.
    QString sipTraceFile;
    // Fixed SIP listening port for UDP and TCP; 0 picks a free one.
    int sipPort = 0;
    // Address to bind SIP and RTP to; empty lets the library choose (loopback for a
    // server on this machine).
    QString bindAddress;
    // Lifetime asked for each registration, in seconds; it is refreshed before it ends.
    int registrationExpires = 600;
    // SIP requests reach the library only from the server of a profile, and the
    // phone listens on TCP only for a profile that uses it; off for direct
    // peer-to-peer use. Every message is screened either way (CSipGuard).
    bool sipFromServiceOnly = true;
    // The certificates (PEM) of the authorities whose server certificates SIP over
    // TLS accepts; empty: the system's trusted authorities. Never unverified.
    QString trustedCaFile;
    // Root of the service's XCAP server for presence rules; empty: http://<server>/xcap-root.
    QString xcapRoot;
};

HRESULT CreateLinphoneRtcClient(const LinphoneClientOptions& options, RtcClientPtr& client);
