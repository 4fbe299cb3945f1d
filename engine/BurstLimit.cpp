#include "BurstLimit.h"

CBurstLimit::CBurstLimit(int count, int periodMs) : m_count(count), m_periodMs(periodMs)
{
    m_clock.start();
}

bool CBurstLimit::Admit()
{
    const qint64 now = m_clock.elapsed();
    while (!m_admitted.empty() && now - m_admitted.front() >= m_periodMs)
        m_admitted.pop_front();
    if (static_cast<int>(m_admitted.size()) >= m_count) {
        ++m_refused;
        return false;
    }
    m_admitted.push_back(now);
    return true;
}
