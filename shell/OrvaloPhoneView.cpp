#include "OrvaloPhoneView.h"

#include "AboutBox.h"
#include "AddressPrompt.h"
#include "BuddyListPage.h"
#include "CallLogPage.h"
#include "CallLogRecord.h"
#include "DialPadPage.h"
#include "LogonDialog.h"
#include "MainMenu.h"
#include "MilestoneLog.h"
#include "ShellLook.h"
#include "WebLinks.h"
#include "controls/ColorTabCtrl.h"
#include "engine/AddressRules.h"
#include "engine/PresenceStatus.h"
#include "engine/ProcessGlobals.h"
#include "engine/ServiceConfig.h"
#include "engine/SettingsStore.h"
#include "presence/WatchersWindows.h"
#include "resources/ResourceIds.h"
#include "sessions/SessionWindowFactory.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTime>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

namespace {
const QString kTransport = QStringLiteral("UDP");
const QString kLineBreak = QStringLiteral("\r\r\n");

// The wait cursor for as long as the command works.
class CWaitCursor {
public:
    CWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

struct STabSpec {
    const char* text;
    int icon;
};
constexpr STabSpec kTabs[] = {
    {"Buddy List", Resources::kIconOnline},
    {"Phone View", Resources::kIconPhoneView},
    {"Call Logs", Resources::kIconGroup},
};

// Tabs as wide as their picture and text with a few pixels around them, as the
// platform's tab control sizes them, so that the three always fit the window.
class CMainTabCtrl : public CColorTabCtrl {
public:
    using CColorTabCtrl::CColorTabCtrl;

protected:
    QSize tabSizeHint(int index) const override
    {
        constexpr int kPadding = 7;
        constexpr int kImageAdvance = 19;
        constexpr int kHeight = 24;
        const int text = fontMetrics().horizontalAdvance(tabText(index));
        return QSize(kPadding + (tabIcon(index).isNull() ? 0 : kImageAdvance) + text + kPadding, kHeight);
    }
};

// Form 101: the status line at the top left and the chooser at the top right of the band.
const QRect kStatusLineRect(5, 7, 166, 22);
const QRect kChooserRect(176, 8, 112, COrvaloPhoneView::kChooserHeight);
} // namespace

COrvaloPhoneView::COrvaloPhoneView(RtcClientFactory factory, CMainMenu& menu, QLabel& statusPane, QWidget* parent)
    : QWidget(parent), m_clientFactory(std::move(factory)), m_menu(menu), m_statusPane(statusPane),
      m_statusLine(new QLineEdit(this)), m_chooser(new QComboBox(this)), m_tabs(new CMainTabCtrl(this)),
      m_buddyPage(new CBuddyListPage(this)), m_dialPad(new CDialPadPage(*this, this)),
      m_callLog(new CCallLogPage(*this, this))
{
    PaintShellBackground(*this, true);
    setFont(ShellPointFont(QStringLiteral("MS Shell Dlg"), 8));
    setFixedSize(DluX(195), DluY(251));
    m_tabs->setObjectName(QString::number(kTabCtrlId));
    m_pages = {m_buddyPage, m_dialPad, m_callLog};
    for (QWidget* page : m_pages)
        page->hide();

    m_awayTimer.setInterval(kAwayTimerPeriodMs);
    m_awayTimer.setTimerType(Qt::PreciseTimer); // three minutes from the last activity, not a few seconds more
    connect(&m_awayTimer, &QTimer::timeout, this, [this] { OnTimer(kAwayTimerId); });
    connect(&m_menu, &CMainMenu::command, this, &COrvaloPhoneView::OnCommand);
    connect(m_buddyPage, &CBuddyListPage::addBuddyRequested, this, [this] { OnCommand(ID_ADD_BUDDY); });
}

COrvaloPhoneView::~COrvaloPhoneView()
{
    g_closing = true;
    // The engine goes first, while the display it was given still exists.
    delete m_engine;
}

void COrvaloPhoneView::OnInitialUpdate()
{
    SetUpTabs();
    SetUpStatusChooser();
    m_currentPage = kBuddyPage;
    PlaceCurrentPage();
    SetUpStatusLine();
    m_buddyPage->setFocus();
}

bool COrvaloPhoneView::StartEngine()
{
    m_engine = CClientEngine::Create(m_clientFactory, *this, this);
    if (!m_engine)
        return false;
    m_sessionWindows =
        std::make_unique<CSessionWindowFactory>(*m_engine, [](QWidget* owner, const QString& title, QString& address) {
            return PromptForAddress(owner, title, &address);
        });
    m_engine->SetSessionWindowFactory(m_sessionWindows.get());
    m_watchersWindows = std::make_unique<CWatchersWindows>(
        *m_engine, *this,
        [](QWidget* owner, const QString& title, QString* address) { return PromptForAddress(owner, title, address); });
    m_engine->SetWatchersView(m_watchersWindows.get());
    m_buddyPage->SetEngine(m_engine);
    ReadVolumes();
    return true;
}

void COrvaloPhoneView::SetUpTabs()
{
    m_tabs->setFont(ShellPointFont(QStringLiteral("Arial"), 8.5));
    m_tabs->setIconSize(QSize(Resources::kStatusIconSize, Resources::kStatusIconSize));
    m_tabs->setUsesScrollButtons(false); // the three tabs always fit
    for (const STabSpec& tab : kTabs)
        m_tabs->addTab(Resources::StatusIcon(tab.icon), QString::fromLatin1(tab.text));
    m_tabs->setEnabled(false);
    m_tabs->SetBackgroundColor(kShellBackground);
    CColorTabCtrl::SetTabStyle(true, kTabStyleUseBackground | kTabStyleBrightSelected | kTabStyleGradient);
    m_tabs->SetDrawMode(CColorTabCtrl::kOwnerDrawTabs);
    m_tabs->setGeometry(0, kTabTop, width(), height() - kTabTop);
    connect(m_tabs, &QTabBar::currentChanged, this, &COrvaloPhoneView::OnTabChanged);

    // Pages without a size of their own fill the area below the tab row.
    const int pageTop = m_tabs->tabRect(0).bottom() + 2;
    m_buddyPage->resize(width() - 2, m_tabs->height() - pageTop - 1);
}

void COrvaloPhoneView::SetUpStatusChooser()
{
    m_chooser->setObjectName(QString::number(kStatusChooserId));
    m_chooser->setIconSize(QSize(Resources::kStatusIconSize, Resources::kStatusIconSize));
    for (int status = 0; status < kStatusCount; ++status) {
        const PresenceStatusInfo* info = PresenceStatusFor(status);
        m_chooser->addItem(Resources::StatusIcon(info->icon), QString::fromUtf8(info->chooserText));
    }
    m_chooser->setCurrentIndex(-1);
    m_chooser->setGeometry(kChooserRect);
    m_chooser->setEnabled(false);
    m_chooser->installEventFilter(this);
    connect(m_chooser, &QComboBox::activated, this, [this](int index) {
        OnChildCommand();
        OnCommand(StatusCommandFor(index));
    });
}

void COrvaloPhoneView::SetUpStatusLine()
{
    m_statusLine->setObjectName(QString::number(kStatusLineId));
    m_statusLine->setAccessibleName(QStringLiteral("Logged-on user"));
    m_statusLine->setReadOnly(true);
    m_statusLine->setAlignment(Qt::AlignCenter);
    m_statusLine->setGeometry(kStatusLineRect);
    // The first text shows whole, whatever face stands in for Arial.
    m_statusLine->setFont(
        FontFitting(ShellFont(QStringLiteral("Arial"), 16, 700), kNotLoggedIn, LineEditTextWidth(*m_statusLine)));
    SetStatusLine(kNotLoggedIn);
    m_statusLine->installEventFilter(this);
}

void COrvaloPhoneView::ReadVolumes()
{
    for (const RTC_AUDIO_DEVICE device : {RTCAD_MICROPHONE, RTCAD_SPEAKER}) {
        int volume = 0;
        if (SUCCEEDED(m_engine->Client()->get_Volume(device, volume)))
            m_dialPad->SetVolumeSlider(device, true, CDialPadPage::kMaxVolume - volume);
    }
}

void COrvaloPhoneView::StartUp()
{
    if (!m_engine)
        return;
    QString typedNumber;
    const bool automatic = CSettingsStore::IsFlagSet(QLatin1String(kSettingAutoLogon)) &&
                           SUCCEEDED(CSettingsStore::ReadSetting(QLatin1String(kSettingUserUri), typedNumber)) &&
                           !typedNumber.isEmpty() && CheckPhoneNumber(typedNumber) == 0;
    if (!automatic) {
        LogOn();
        return;
    }
    window()->show();
    m_engine->StartLogon(ToServiceSipUri(typedNumber), ServiceConfig::current().sipServer, kTransport);
}

// --- commands ---

void COrvaloPhoneView::OnCommand(int id)
{
    if (IsStatusCommand(id)) {
        if (m_engine)
            m_engine->OnStatusCommand(id - kFirstStatusCommand);
        return;
    }
    switch (id) {
    case ID_LOG_ON: LogOn(); break;
    case ID_LOG_OFF: LogOff(); break;
    case ID_EXIT: emit exitRequested(); break;
    case ID_CALL: PromptAndCall(); break;
    case ID_MESSAGE: PromptAndMessage(); break;
    case ID_RECHARGE_ACCOUNT: OpenWebPage(WebPage::Account); break;
    case ID_ADD_BUDDY: PromptAndAddBuddy(); break;
    case ID_ADD_GROUP: PromptAndAddGroup(); break;
    case ID_TUNING_WIZARD:
        if (m_engine)
            m_engine->InvokeTuningWizard();
        break;
    case ID_WATCHERS:
        if (m_engine)
            m_engine->OpenWatchersWindow();
        break;
    case ID_PRIVACY_POLICY: OpenWebPage(WebPage::PrivacyPolicy); break;
    case ID_TERMS_OF_USE: OpenWebPage(WebPage::TermsOfUse); break;
    case ID_ABOUT: ShowAboutBox(this); break;
    default: break;
    }
}

void COrvaloPhoneView::OnTimer(int id)
{
    if (id == kAwayTimerId && m_engine)
        m_engine->OnAwayTimer();
}

// A notification from one of the view's own controls is activity: the three minutes start again.
void COrvaloPhoneView::OnChildCommand()
{
    StartAwayTimer();
}

bool COrvaloPhoneView::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_chooser || watched == m_statusLine) &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        OnChildCommand();
    return QWidget::eventFilter(watched, event);
}

void COrvaloPhoneView::LogOn()
{
    if (m_logonDialogOpen || !m_engine)
        return;
    m_logonDialogOpen = true;
    const QPointer<COrvaloPhoneView> self(this);
    QPointer<CLogonDialog> dialog = new CLogonDialog(this);
    const bool confirmed = dialog->exec() == QDialog::Accepted;
    if (!self)
        return;
    m_logonDialogOpen = false;
    if (!dialog)
        return;
    const CLogonDialog::SLogon logon = dialog->Result();
    delete dialog;

    if (!confirmed || logon.userUri.isEmpty() || logon.userName.isEmpty() || logon.password.isEmpty() || !m_engine) {
        m_menu.EnableItem(ID_LOG_ON, true);
        return;
    }
    const CWaitCursor wait;
    m_engine->SetLogonPassword(logon.password);
    // The three minutes run only for a logon that really started.
    if (m_engine->StartLogon(logon.userUri, logon.server, logon.transport) == S_OK)
        StartAwayTimer();
}

void COrvaloPhoneView::LogOff()
{
    const CWaitCursor wait;
    StopAwayTimer();
    m_dialPad->EndCall();
    ResetPhoneDisplay();
    m_callLog->ClearForLogOff();
    m_buddyPage->ShowAddBuddyLink(false);
    if (m_engine)
        m_engine->LogOff();
}

void COrvaloPhoneView::PromptAndCall()
{
    const QPointer<COrvaloPhoneView> self(this);
    QString address;
    if (FAILED(PromptForAddress(this, QStringLiteral("OrvaloPhone Call"), &address)) || !self)
        return;
    PlaceCall(address);
}

void COrvaloPhoneView::PlaceCall(const QString& address)
{
    if (!m_engine)
        return;
    StopAwayTimer();
    ResetPhoneDisplay();
    SelectPhoneView();
    // Members of the service are reached computer to computer; every other number is a phone.
    const RTC_SESSION_TYPE type = address.startsWith(QLatin1String("sip:999")) ? RTCST_PC_TO_PC : RTCST_PC_TO_PHONE;
    m_engine->MakeCall(type, address, QString());
}

void COrvaloPhoneView::PromptAndMessage()
{
    const QPointer<COrvaloPhoneView> self(this);
    QString address;
    if (FAILED(PromptForAddress(this, QStringLiteral("Orvalo Phone Message"), &address)) || !self || !m_engine)
        return;
    m_engine->MakeCall(RTCST_MULTIPARTY_IM, address, QString());
}

void COrvaloPhoneView::PromptAndAddBuddy()
{
    const QPointer<COrvaloPhoneView> self(this);
    QString address;
    if (FAILED(PromptForAddress(this, QStringLiteral("Add Buddy"), &address)) || !self || !m_engine)
        return;
    m_engine->AddBuddyToList(address, QString());
}

void COrvaloPhoneView::PromptAndAddGroup()
{
    StartAwayTimer();
    const QPointer<COrvaloPhoneView> self(this);
    QString name;
    if (FAILED(PromptForAddress(this, QStringLiteral("Add Group"), nullptr, &name)) || !self || !m_engine)
        return;
    m_engine->CreateGroup(name);
}

// --- layout ---

void COrvaloPhoneView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_tabs->setGeometry(0, kTabTop, width(), height() - kTabTop);
    PlaceCurrentPage();
}

void COrvaloPhoneView::OnTabChanged(int index)
{
    if (index < 0 || index >= kPageCount)
        return;
    m_pages.at(m_currentPage)->hide();
    m_currentPage = index;
    PlaceCurrentPage();
}

// One pixel right of tab 0's left edge and one pixel below the tab row.
void COrvaloPhoneView::PlaceCurrentPage()
{
    if (m_tabs->count() == 0)
        return;
    const QRect first = m_tabs->tabRect(0);
    QWidget* page = m_pages.at(m_currentPage);
    page->move(m_tabs->x() + first.left() + 1, m_tabs->y() + first.bottom() + 2);
    page->show();
    page->raise();
    page->setFocus();
}

// --- IMainWindowDisplay ---

void COrvaloPhoneView::SetStatusBarText(const QString& text)
{
    m_statusPane.setText(text);
    m_statusPane.repaint();
}

void COrvaloPhoneView::SetStatusLine(const QString& text)
{
    m_statusLine->setText(text);
    m_statusLine->setCursorPosition(0); // a text too long for the line shows its beginning
    CMilestoneLog::Note("status-line", text);
}

void COrvaloPhoneView::SetMenuItemText(int id, const QString& text)
{
    m_menu.SetItemText(id, text);
}

void COrvaloPhoneView::EnableMenuItem(int id, bool enabled)
{
    m_menu.EnableItem(id, enabled);
}

void COrvaloPhoneView::EnableActionAndToolsMenus(bool enabled)
{
    m_menu.EnableActionAndTools(enabled);
}

void COrvaloPhoneView::EnablePresenceSubmenu(bool enabled)
{
    m_menu.EnablePresenceSubmenu(enabled);
}

void COrvaloPhoneView::CheckStatusItem(int status)
{
    m_menu.CheckStatusItem(status);
}

void COrvaloPhoneView::RedrawMenuBar()
{
    m_menu.Redraw();
}

void COrvaloPhoneView::SelectStatusChooser(int index)
{
    m_chooser->setCurrentIndex(index);
}

void COrvaloPhoneView::EnableTabsAndChooser(bool enabled)
{
    m_tabs->setEnabled(enabled);
    m_chooser->setEnabled(enabled);
}

void COrvaloPhoneView::ShowAddBuddyLink(bool shown)
{
    m_buddyPage->ShowAddBuddyLink(shown);
}

void COrvaloPhoneView::ReloadCallLog()
{
    m_callLog->Reload();
}

void COrvaloPhoneView::ClearCallLogList()
{
    m_callLog->ShowPlaceholderOnly();
}

void COrvaloPhoneView::StartAwayTimer()
{
    m_awayTimer.start();
}

void COrvaloPhoneView::StopAwayTimer()
{
    m_awayTimer.stop();
}

void COrvaloPhoneView::RunLogOn()
{
    // Never inside the engine's event handling: the dialog opens from the event loop.
    QTimer::singleShot(0, this, &COrvaloPhoneView::LogOn);
}

void COrvaloPhoneView::ShowStatusMessage(const QString& text)
{
    m_dialPad->SetStatusText(CallLogDateTime(QDateTime::currentDateTime()) + kLineBreak + text);
    SetStatusBarText(text);
    CMilestoneLog::Note("call-status", text);
}

void COrvaloPhoneView::ResetPhoneDisplay()
{
    m_dialPad->SetStatusText(QString());
    m_dialPad->SetNumber(QString());
    m_dialPad->SetCallTimeText(QStringLiteral("0:00"));
    CMilestoneLog::Note("call-status");
}

void COrvaloPhoneView::ShowCallTime(int seconds)
{
    m_dialPad->SetCallTimeText(QString::asprintf("%2d:%02d ", seconds / 60, seconds % 60));
    StartAwayTimer();
}

void COrvaloPhoneView::ShowCallQuality(int level)
{
    m_dialPad->SetQuality(level);
}

void COrvaloPhoneView::SetDialedNumber(const QString& number)
{
    m_dialPad->SetNumber(number);
}

void COrvaloPhoneView::SelectPhoneView()
{
    m_tabs->setCurrentIndex(kPhoneViewPage);
    repaint();
}

void COrvaloPhoneView::SetVolumeSlider(RTC_AUDIO_DEVICE device, bool enabled, int position)
{
    m_dialPad->SetVolumeSlider(device, enabled, position);
}

int COrvaloPhoneView::VolumeSliderPosition(RTC_AUDIO_DEVICE device) const
{
    return m_dialPad->VolumeSliderPosition(device);
}

bool COrvaloPhoneView::IsHoldChecked() const
{
    return m_dialPad->IsHoldChecked();
}

bool COrvaloPhoneView::IsMuteChecked() const
{
    return m_dialPad->IsMuteChecked();
}

void COrvaloPhoneView::AddCallLogEntry(const QString& uri, const QString& name, int callType)
{
    m_callLog->AddEntry(uri, name, callType);
}
