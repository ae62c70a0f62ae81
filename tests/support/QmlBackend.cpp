#include "QmlBackend.h"

#include <QQmlContext>
#include <QQmlExpression>

#include <utility>

QmlBackend::QmlBackend()
    : m_backend(std::make_unique<AppContext>(m_database.db(), m_database.dir()))
    , m_engine(std::make_unique<QQmlEngine>())
{
    m_backend->publish(m_engine->rootContext());
}

QmlBackend::~QmlBackend()
{
    // The engine goes first, then the objects it referred to.
    m_engine.reset();
    m_backend.reset();
}

QVariant QmlBackend::evaluate(const QString& script)
{
    QQmlExpression expression(m_engine->rootContext(), nullptr, script);
    const QVariant result = expression.evaluate();
    if (expression.hasError())
        m_errors << script + QStringLiteral(": ") + expression.error().toString();
    return result;
}

QStringList QmlBackend::takeErrors()
{
    return std::exchange(m_errors, {});
}
