// The engine's part in who may watch the user: the answer to a new watcher, the
// one prompt at a time, and the watchers windows it tells.
#include "AddressRules.h"
#include "ClientEngine.h"

#include <QLoggingCategory>

#include <algorithm>

namespace {
Q_LOGGING_CATEGORY(lcWatchers, "orvalo.watchers")

bool IsDecided(IRTCWatcher2& watcher)
{
    RTC_WATCHER_STATE state = RTCWS_UNKNOWN;
    if (FAILED(watcher.get_State(state)))
        return false;
    return state == RTCWS_ALLOWED || state == RTCWS_BLOCKED || state == RTCWS_DENIED;
}
} // namespace

HRESULT CClientEngine::OpenWatchersWindow()
{
    return m_watchers ? m_watchers->OpenWatchersWindow() : E_FAIL;
}

void CClientEngine::OnWatcherEvent(const IRTCWatcherEvent2& event)
{
    RTC_WATCHER_EVENT_TYPE type;
    HRESULT statusCode;
    RtcWatcherPtr watcher;
    if (FAILED(event.get_EventType(type)) || FAILED(event.get_StatusCode(statusCode)) ||
        FAILED(event.get_Watcher(watcher))) {
        qCWarning(lcWatchers) << "a watcher event without its watcher is dropped";
        return;
    }
    if (type == RTCWET_WATCHER_OFFERING) {
        OnWatcherOffered(watcher, statusCode);
        return;
    }
    if (m_watchers)
        m_watchers->OnWatcherEvent(watcher, type, statusCode);
}

void CClientEngine::OnWatcherOffered(const RtcWatcherPtr& watcher, HRESULT statusCode)
{
    // One prompt at a time: an offer that comes meanwhile waits its turn, once.
    if (m_askedWatcher) {
        const bool known = watcher == m_askedWatcher ||
                           std::any_of(m_waitingWatchers.begin(), m_waitingWatchers.end(),
                                       [&watcher](const auto& waiting) { return waiting.first == watcher; });
        if (!known)
            m_waitingWatchers.emplace_back(watcher, statusCode);
        return;
    }

    QPointer<CClientEngine> alive(this);
    const HRESULT hr = AnswerWatcherOffer(watcher);
    if (!alive)
        return; // the program ended while the prompt was open
    if (hr == S_OK && m_watchers)
        m_watchers->OnWatcherEvent(watcher, RTCWET_WATCHER_OFFERING, statusCode);
    if (!m_waitingWatchers.empty())
        QMetaObject::invokeMethod(this, &CClientEngine::OfferNextWaitingWatcher, Qt::QueuedConnection);
}

void CClientEngine::OfferNextWaitingWatcher()
{
    if (m_askedWatcher || m_waitingWatchers.empty())
        return;
    const auto [watcher, statusCode] = m_waitingWatchers.front();
    m_waitingWatchers.pop_front();
    OnWatcherOffered(watcher, statusCode);
}

// S_OK when the watcher was answered; S_FALSE when nothing was to be done (asked
// already, or the prompt was cancelled); a failure when the answer could not be
// given. The engine may be gone when this returns: the caller checks.
HRESULT CClientEngine::AnswerWatcherOffer(const RtcWatcherPtr& watcher)
{
    QString uri, name;
    HRESULT hr = watcher->get_PresentityURI(uri);
    if (FAILED(hr)) {
        qCWarning(lcWatchers) << "an offered watcher without an address is not answered";
        return hr;
    }
    hr = watcher->get_Name(name);
    if (FAILED(hr) && hr != RTC_E_NO_DISPLAY_NAME) {
        qCWarning(lcWatchers) << "the name of an offered watcher cannot be read";
        return hr;
    }

    // The presence server itself may always watch.
    SWatcherAnswer answer;
    if (uri != PresenceServerUri()) {
        if (IsDecided(*watcher))
            return S_FALSE; // the user has answered for this watcher already
        if (!m_watchers) {
            qCWarning(lcWatchers) << "no prompt to ask about a watcher";
            return E_FAIL;
        }
        const RtcProfilePtr profile = m_profile;
        QPointer<CClientEngine> alive(this);
        m_askedWatcher = watcher;
        const std::optional<SWatcherAnswer> asked = m_watchers->PromptForWatcher(name, uri);
        if (!alive)
            return E_FAIL;
        m_askedWatcher.reset();
        if (!asked)
            return S_FALSE;
        // Log off, a new logon or the watcher's removal may have come while the prompt was open.
        if (!IsStillOffered(watcher, uri, profile)) {
            qCWarning(lcWatchers) << "the answer about a watcher came after it stopped asking";
            return E_FAIL;
        }
        answer = *asked;
    }

    hr = watcher->put_State(answer.allow ? RTCWS_ALLOWED : RTCWS_BLOCKED);
    if (FAILED(hr)) {
        qCWarning(lcWatchers) << "the decision about a watcher was not taken:" << Qt::hex << static_cast<quint32>(hr);
        return hr;
    }
    if (FAILED(watcher->put_Persistent(true)))
        qCWarning(lcWatchers) << "the decision about a watcher is not kept";
    if (answer.addAsBuddy) {
        hr = AddBuddyToList(uri, name);
        if (FAILED(hr)) {
            qCWarning(lcWatchers) << "the watcher was not added as a buddy:" << Qt::hex << static_cast<quint32>(hr);
            return hr;
        }
    }
    return S_OK;
}

bool CClientEngine::IsStillOffered(const RtcWatcherPtr& watcher, const QString& uri, const RtcProfilePtr& profile) const
{
    IRTCClientPresence2* presence = m_client ? m_client->presence() : nullptr;
    RtcWatcherPtr current;
    return m_profile && m_profile == profile && presence && SUCCEEDED(presence->get_Watcher(uri, current)) &&
           current == watcher;
}
