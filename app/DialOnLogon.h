// Diagnostics for tests and demonstrations: once the phone shows itself logged
// on, dials a number from the dial pad, as the user would, once.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class COrvaloPhoneApp;

class CDialOnLogon : public QObject {
    Q_OBJECT
public:
    static constexpr int kCheckMs = 200;

    CDialOnLogon(const COrvaloPhoneApp& phone, QString number);

private:
    void Check();

    const COrvaloPhoneApp& m_phone;
    const QString m_number;
    QTimer m_timer;
};
