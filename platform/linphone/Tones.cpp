#include "Tones.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>
#include <numbers>

namespace {

constexpr double kAmplitude = 0.3 * 32767;
constexpr int kFadeMs = 10; // avoids clicks at the edges of each tone

std::vector<qint16> Synthesise(const std::vector<ToneSegment>& segments, int sampleRate)
{
    std::vector<qint16> samples;
    for (const ToneSegment& segment : segments) {
        const int count = segment.durationMs * sampleRate / 1000;
        const int fade = kFadeMs * sampleRate / 1000;
        for (int i = 0; i < count; ++i) {
            const double t = static_cast<double>(i) / sampleRate;
            double value = 0;
            if (segment.frequency1 > 0)
                value += std::sin(2 * std::numbers::pi * segment.frequency1 * t);
            if (segment.frequency2 > 0)
                value += std::sin(2 * std::numbers::pi * segment.frequency2 * t);
            if (segment.frequency1 > 0 && segment.frequency2 > 0)
                value /= 2;
            const double envelope =
                std::min({1.0, static_cast<double>(i) / fade, static_cast<double>(count - i) / fade});
            samples.push_back(static_cast<qint16>(std::lround(value * envelope * kAmplitude)));
        }
    }
    return samples;
}

} // namespace

bool WriteToneFile(const QString& path, const std::vector<ToneSegment>& segments, int sampleRate)
{
    const std::vector<qint16> samples = Synthesise(segments, sampleRate);
    const quint32 dataBytes = static_cast<quint32>(samples.size() * sizeof(qint16));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(sampleRate) << quint32(sampleRate * 2) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (qint16 sample : samples)
        out << sample;
    return file.commit();
}

QString ProgramSoundFile(const QString& folder, ProgramSound sound)
{
    QString name;
    std::vector<ToneSegment> segments;
    switch (sound) {
    case ProgramSound::PhoneRing:
        // One North American ring: 440 + 480 Hz for two seconds.
        name = QStringLiteral("phone-ring.wav");
        segments = {{440, 480, 2000}};
        break;
    case ProgramSound::MessageRing:
        name = QStringLiteral("message-ring.wav");
        segments = {{880, 0, 120}, {0, 0, 50}, {1320, 0, 180}};
        break;
    case ProgramSound::TestTone:
        name = QStringLiteral("test-tone.wav");
        segments = {{1000, 0, 1500}};
        break;
    case ProgramSound::Silence:
        // Long, because the library pauses between two rounds of a file.
        name = QStringLiteral("silence.wav");
        segments = {{0, 0, 30000}};
        break;
    }
    const QString path = QDir(folder).filePath(name);
    if (!QFileInfo::exists(path)) {
        QDir().mkpath(folder);
        WriteToneFile(path, segments);
    }
    return path;
}
