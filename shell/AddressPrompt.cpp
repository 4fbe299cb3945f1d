#include "AddressPrompt.h"

#include "ShellLook.h"
#include "engine/AddressRules.h"
#include "engine/MessageBox.h"
#include "engine/SettingsStore.h"
#include "resources/ResourceIds.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

CAddressDialog::CAddressDialog(EKind kind, const QString& title, QWidget* owner)
    : QDialog(owner), m_kind(kind), m_edit(new QLineEdit(this))
{
    const bool number = kind == EKind::Number;
    setObjectName(number ? QStringLiteral("105") : QStringLiteral("108"));
    setWindowTitle(title);
    setWindowIcon(Resources::AppIcon());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFont(ShellPointFont(QStringLiteral("MS Shell Dlg"), 8));
    PaintShellBackground(*this, false);

    auto* label = new QLabel(number ? QStringLiteral("Orvalo Phone #") : QStringLiteral("Name"), this);
    label->setGeometry(DluRect(7, 9, 54, 10));
    m_edit->setObjectName(number ? QStringLiteral("1006") : QStringLiteral("1007"));
    m_edit->setMaxLength(kMaxLength);
    m_edit->setGeometry(DluRect(62, 7, 112, 13));
    label->setBuddy(m_edit);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    ok->setGeometry(DluRect(70, 28, 50, 14));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setGeometry(DluRect(124, 28, 50, 14));
    connect(ok, &QPushButton::clicked, this, &CAddressDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    if (number) {
        QString last;
        if (SUCCEEDED(CSettingsStore::ReadSetting(QLatin1String(kSettingLastCalledUri), last)))
            m_edit->setText(last);
    }
    setFixedSize(DluX(181), DluY(49));
    m_edit->setFocus();
}

void CAddressDialog::accept()
{
    const QString typed = m_edit->text();
    if (m_kind == EKind::Name) {
        m_result = typed;
        QDialog::accept();
        return;
    }
    if (CheckPhoneNumber(typed) != 0) {
        const QPointer<CAddressDialog> self(this);
        CMessageBox::Show(this, QLatin1String(kInvalidNumberMessage), QLatin1String(kInvalidNumberCaption));
        if (self)
            m_edit->setFocus();
        return;
    }
    CSettingsStore::WriteSetting(QLatin1String(kSettingLastCalledUri), typed);
    m_result = ToServiceSipUri(typed);
    QDialog::accept();
}

HRESULT PromptForAddress(QWidget* owner, const QString& title, QString* address, QString* name)
{
    if (!address && !name)
        return E_FAIL;
    const auto kind = name ? CAddressDialog::EKind::Name : CAddressDialog::EKind::Number;
    QPointer<CAddressDialog> dialog = new CAddressDialog(kind, title, owner);
    const bool confirmed = dialog->exec() == QDialog::Accepted;
    if (!dialog)
        return E_FAIL; // the owner went away while the prompt was open
    const QString result = dialog->Result();
    delete dialog;
    if (!confirmed || result.trimmed().isEmpty())
        return E_FAIL;
    *(name ? name : address) = result;
    return S_OK;
}
