#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

// Measures how long the window's thread goes without returning to wait for
// events: from waking up to blocking again, the time every event handled in
// between held it. The longest such stretch of a run goes to the run log at
// exit, so slow calls show up in the field.
class ThreadHoldMeter : public QObject
{
    Q_OBJECT

public:
    // Watches the event dispatcher of the calling thread.
    explicit ThreadHoldMeter(QObject* parent = nullptr);

    qint64 longestMs() const { return m_longestNs / 1000000; }
    qint64 longestNs() const { return m_longestNs; }
    // The run log's line: the longest hold and when it ended.
    QString summary() const;
    // Starts counting afresh (after start-up work that shows its progress).
    void reset();

private:
    void woke();
    void blocking();

    QElapsedTimer m_clock;
    qint64 m_wokeAt = -1;
    qint64 m_longestNs = 0;
    qint64 m_longestEndedAt = 0;
};
