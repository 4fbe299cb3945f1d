#include "LogonDialog.h"

#include "ShellLook.h"
#include "WebLinks.h"
#include "engine/AddressRules.h"
#include "engine/MessageBox.h"
#include "engine/ServiceConfig.h"
#include "engine/SettingsStore.h"
#include "resources/ResourceIds.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {
const QString kTransport = QStringLiteral("UDP");

QString FlagText(const QCheckBox& box)
{
    return box.isChecked() ? QStringLiteral("1") : QString();
}

QLineEdit* AddField(QWidget& dialog, const QString& label, const QString& id, int y)
{
    auto* caption = new QLabel(label, &dialog);
    caption->setGeometry(DluRect(10, y + 2, 58, 10));
    auto* edit = new QLineEdit(&dialog);
    edit->setObjectName(id);
    edit->setMaxLength(CLogonDialog::kMaxLength);
    edit->setGeometry(DluRect(70, y, 112, 13));
    caption->setBuddy(edit);
    return edit;
}

QCheckBox* AddOption(QWidget& dialog, const QString& text, const QString& id, int y)
{
    auto* box = new QCheckBox(text, &dialog);
    box->setObjectName(id);
    box->setGeometry(DluRect(10, y, 172, 11));
    return box;
}

QPushButton* AddButton(QWidget& dialog, const QString& text, const QString& id, int x, int y)
{
    auto* button = new QPushButton(text, &dialog);
    button->setObjectName(id);
    button->setGeometry(DluRect(x, y, 54, 15));
    return button;
}
} // namespace

CLogonDialog::CLogonDialog(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("LogonDialog"));
    setWindowTitle(QStringLiteral("Logon"));
    setWindowIcon(Resources::AppIcon());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFont(ShellPointFont(QStringLiteral("MS Shell Dlg"), 8));
    PaintShellBackground(*this, false);

    m_number = AddField(*this, QStringLiteral("Orvalo Phone #"), QStringLiteral("1000"), 10);
    m_userName = AddField(*this, QStringLiteral("Username"), QStringLiteral("1012"), 28);
    m_password = AddField(*this, QStringLiteral("Password"), QStringLiteral("1014"), 46);
    m_password->setEchoMode(QLineEdit::Password);
    auto* caseNote = new QLabel(QStringLiteral("(Case sensitive)"), this);
    caseNote->setGeometry(DluRect(70, 60, 112, 10));

    m_rememberPassword = AddOption(*this, QStringLiteral("Remember Password"), QStringLiteral("1031"), 76);
    m_autoLogon = AddOption(*this, QStringLiteral("&Automatically logon next time"), QStringLiteral("1029"), 89);
    m_logonTransparently = AddOption(*this, QStringLiteral("&Logon transparently"), QStringLiteral("1030"), 102);

    QPushButton* newUser = AddButton(*this, QStringLiteral("New User..."), QStringLiteral("105"), 10, 122);
    QPushButton* logon = AddButton(*this, QStringLiteral("Logon"), QStringLiteral("1"), 70, 122);
    QPushButton* cancel = AddButton(*this, QStringLiteral("Cancel"), QStringLiteral("2"), 128, 122);
    logon->setDefault(true);
    connect(logon, &QPushButton::clicked, this, &CLogonDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(newUser, &QPushButton::clicked, this, [] { OpenWebPage(WebPage::SignUp); });

    setFixedSize(DluX(192), DluY(146));
    Prefill();
    m_number->setFocus();
}

void CLogonDialog::Prefill()
{
    m_rememberPassword->setChecked(CSettingsStore::IsFlagSet(QLatin1String(kSettingRememberPassword)));
    m_autoLogon->setChecked(CSettingsStore::IsFlagSet(QLatin1String(kSettingAutoLogon)));
    m_logonTransparently->setChecked(CSettingsStore::IsFlagSet(QLatin1String(kSettingLogonTransparently)));

    QString value;
    if (m_rememberPassword->isChecked() &&
        SUCCEEDED(CSettingsStore::ReadSetting(QLatin1String(kSettingPassword), value)))
        m_password->setText(value);
    if (SUCCEEDED(CSettingsStore::ReadSetting(QLatin1String(kSettingUserUri), value)))
        m_number->setText(value);
    if (SUCCEEDED(CSettingsStore::ReadSetting(QLatin1String(kSettingAccount), value)))
        m_userName->setText(value);
}

void CLogonDialog::accept()
{
    const QString typedNumber = m_number->text();
    if (CheckPhoneNumber(typedNumber) != 0) {
        const QPointer<CLogonDialog> self(this);
        CMessageBox::Show(this, QLatin1String(kInvalidNumberMessage), QLatin1String(kInvalidNumberCaption));
        if (self)
            m_number->setFocus();
        return;
    }
    StoreSettings(typedNumber);
    m_result = SLogon{ToServiceSipUri(typedNumber), m_userName->text(), m_password->text(),
                      ServiceConfig::current().sipServer, kTransport};
    QDialog::accept();
}

void CLogonDialog::StoreSettings(const QString& typedNumber)
{
    CSettingsStore::WriteSetting(QLatin1String(kSettingUserUri), typedNumber);
    CSettingsStore::WriteSetting(QLatin1String(kSettingRememberPassword), FlagText(*m_rememberPassword));
    CSettingsStore::WriteSetting(QLatin1String(kSettingAutoLogon), FlagText(*m_autoLogon));
    CSettingsStore::WriteSetting(QLatin1String(kSettingLogonTransparently), FlagText(*m_logonTransparently));
    CSettingsStore::WriteSetting(QLatin1String(kSettingAccount), m_userName->text());
    // The password outlives the dialog only for a user who asked to be remembered or logged on
    // automatically; the logon in progress gets it from memory.
    if (m_rememberPassword->isChecked() || m_autoLogon->isChecked())
        CSettingsStore::WriteSetting(QLatin1String(kSettingPassword), m_password->text());
    else
        CSettingsStore::RemoveSetting(QLatin1String(kSettingPassword));
}
