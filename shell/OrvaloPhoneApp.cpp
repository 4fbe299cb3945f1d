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
    m_frame = new CMainFrame(m_clientFactory);
    if (!m_frame->Create()) {
        delete m_frame;
        return false;
    }
    m_linkDialer = new CLinkDialer(*m_frame->View(), m_frame);
    m_frame->show();
    CMilestoneLog::NoteWhenShown(*m_frame);
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
