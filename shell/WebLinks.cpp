#include "WebLinks.h"

#include "controls/HyperlinkLabel.h"
#include "engine/ServiceConfig.h"

namespace {
UrlOpener& InstalledOpener()
{
    static UrlOpener opener;
    return opener;
}

QString PagePath(WebPage page)
{
    switch (page) {
    case WebPage::PrivacyPolicy: return QStringLiteral("/privacy_policy.aspx");
    case WebPage::TermsOfUse: return QStringLiteral("/terms.aspx");
    case WebPage::Account: return QStringLiteral("/login.aspx");
    case WebPage::DialingInstructions: return QStringLiteral("/dial_instrux.aspx");
    case WebPage::SignUp: return QStringLiteral("/signup.aspx");
    }
    return QString();
}
} // namespace

QUrl WebPageUrl(WebPage page)
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setAuthority(ServiceConfig::current().webPortal); // "host" or "host:port"
    url.setPath(PagePath(page));
    return url;
}

void OpenWebPage(WebPage page)
{
    OpenUrl(WebPageUrl(page));
}

void OpenUrl(const QUrl& url)
{
    if (InstalledOpener())
        InstalledOpener()(url);
    else
        OpenWithDesktop(url);
}

void SetUrlOpener(UrlOpener opener)
{
    InstalledOpener() = std::move(opener);
}

void RunHyperlinkClick(const CHyperlinkLabel& label, const std::function<void()>& addBuddy)
{
    RunLinkClick(ResolveLinkClick(label.ControlId(), label.Link(), label.Text()), addBuddy, OpenUrl);
}
