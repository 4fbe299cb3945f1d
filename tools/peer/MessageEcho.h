// Answers instant messages: each message comes back in its own session with
// kEchoPrefix in front. The echo is preceded by a typing notice, sent a moment
// earlier, and followed by idle, so that the other side sees someone typing.
#pragma once

#include "platform/rtc/RtcEvents.h"

#include <QObject>

class CMessageEcho : public QObject {
    Q_OBJECT
public:
    static inline const QString kEchoPrefix = QStringLiteral("echo: ");
    static constexpr int kTypingMs = 300;

    using QObject::QObject;

    void OnMessaging(const IRTCMessagingEvent& event);

private:
    static void Echo(const RtcSessionPtr& session, const QString& uri, const QString& text);
};
