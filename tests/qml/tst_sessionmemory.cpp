#include "ShellHarness.h"

#include "app/SessionMemory.h"
#include "core/FreeMemory.h"

#include <QJSValue>
#include <QPointer>
#include <QQmlEngine>
#include <QTest>

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

// What a session leaves behind is let go: pages the shell drops, the whole
// shell after a sign-out, and the objects the script heap no longer holds.
class TstSessionMemory : public QObject
{
    Q_OBJECT

    // The page a place in the shell's page stack holds, or nullptr.
    static QObject* pageAt(ShellHarness& h, int index)
    {
        QQuickItem* pages = h.find(QStringLiteral("pageStack"));
        QQuickItem* loader = pages ? pages->childItems().value(index) : nullptr;
        return loader ? loader->property("item").value<QObject*>() : nullptr;
    }

private slots:
    void initTestCase() { ShellHarness::installMessageHandler(); }

    void regressionFreedHeapIsGivenBackOnGlibc()
    {
        // The check for glibc once ran before any header had defined it, so
        // nothing was ever given back.
#if defined(__GLIBC__)
        QVERIFY(FreeMemory::giveBackFreedHeap());
#else
        QSKIP("only glibc hands freed heap back");
#endif
    }

    // A long read's blocks of a megabyte come from the heap and go back to it,
    // instead of fresh pages mapped for each and faulted in one by one.
    void largeBlocksComeFromTheHeapOnGlibc()
    {
#if defined(__GLIBC__)
        QVERIFY(FreeMemory::reuseFreedHeap());
        constexpr size_t kBlock = 1024 * 1024;
        const size_t mappedBefore = mallinfo2().hblkhd;
        char* block = static_cast<char*>(malloc(kBlock));
        QVERIFY(block);
        // Kept visible to the compiler, so the block is really allocated.
        asm volatile("" : : "g"(block) : "memory");
        const size_t mappedWith = mallinfo2().hblkhd;
        free(block);
        QCOMPARE(mappedWith, mappedBefore);
#else
        QSKIP("only glibc's allocator is set");
#endif
    }

    void collectDeletesWhatTheScriptLetGo()
    {
        QQmlEngine engine;
        SessionMemory memory;
        memory.setEngine(&engine);
        QPointer<QObject> dropped;
        {
            // Owned by the script heap, then no longer referred to.
            QJSValue wrapper = engine.newQObject(new QObject);
            dropped = wrapper.toQObject();
        }
        QVERIFY(dropped);
        memory.collect();
        // Gone when collect() returns, before any later turn of the event
        // loop, so the heap it gave back below included it.
        QVERIFY(dropped.isNull());
        QCOMPARE(memory.collections(), 1);
    }

    void droppedPagesAndASignedOutShellAreLetGo()
    {
        ShellHarness::problems().clear();
        ShellHarness h;
        QVERIFY(h.startSignedIn());
        auto* memory = qobject_cast<SessionMemory*>(h.backend(QStringLiteral("sessionMemory")));
        QVERIFY(memory);
        QPointer<QObject> dashboard = pageAt(h, 0);
        QVERIFY(dashboard);

        // Three more pages: the shell keeps the last three shown, so the
        // dashboard goes, and what it held is collected soon after.
        const int before = memory->collections();
        for (int index : {1, 2, 7})
            QVERIFY(h.showPage(index));
        QTRY_VERIFY(dashboard.isNull());
        QTRY_VERIFY(memory->collections() > before);

        QPointer<QObject> shell = h.find(QStringLiteral("mainApp"));
        QPointer<QObject> tenants = pageAt(h, 2);
        QVERIFY(shell && tenants);
        const int beforeSignOut = memory->collections();
        QVERIFY(h.signOutAndIn(QStringLiteral("admin"), ShellHarness::newAdminPassword()));
        QTRY_VERIFY(shell.isNull());
        QTRY_VERIFY(tenants.isNull());
        // The password check collected first.
        QVERIFY(memory->collections() > beforeSignOut);

        // A working window again: a fresh shell on the dashboard, whose
        // pages open and read as before.
        QObject* fresh = h.find(QStringLiteral("mainApp"));
        QVERIFY(fresh && fresh != shell);
        QVERIFY(h.waitVisible(QStringLiteral("dashboardPage")));
        QVERIFY(h.showPage(2));
        QTRY_VERIFY(pageAt(h, 2) && pageAt(h, 2)->property("visible").toBool());
        QVERIFY2(ShellHarness::problems().isEmpty(),
                 qPrintable(ShellHarness::problems().join('\n')));
    }
};

QTEST_MAIN(TstSessionMemory)
#include "tst_sessionmemory.moc"
