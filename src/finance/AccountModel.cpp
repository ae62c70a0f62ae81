#include "finance/AccountModel.h"

#include "core/Database.h"
#include "core/LedgerPosting.h"
#include "core/MinorUnits.h"
#include "core/Money.h"
#include "core/Names.h"
#include "core/Permissions.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
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
    if (!Permissions::allowed(Permissions::Action::ManageAccounts))
        return refuseId(Permissions::refusal());
    if (code.trimmed().isEmpty())
        return refuseId(Reasons::requiredField(QStringLiteral("رمز الحساب")));
    if (const QString why = Names::problem(name); !why.isEmpty())
        return refuseId(why);
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

namespace {

// Each line of an entry as "account:debit:credit", the lines joined by commas.
QString lineList(Database* db)
{
    return SqlDialect::stringAgg(db->engine(),
                                 QStringLiteral("a.name_ar || ':' || jl.debit || ':' || jl.credit"),
                                 QStringLiteral(","));
}

} // namespace

QVariantList AccountModel::getJournalEntries(const QString& from, const QString& to)
{
    // A one-sided range lists everything, as every other dated report does.
    QVariantList entries;
    if (from.isEmpty() || to.isEmpty())
        entries = m_db->execQuery(
            QStringLiteral(
                "SELECT je.*, %1 as lines FROM journal_entries je JOIN journal_lines jl ON "
                "je.id=jl.entry_id JOIN accounts a ON jl.account_id=a.id GROUP BY je.id ORDER BY "
                "je.entry_date DESC")
                .arg(lineList(m_db)));
    else
        entries = m_db->execQuery(
            QStringLiteral(
                "SELECT je.*, %1 as lines FROM journal_entries je JOIN journal_lines jl ON "
                "je.id=jl.entry_id JOIN accounts a ON jl.account_id=a.id WHERE "
                "je.entry_date BETWEEN ? AND ? GROUP BY je.id ORDER BY je.entry_date DESC")
                .arg(lineList(m_db)),
            {from, to});
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
    // A manual entry is in the primary currency, kept in its minor unit.
    const MinorUnits units(m_db);
    for (const QVariant& element : lines) {
        const QVariantMap line = element.toMap();
        // A missing or non-numeric amount counts as 0; a negative, endless or
        // absurd one would bend the account balances.
        const double debit = line.value(QStringLiteral("debit")).toDouble();
        const double credit = line.value(QStringLiteral("credit")).toDouble();
        if (!Money::isNonNegative(debit) || !Money::isNonNegative(credit))
            return refuseId(Reasons::invalidAmount());
        totalDebit += units.round({}, debit);
        totalCredit += units.round({}, credit);
    }
    if (!(std::fabs(totalDebit - totalCredit) <= 0.01))
        return refuseId(Reasons::unbalancedEntry());
    if (!Money::isPositive(totalDebit))
        return refuseId(Reasons::invalidAmount());

    LedgerPosting::Entry entry;
    entry.date = date;
    entry.description = desc;
    entry.referenceType = refType;
    entry.referenceId = refId;
    entry.reference = reference;
    for (const QVariant& element : lines) {
        const QVariantMap line = element.toMap();
        // A missing or non-numeric amount counts as 0, on the line and in
        // the balance alike.
        LedgerPosting::Line posted;
        posted.accountId = line.value(QStringLiteral("account_id")).toInt();
        posted.debit = units.round({}, line.value(QStringLiteral("debit")).toDouble());
        posted.credit = units.round({}, line.value(QStringLiteral("credit")).toDouble());
        posted.description = line.value(QStringLiteral("description")).toString();
        // A line naming no account cannot be posted anywhere.
        if (posted.accountId < 1)
            return refuseId(
                Reasons::unknownAccount(line.value(QStringLiteral("account_id")).toString()));
        entry.lines.append(posted);
    }

    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    LedgerPosting posting(m_db);
    const int entryId = posting.post(entry);
    if (entryId < 1)
        return refuseId(posting.reason());

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
    // Balances are debit minus credit: assets carry them as they are, the
    // credit-natured accounts with the sign turned. The result of revenue
    // and expenses not yet closed into equity is the profit to date, so
    // assets = liabilities + equity + profit whenever every entry balances.
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT type, COALESCE(SUM(balance),0) as t FROM accounts GROUP BY type"));
    double assets = 0;
    double liabilities = 0;
    double equity = 0;
    double profit = 0;
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        const QString type = row.value(QStringLiteral("type")).toString();
        const double total = row.value(QStringLiteral("t")).toDouble();
        if (type == QLatin1String("asset"))
            assets += total;
        else if (type == QLatin1String("liability"))
            liabilities -= total;
        else if (type == QLatin1String("equity"))
            equity -= total;
        else if (type == QLatin1String("revenue") || type == QLatin1String("expense"))
            profit -= total;
    }
    const auto cents = [](double amount) { return Money::roundToCents(amount) + 0.0; };
    return {
        {QStringLiteral("assets"), cents(assets)},
        {QStringLiteral("liabilities"), cents(liabilities)},
        {QStringLiteral("equity"), cents(equity)},
        {QStringLiteral("profit"), cents(profit)},
        {QStringLiteral("difference"), cents(assets - (liabilities + equity + profit))},
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
