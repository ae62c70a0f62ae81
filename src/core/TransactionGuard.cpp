#include "core/TransactionGuard.h"

#include "core/Database.h"

#include <QSqlQuery>

namespace {

bool runPlain(Database* db, const QString& sql)
{
    QSqlQuery query(db->connection());
    return query.exec(sql);
}

} // namespace

TransactionGuard::TransactionGuard(Database* db)
    : m_db(db)
{
    if (!m_db)
        return;
    if (m_db->m_transactionDepth == 0) {
        m_active = m_db->beginTransaction();
    } else {
        m_savepoint = QStringLiteral("sakanova_sp_%1").arg(m_db->m_transactionDepth);
        m_active = runPlain(m_db, QStringLiteral("SAVEPOINT ") + m_savepoint);
    }
    if (m_active)
        ++m_db->m_transactionDepth;
}

TransactionGuard::~TransactionGuard()
{
    rollback();
}

bool TransactionGuard::commit()
{
    if (!m_active || m_finished)
        return false;
    const bool ok = m_savepoint.isEmpty()
                        ? m_db->commitTransaction()
                        : runPlain(m_db, QStringLiteral("RELEASE ") + m_savepoint);
    if (!ok)
        return false; // still open: the destructor rolls it back
    m_finished = true;
    --m_db->m_transactionDepth;
    return true;
}

void TransactionGuard::rollback()
{
    if (!m_active || m_finished)
        return;
    m_finished = true;
    if (m_savepoint.isEmpty()) {
        m_db->rollbackTransaction();
    } else {
        runPlain(m_db, QStringLiteral("ROLLBACK TO ") + m_savepoint);
        runPlain(m_db, QStringLiteral("RELEASE ") + m_savepoint);
    }
    --m_db->m_transactionDepth;
}
