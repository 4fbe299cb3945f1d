#include "ExposeWatcher.h"

#include <QEvent>
#include <QWindow>

void CExposeWatcher::WhenFirstExposed(QWindow& window, std::function<void()> run)
{
    new CExposeWatcher(window, std::move(run));
}

CExposeWatcher::CExposeWatcher(QWindow& window, std::function<void()> run)
    : QObject(&window), m_window(window), m_run(std::move(run))
{
    window.installEventFilter(this);
}

bool CExposeWatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::Expose && m_window.isExposed()) {
        m_window.removeEventFilter(this);
        deleteLater();
        m_run();
    }
    return false;
}
