// The user's few persistent settings: text values kept per user under
// organisation "Quenlark", application "OrvaloPhone".
#pragma once

#include "platform/rtc/RtcTypes.h"

#include <QString>

// Value names, exactly as stored.
inline constexpr char kSettingUserUri[] = "UserURI";
inline constexpr char kSettingAccount[] = "Account";
inline constexpr char kSettingPassword[] = "Password";
inline constexpr char kSettingRememberPassword[] = "Remember Password";
inline constexpr char kSettingAutoLogon[] = "AutoLogon";
inline constexpr char kSettingLogonTransparently[] = "Logon Transparently";
inline constexpr char kSettingLastCalledUri[] = "LastCalledURI";
inline constexpr char kSettingSipServerUri[] = "SIP Server URI";
// "1": SIP requests are accepted from anywhere, not only from the SIP server.
inline constexpr char kSettingDirectSip[] = "Direct SIP";

// The longest value a reader accepts, in UTF-16 units: a buffer of 256 with its terminator.
inline constexpr qsizetype kSettingMaxLength = 255;

class CSettingsStore {
public:
    // Reads the named value into `value`. Fails with E_FAIL, leaving `value` as it
    // was, when the value is missing, is not text or is longer than kSettingMaxLength.
    static HRESULT ReadSetting(const QString& name, QString& value);

    // Stores `text` under the name; the settings file is left readable by its owner only.
    static HRESULT WriteSetting(const QString& name, const QString& text);

    // Removes the named value; a value that is not there is already removed.
    static HRESULT RemoveSetting(const QString& name);

    // A flag is on when its value is the text "1"; missing, empty or anything else is off.
    static bool IsFlagSet(const QString& name);
};
