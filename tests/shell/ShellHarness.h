// The whole main window over the fake RTC client, in a temporary home, with the
// program's message boxes answered and no browser ever started.
#pragma once

#include "controls/HyperlinkLabel.h"
#include "engine/ProcessGlobals.h"
#include "engine/RtcEventMessage.h"
#include "engine/SettingsStore.h"
#include "shell/BuddyListPage.h"
#include "shell/MainFrame.h"
#include "shell/MainMenu.h"
#include "shell/OrvaloPhoneApp.h"
#include "shell/OrvaloPhoneView.h"
#include "shell/WebLinks.h"
#include "tests/fakes/ModalDriver.h"
#include "tests/fakes/FakeRtcClient.h"
#include "tests/fakes/IsolatedHome.h"
#include "tests/fakes/MessageCapture.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

inline const QString kTypedNumber = QStringLiteral("1 (555) 123-0001");
inline const QString kUserUri = QStringLiteral("sip:15551230001@sip.orvalo.test");

class ShellHarness {
public:
    ShellHarness()
    {
        QSettings(QStringLiteral("Quenlark"), QStringLiteral("OrvaloPhone")).clear();
        QApplication::setQuitOnLastWindowClosed(false);
        g_closing = false;
        SetUrlOpener([this](const QUrl& url) { opened << url; });
        client = FakeRtcClient::create();
        profile = client->makeProfile(kUserUri, QStringLiteral("Alice"));
        app = std::make_unique<COrvaloPhoneApp>([this](RtcClientPtr& out) {
            out = client;
            return factoryResult;
        });
    }
    ~ShellHarness()
    {
        // Exit ends any call and closes the window; what it posts is run before the next test.
        if (app->Frame())
            app->Frame()->ExitNow();
        flushEventLoop();
        app.reset();
        flushEventLoop();
        SetUrlOpener(nullptr);
        g_closing = false;
    }
    ShellHarness(const ShellHarness&) = delete;
    ShellHarness& operator=(const ShellHarness&) = delete;

    CMainFrame* frame() const { return app->Frame(); }
    COrvaloPhoneView* view() const { return app->Frame()->View(); }
    CMainMenu* menu() const { return app->Frame()->Menu(); }
    template <typename T> T* control(int id) const { return frame()->findChild<T*>(QString::number(id)); }

    static void flushEventLoop()
    {
        for (int round = 0; round < 3; ++round) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    // Hands the event to the engine at once, as the event loop would.
    void deliver(RTC_EVENT type, const RtcEventPtr& event)
    {
        QVERIFY(client->fire(type, event));
        QCoreApplication::sendPostedEvents(view()->Engine(), CRtcEventMessage::kType);
    }
    void registration(RTC_REGISTRATION_STATE state, HRESULT code = S_OK)
    {
        deliver(RTCE_REGISTRATION_STATE_CHANGE, FakeEvents::registration(profile, state, code));
    }
    // The library's answers to a logon that has been started.
    void completeLogon()
    {
        deliver(RTCE_PROFILE, FakeEvents::profile(profile));
        registration(RTCRS_REGISTERING);
        registration(RTCRS_REGISTERED);
    }
    // Starts the program with automatic logon and lets it register.
    void startLoggedOn()
    {
        CSettingsStore::WriteSetting(kSettingUserUri, kTypedNumber);
        CSettingsStore::WriteSetting(kSettingAccount, QStringLiteral("alice"));
        CSettingsStore::WriteSetting(kSettingAutoLogon, QStringLiteral("1"));
        QVERIFY(app->InitInstance());
        QTRY_COMPARE(client->log().count("Client.GetProfile"), 1);
        completeLogon();
    }
    QList<int> publishedStatuses() const
    {
        QList<int> statuses;
        for (const FakeCall& call : client->log().calls())
            if (call.op == QLatin1String("Client.SetLocalPresenceInfo"))
                statuses << call.args.value(0).toInt();
        return statuses;
    }

    IsolatedHome home;
    MessageCapture messages;
    QList<QUrl> opened;
    std::shared_ptr<FakeRtcClient> client;
    std::shared_ptr<FakeProfile> profile;
    HRESULT factoryResult = S_OK;
    std::unique_ptr<COrvaloPhoneApp> app;
};
