// The "Phone View" page: a telephone keypad with the number entry, Send, Clear and
// End, Hold and Mute, the speaker and microphone volume, the call's quality and
// time, and the status display that shows the last status message.
#pragma once

#include "controls/BitmapPage.h"
#include "platform/rtc/RtcTypes.h"

#include <QString>

class CHyperlinkLabel;
enum class WebPage;
class IMainWindowDisplay;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSlider;

class CDialPadPage : public CBitmapPage {
    Q_OBJECT
public:
    // Control ids, kept as the controls' object names.
    static constexpr int kNumberEntryId = 1056;
    static constexpr int kStatusDisplayId = 1030;
    static constexpr int kSendId = 1024;
    static constexpr int kClearId = 1033;
    static constexpr int kEndId = 1025;
    static constexpr int kHoldId = 1032;
    static constexpr int kMuteId = 1036;
    static constexpr int kSpeakerSliderId = 2007;
    static constexpr int kMicrophoneSliderId = 2005;
    static constexpr int kQualityBarId = 1039;
    static constexpr int kCallTimeId = 1038;
    static constexpr int kFrameId = 1049;

    static constexpr int kMaxNumberLength = 20;
    // The sliders run inverted: volume = kMaxVolume - position, so the top is loudest.
    static constexpr int kMaxVolume = 65535;
    static constexpr int kMaxQuality = 100;

    static inline const QString kCallingSuffix = QStringLiteral("\r\r\nCalling ...");
    static inline const QString kCallTerminated = QStringLiteral("Call terminated.");
    static inline const QString kRechargeText = QStringLiteral("Click here to recharge your account");
    static inline const QString kHelpText = QStringLiteral("Help!");

    explicit CDialPadPage(IMainWindowDisplay& display, QWidget* parent = nullptr);

    // The status display keeps the text as given; "\r\r\n" is shown as one line break.
    void SetStatusText(const QString& text);
    QString StatusText() const { return m_statusText; }
    void SetNumber(const QString& number);
    QString Number() const;
    void SetCallTimeText(const QString& text); // repainted at once
    void SetQuality(int level);                // 0 to kMaxQuality
    void SetVolumeSlider(RTC_AUDIO_DEVICE device, bool enabled, int position);
    int VolumeSliderPosition(RTC_AUDIO_DEVICE device) const;
    bool IsHoldChecked() const;
    bool IsMuteChecked() const;
    // The End key: ends the call in progress, if any, and says so.
    void EndCall();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateStatusLine();
    void CreateKeys();
    void CreateSliders();
    void CreateLinks();
    QPushButton* AddButton(int id, const QString& text, const QRect& area);
    QLabel* AddLabel(const QString& text, const QRect& area, bool dark);
    QSlider* AddSlider(int id, RTC_AUDIO_DEVICE device, const QRect& area);
    CHyperlinkLabel* AddLink(const QString& text, const QRect& area, WebPage page);

    void OnKey(QChar key, RTC_DTMF tone);
    void OnSend();
    void OnClear();
    void OnHold(bool held);
    void OnMute(bool muted);
    void OnVolumeAction(RTC_AUDIO_DEVICE device);
    QSlider* Slider(RTC_AUDIO_DEVICE device) const;

    IMainWindowDisplay& m_display;
    QString m_statusText;
    QLineEdit* m_number = nullptr;
    QPlainTextEdit* m_status = nullptr;
    QProgressBar* m_quality = nullptr;
    QLabel* m_callTime = nullptr;
    QPushButton* m_hold = nullptr;
    QPushButton* m_mute = nullptr;
    QSlider* m_speaker = nullptr;
    QSlider* m_microphone = nullptr;
};
