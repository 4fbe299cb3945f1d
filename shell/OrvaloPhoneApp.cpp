#include "OrvaloPhoneApp.h"

#include "LinkDialer.h"
#include "MainFrame.h"
#include "MilestoneLog.h"
#include "OrvaloPhoneView.h"
#include "engine/ProcessGlobals.h"
#include "platform/desktop/BringForward.h"

#include <QTimer>

COrvaloPhoneApp::COrvaloPhoneApp(RtcClientFactory factory) : m_clientFactory(std::move(factory))
{
}

COrvaloPhoneApp::~COrvaloPhoneApp()
{
    delete m_frame;
}

bool COrvaloPhoneApp::InitInstance()
{
    ShowMainWindow();
    return StartEngine();
}

void COrvaloPhoneApp::ShowMainWindow()
{
    m_frame = new CMainFrame(m_clientFactory);
    m_frame->Create();
    m_linkDialer = new CLinkDialer(*m_frame->View(), m_frame);
    m_frame->show();
    CMilestoneLog::NoteWhenShown(*m_frame);
}

bool COrvaloPhoneApp::StartEngine()
{
    if (!m_frame || g_closing)
        return true; // closed before the engine started: the program is on its way out
    if (!m_frame->StartEngine()) {
        delete m_frame;
        return false;
    }
    CMilestoneLog::Note("engine-started");
    m_linkDialer->FollowEngine();
    // The logon dialog comes once the main window is up.
    QTimer::singleShot(0, m_frame->View(), &COrvaloPhoneView::StartUp);
    return true;
}

void COrvaloPhoneApp::ShowAndDial(const QString& link)
{
    if (!m_frame || g_closing)
        return; // the phone is on its way out
    BringForward(*m_frame);
    if (!link.isEmpty() && m_linkDialer)
        m_linkDialer->Dial(link);
}

CMainFrame* COrvaloPhoneApp::Frame() const
{
    return m_frame;
}
