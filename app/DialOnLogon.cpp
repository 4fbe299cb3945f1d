#include "DialOnLogon.h"

#include "shell/DialPadPage.h"
#include "shell/MainFrame.h"
#include "shell/OrvaloPhoneApp.h"
#include "shell/OrvaloPhoneView.h"

#include <QLabel>
#include <QPushButton>

CDialOnLogon::CDialOnLogon(const COrvaloPhoneApp& phone, QString number) : m_phone(phone), m_number(std::move(number))
{
    connect(&m_timer, &QTimer::timeout, this, &CDialOnLogon::Check);
    m_timer.start(kCheckMs);
}

void CDialOnLogon::Check()
{
    CMainFrame* frame = m_phone.Frame();
    if (!frame || !frame->StatusPane()->text().endsWith(QStringLiteral("(Online)")))
        return;
    m_timer.stop();
    frame->View()->SelectPhoneView();
    CDialPadPage* dialPad = frame->View()->DialPad();
    dialPad->SetNumber(m_number);
    if (auto* send = dialPad->findChild<QPushButton*>(QString::number(CDialPadPage::kSendId)))
        send->click();
}
