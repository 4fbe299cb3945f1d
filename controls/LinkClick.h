// What a click on a hyperlink label does. The label only reports the click; the
// shell runs this policy with its own commands and URL opener.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// Control id of the buddy page's "Click here to add a buddy" label.
constexpr int kAddBuddyLinkId = 104;

struct SLinkClick {
    bool addBuddy = false; // run the Add Buddy command and open nothing
    QUrl target;           // address to open; empty when nothing may be opened
};

// The label's link, or its own text when it has none (an e-mail address becomes a
// "mailto:" target). Only http, https and mailto addresses are ever opened.
SLinkClick ResolveLinkClick(int controlId, const QString& link, const QString& text);

// True for the only kinds of address a label may hand to the desktop.
bool IsOpenableLink(const QUrl& url);

using UrlOpener = std::function<void(const QUrl&)>;

// Carries out a resolved click; tests pass their own opener so no browser starts.
void RunLinkClick(const SLinkClick& click, const std::function<void()>& addBuddy, const UrlOpener& open);

// Opens an address with the desktop's handler.
void OpenWithDesktop(const QUrl& url);
