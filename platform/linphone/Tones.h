// The program's own sounds (phone ring, message ring, test tone), synthesised
// into WAV files that the library can play.
#pragma once

#include <QString>

#include <vector>

struct ToneSegment {
    double frequency1 = 0; // Hz; both 0 for silence
    double frequency2 = 0;
    int durationMs = 0;
};

// Writes 16-bit mono PCM at the given rate; false if the file cannot be written.
bool WriteToneFile(const QString& path, const std::vector<ToneSegment>& segments, int sampleRate = 16000);

// Silence stands in for a microphone that is missing: a call sends nothing without a sound.
enum class ProgramSound { PhoneRing, MessageRing, TestTone, Silence };

// The file of the sound in the folder, written there first if it is missing.
QString ProgramSoundFile(const QString& folder, ProgramSound sound);
