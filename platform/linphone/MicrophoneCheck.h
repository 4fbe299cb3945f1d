// Finds out, once a call's audio stream has started, whether its microphone gives
// any sound. A capture device can be listed and still fail to open when the stream
// starts (a sound server's source that has gone away, a device another program
// holds): the library then logs the error, sends no audio packet at all and tells
// nobody. A stream that has sent no packet a while after its start has no
// microphone.
#pragma once

#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

namespace linphone {
class Call;
} // namespace linphone

class CMicrophoneCheck {
public:
    // A sound server hands over its first capture fragment within a fraction of this.
    static constexpr int kGraceMs = 2000;
    using Handler = std::function<void(const std::shared_ptr<linphone::Call>&)>;

    // The handler runs for a call whose stream sent nothing.
    explicit CMicrophoneCheck(Handler onSilentMicrophone);

    // The call's audio stream (re)started: one look after the grace time.
    void Start(const std::shared_ptr<linphone::Call>& call);
    void Stop();

private:
    void Check();
    static std::uint64_t PacketsSent(linphone::Call& call);

    Handler m_onSilentMicrophone;
    std::weak_ptr<linphone::Call> m_call;
    std::uint64_t m_sentAtStart = 0;
    QTimer m_timer;
};
