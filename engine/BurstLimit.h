// Lets at most a number of things happen within any stretch of time of a given
// length, so that a flood from the network cannot make the program do them all
// in one go.
#pragma once

#include <QElapsedTimer>

#include <deque>

class CBurstLimit {
public:
    CBurstLimit(int count, int periodMs);

    // Whether one more may happen now; it is counted if so.
    bool Admit();
    // How many were refused so far.
    quint64 refused() const { return m_refused; }

private:
    const int m_count;
    const qint64 m_periodMs;
    QElapsedTimer m_clock;
    std::deque<qint64> m_admitted; // moments within the last period, oldest first
    quint64 m_refused = 0;
};
