// The modal "Incoming Call" prompt: names the caller, rings every four seconds
// and gives up at the eighth ring, logging a missed call. The engine starts the
// first ring before it opens; the prompt stops the ring however it ends.
#pragma once

#include "platform/rtc/RtcInterfaces.h"

#include <QDialog>
#include <QTimer>

class IMainWindowDisplay;

class CIncomingCallPrompt : public QDialog {
    Q_OBJECT

public:
    static constexpr int kDialogId = 106;
    static constexpr int kAcceptId = 1010;
    static constexpr int kRejectId = 1011;
    static constexpr int kCallerNameId = 1008;
    static constexpr int kCallerNumberId = 1009;
    static constexpr int kRingTimerId = 3;
    static constexpr int kRingPeriodMs = 4000;
    static constexpr int kRingsBeforeGivingUp = 8;
    // Every normal end, whatever the answer, ends the dialog with this code.
    static constexpr int kEndCode = 1;
    static constexpr int kMissedCallKind = 2;

    CIncomingCallPrompt(RtcClientPtr client, IMainWindowDisplay& display, const QString& callerName,
                        const QString& callerUri, QWidget* owner = nullptr);
    ~CIncomingCallPrompt() override;

    bool Accepted() const { return m_accepted; }
    int Rings() const { return m_rings; }

    // One tick of the ring timer.
    void OnTimer();

    void done(int result) override;
    // Escape and the close box refuse the call.
    void reject() override;

private:
    void End(bool accepted);
    void StopRinging();

    RtcClientPtr m_client;
    IMainWindowDisplay& m_display;
    QString m_callerName;
    QString m_callerUri;
    QTimer m_ringTimer;
    int m_rings = 0;
    bool m_accepted = false;
    bool m_ringing = true;
};
