#include "app/ThreadHoldMeter.h"

#include <QAbstractEventDispatcher>
#include <QThread>

ThreadHoldMeter::ThreadHoldMeter(QObject* parent)
    : QObject(parent)
{
    m_clock.start();
    QAbstractEventDispatcher* dispatcher =
        QAbstractEventDispatcher::instance(QThread::currentThread());
    if (!dispatcher)
        return;
    connect(dispatcher, &QAbstractEventDispatcher::awake, this, &ThreadHoldMeter::woke,
            Qt::DirectConnection);
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &ThreadHoldMeter::blocking,
            Qt::DirectConnection);
}

void ThreadHoldMeter::woke()
{
    if (m_wokeAt < 0)
        m_wokeAt = m_clock.nsecsElapsed();
}

void ThreadHoldMeter::blocking()
{
    if (m_wokeAt < 0)
        return;
    const qint64 now = m_clock.nsecsElapsed();
    if (now - m_wokeAt > m_longestNs) {
        m_longestNs = now - m_wokeAt;
        m_longestEndedAt = now;
    }
    m_wokeAt = -1;
}

void ThreadHoldMeter::reset()
{
    m_wokeAt = -1;
    m_longestNs = 0;
    m_longestEndedAt = 0;
}

QString ThreadHoldMeter::summary() const
{
    return QStringLiteral("Longest time the window's thread was held: %1 ms (%2 s after start)")
        .arg(m_longestNs / 1000000)
        .arg(m_longestEndedAt / 1000000000);
}
