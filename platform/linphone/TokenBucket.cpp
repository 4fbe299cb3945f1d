#include "TokenBucket.h"

#include <algorithm>

CTokenBucket::CTokenBucket(double perSecond, double burst) : m_perSecond(perSecond), m_burst(burst), m_tokens(burst)
{
}

bool CTokenBucket::Take(Clock::time_point now)
{
    if (now > m_last) {
        const std::chrono::duration<double> elapsed = now - m_last;
        m_tokens = std::min(m_burst, m_tokens + elapsed.count() * m_perSecond);
        m_last = now;
    }
    if (m_tokens < 1)
        return false;
    m_tokens -= 1;
    return true;
}
