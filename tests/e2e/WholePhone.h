// What the end-to-end tests do to the whole program as its user would.
#pragma once

#include "shell/LogonDialog.h"
#include "shell/MainFrame.h"
#include "shell/OrvaloPhoneApp.h"
#include "tests/fakes/ModalDriver.h"
#include "tests/integration/Endpoint.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

// When the logon dialog opens, fills in the account and presses "Logon".
inline void FillInLogonWhenAsked(CModalDriver& modal, const CEndpoint::Account& account, int timeoutMs)
{
    modal.WhenOpen<CLogonDialog>(
        [account](CLogonDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("1000"))->setText(account.number);
            dialog.findChild<QLineEdit*>(QStringLiteral("1012"))->setText(account.number);
            dialog.findChild<QLineEdit*>(QStringLiteral("1014"))->setText(account.password);
            dialog.findChild<QPushButton*>(QStringLiteral("1"))->click();
        },
        timeoutMs);
}

// Closes the main window as Exit does and lets every window go; false when it stayed.
inline bool ExitPhone(std::unique_ptr<COrvaloPhoneApp>& app, int timeoutMs)
{
    bool closed = true;
    if (app && app->Frame()) {
        app->Frame()->ExitNow();
        closed = QTest::qWaitFor([&app] { return !app->Frame(); }, timeoutMs);
    }
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return closed;
}
