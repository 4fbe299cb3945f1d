// The application: makes the main window around the engine's client and shows it.
#pragma once

#include "engine/ClientEngine.h"

#include <QPointer>

class CLinkDialer;
class CMainFrame;

class COrvaloPhoneApp {
public:
    explicit COrvaloPhoneApp(RtcClientFactory factory);
    ~COrvaloPhoneApp();
    COrvaloPhoneApp(const COrvaloPhoneApp&) = delete;
    COrvaloPhoneApp& operator=(const COrvaloPhoneApp&) = delete;

    // Creates and shows the main window and starts the engine at once (both steps
    // below). False when the engine cannot start.
    bool InitInstance();
    // Creates and shows the main window, logged off and without the engine.
    void ShowMainWindow();
    // Starts the engine behind the window shown, then logs on (automatically or
    // through the logon dialog) from the event loop. False, with the window
    // closed, when the engine cannot start; the user has been told why.
    bool StartEngine();

    // A start of the program asks for the phone: the main window comes forward and
    // the link (sip:, sips:, tel: or a number), if any, is dialled once logged on.
    void ShowAndDial(const QString& link);

    CMainFrame* Frame() const;

private:
    RtcClientFactory m_clientFactory;
    QPointer<CMainFrame> m_frame;       // it deletes itself when closed
    QPointer<CLinkDialer> m_linkDialer; // a child of the frame
};
