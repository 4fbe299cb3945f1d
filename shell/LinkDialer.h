// Dials what a link or the command line hands to the phone: checked at once, as
// the call prompt checks a typed number, and called as soon as the phone is
// logged on (at once when it already is), unless that takes so long that the
// call would come as a surprise.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class COrvaloPhoneView;

class CLinkDialer : public QObject {
    Q_OBJECT
public:
    // How long a link waits for the logon: a user who gave up on the call is not
    // called out of the blue at some later logon.
    static constexpr int kWaitForLogonMs = 5 * 60 * 1000;

    explicit CLinkDialer(COrvaloPhoneView& view, QObject* parent = nullptr, int waitForLogonMs = kWaitForLogonMs);

    // A number the check refuses gets the "Invalid Number" box; a later link
    // replaces one still waiting for the logon.
    void Dial(const QString& link);

    const QString& PendingAddress() const { return m_pendingAddress; }

    // Dials the pending link at the logon of the view's engine; for an engine
    // started after the dialer was made (the constructor follows one already there).
    void FollowEngine();

private:
    void DialPending();

    COrvaloPhoneView& m_view;
    const int m_waitForLogonMs;
    QString m_pendingAddress; // service SIP URI waiting for the logon
    QElapsedTimer m_waiting;
};
