#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QQmlEngine;

// Gives back what pages leave behind once they are gone. The script heap
// lets go of a dropped page's objects only when it is collected, those
// objects are deleted a turn of the event loop later, and their freed heap
// stays resident until it is handed back; without all three a tour of the
// pages grows the process by every page it ever showed, and a password
// check after a session stacks its 64 MiB on top of all of that.
class SessionMemory : public QObject
{
    Q_OBJECT

public:
    explicit SessionMemory(QObject* parent = nullptr);

    void setEngine(QQmlEngine* engine);
    // Run by release() for what else a finished session left: the
    // connections' page caches and kept statements.
    void setDropCaches(std::function<void()> dropCaches) { m_dropCaches = std::move(dropCaches); }

    // A page was let go: collected shortly after, once for however many go
    // meanwhile, so switching pages quickly does not collect at every step.
    Q_INVOKABLE void pageReleased();

    // Collects the script heap, deletes what that let go, trims the
    // component cache and hands the freed heap back, now.
    void collect();
    // All of collect(), and the database caches dropped first: for a
    // finished session, and before a password check.
    void release();

    // Collections done (by pageReleased, collect or release), for tests.
    int collections() const { return m_collections; }

private:
    QPointer<QQmlEngine> m_engine;
    std::function<void()> m_dropCaches;
    QTimer m_soon;
    int m_collections = 0;
};
