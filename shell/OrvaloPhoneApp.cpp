#include "OrvaloPhoneApp.h"

#include "MainFrame.h"
#include "MilestoneLog.h"
#include "OrvaloPhoneView.h"

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
    m_frame->show();
    CMilestoneLog::NoteWhenShown(*m_frame);
    // The logon dialog comes once the main window is up.
    QTimer::singleShot(0, m_frame->View(), &COrvaloPhoneView::StartUp);
    return true;
}

CMainFrame* COrvaloPhoneApp::Frame() const
{
    return m_frame;
}
