#include "platform/desktop/DesktopNotifier.h"

#include "platform/desktop/BringForward.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QWidget>

Q_LOGGING_CATEGORY(lcDesktop, "orvalo.desktop")

namespace {
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");
const QString kAppName = QStringLiteral("Orvalo Phone");
const QString kIconName = QStringLiteral("orvalo-phone");
constexpr uchar kUrgencyNormal = 1;
constexpr uchar kUrgencyCritical = 2;
constexpr int kServerDecidesTimeout = -1;

QDBusMessage NotificationCall(const QString& method)
{
    return QDBusMessage::createMethodCall(CDesktopNotifier::kService, CDesktopNotifier::kPath, kInterface, method);
}

// Most services read the body as simple markup; remote text must never be taken as such.
QString PlainBody(const QString& text)
{
    return text.toHtmlEscaped();
}
} // namespace

CDesktopNotifier::CDesktopNotifier(QObject* parent) : QObject(parent), m_bus(QDBusConnection::sessionBus())
{
    if (!m_bus.isConnected()) {
        qCDebug(lcDesktop) << "no session bus: no notifications";
        return;
    }
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(OnActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this, SLOT(OnClosed(uint, uint)));
}

void CDesktopNotifier::NotifyIncomingCall(const QString& callerName, const QString& callerNumber, QWidget* prompt)
{
    const QString who = callerName.isEmpty() ? callerNumber : callerName + u'\n' + callerNumber;
    Notify(QStringLiteral("Incoming Call"), PlainBody(who + QStringLiteral("\nhas requested a call.")), true, prompt);
}

void CDesktopNotifier::NotifyIncomingMessage(const QString& from, const QString& text, QWidget* window)
{
    QString shown = text.simplified();
    if (shown.size() > kMaxBodyLength)
        shown = shown.left(kMaxBodyLength - 1) + QChar(0x2026); // an ellipsis
    Notify(from, PlainBody(shown), false, window);
}

void CDesktopNotifier::Notify(const QString& summary, const QString& body, bool urgent, QWidget* window)
{
    // The user is looking at the phone already.
    if (!m_bus.isConnected() || !window || QApplication::activeWindow())
        return;
    QDBusMessage call = NotificationCall(QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), kIconName},
        {QStringLiteral("urgency"), QVariant::fromValue(urgent ? kUrgencyCritical : kUrgencyNormal)},
    };
    call << kAppName << 0u << kIconName << summary << body << QStringList{kDefaultAction, QStringLiteral("Show")}
         << hints << kServerDecidesTimeout;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    const QPointer<QWidget> target(window);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, target](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<uint> reply = *finished;
        if (reply.isError()) {
            // No notification service is the usual reason, and then nothing is to happen.
            if (reply.error().type() == QDBusError::ServiceUnknown)
                qCDebug(lcDesktop) << "no notification service";
            else
                qCWarning(lcDesktop) << "notification not shown:" << reply.error().message();
            return;
        }
        Shown(reply.value(), target);
    });
}

void CDesktopNotifier::Shown(uint id, QWidget* window)
{
    if (!window) {
        Close(id); // the call or conversation ended before the notification came up
        return;
    }
    m_shown[id] = window;
    connect(window, &QObject::destroyed, this, [this, id] {
        if (m_shown.count(id))
            Close(id);
    });
}

void CDesktopNotifier::Close(uint id)
{
    m_shown.erase(id);
    QDBusMessage call = NotificationCall(QStringLiteral("CloseNotification"));
    call << id;
    m_bus.call(call, QDBus::NoBlock);
}

void CDesktopNotifier::OnActionInvoked(uint id, const QString& action)
{
    const auto it = m_shown.find(id);
    if (it == m_shown.end() || action != kDefaultAction)
        return;
    if (QWidget* window = it->second)
        BringForward(*window);
}

void CDesktopNotifier::OnClosed(uint id, uint /*reason*/)
{
    m_shown.erase(id);
}
