#pragma once

#include "TestDatabase.h"

#include "app/AppContext.h"

#include <QQmlEngine>
#include <QStringList>
#include <QVariant>

#include <memory>

// The back-end objects as the pages reach them: a fresh database, the real
// AppContext and a QML engine with its context properties published, so
// scripts run with QML's own argument conversion.
class QmlBackend
{
public:
    QmlBackend();
    ~QmlBackend();

    QmlBackend(const QmlBackend&) = delete;
    QmlBackend& operator=(const QmlBackend&) = delete;

    // Evaluates a script in the root context; a script error is recorded.
    QVariant evaluate(const QString& script);
    // Script errors recorded so far, cleared by the call.
    QStringList takeErrors();

    TestDatabase& database() { return m_database; }
    QQmlEngine* engine() { return m_engine.get(); }

private:
    TestDatabase m_database;
    std::unique_ptr<AppContext> m_backend;
    std::unique_ptr<QQmlEngine> m_engine;
    QStringList m_errors;
};
