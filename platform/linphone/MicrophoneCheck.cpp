#include "MicrophoneCheck.h"

#include <QLoggingCategory>

#include <linphone++/linphone.hh>
// The packet counts of the stream are not in the C++ wrapper of this version.
#include <linphone/api/c-call-stats.h>
#include <linphone/api/c-call.h>

namespace {
Q_LOGGING_CATEGORY(lcMicrophone, "orvalo.audio.microphone")
} // namespace

CMicrophoneCheck::CMicrophoneCheck(Handler onSilentMicrophone) : m_onSilentMicrophone(std::move(onSilentMicrophone))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kGraceMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Check(); });
}

void CMicrophoneCheck::Start(const std::shared_ptr<linphone::Call>& call)
{
    m_call = call;
    m_sentAtStart = PacketsSent(*call);
    m_timer.start();
}

void CMicrophoneCheck::Stop()
{
    m_timer.stop();
    m_call.reset();
}

void CMicrophoneCheck::Check()
{
    const auto call = m_call.lock();
    m_call.reset();
    // A call on hold or ended has no stream to judge; the next start looks again.
    if (!call || call->getState() != linphone::Call::State::StreamsRunning)
        return;
    if (PacketsSent(*call) != m_sentAtStart)
        return;
    qCWarning(lcMicrophone) << "the microphone gave no sound" << kGraceMs << "ms into the call: it did not open";
    m_onSilentMicrophone(call);
}

std::uint64_t CMicrophoneCheck::PacketsSent(linphone::Call& call)
{
    // The C++ wrapper's getAudioStats() keeps a reference too many to the copy it
    // returns: each look would leak it.
    LinphoneCallStats* stats = linphone_call_get_audio_stats(call.cPtr());
    if (!stats)
        return 0;
    const rtp_stats_t* rtp = linphone_call_stats_get_rtp_stats(stats);
    const std::uint64_t sent = rtp ? rtp->packet_sent : 0;
    linphone_call_stats_unref(stats);
    return sent;
}
