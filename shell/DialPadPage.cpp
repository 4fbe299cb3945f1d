#include "DialPadPage.h"

#include "MilestoneLog.h"
#include "WebLinks.h"
#include "controls/HyperlinkLabel.h"
#include "engine/AddressRules.h"
#include "engine/ClientEngine.h"
#include "engine/EngineViews.h"
#include "engine/MessageBox.h"
#include "engine/ProcessGlobals.h"
#include "resources/ResourceIds.h"
#include "sessions/AVSessionWnd.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace {
const QColor kLightColour(221, 238, 255);
const QColor kDarkColour(175, 201, 223);
const QColor kLinkColour(0, 0, 255);
const QColor kLinkHoverColour(255, 0, 0);

struct SKey {
    int id;
    char16_t character;
    RTC_DTMF tone;
    int x; // dialog units
    int y;
};

constexpr SKey kKeys[] = {
    {1013, u'1', RTC_DTMF_1, 49, 99},     {1014, u'2', RTC_DTMF_2, 84, 99},  {1015, u'3', RTC_DTMF_3, 118, 99},
    {1016, u'4', RTC_DTMF_4, 49, 122},    {1017, u'5', RTC_DTMF_5, 84, 122}, {1018, u'6', RTC_DTMF_6, 118, 122},
    {1019, u'7', RTC_DTMF_7, 49, 145},    {1020, u'8', RTC_DTMF_8, 84, 145}, {1021, u'9', RTC_DTMF_9, 118, 145},
    {1023, u'*', RTC_DTMF_STAR, 49, 168}, {1022, u'0', RTC_DTMF_0, 84, 168}, {1026, u'#', RTC_DTMF_POUND, 118, 168},
};
constexpr int kKeyWidth = 26;
constexpr int kKeyHeight = 19;

// Dialog units of the page's template in pixels: 1.5 across, 1.625 down. Edges are
// rounded, so that controls that touch in the template touch on the screen.
QRect DialogRect(int x, int y, int width, int height)
{
    const auto across = [](int units) { return static_cast<int>(std::lround(units * 1.5)); };
    const auto down = [](int units) { return static_cast<int>(std::lround(units * 1.625)); };
    return QRect(QPoint(across(x), down(y)), QPoint(across(x + width) - 1, down(y + height) - 1));
}

QFont DialogFont()
{
    QFont font(QStringLiteral("MS Shell Dlg"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

QFont NumberFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(25);
    font.setWeight(QFont::Bold);
    return font;
}

// A multi-line edit shows "\r\r\n" as one soft line break.
QString ShownStatusText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\r\n"), QStringLiteral("\n"));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.remove(u'\r');
    return shown;
}
} // namespace

CDialPadPage::CDialPadPage(IMainWindowDisplay& display, QWidget* parent) : CBitmapPage(parent), m_display(display)
{
    setFont(DialogFont());
    resize(DialogRect(0, 0, 195, 226).size());
    // Children take these colours unless they set their own: black text, light
    // fields and statics, dark keys.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kLightColour);
    colours.setColor(QPalette::Base, kLightColour);
    colours.setColor(QPalette::Button, kDarkColour);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        colours.setColor(role, Qt::black);
    }
    setPalette(colours);
    SetPageBitmap(QString::fromLatin1(Resources::kDialPadBackground169));

    auto* frame = new QFrame(this);
    frame->setObjectName(QString::number(kFrameId));
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(rect());
    frame->setAttribute(Qt::WA_TransparentForMouseEvents);

    CreateStatusLine();
    CreateKeys();
    CreateSliders();
    CreateLinks();
}

void CDialPadPage::CreateStatusLine()
{
    AddLabel(QStringLiteral("Quality:"), DialogRect(7, 4, 30, 10), true);
    m_quality = new QProgressBar(this);
    m_quality->setObjectName(QString::number(kQualityBarId));
    m_quality->setAccessibleName(QStringLiteral("Network quality"));
    m_quality->setRange(0, kMaxQuality);
    m_quality->setValue(0);
    m_quality->setTextVisible(false);
    m_quality->setGeometry(DialogRect(39, 5, 60, 8));

    AddLabel(QStringLiteral("Call time:"), DialogRect(112, 4, 36, 10), true);
    m_callTime = AddLabel(QStringLiteral("0:00 "), DialogRect(148, 4, 38, 10), false);
    m_callTime->setObjectName(QString::number(kCallTimeId));
    m_callTime->setAccessibleName(QStringLiteral("Call time"));
    m_callTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_status = new QPlainTextEdit(this);
    m_status->setObjectName(QString::number(kStatusDisplayId));
    m_status->setAccessibleName(QStringLiteral("Call status"));
    m_status->setReadOnly(true);
    m_status->setGeometry(DialogRect(7, 17, 179, 31));

    m_number = new QLineEdit(this);
    m_number->setObjectName(QString::number(kNumberEntryId));
    m_number->setAccessibleName(QStringLiteral("Phone number"));
    m_number->setFont(NumberFont());
    m_number->setAlignment(Qt::AlignCenter);
    m_number->setMaxLength(kMaxNumberLength);
    m_number->setGeometry(DialogRect(7, 51, 180, 22));
}

void CDialPadPage::CreateKeys()
{
    QPushButton* send = AddButton(kSendId, QStringLiteral("&Send"), DialogRect(49, 77, kKeyWidth, kKeyHeight));
    send->setDefault(true);
    connect(send, &QPushButton::clicked, this, &CDialPadPage::OnSend);
    connect(AddButton(kClearId, QStringLiteral("Clear"), DialogRect(84, 77, kKeyWidth, kKeyHeight)),
            &QPushButton::clicked, this, &CDialPadPage::OnClear);
    connect(AddButton(kEndId, QStringLiteral("&End"), DialogRect(118, 77, kKeyWidth, kKeyHeight)),
            &QPushButton::clicked, this, &CDialPadPage::EndCall);

    for (const SKey& key : kKeys) {
        const QChar character(key.character);
        QPushButton* button =
            AddButton(key.id, QStringLiteral("&") + character, DialogRect(key.x, key.y, kKeyWidth, kKeyHeight));
        // The entry keeps the focus, so a key replaces its selection as typing would.
        button->setFocusPolicy(Qt::TabFocus);
        button->setAccessibleDescription(QStringLiteral("Dial pad key"));
        const RTC_DTMF tone = key.tone;
        connect(button, &QPushButton::clicked, this, [this, character, tone] { OnKey(character, tone); });
    }

    m_hold = AddButton(kHoldId, QStringLiteral("Hold"), DialogRect(14, 168, kKeyWidth, kKeyHeight));
    m_mute = AddButton(kMuteId, QStringLiteral("Mute"), DialogRect(153, 168, kKeyWidth, kKeyHeight));
    for (QPushButton* toggle : {m_hold, m_mute}) {
        toggle->setCheckable(true);
        toggle->setAutoDefault(false);
    }
    connect(m_hold, &QPushButton::clicked, this, &CDialPadPage::OnHold);
    connect(m_mute, &QPushButton::clicked, this, &CDialPadPage::OnMute);
}

void CDialPadPage::CreateSliders()
{
    AddLabel(QStringLiteral("Spkr"), DialogRect(14, 99, 26, 9), false)->setAlignment(Qt::AlignCenter);
    m_speaker = AddSlider(kSpeakerSliderId, RTCAD_SPEAKER, DialogRect(21, 110, 12, 50));
    AddLabel(QStringLiteral("Mic"), DialogRect(153, 99, 26, 9), false)->setAlignment(Qt::AlignCenter);
    m_microphone = AddSlider(kMicrophoneSliderId, RTCAD_MICROPHONE, DialogRect(162, 110, 12, 50));
}

void CDialPadPage::CreateLinks()
{
    AddLink(kRechargeText, QRect(QPoint(30, height() - 55), QPoint(249, height() - 31)), WebPage::Account);
    const QSize entry = m_number->size();
    AddLink(kHelpText, QRect(entry.width() - 30, entry.height() + 90, 30, entry.height()),
            WebPage::DialingInstructions);
}

QPushButton* CDialPadPage::AddButton(int id, const QString& text, const QRect& area)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::number(id));
    button->setGeometry(area);
    // As in a dialog, Enter on a focused key presses that key; elsewhere it sends.
    button->setAutoDefault(true);
    return button;
}

QLabel* CDialPadPage::AddLabel(const QString& text, const QRect& area, bool dark)
{
    auto* label = new QLabel(text, this);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(area);
    label->setAutoFillBackground(true);
    if (dark) {
        QPalette colours = label->palette();
        colours.setColor(QPalette::Window, kDarkColour);
        label->setPalette(colours);
    }
    return label;
}

QSlider* CDialPadPage::AddSlider(int id, RTC_AUDIO_DEVICE device, const QRect& area)
{
    auto* slider = new QSlider(Qt::Vertical, this);
    slider->setObjectName(QString::number(id));
    slider->setAccessibleName(device == RTCAD_SPEAKER ? QStringLiteral("Speaker volume")
                                                      : QStringLiteral("Microphone volume"));
    slider->setRange(0, kMaxVolume);
    slider->setSingleStep(kMaxVolume / 100);
    slider->setPageStep(kMaxVolume / 5);
    // Position 0 is at the top, and Up moves towards it.
    slider->setInvertedAppearance(true);
    slider->setInvertedControls(true);
    slider->setTickPosition(QSlider::NoTicks);
    slider->setGeometry(area);
    slider->setAutoFillBackground(true);
    // User actions only: positions set from the library's volumes must not be sent back.
    connect(slider, &QSlider::actionTriggered, this, [this, device] { OnVolumeAction(device); });
    return slider;
}

CHyperlinkLabel* CDialPadPage::AddLink(const QString& text, const QRect& area, WebPage page)
{
    auto* link = new CHyperlinkLabel(text, this);
    link->SetTextColor(kLinkColour);
    link->SetHoverColor(kLinkHoverColour);
    link->SetCustomFont(true);
    link->SetFontFace(QStringLiteral("Tahoma"));
    link->SetFontSize(14, 0);
    link->SetFontStyle(false, false);
    link->SetWordWrap(false);
    link->SetAlignment(CHyperlinkLabel::EAlignment::Left);
    link->SetLink(WebPageUrl(page).toString());
    // A text wider than its place (fonts differ between systems) gets the room it
    // needs within the page, so that it is never cut.
    QRect place = area;
    if (link->sizeHint().width() > place.width()) {
        place.setWidth(std::min(link->sizeHint().width(), width()));
        place.moveRight(std::min(place.right(), width() - 1));
    }
    link->setGeometry(place);
    connect(link, &CHyperlinkLabel::clicked, this, [page] { OpenWebPage(page); });
    link->show();
    return link;
}

void CDialPadPage::SetStatusText(const QString& text)
{
    // A call's window tells its status every second, mostly unchanged: laying the
    // text out and painting it again cost more than the rest of its second.
    if (text == m_statusText)
        return;
    m_statusText = text;
    m_status->setPlainText(ShownStatusText(text));
}

void CDialPadPage::SetNumber(const QString& number)
{
    m_number->setText(number);
    m_number->repaint();
}

QString CDialPadPage::Number() const
{
    return m_number->text();
}

void CDialPadPage::SetCallTimeText(const QString& text)
{
    m_callTime->setText(text);
    m_callTime->repaint();
}

void CDialPadPage::SetQuality(int level)
{
    m_quality->setValue(std::clamp(level, 0, kMaxQuality));
}

QSlider* CDialPadPage::Slider(RTC_AUDIO_DEVICE device) const
{
    return device == RTCAD_MICROPHONE ? m_microphone : m_speaker;
}

void CDialPadPage::SetVolumeSlider(RTC_AUDIO_DEVICE device, bool enabled, int position)
{
    QSlider* slider = Slider(device);
    slider->setEnabled(enabled);
    slider->setValue(position);
}

int CDialPadPage::VolumeSliderPosition(RTC_AUDIO_DEVICE device) const
{
    return Slider(device)->value();
}

bool CDialPadPage::IsHoldChecked() const
{
    return m_hold->isChecked();
}

bool CDialPadPage::IsMuteChecked() const
{
    return m_mute->isChecked();
}

void CDialPadPage::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OnSend();
        return;
    }
    CBitmapPage::keyPressEvent(event);
}

void CDialPadPage::OnKey(QChar key, RTC_DTMF tone)
{
    m_number->insert(QString(key));
    // The tone is asked for with or without a call; the library decides what it does.
    if (g_pClientEngine && g_pClientEngine->Client()) {
        g_pClientEngine->Client()->SendDTMF(tone);
    }
}

void CDialPadPage::OnSend()
{
    const QString typed = m_number->text();
    if (CheckPhoneNumber(typed) != 0) {
        const QPointer<CDialPadPage> self(this);
        CMessageBox::Show(this, QString::fromLatin1(kInvalidNumberMessage), QString::fromLatin1(kInvalidNumberCaption));
        if (self) {
            m_number->setFocus();
        }
        return;
    }
    QString shown = typed;
    ToDisplayNumber(shown);
    SetNumber(shown);
    m_display.ShowStatusMessage(shown + kCallingSuffix);
    if (g_pClientEngine) {
        g_pClientEngine->MakeCall(RTCST_PC_TO_PHONE, ToServiceSipUri(typed), QString());
    }
}

void CDialPadPage::OnClear()
{
    m_number->clear();
    SetStatusText(QString());
}

void CDialPadPage::EndCall()
{
    if (!g_activeCallWindow) {
        return;
    }
    CMilestoneLog::Note("hang-up");
    g_activeCallWindow->DestroyWindow();
    m_display.ShowStatusMessage(kCallTerminated);
}

// Hold and Mute each keep the microphone off while the other is still pressed.
void CDialPadPage::OnHold(bool held)
{
    if (CAVSessionWnd* call = CAVSessionWnd::Active()) {
        call->ApplyHold(held, IsMuteChecked());
    }
}

void CDialPadPage::OnMute(bool muted)
{
    if (CAVSessionWnd* call = CAVSessionWnd::Active()) {
        call->ApplyMute(IsHoldChecked(), muted);
    }
}

void CDialPadPage::OnVolumeAction(RTC_AUDIO_DEVICE device)
{
    // The slider's new position is known before its value is updated.
    if (CAVSessionWnd* call = CAVSessionWnd::Active()) {
        call->SetVolume(device, kMaxVolume - Slider(device)->sliderPosition());
    }
}
