// Lets something happen at most `perSecond` times a second on average, and at
// most `burst` times at once.
#pragma once

#include <chrono>

class CTokenBucket {
public:
    using Clock = std::chrono::steady_clock;

    CTokenBucket(double perSecond, double burst);

    // Takes one token if there is one at that time.
    bool Take(Clock::time_point now);

private:
    const double m_perSecond;
    const double m_burst;
    double m_tokens;
    Clock::time_point m_last;
};
