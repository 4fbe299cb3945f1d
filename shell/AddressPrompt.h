// The small modal prompt for a number (dialog 105) or a name (dialog 108) that the
// call, message, add-buddy and add-group commands use.
#pragma once

#include "platform/rtc/RtcTypes.h"

#include <QDialog>

class QLineEdit;

class CAddressDialog : public QDialog {
    Q_OBJECT
public:
    enum class EKind { Number, Name };
    static constexpr int kMaxLength = 20;

    CAddressDialog(EKind kind, const QString& title, QWidget* owner = nullptr);

    // After OK: the service SIP URI of the number, or the name as typed.
    QString Result() const { return m_result; }

    void accept() override;

private:
    EKind m_kind;
    QLineEdit* m_edit;
    QString m_result;
};

// Asks for a number when only `address` is given, or for a name when `name` is
// given. S_OK with the result filled in; E_FAIL when cancelled or when the answer
// is empty (a name of blanks counts as empty).
HRESULT PromptForAddress(QWidget* owner, const QString& title, QString* address, QString* name = nullptr);
