#include "app/SessionMemory.h"

#include "core/FreeMemory.h"

#include <QCoreApplication>
#include <QEvent>
#include <QQmlEngine>

namespace {

// Long enough for a page's closing to be over, short enough that the memory
// is back before the user does much on the next page.
constexpr int kCollectDelayMs = 400;

} // namespace

SessionMemory::SessionMemory(QObject* parent)
    : QObject(parent)
{
    m_soon.setSingleShot(true);
    m_soon.setInterval(kCollectDelayMs);
    connect(&m_soon, &QTimer::timeout, this, &SessionMemory::collect);
}

void SessionMemory::setEngine(QQmlEngine* engine)
{
    m_engine = engine;
}

void SessionMemory::pageReleased()
{
    m_soon.start();
}

void SessionMemory::collect()
{
    m_soon.stop();
    if (m_engine) {
        // Collecting hands the script-owned objects to deleteLater; they are
        // deleted here, not at some later turn, so their heap goes back below.
        // What the deletions release is collected on a second pass.
        for (int pass = 0; pass < 2; ++pass) {
            m_engine->collectGarbage();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        m_engine->trimComponentCache();
    }
    FreeMemory::giveBackFreedHeap();
    ++m_collections;
}

void SessionMemory::release()
{
    if (m_dropCaches)
        m_dropCaches();
    collect();
}
