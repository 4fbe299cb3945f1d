// Runs a function once, when a window is first exposed on the screen.
#pragma once

#include <QObject>

#include <functional>

class QWindow;

class CExposeWatcher final : public QObject {
public:
    // Owned by the window; deletes itself once it has run.
    static void WhenFirstExposed(QWindow& window, std::function<void()> run);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CExposeWatcher(QWindow& window, std::function<void()> run);

    QWindow& m_window;
    std::function<void()> m_run;
};
