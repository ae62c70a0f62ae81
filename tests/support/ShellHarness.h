#pragma once

#include "TestDatabase.h"

#include "core/AppContext.h"

#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

// The whole window as the application builds it: the real back-end objects
// on a fresh database, the main document loaded and signed in, driven with
// mouse clicks. Every QML warning and database error is collected so a test
// can fail on them.
class ShellHarness
{
public:
    using Prepare = std::function<void(TestDatabase&)>;

    // Installs the message handler that collects warnings; call once per test
    // executable (initTestCase), and uninstall() at its end.
    static void installMessageHandler();
    static void uninstallMessageHandler();
    // Warnings and errors collected since the last call.
    static QStringList takeProblems();

    ShellHarness();
    ~ShellHarness();

    ShellHarness(const ShellHarness&) = delete;
    ShellHarness& operator=(const ShellHarness&) = delete;

    // Shapes the stored data with `prepare` before the back end is built.
    bool start(const Prepare& prepare = {});
    // Signs in with the default administrator and waits for the main shell.
    bool signIn();

    TestDatabase& database() { return *m_db; }
    QQuickWindow* window() const { return m_window; }
    QQmlApplicationEngine* engine() const { return m_engine.get(); }
    QObject* contextObject(const QString& name) const;

    // Runs `script` in the root context (the context properties are in scope)
    // and returns its value; a script error is collected as a problem.
    QVariant eval(const QString& script);

    // Items by objectName, searched through the visual tree, where delegates live.
    QQuickItem* find(const QString& name, QQuickItem* from = nullptr) const;
    QList<QQuickItem*> findAll(const QString& name, QQuickItem* from = nullptr) const;

    // Clicks the centre of `target`; false when it is not visible in the window.
    bool click(QQuickItem* target);
    // Shows the page at `index` of the side bar by clicking its entry.
    bool openPage(int index);

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<AppContext> m_backend;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow* m_window = nullptr;
};
