#include "SessionWnd.h"

#include "ClientEngine.h"

HRESULT CSessionWnd::OnDestroy()
{
    if (m_session) {
        m_session->Terminate(RTCTR_NORMAL);
        m_session.reset();
    }
    if (m_engine)
        m_engine->RemoveSessionWindow(this);
    return S_OK;
}

HRESULT CSessionWnd::OnClose()
{
    DestroyWindow();
    return S_OK;
}

HRESULT CSessionWnd::OnSessionStateChange(RTC_SESSION_STATE state)
{
    m_state = state;
    return S_OK;
}
