#include "LinkClick.h"

#include <QDesktopServices>

namespace {
const QString kMailtoPrefix = QStringLiteral("mailto:");
}

bool IsOpenableLink(const QUrl& url)
{
    if (!url.isValid()) {
        return false;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        return !url.host().isEmpty();
    }
    return scheme == QLatin1String("mailto") && !url.path().isEmpty();
}

SLinkClick ResolveLinkClick(int controlId, const QString& link, const QString& text)
{
    SLinkClick click;
    if (controlId == kAddBuddyLinkId) {
        click.addBuddy = true;
        return click;
    }
    QString target = link;
    if (target.isEmpty()) {
        target = text;
        if (target.contains(QLatin1Char('@')) && !target.startsWith(kMailtoPrefix)) {
            target.prepend(kMailtoPrefix);
        }
    }
    const QUrl url(target.trimmed(), QUrl::StrictMode);
    if (IsOpenableLink(url)) {
        click.target = url;
    }
    return click;
}

void RunLinkClick(const SLinkClick& click, const std::function<void()>& addBuddy, const UrlOpener& open)
{
    if (click.addBuddy) {
        if (addBuddy) {
            addBuddy();
        }
        return;
    }
    if (!click.target.isEmpty() && open) {
        open(click.target);
    }
}

void OpenWithDesktop(const QUrl& url)
{
    // The desktop's answer is not checked: a missing browser shows its own error, if any.
    QDesktopServices::openUrl(url);
}
