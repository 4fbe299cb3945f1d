// Acts on the next modal dialog of a kind once it is open, from inside the modal
// loop that shows it. A dialog that nobody acts on would block the test for good,
// so the driver gives up after a while and refuses whatever modal is still open.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <functional>
#include <utility>

class CModalDriver {
public:
    static constexpr int kPollMs = 10;

    CModalDriver()
    {
        m_timer.setInterval(kPollMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
    }

    template <typename Dialog> void WhenOpen(std::function<void(Dialog&)> action, int patienceMs = 3000)
    {
        m_action = [action = std::move(action)](QWidget& modal) {
            auto* dialog = qobject_cast<Dialog*>(&modal);
            if (dialog)
                action(*dialog);
            return dialog != nullptr;
        };
        m_pollsLeft = patienceMs / kPollMs;
        m_acted = false;
        m_timer.start();
    }

    // Whether the last action ran.
    bool Acted() const { return m_acted; }

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && m_action && m_action(*modal)) {
            m_acted = true;
            m_action = nullptr;
            m_timer.stop();
        } else if (--m_pollsLeft <= 0) {
            m_timer.stop();
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        }
    }

    QTimer m_timer;
    std::function<bool(QWidget&)> m_action;
    int m_pollsLeft = 0;
    bool m_acted = false;
};
