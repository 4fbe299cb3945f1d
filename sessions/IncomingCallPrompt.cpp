#include "IncomingCallPrompt.h"

#include "controls/DialogParts.h"
#include "engine/AddressRules.h"
#include "engine/EngineViews.h"
#include "resources/ResourceIds.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {
const QSize kDialogSize(279, 85); // 186 by 52 dialog units
} // namespace

CIncomingCallPrompt::CIncomingCallPrompt(RtcClientPtr client, IMainWindowDisplay& display, const QString& callerName,
                                         const QString& callerUri, QWidget* owner)
    : QDialog(owner), m_client(std::move(client)), m_display(display), m_callerName(callerName), m_callerUri(callerUri),
      m_ringTimer(this)
{
    setObjectName(QString::number(kDialogId));
    setWindowTitle(QStringLiteral("Incoming Call"));
    setWindowIcon(Resources::AppIcon());
    QFont dialogFont(QStringLiteral("MS Shell Dlg"), 8);
    dialogFont.setStyleHint(QFont::SansSerif);
    setFont(dialogFont);
    PaintWindowBackground(*this);
    setFixedSize(kDialogSize);

    auto* caller = new QVBoxLayout;
    QString number = callerUri;
    ToDisplayNumber(number);
    AddPlainLabel(caller, callerName, kCallerNameId);
    AddPlainLabel(caller, number, kCallerNumberId);
    AddPlainLabel(caller, QStringLiteral("has requested a call."), 0);

    auto* buttons = new QVBoxLayout;
    QPushButton* accept = AddButton(buttons, QStringLiteral("&Accept"), kAcceptId);
    QPushButton* refuse = AddButton(buttons, QStringLiteral("&Reject"), kRejectId);
    accept->setDefault(true);
    connect(accept, &QPushButton::clicked, this, [this] { End(true); });
    connect(refuse, &QPushButton::clicked, this, [this] { End(false); });

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(caller, 1);
    layout->addLayout(buttons);

    m_ringTimer.setObjectName(QString::number(kRingTimerId));
    m_ringTimer.setInterval(kRingPeriodMs);
    connect(&m_ringTimer, &QTimer::timeout, this, &CIncomingCallPrompt::OnTimer);
    m_ringTimer.start();
}

CIncomingCallPrompt::~CIncomingCallPrompt()
{
    StopRinging(); // also when the prompt goes away with its owner
}

void CIncomingCallPrompt::OnTimer()
{
    m_client->PlayRing(RTCRT_PHONE, true);
    if (++m_rings < kRingsBeforeGivingUp)
        return;
    StopRinging();
    m_rings = 0;
    m_display.AddCallLogEntry(m_callerUri, m_callerName, kMissedCallKind);
    End(false);
}

void CIncomingCallPrompt::done(int result)
{
    m_ringTimer.stop();
    StopRinging();
    QDialog::done(result);
}

void CIncomingCallPrompt::reject()
{
    End(false);
}

void CIncomingCallPrompt::End(bool accepted)
{
    m_accepted = accepted;
    done(kEndCode);
}

void CIncomingCallPrompt::StopRinging()
{
    if (!m_ringing)
        return;
    m_ringing = false;
    m_client->PlayRing(RTCRT_PHONE, false);
}
