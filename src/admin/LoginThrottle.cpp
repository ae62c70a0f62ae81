#include "admin/LoginThrottle.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

// Names guessed at random would otherwise fill memory for the whole run.
constexpr int kMaxEntries = 1000;

} // namespace

LoginThrottle::LoginThrottle()
{
    m_clock = [] {
        static QElapsedTimer timer;
        if (!timer.isValid())
            timer.start();
        return timer.elapsed();
    };
}

qint64 LoginThrottle::waitFor(const QString& name) const
{
    const auto it = m_entries.constFind(name);
    if (it == m_entries.constEnd())
        return 0;
    return std::max<qint64>(0, it->blockedUntil - m_clock());
}

void LoginThrottle::recordFailure(const QString& name)
{
    if (m_entries.size() >= kMaxEntries && !m_entries.contains(name))
        forgetExpired();
    Entry& entry = m_entries[name];
    ++entry.failures;
    if (entry.failures < kFreeAttempts)
        return;
    const int doublings = std::min(entry.failures - kFreeAttempts, 10);
    const qint64 wait = std::min(kFirstWaitMs << doublings, kLongestWaitMs);
    entry.blockedUntil = m_clock() + wait;
}

void LoginThrottle::recordSuccess(const QString& name)
{
    m_entries.remove(name);
}

void LoginThrottle::forgetExpired()
{
    const qint64 now = m_clock();
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->blockedUntil <= now)
            it = m_entries.erase(it);
        else
            ++it;
    }
}
