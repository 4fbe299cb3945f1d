// The service's web pages (account, legal texts, dialling help, sign-up) and the
// one way the program hands an address to the desktop: through an opener that
// tests replace, so that no browser ever starts from a test.
#pragma once

#include "controls/LinkClick.h"

#include <QUrl>

#include <functional>

class CHyperlinkLabel;

enum class WebPage { PrivacyPolicy, TermsOfUse, Account, DialingInstructions, SignUp };

// http://<web portal host><page path>
QUrl WebPageUrl(WebPage page);
void OpenWebPage(WebPage page);

// Opens an address with the installed opener (the desktop's handler by default).
void OpenUrl(const QUrl& url);
// Replaces the opener; an empty one restores the desktop's handler.
void SetUrlOpener(UrlOpener opener);

// What a click on a hyperlink label does: Add Buddy for the buddy page's label,
// otherwise the label's link (or its own text) opened through OpenUrl.
void RunHyperlinkClick(const CHyperlinkLabel& label, const std::function<void()>& addBuddy = {});
