#include "finance/AccountModel.h"

#include "core/Database.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"
#include "finance/LedgerReports.h"

#include <cmath>

namespace {

// First value of the named column, or the integer 0 when the query gave no row.
QVariant firstValue(const QVariantList& rows, const QString& column)
{
    if (rows.isEmpty())
        return 0;
    return rows.first().toMap().value(column);
}

} // namespace

AccountModel::AccountModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
    , m_reports(std::make_unique<LedgerReports>(db))
{
    watchDatabase(m_db);
}

AccountModel::~AccountModel() = default;

QVariantList AccountModel::getAll()
{
    return m_db->execQuery(QStringLiteral("SELECT * FROM accounts ORDER BY code"));
}

int AccountModel::add(const QString& code, const QString& name, const QString& type, int parentId)
{
    clearError();
    if (code.trimmed().isEmpty())
        return refuseId(Reasons::requiredField(QStringLiteral("رمز الحساب")));
    if (name.trimmed().isEmpty())
        return refuseId(Reasons::blankName());
    bool known = false;
    for (const char* kind : {"asset", "liability", "equity", "revenue", "expense"})
        known = known || type == QLatin1String(kind);
    if (!known)
        return refuseId(Reasons::unknownType());
    const int id = m_db->execInsert(
        QStringLiteral("INSERT INTO accounts (code,name_ar,type,parent_id) VALUES (?,?,?,?)"),
        {code, name, type, parentId > 0 ? QVariant(parentId) : QVariant()});
    if (id < 1)
        return refuseDatabaseId();
    return id;
}

QVariantList AccountModel::getJournalEntries(const QString& from, const QString& to)
{
    // A one-sided range lists everything, as every other dated report does.
    QVariantList entries;
    if (from.isEmpty() || to.isEmpty())
        entries = m_db->execQuery(QStringLiteral(
            "SELECT je.*, GROUP_CONCAT(a.name_ar || ':' || jl.debit || ':' || jl.credit) as "
            "lines FROM journal_entries je JOIN journal_lines jl ON je.id=jl.entry_id JOIN "
            "accounts a ON jl.account_id=a.id GROUP BY je.id ORDER BY je.entry_date DESC"));
    else
        entries = m_db->execQuery(
            QStringLiteral(
                "SELECT je.*, GROUP_CONCAT(a.name_ar || ':' || jl.debit || ':' || "
                "jl.credit) as lines FROM journal_entries je JOIN journal_lines jl ON "
                "je.id=jl.entry_id JOIN accounts a ON jl.account_id=a.id WHERE "
                "je.entry_date BETWEEN ? AND ? GROUP BY je.id ORDER BY je.entry_date DESC"),
            {from, to});
    m_reports->describeEntries(entries);
    return entries;
}

int AccountModel::createJournalEntry(const QString& date, const QString& desc,
                                     const QString& refType, int refId, const QVariantList& lines,
                                     const QString& reference)
{
    clearError();
    if (!SqlValue::isIsoDate(date))
        return refuseId(Reasons::invalidDate());
    // Double entry needs a debit line and a credit line at the least.
    if (lines.size() < 2)
        return refuseId(Reasons::tooFewLines());
    double totalDebit = 0;
    double totalCredit = 0;
    for (const QVariant& element : lines) {
        const QVariantMap line = element.toMap();
        // A missing or non-numeric amount counts as 0; a negative, endless or
        // absurd one would bend the account balances.
        const double debit = line.value(QStringLiteral("debit")).toDouble();
        const double credit = line.value(QStringLiteral("credit")).toDouble();
        if (!Money::isNonNegative(debit) || !Money::isNonNegative(credit))
            return refuseId(Reasons::invalidAmount());
        totalDebit += debit;
        totalCredit += credit;
    }
    if (!(std::fabs(totalDebit - totalCredit) <= 0.01))
        return refuseId(Reasons::unbalancedEntry());
    if (!Money::isPositive(totalDebit))
        return refuseId(Reasons::invalidAmount());

    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();

    const int entryId = m_db->execInsert(
        QStringLiteral("INSERT INTO journal_entries (entry_date,description,reference_type,"
                       "reference_id,reference) VALUES (?,?,?,?,?)"),
        {date, desc, refType, refId, SqlValue::blankAsNull(reference.trimmed())});
    if (entryId < 1)
        return refuseDatabaseId();

    for (const QVariant& element : lines) {
        const QVariantMap line = element.toMap();
        const QVariant accountId = line.value(QStringLiteral("account_id"));
        // A missing or non-numeric amount counts as 0. The line stores the
        // same numbers the balance receives: a NULL side would drop the line
        // from every sum over journal_lines while the balance kept it.
        const double debit = line.value(QStringLiteral("debit")).toDouble();
        const double credit = line.value(QStringLiteral("credit")).toDouble();
        if (m_db->execInsert(
                QStringLiteral("INSERT INTO journal_lines (entry_id,account_id,debit,"
                               "credit,description) VALUES (?,?,?,?,?)"),
                {entryId, accountId, debit, credit, line.value(QStringLiteral("description"))}) < 1)
            return refuseDatabaseId();
        if (!m_db->execNonQuery(QStringLiteral("UPDATE accounts SET balance=balance+? WHERE id=?"),
                                {debit - credit, accountId}))
            return refuseDatabaseId();
    }

    if (!tx.commit())
        return refuseDatabaseId();
    emit dataChanged();
    return entryId;
}

QVariantMap AccountModel::getProfitLoss(const QString& from, const QString& to)
{
    const QVariant revenue = firstValue(
        m_db->execQuery(
            QStringLiteral("SELECT COALESCE(SUM(jl.credit-jl.debit),0) as total FROM "
                           "journal_lines jl JOIN journal_entries je ON jl.entry_id=je.id JOIN "
                           "accounts a ON jl.account_id=a.id WHERE a.type='revenue' AND "
                           "je.entry_date BETWEEN ? AND ?"),
            {from, to}),
        QStringLiteral("total"));
    const QVariant expenses = firstValue(
        m_db->execQuery(
            QStringLiteral("SELECT COALESCE(SUM(jl.debit-jl.credit),0) as total FROM "
                           "journal_lines jl JOIN journal_entries je ON jl.entry_id=je.id JOIN "
                           "accounts a ON jl.account_id=a.id WHERE a.type='expense' AND "
                           "je.entry_date BETWEEN ? AND ?"),
            {from, to}),
        QStringLiteral("total"));
    return {{QStringLiteral("revenue"), revenue},
            {QStringLiteral("expenses"), expenses},
            {QStringLiteral("net_profit"), revenue.toDouble() - expenses.toDouble()}};
}

QVariantMap AccountModel::getBalanceSheet()
{
    const QString t = QStringLiteral("t");
    return {
        {QStringLiteral("assets"),
         firstValue(m_db->execQuery(QStringLiteral(
                        "SELECT COALESCE(SUM(balance),0) as t FROM accounts WHERE type='asset'")),
                    t)},
        {QStringLiteral("liabilities"),
         firstValue(m_db->execQuery(QStringLiteral("SELECT COALESCE(SUM(ABS(balance)),0) as t "
                                                   "FROM accounts WHERE type='liability'")),
                    t)},
        {QStringLiteral("equity"),
         firstValue(m_db->execQuery(QStringLiteral("SELECT COALESCE(SUM(ABS(balance)),0) as t "
                                                   "FROM accounts WHERE type='equity'")),
                    t)},
    };
}

QVariantMap AccountModel::getJournalEntry(int entryId)
{
    clearError();
    const QVariantMap entry = m_reports->journalEntry(entryId);
    if (entry.isEmpty())
        refuseMissing();
    return entry;
}

QVariantList AccountModel::reconcile()
{
    clearError();
    return m_reports->reconcile();
}

QVariantMap AccountModel::trialBalance(const QString& from, const QString& to)
{
    clearError();
    if ((!from.isEmpty() && !SqlValue::isIsoDate(from)) ||
        (!to.isEmpty() && !SqlValue::isIsoDate(to))) {
        refuse(Reasons::invalidDate());
        return {};
    }
    return m_reports->trialBalance(from, to);
}

QVariantMap AccountModel::accountLedger(int accountId, int offset, int limit)
{
    clearError();
    const QVariantMap ledger = m_reports->accountLedger(accountId, offset, limit);
    if (ledger.isEmpty())
        refuseMissing();
    return ledger;
}
