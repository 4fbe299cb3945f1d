// Tells the user about an incoming call or message through the desktop's
// notification service (org.freedesktop.Notifications on the session bus) while
// none of the phone's windows has the focus. Clicking the notification brings
// the prompt or the message window forward; the notification goes when that
// window goes. Without a session bus or a notification service nothing happens.
#pragma once

#include <QDBusConnection>
#include <QLoggingCategory>
#include <QObject>
#include <QPointer>
#include <QString>

#include <map>

class QWidget;

Q_DECLARE_LOGGING_CATEGORY(lcDesktop)

class CDesktopNotifier : public QObject {
    Q_OBJECT
public:
    static inline const QString kService = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
    // Longest message text shown; the message window has the whole of it.
    static constexpr int kMaxBodyLength = 200;

    explicit CDesktopNotifier(QObject* parent = nullptr);

    // `prompt` is the "Incoming Call" prompt, which stays the place to answer.
    void NotifyIncomingCall(const QString& callerName, const QString& callerNumber, QWidget* prompt);
    // `window` is the conversation the message arrived in.
    void NotifyIncomingMessage(const QString& from, const QString& text, QWidget* window);

private:
    void Notify(const QString& summary, const QString& body, bool urgent, QWidget* window);
    void Shown(uint id, QWidget* window);
    void Close(uint id);

private slots: // reached by name from the bus
    void OnActionInvoked(uint id, const QString& action);
    void OnClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    std::map<uint, QPointer<QWidget>> m_shown; // notification id -> the window it brings forward
};
