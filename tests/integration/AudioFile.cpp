#include "AudioFile.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <numbers>

bool CAudioFile::MakeTone(const QString& path, double frequency, int seconds, int sampleRate)
{
    QProcess sox;
    sox.start(QStringLiteral("sox"),
              {QStringLiteral("-n"), QStringLiteral("-r"), QString::number(sampleRate), QStringLiteral("-c"),
               QStringLiteral("1"), QStringLiteral("-b"), QStringLiteral("16"), path, QStringLiteral("synth"),
               QString::number(seconds), QStringLiteral("sine"), QString::number(frequency), QStringLiteral("vol"),
               QStringLiteral("0.5")});
    return sox.waitForFinished(30000) && sox.exitStatus() == QProcess::NormalExit && sox.exitCode() == 0;
}

bool CAudioFile::Load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "WAVE")
        return false;
    int channels = 0;
    int bits = 0;
    qsizetype offset = 12;
    while (offset + 8 <= data.size()) {
        const QByteArray id = data.mid(offset, 4);
        const auto size = static_cast<qsizetype>(qFromLittleEndian<quint32>(data.constData() + offset + 4));
        const char* body = data.constData() + offset + 8;
        if (id == "fmt " && size >= 16) {
            channels = qFromLittleEndian<quint16>(body + 2);
            m_sampleRate = static_cast<int>(qFromLittleEndian<quint32>(body + 4));
            bits = qFromLittleEndian<quint16>(body + 14);
        } else if (id == "data") {
            if (bits != 16 || channels < 1)
                return false;
            const qsizetype available = std::min(size, data.size() - offset - 8);
            const qsizetype frames = available / (2 * channels);
            m_samples.resize(static_cast<size_t>(frames));
            for (qsizetype i = 0; i < frames; ++i)
                m_samples[static_cast<size_t>(i)] = qFromLittleEndian<qint16>(body + i * 2 * channels) / 32768.0;
            return true;
        }
        offset += 8 + size + (size & 1);
    }
    return false;
}

double CAudioFile::Rms() const
{
    return Rms(0, seconds());
}

double CAudioFile::Rms(double fromSeconds, double toSeconds) const
{
    const auto index = [this](double at) {
        return std::clamp(static_cast<size_t>(std::max(0.0, at) * m_sampleRate), size_t(0), m_samples.size());
    };
    const size_t from = index(fromSeconds);
    const size_t to = index(toSeconds);
    if (from >= to)
        return 0;
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += m_samples[i] * m_samples[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

double CAudioFile::ToneShare(double frequency) const
{
    if (m_samples.empty() || m_sampleRate == 0)
        return 0;
    // Goertzel over short blocks, so that gaps and jitter in a received stream do
    // not matter: the tone's power against the total power of the blocks.
    const size_t block = static_cast<size_t>(m_sampleRate / kBlocksPerSecond);
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / m_sampleRate);
    double tone = 0;
    double total = 0;
    for (size_t start = 0; start + block <= m_samples.size(); start += block) {
        double previous = 0;
        double beforePrevious = 0;
        for (size_t i = start; i < start + block; ++i) {
            const double current = m_samples[i] + coefficient * previous - beforePrevious;
            beforePrevious = previous;
            previous = current;
            total += m_samples[i] * m_samples[i];
        }
        const double power =
            previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
        tone += 2 * power / static_cast<double>(block);
    }
    return total > 0 ? std::min(1.0, tone / total) : 0;
}

double CAudioFile::BandShare(double lowFrequency, double highFrequency) const
{
    // The blocks' own frequencies are orthogonal: their shares add up to the band's.
    double share = 0;
    for (long step = std::lround(lowFrequency / kBlocksPerSecond); step * kBlocksPerSecond <= highFrequency; ++step)
        share += ToneShare(static_cast<double>(step * kBlocksPerSecond));
    return std::min(1.0, share);
}

void CAudioFile::Trim(double fromSeconds, double toSeconds)
{
    const auto index = [this](double at) {
        return std::clamp(static_cast<size_t>(std::max(0.0, at) * m_sampleRate), size_t(0), m_samples.size());
    };
    const size_t to = index(toSeconds);
    m_samples.resize(to);
    m_samples.erase(m_samples.begin(),
                    m_samples.begin() + static_cast<std::ptrdiff_t>(std::min(index(fromSeconds), to)));
}
