// Dials what a link or the command line hands to the phone: checked at once, as
// the call prompt checks a typed number, and called as soon as the phone is
// logged on (at once when it already is).
#pragma once

#include <QObject>
#include <QString>

class COrvaloPhoneView;

class CLinkDialer : public QObject {
    Q_OBJECT
public:
    explicit CLinkDialer(COrvaloPhoneView& view, QObject* parent = nullptr);

    // A number the check refuses gets the "Invalid Number" box; a later link
    // replaces one still waiting for the logon.
    void Dial(const QString& link);

    const QString& PendingAddress() const { return m_pendingAddress; }

private:
    void DialPending();

    COrvaloPhoneView& m_view;
    QString m_pendingAddress; // service SIP URI waiting for the logon
};
