// The "Logon" dialog: the service number, user name and password, the three
// logon options, and the link to the sign-up page.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

class CLogonDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxLength = 20;

    // What "Logon" hands to the engine.
    struct SLogon {
        QString userUri; // the typed number as the service's SIP URI
        QString userName;
        QString password;
        QString server;
        QString transport;
    };

    explicit CLogonDialog(QWidget* owner = nullptr);

    const SLogon& Result() const { return m_result; }

    // "Logon": checks the number, stores the settings and closes; a bad number keeps the dialog.
    void accept() override;

private:
    void Prefill();
    void StoreSettings(const QString& typedNumber);

    QLineEdit* m_number;
    QLineEdit* m_userName;
    QLineEdit* m_password;
    QCheckBox* m_rememberPassword;
    QCheckBox* m_autoLogon;
    QCheckBox* m_logonTransparently;
    SLogon m_result;
};
