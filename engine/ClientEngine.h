// The one engine of the program. It owns the RTC client and the user's profile,
// sets the library up, receives its events on the user-interface thread and
// turns them into changes of state: logon and registration, the user's own
// presence, and the routing of sessions to their windows.
#pragma once

#include "BurstLimit.h"
#include "EngineViews.h"
#include "platform/rtc/RtcEvents.h"

#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class CEventSink;
class CSessionWnd;

using RtcClientFactory = std::function<HRESULT(RtcClientPtr& client)>;

class CClientEngine : public QObject {
    Q_OBJECT

public:
    static constexpr int kRequiredVersion = 0x10002;
    static constexpr int kEventFilter = 0x8F2FFF;
    static inline const QString kClientName = QStringLiteral("Orvalo Phone");
    // New conversations (a message window each) that may open within a minute.
    static constexpr int kMaxNewConversations = 10;
    static constexpr int kNewConversationPeriodMs = 60000;

    // Creates the engine and sets the library up. Returns null, with the version
    // message shown where one applies, when the library cannot be set up.
    static CClientEngine* Create(const RtcClientFactory& factory, IMainWindowDisplay& display,
                                 QObject* parent = nullptr);
    ~CClientEngine() override;

    void SetBuddyListView(IBuddyListView* view) { m_buddyList = view; }
    void SetWatchersView(IWatchersView* view) { m_watchers = view; }
    void SetSessionWindowFactory(ISessionWindowFactory* factory) { m_sessionWindowFactory = factory; }

    const RtcClientPtr& Client() const { return m_client; }
    const RtcProfilePtr& Profile() const { return m_profile; }
    IMainWindowDisplay& Display() const { return m_display; }

    // --- start-up, dispatch, shut-down ---
    void DispatchEvent(RTC_EVENT type, const RtcEventPtr& event);
    // The engine is asked to close: go offline, close every window, stop the library.
    void OnClose();

    // --- logon and registration ---
    HRESULT StartLogon(const QString& userUri, const QString& server, const QString& transport);
    // The password typed at logon, kept in memory for the one credential retry.
    void SetLogonPassword(const QString& password) { m_logonPassword = password; }
    HRESULT LogOff();
    void ShowLoggingOn();
    void ShowLoggingOff();
    void ShowLoggedOn();
    void ShowLoggedOff();
    bool IsLogonPending() const { return m_logonPending; }
    bool IsLoggedOn() const { return m_lastRegistrationState == RTCRS_REGISTERED && m_profile; }

    // --- the user's own presence ---
    HRESULT SetPresenceEnabled(bool enable);
    HRESULT SetLocalStatus(int status);
    // A status command from the menu or the chooser: timer, publish, chooser.
    void OnStatusCommand(int status);
    // The away timer fired.
    void OnAwayTimer();
    // Where the presence store of a user lives.
    static QString PresenceStoragePath(const QString& userUri);

    HRESULT GetLocalDisplayName(QString& name);
    HRESULT GetLocalUserUri(QString& uri);

    // --- calls and session routing ---
    // 0 when the session was started, 1 when refused with a message, else the library's failure.
    HRESULT MakeCall(RTC_SESSION_TYPE type, const QString& uri, const QString& name);
    HRESULT CreateSessionWindow(const RtcSessionPtr& session, RTC_SESSION_TYPE type);
    HRESULT InvokeTuningWizard();
    HRESULT OpenWatchersWindow();
    bool IsIncomingCallPromptOpen() const { return m_incomingCallPromptOpen; }

    // --- session windows ---
    HRESULT FindSessionWindow(const RtcSessionPtr& session, CSessionWnd*& window) const;
    void AddSessionWindow(CSessionWnd* window);
    void RemoveSessionWindow(CSessionWnd* window);
    const std::vector<CSessionWnd*>& SessionWindows() const { return m_sessionWindows; }

    // Shows a message box owned by the main view. False when the engine went away
    // while the box was open (the main window closed): the caller must stop at once.
    bool ShowMessage(const QString& text);

    // --- the buddy list (ClientEngineBuddies.cpp) ---
    // Inserts or updates the buddy's row; with a group row it ends up last under that group.
    HRESULT ShowBuddy(const RtcBuddyPtr& buddy, CBuddyTreeItem* groupItem);
    void RemoveBuddyItem(const RtcBuddyPtr& buddy);
    CBuddyTreeItem* ShowGroupItem(const RtcGroupPtr& group); // null when the group has no name
    // Shows every group and buddy of the library afresh.
    void RebuildBuddyList();
    // Adds a persistent buddy for the URI (name may be empty) and shows it under "Buddies".
    HRESULT AddBuddyToList(const QString& uri, const QString& name);
    HRESULT CreateGroup(const QString& name);
    // The "View Profile" box.
    HRESULT ShowProfile(QWidget* owner, const RtcBuddyPtr& buddy);
    // A message session with the buddy; refused while the buddy is not online.
    HRESULT SendMessageToBuddy(const RtcBuddyPtr& buddy);
    // A voice call to the buddy from the "Phone View" page.
    HRESULT CallBuddy(const RtcBuddyPtr& buddy);
    // Library requests, each returning the library's status.
    HRESULT RemoveBuddy(const RtcBuddyPtr& buddy);
    HRESULT RefreshBuddy(const RtcBuddyPtr& buddy);
    HRESULT RemoveGroup(const RtcGroupPtr& group);
    HRESULT AddBuddyToGroup(const RtcGroupPtr& group, const QString& uri);
    HRESULT RemoveBuddyFromGroup(const RtcGroupPtr& group, const QString& uri);
    // The buddy's URI and display name (empty when it has none) for calls and messages.
    static HRESULT GetBuddyAddress(const RtcBuddyPtr& buddy, QString& uri, QString& name);

signals:
    // The phone has registered: what waited for the logon may go on.
    void loggedOn();

protected:
    bool event(QEvent* event) override;

private:
    CClientEngine(const RtcClientFactory& factory, IMainWindowDisplay& display, QObject* parent);

    HRESULT Init();
    void ReleaseClientAfterFailedInit();
    void OnDestroy();

    void OnClientEvent(const IRTCClientEvent& event);
    void OnRegistrationStateChange(const IRTCRegistrationStateChangeEvent& event);
    void OnSessionStateChange(const IRTCSessionStateChangeEvent& event);
    void OnParticipantStateChange(const IRTCParticipantStateChangeEvent& event);
    void OnMediaEvent(const IRTCMediaEvent& event);
    void OnIntensityEvent(const IRTCIntensityEvent& event);
    void OnMessagingEvent(const IRTCMessagingEvent& event);
    void OnProfileEvent(const IRTCProfileEvent2& event);
    void OnBuddyEvent(const IRTCBuddyEvent2& event);
    void OnWatcherEvent(const IRTCWatcherEvent2& event);
    void OnWatcherOffered(const RtcWatcherPtr& watcher, HRESULT statusCode);
    HRESULT AnswerWatcherOffer(const RtcWatcherPtr& watcher);
    bool IsStillOffered(const RtcWatcherPtr& watcher, const QString& uri, const RtcProfilePtr& profile) const;
    void OfferNextWaitingWatcher();

    HRESULT InsertBuddyItem(const RtcBuddyPtr& buddy, CBuddyTreeItem* parent, const QString& line);

    HRESULT RequestProfile(const QString& userUri, const QString& server, const QString& transport);
    HRESULT ActivateProfile();
    HRESULT SetProfileEnabled(bool enable);
    HRESULT RetryWithCredentials();
    void ApplyRegistrationFailure(HRESULT statusCode);
    void EndFailedLogon();

    void OnIncomingSession(const RtcSessionPtr& session);
    void OnIncomingCall(const RtcSessionPtr& session, RTC_SESSION_TYPE type);
    HRESULT RefuseUnknownMessageRecipient(const QString& uri);

    void CloseSessionWindows();
    void CloseWatchersWindows();

    RtcClientFactory m_clientFactory;
    IMainWindowDisplay& m_display;
    IBuddyListView* m_buddyList = nullptr;
    IWatchersView* m_watchers = nullptr;
    ISessionWindowFactory* m_sessionWindowFactory = nullptr;

    int m_transport = 0; // RTC_TRANSPORT; 0 until the first logon
    RtcClientPtr m_client;
    RtcProfilePtr m_profile;
    std::shared_ptr<CEventSink> m_sink;
    bool m_sinkRegistered = false;
    bool m_shutDown = false;

    RTC_REGISTRATION_STATE m_lastRegistrationState = RTCRS_NOT_REGISTERED;
    bool m_logonPending = false;
    int m_credentialRetries = 0;
    QString m_logonPassword;

    bool m_presenceEnabled = false;
    int m_publishedStatus = RTCXS_PRESENCE_OFFLINE;

    std::vector<CSessionWnd*> m_sessionWindows;
    bool m_incomingCallPromptOpen = false;
    CBurstLimit m_newConversations{kMaxNewConversations, kNewConversationPeriodMs};

    // The watcher the "Incoming Watcher" prompt asks about, and the offers that wait for it.
    RtcWatcherPtr m_askedWatcher;
    std::deque<std::pair<RtcWatcherPtr, HRESULT>> m_waitingWatchers;
};
