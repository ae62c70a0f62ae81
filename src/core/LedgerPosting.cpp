#include "core/LedgerPosting.h"

#include "core/Database.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlValue.h"

#include <cmath>

LedgerPosting::LedgerPosting(Database* db)
    : m_db(db)
{}

int LedgerPosting::refuse(const QString& reason)
{
    m_reason = reason;
    return -1;
}

int LedgerPosting::accountId(const QString& code)
{
    const auto known = m_accounts.constFind(code);
    if (known != m_accounts.constEnd())
        return known.value();
    const int id =
        m_db->scalar(QStringLiteral("SELECT id FROM accounts WHERE code=?"), {code}).toInt();
    if (id > 0)
        m_accounts.insert(code, id);
    return id;
}

int LedgerPosting::knownAccount(int id)
{
    return m_db->scalar(QStringLiteral("SELECT id FROM accounts WHERE id=?"), {id}).toInt();
}

int LedgerPosting::post(const Entry& entry)
{
    m_reason.clear();
    if (!SqlValue::isIsoDate(entry.date))
        return refuse(Reasons::invalidDate());
    if (entry.lines.isEmpty())
        return refuse(Reasons::emptyEntry());

    // Everything is checked before the first write, so a refusal leaves no
    // row even when the caller goes on without rolling back.
    qint64 debitCents = 0;
    qint64 creditCents = 0;
    QList<int> accounts;
    accounts.reserve(entry.lines.size());
    for (const Line& line : entry.lines) {
        if (!Money::isNonNegative(line.debit) || !Money::isNonNegative(line.credit))
            return refuse(Reasons::invalidAmount());
        const int id =
            line.accountId > 0 ? knownAccount(line.accountId) : accountId(line.accountCode);
        if (id < 1)
            return refuse(Reasons::unknownAccount(
                line.accountId > 0 ? QString::number(line.accountId) : line.accountCode));
        accounts.append(id);
        debitCents += Money::toCents(line.debit);
        creditCents += Money::toCents(line.credit);
    }
    if (debitCents == 0)
        return refuse(Reasons::emptyEntry());
    // The sides are compared to the cent; a manual entry may differ by one
    // cent of rounding, as it always could.
    if (std::llabs(debitCents - creditCents) > 1)
        return refuse(Reasons::unbalancedEntry());

    const int entryId = m_db->execInsert(
        QStringLiteral("INSERT INTO journal_entries (entry_date,description,reference_type,"
                       "reference_id,reference,currency_id) VALUES (?,?,?,?,?,COALESCE(?,(SELECT "
                       "id FROM currencies ORDER BY is_primary DESC, id LIMIT 1)))"),
        {entry.date, entry.description, entry.referenceType, entry.referenceId,
         SqlValue::blankAsNull(entry.reference.trimmed()), SqlValue::idOrNull(entry.currencyId)});
    if (entryId < 1)
        return refuse(Reasons::database());

    for (int i = 0; i < entry.lines.size(); ++i) {
        const Line& line = entry.lines.at(i);
        const QString description =
            line.description.isEmpty() ? entry.description : line.description;
        if (m_db->execInsert(QStringLiteral("INSERT INTO journal_lines (entry_id,account_id,debit,"
                                            "credit,description) VALUES (?,?,?,?,?)"),
                             {entryId, accounts.at(i), line.debit, line.credit, description}) < 1 ||
            !m_db->execNonQuery(QStringLiteral("UPDATE accounts SET balance=balance+? WHERE id=?"),
                                {line.debit - line.credit, accounts.at(i)}))
            return refuse(Reasons::database());
    }
    return entryId;
}

int LedgerPosting::reverse(const QString& referenceType, int referenceId,
                           const QString& reversalType, const QString& date,
                           const QString& description)
{
    m_reason.clear();
    // What the event's entries and any earlier reversal of them leave on
    // each account, per currency: an event corrected into another currency
    // holds lines in both, and each is undone in its own. Reversing twice
    // therefore posts nothing the second time.
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT a.code, SUM(jl.debit-jl.credit) as net, je.currency_id FROM "
                       "journal_lines jl JOIN journal_entries je ON jl.entry_id=je.id JOIN "
                       "accounts a ON jl.account_id=a.id WHERE je.reference_id=? AND "
                       "je.reference_type IN (?,?) GROUP BY je.currency_id, a.code "
                       "ORDER BY je.currency_id, a.code"),
        {referenceId, referenceType, reversalType});
    QList<Entry> mirrors;
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        const double net = row.value(QStringLiteral("net")).toDouble();
        if (Money::toCents(net) == 0)
            continue;
        const int currencyId = row.value(QStringLiteral("currency_id")).toInt();
        if (mirrors.isEmpty() || mirrors.last().currencyId != currencyId) {
            Entry mirror;
            mirror.date = date;
            mirror.description = description;
            mirror.referenceType = reversalType;
            mirror.referenceId = referenceId;
            mirror.currencyId = currencyId;
            mirrors.append(mirror);
        }
        Line line;
        line.accountCode = row.value(QStringLiteral("code")).toString();
        if (net > 0)
            line.credit = net;
        else
            line.debit = -net;
        mirrors.last().lines.append(line);
    }
    int last = 0;
    for (const Entry& mirror : std::as_const(mirrors)) {
        last = post(mirror);
        if (last < 1)
            return -1;
    }
    return last;
}
