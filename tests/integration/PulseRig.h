// The private PulseAudio server of scripts/audio-rig, with virtual devices as a
// desktop session would offer them: two speakers (null sinks, whose monitors can
// be recorded) and a microphone that always picks up a known sine tone. Its
// files live in the test's folder; PULSE_SERVER points every later client at it.
// Stopped by PID.
#pragma once

#include "ChildProcess.h"

#include <QString>

#include <functional>

class CPulseRig {
public:
    // As the script sets them up; the names as the media library lists them.
    static constexpr double kMicrophoneTone = 440;
    static const QString kSpeakerName;
    static const QString kHeadsetName;
    static const QString kMicrophoneName;

    explicit CPulseRig(const QString& folder);
    ~CPulseRig();

    // Starts the server and waits until it answers; false with error() if not.
    bool Start();
    const QString& error() const { return m_error; }
    // Address for PULSE_SERVER.
    QString server() const;

    // Records what the speaker (or the headset) plays for the time into a 16-bit
    // mono WAV file, keeping the event loop running; false if nothing was recorded.
    // whenRecording runs once the recording has begun.
    bool RecordSpeaker(const QString& wav, int milliseconds, bool headset = false,
                       const std::function<void()>& whenRecording = {}) const;

    // Silences the microphone's tone, or lets it through again; false if the server refused.
    bool MuteMicrophone(bool muted) const;
    // Takes the microphone off the server, as when it is unplugged, or brings it
    // back as the rig set it up; false if the server refused.
    bool UnplugMicrophone() const;
    bool PlugMicrophone() const;

private:
    // Runs pactl with the arguments; true if it succeeded.
    static bool Pactl(const QStringList& arguments);
    bool Answers() const;

    QString m_folder;
    CChildProcess m_server;
    QString m_error;
};
