#include "core/LedgerPosting.h"

#include "core/CurrencyRates.h"
#include "core/Database.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"

#include <QSet>
#include <QStringList>

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

void LedgerPosting::learnAccounts(const QList<Line>& lines)
{
    // The codes not met before, looked up in one statement: on a server
    // each lookup is a round trip.
    QVariantList codes;
    for (const Line& line : lines) {
        if (line.accountId <= 0 && !m_accounts.contains(line.accountCode) &&
            !codes.contains(line.accountCode))
            codes.append(line.accountCode);
    }
    if (codes.size() < 2)
        return;
    const QVariantList rows =
        m_db->execQuery(QStringLiteral("SELECT id, code FROM accounts WHERE code IN (%1)")
                            .arg(SqlDialect::placeholders(int(codes.size()))),
                        codes);
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        m_accounts.insert(row.value(QStringLiteral("code")).toString(),
                          row.value(QStringLiteral("id")).toInt());
    }
}

int LedgerPosting::knownAccount(int id)
{
    return m_db->scalar(QStringLiteral("SELECT id FROM accounts WHERE id=?"), {id}).toInt();
}

int LedgerPosting::post(const Entry& entry)
{
    return write(entry, {});
}

QList<LedgerPosting::Primary> LedgerPosting::converted(const Entry& entry)
{
    if (!m_rates)
        m_rates = std::make_shared<CurrencyRates>(m_db, CurrencyRates::Read::WhenAsked);
    const int currency = entry.currencyId > 0 ? entry.currencyId : m_rates->primaryId();
    const double rate = m_rates->rateOn(currency, entry.date);
    QList<Primary> lines;
    if (rate <= 0) {
        for (int i = 0; i < entry.lines.size(); ++i)
            lines.append(Primary{});
        return lines;
    }
    qint64 debit = 0;
    qint64 credit = 0;
    int largestDebit = -1;
    int largestCredit = -1;
    QList<qint64> debits;
    QList<qint64> credits;
    for (int i = 0; i < entry.lines.size(); ++i) {
        const Line& line = entry.lines.at(i);
        debits.append(Money::toCents(line.debit * rate));
        credits.append(Money::toCents(line.credit * rate));
        debit += debits.last();
        credit += credits.last();
        if (largestDebit < 0 || debits.last() > debits.at(largestDebit))
            largestDebit = i;
        if (largestCredit < 0 || credits.last() > credits.at(largestCredit))
            largestCredit = i;
    }
    // Lines rounded one by one may leave a side a cent or two off the
    // converted total of the entry; the largest line of each side takes the
    // difference, so an entry that balances in its currency balances in the
    // primary one too.
    double total = 0;
    double net = 0;
    for (const Line& line : entry.lines) {
        total += line.debit;
        net += line.debit - line.credit;
    }
    if (Money::toCents(net) == 0) {
        const qint64 target = Money::toCents(total * rate);
        debits[largestDebit] += target - debit;
        credits[largestCredit] += target - credit;
    }
    for (int i = 0; i < entry.lines.size(); ++i)
        lines.append(Primary{debits.at(i) / 100.0, credits.at(i) / 100.0});
    return lines;
}

int LedgerPosting::write(const Entry& entry, const QList<Primary>& given)
{
    m_reason.clear();
    if (!SqlValue::isIsoDate(entry.date))
        return refuse(Reasons::invalidDate());
    if (entry.lines.isEmpty())
        return refuse(Reasons::emptyEntry());

    // Everything is checked before the first write, so a refusal leaves no
    // row even when the caller goes on without rolling back.
    // In mills, so a dinar entry of a few mills is an entry.
    qint64 debitMills = 0;
    qint64 creditMills = 0;
    learnAccounts(entry.lines);
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
        debitMills += Money::toMinor(line.debit, 3);
        creditMills += Money::toMinor(line.credit, 3);
    }
    if (debitMills == 0)
        return refuse(Reasons::emptyEntry());
    // A manual entry may differ by one cent of rounding, as it always could.
    if (std::llabs(debitMills - creditMills) > 10)
        return refuse(Reasons::unbalancedEntry());

    // The writes run through kept statements: a payment or an expense posts
    // the same few statements every time, and the lines' insert carries the
    // totals' trigger, which would otherwise be compiled again at each call.
    const int entryId = m_db->execKept(
        QStringLiteral("INSERT INTO journal_entries (entry_date,description,reference_type,"
                       "reference_id,reference,currency_id) VALUES (?,?,?,?,?,COALESCE(?,(SELECT "
                       "id FROM currencies ORDER BY is_primary DESC, id LIMIT 1)))"),
        {entry.date, entry.description, entry.referenceType, entry.referenceId,
         SqlValue::blankAsNull(entry.reference.trimmed()), SqlValue::idOrNull(entry.currencyId)});
    if (entryId < 1)
        return refuse(Reasons::database());

    const QList<Primary> primary = given.size() == entry.lines.size() ? given : converted(entry);
    // The lines in one statement and the balances in another: on a server
    // each statement is a round trip, and the totals' triggers there run
    // once per statement.
    QStringList rows;
    QVariantList values;
    for (int i = 0; i < entry.lines.size(); ++i) {
        const Line& line = entry.lines.at(i);
        rows.append(QLatin1Char('(') + SqlDialect::placeholders(7) + QLatin1Char(')'));
        values << entryId << accounts.at(i) << line.debit << line.credit
               << (line.description.isEmpty() ? entry.description : line.description)
               << primary.at(i).debit << primary.at(i).credit;
    }
    if (m_db->execKept(QStringLiteral("INSERT INTO journal_lines (entry_id,account_id,debit,"
                                      "credit,description,debit_primary,credit_primary) "
                                      "VALUES ") +
                           rows.join(QLatin1Char(',')),
                       values) < 1 ||
        !moveBalances(entry.lines, accounts))
        return refuse(Reasons::database());
    return entryId;
}

bool LedgerPosting::moveBalances(const QList<Line>& lines, const QList<int>& accounts)
{
    const QSet<int> distinct(accounts.cbegin(), accounts.cend());
    if (distinct.size() != accounts.size()) {
        // An account on several lines moves line by line, each amount added
        // to the balance in turn as it always was.
        for (int i = 0; i < lines.size(); ++i) {
            if (m_db->execKept(QStringLiteral("UPDATE accounts SET balance=balance+? WHERE id=?"),
                               {lines.at(i).debit - lines.at(i).credit, accounts.at(i)}) < 0)
                return false;
        }
        return true;
    }
    QString cases;
    QVariantList values;
    for (int i = 0; i < lines.size(); ++i) {
        cases += QStringLiteral(" WHEN ? THEN balance+?");
        values << accounts.at(i) << lines.at(i).debit - lines.at(i).credit;
    }
    values << SqlDialect::idList(m_db->engine(), accounts);
    return m_db->execKept(QStringLiteral("UPDATE accounts SET balance=CASE id") + cases +
                              QStringLiteral(" END WHERE ") +
                              SqlDialect::inIds(m_db->engine(), QStringLiteral("id")),
                          values) >= 0;
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
        QStringLiteral("SELECT a.code, SUM(jl.debit-jl.credit) as net, je.currency_id, "
                       "SUM(jl.debit_primary-jl.credit_primary) as net_primary, "
                       "COUNT(*)-COUNT(jl.debit_primary) as unconverted FROM journal_lines jl "
                       "JOIN journal_entries je ON jl.entry_id=je.id JOIN accounts a ON "
                       "jl.account_id=a.id WHERE je.reference_id=? AND je.reference_type IN "
                       "(?,?) GROUP BY je.currency_id, a.code ORDER BY je.currency_id, a.code"),
        {referenceId, referenceType, reversalType});
    // A mirror takes back what the entries hold in the primary currency too,
    // so an undone event leaves nothing there either, whatever the rate has
    // become since. Unconverted lines are converted afresh.
    struct Mirror
    {
        Entry entry;
        QList<Primary> primary;
        bool allConverted = true;
    };
    QList<Mirror> mirrors;
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        const double net = row.value(QStringLiteral("net")).toDouble();
        if (Money::toCents(net) == 0)
            continue;
        const int currencyId = row.value(QStringLiteral("currency_id")).toInt();
        if (mirrors.isEmpty() || mirrors.last().entry.currencyId != currencyId) {
            Mirror mirror;
            mirror.entry.date = date;
            mirror.entry.description = description;
            mirror.entry.referenceType = reversalType;
            mirror.entry.referenceId = referenceId;
            mirror.entry.currencyId = currencyId;
            mirrors.append(mirror);
        }
        Mirror& mirror = mirrors.last();
        Line line;
        line.accountCode = row.value(QStringLiteral("code")).toString();
        const double netPrimary = row.value(QStringLiteral("net_primary")).toDouble();
        mirror.allConverted =
            mirror.allConverted && row.value(QStringLiteral("unconverted")).toInt() == 0;
        if (net > 0) {
            line.credit = net;
            mirror.primary.append(Primary{0.0, netPrimary});
        } else {
            line.debit = -net;
            mirror.primary.append(Primary{-netPrimary, 0.0});
        }
        mirror.entry.lines.append(line);
    }
    int last = 0;
    for (const Mirror& mirror : std::as_const(mirrors)) {
        last = write(mirror.entry, mirror.allConverted ? mirror.primary : QList<Primary>());
        if (last < 1)
            return -1;
    }
    return last;
}
