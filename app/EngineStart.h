// The last steps of start-up: the engine starts once the main window is on the
// screen (on the turn after it was first exposed, so that its first picture has
// gone out) and the SIP module is in. A module that cannot be loaded is reported
// and ends the program.
#pragma once

#include <QObject>

#include <optional>

class CLinphoneModule;
class COrvaloPhoneApp;

class CEngineStart final : public QObject {
public:
    // The program's exit status when the phone cannot start.
    static constexpr int kCannotStart = 1;
    // A window manager may not map the window at once; the phone starts regardless.
    static constexpr int kLongestWaitForWindowMs = 1000;
    // Loading from a cold disk takes seconds; only a broken installation takes this long.
    static constexpr int kLongestModuleLoadMs = 30000;

    // The main window is shown; the module is loading.
    CEngineStart(COrvaloPhoneApp& phone, CLinphoneModule& sipModule, QObject* parent);

private:
    void OnLoaded(bool serves, const QString& reason);
    void Next();

    COrvaloPhoneApp& m_phone;
    bool m_shown = false;
    std::optional<bool> m_loaded;
    QString m_failure;
    bool m_started = false;
};
