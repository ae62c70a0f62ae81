#include "core/AppContext.h"

#include "core/Database.h"

#include <QQmlContext>

AppContext::AppContext(Database* db, const QString& dataDir)
    : m_db(db)
    , m_dataDir(dataDir)
{
}

AppContext::~AppContext() = default;

void AppContext::publish(QQmlContext* context) const
{
    context->setContextProperty(QStringLiteral("database"), m_db);
}
