// Test sounds: tones made with sox, and what a recording holds.
#pragma once

#include <QString>

#include <vector>

class CAudioFile {
public:
    // Writes a sine tone (16-bit mono WAV) with sox; false if sox failed.
    static bool MakeTone(const QString& path, double frequency, int seconds, int sampleRate = 16000);
    // Reads a 16-bit PCM WAV file (the first channel); false if it is not one.
    bool Load(const QString& path);

    // Keeps only the samples from one time to another (seconds from the start).
    void Trim(double fromSeconds, double toSeconds);

    int sampleRate() const { return m_sampleRate; }
    double seconds() const { return m_sampleRate ? static_cast<double>(m_samples.size()) / m_sampleRate : 0; }
    // Root mean square of the samples, full scale 1.0.
    double Rms() const;
    // The same over the samples from one time to another (seconds from the start); 0 if none.
    double Rms(double fromSeconds, double toSeconds) const;
    // Share (0..1) of the signal's energy at the frequency.
    double ToneShare(double frequency) const;
    // Share (0..1) of the energy between two frequencies: for tones whose pitch the
    // way through real-time devices shifts a little.
    double BandShare(double lowFrequency, double highFrequency) const;

private:
    // ToneShare looks at blocks of 1/kBlocksPerSecond s: its frequencies are this far apart.
    static constexpr int kBlocksPerSecond = 20;

    int m_sampleRate = 0;
    std::vector<double> m_samples;
};
