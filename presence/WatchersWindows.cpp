#include "WatchersWindows.h"

#include "WatcherPrompt.h"
#include "engine/ClientEngine.h"

CWatchersWindows::CWatchersWindows(CClientEngine& engine, QWidget& owner, CWatchersWnd::AddressPrompt addressPrompt)
    : m_engine(engine), m_owner(owner), m_addressPrompt(std::move(addressPrompt))
{
}

HRESULT CWatchersWindows::OpenWatchersWindow()
{
    if (!m_engine.Client())
        return E_FAIL;
    m_windows.removeAll(nullptr);
    auto* window = new CWatchersWnd(m_engine.Client(), m_addressPrompt, &m_owner);
    window->show();
    m_windows << window;
    return S_OK;
}

void CWatchersWindows::CloseAllWatchersWindows()
{
    for (CWatchersWnd* window : Windows())
        window->PostClose();
}

void CWatchersWindows::OnWatcherEvent(const RtcWatcherPtr& watcher, RTC_WATCHER_EVENT_TYPE type, HRESULT statusCode)
{
    for (CWatchersWnd* window : Windows())
        window->OnWatcherEvent(watcher, type, statusCode);
}

std::optional<SWatcherAnswer> CWatchersWindows::PromptForWatcher(const QString& name, const QString& uri)
{
    QPointer<CWatcherPrompt> prompt = new CWatcherPrompt(name, uri, &m_owner);
    const int result = prompt->exec();
    // The prompt goes away with its owner (and so does this object): touch neither then.
    if (!prompt)
        return std::nullopt;
    const SWatcherAnswer answer = prompt->Answer();
    delete prompt;
    if (result != QDialog::Accepted)
        return std::nullopt;
    return answer;
}

QList<CWatchersWnd*> CWatchersWindows::Windows() const
{
    QList<CWatchersWnd*> open;
    for (const QPointer<CWatchersWnd>& window : m_windows) {
        if (window)
            open << window.data();
    }
    return open;
}
