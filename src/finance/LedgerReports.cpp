#include "finance/LedgerReports.h"

#include "core/ListTotals.h"

#include "core/Database.h"
#include "core/LedgerDayBalance.h"
#include "core/LedgerTotals.h"
#include "core/Money.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"
#include "finance/ContractorBalance.h"
#include "finance/LedgerSources.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

// Two sums of money agree when they are within half a cent.
constexpr double kTolerance = 0.005;

// The events the rows (entries, or lines with their entry's columns) name.
QList<QPair<QString, int>> eventsOf(const QVariantList& rows)
{
    QList<QPair<QString, int>> events;
    events.reserve(rows.size());
    for (const QVariant& row : rows) {
        const QVariantMap map = row.toMap();
        events.append({map.value(QStringLiteral("reference_type")).toString(),
                       map.value(QStringLiteral("reference_id")).toInt()});
    }
    return events;
}

bool differs(double a, double b)
{
    return !(std::fabs(a - b) <= kTolerance);
}

// Sums carry binary noise; what is shown and compared is in cents, and a
// tiny negative never reads "-0.00".
double cents(double amount)
{
    const double rounded = Money::roundToCents(amount);
    return rounded == 0 ? 0.0 : rounded;
}

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

LedgerReports::LedgerReports(Database* db)
    : m_db(db)
{}

QString LedgerReports::entryCurrency() const
{
    // Files written before entries kept their currency have no such column;
    // every entry of theirs is in the primary currency. A server's always has.
    const bool kept = m_db->isPostgres() ||
                      m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM "
                                                  "pragma_table_info('journal_entries') WHERE "
                                                  "name='currency_id'"))
                              .toInt() > 0;
    return kept ? QStringLiteral("COALESCE(je.currency_id,?)") : QStringLiteral("(0+?)");
}

void LedgerReports::loadCurrencies() const
{
    m_currencies.clear();
    m_primaryId = 0;
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT id, code, symbol, is_primary FROM currencies ORDER BY id"));
    for (const QVariant& element : rows) {
        const QVariantMap row = element.toMap();
        const int id = row.value(QStringLiteral("id")).toInt();
        m_currencies.insert(id, {row.value(QStringLiteral("code")).toString(),
                                 row.value(QStringLiteral("symbol")).toString()});
        if (row.value(QStringLiteral("is_primary")).toInt() == 1 && m_primaryId == 0)
            m_primaryId = id;
    }
    // An office that never chose one keeps its amounts in the first currency.
    if (m_primaryId == 0 && !rows.isEmpty())
        m_primaryId = rows.first().toMap().value(QStringLiteral("id")).toInt();
}

void LedgerReports::putCurrency(QVariantMap& row, int currencyId) const
{
    const int id = m_currencies.contains(currencyId) ? currencyId : m_primaryId;
    const Currency currency = m_currencies.value(id);
    row.insert(QStringLiteral("currency_id"), id);
    row.insert(QStringLiteral("currency_code"), currency.code);
    row.insert(QStringLiteral("currency_symbol"), currency.symbol);
}

LedgerReports::Sums LedgerReports::sumsOf(const QString& sql, const QVariantList& params) const
{
    Sums sums;
    for (const QVariant& element : m_db->execQuery(sql, params)) {
        const QVariantMap row = element.toMap();
        int currency = row.value(QStringLiteral("cur")).toInt();
        if (!m_currencies.contains(currency))
            currency = m_primaryId;
        sums[currency] += row.value(QStringLiteral("t")).toDouble();
    }
    return sums;
}

LedgerReports::Movements LedgerReports::movements() const
{
    Movements moved;
    for (const QVariant& element : m_db->execQuery(QStringLiteral(
             "SELECT account_id, currency_id AS cur, SUM(debit) AS d, SUM(credit) AS c FROM "
             "ledger_day_totals GROUP BY account_id, currency_id"))) {
        const QVariantMap row = element.toMap();
        moved.byAccount[row.value(QStringLiteral("account_id")).toInt()].insert(
            row.value(QStringLiteral("cur")).toInt(),
            {row.value(QStringLiteral("d")).toDouble(), row.value(QStringLiteral("c")).toDouble()});
    }
    moved.accounts = m_db->execQuery(
        QStringLiteral("SELECT id, code, name_ar, parent_id, COALESCE(balance,0) AS kept FROM "
                       "accounts ORDER BY code"));
    return moved;
}

LedgerReports::Sums LedgerReports::accountSums(const Movements& moved, const QString& code) const
{
    // The account itself and the accounts directly under it.
    QSet<int> parents;
    for (const QVariant& element : moved.accounts) {
        const QVariantMap row = element.toMap();
        if (row.value(QStringLiteral("code")).toString() == code)
            parents.insert(row.value(QStringLiteral("id")).toInt());
    }
    Sums sums;
    for (const QVariant& element : moved.accounts) {
        const QVariantMap row = element.toMap();
        const int id = row.value(QStringLiteral("id")).toInt();
        const QVariant parent = row.value(QStringLiteral("parent_id"));
        if (!parents.contains(id) && (parent.isNull() || !parents.contains(parent.toInt())))
            continue;
        const auto lines = moved.byAccount.constFind(id);
        if (lines == moved.byAccount.constEnd())
            continue;
        for (auto it = lines->begin(); it != lines->end(); ++it) {
            const int currency = m_currencies.contains(it.key()) ? it.key() : m_primaryId;
            sums[currency] += it->first - it->second;
        }
    }
    return sums;
}

QVariantMap LedgerReports::finding(const QString& check, const QString& subject, int currencyId,
                                   const QString& ledgerLabel, double ledger,
                                   const QString& recordsLabel, double records) const
{
    QVariantMap row{{QStringLiteral("check"), check},
                    {QStringLiteral("subject"), subject},
                    {QStringLiteral("ledger_label"), ledgerLabel},
                    {QStringLiteral("ledger"), cents(ledger)},
                    {QStringLiteral("records_label"), recordsLabel},
                    {QStringLiteral("records"), cents(records)},
                    {QStringLiteral("difference"), cents(ledger - records)}};
    putCurrency(row, currencyId);
    return row;
}

void LedgerReports::compare(QVariantList& findings, const QString& check,
                            const QString& ledgerLabel, const Sums& ledger,
                            const QString& recordsLabel, const Sums& records) const
{
    QList<int> currencies = ledger.keys();
    for (int id : records.keys())
        if (!ledger.contains(id))
            currencies.append(id);
    std::sort(currencies.begin(), currencies.end());
    for (int id : currencies) {
        const double a = ledger.value(id);
        const double b = records.value(id);
        if (differs(a, b))
            findings.append(finding(check, QString(), id, ledgerLabel, a, recordsLabel, b));
    }
}

QVariantList LedgerReports::reconcile() const
{
    loadCurrencies();
    const QString cur = entryCurrency();
    QVariantList findings;

    // What the journal moved per account and currency, from the ledger's
    // totals (kept line by line by the database itself): the whole
    // journal's debits and credits, each account's movement and the control
    // accounts' balances below are all added up from these few rows.
    const Movements moved = movements();
    QMap<int, QPair<double, double>> journal;
    for (auto account = moved.byAccount.begin(); account != moved.byAccount.end(); ++account) {
        for (auto it = account->begin(); it != account->end(); ++it) {
            journal[it.key()].first += it->first;
            journal[it.key()].second += it->second;
        }
    }
    for (auto it = journal.begin(); it != journal.end(); ++it) {
        if (differs(it->first, it->second))
            findings.append(finding(s("تساوي مجموع المدين ومجموع الدائن"), QString(), it.key(),
                                    s("مجموع المدين"), it->first, s("مجموع الدائن"), it->second));
    }

    // The days whose entries do not add up: a day is out when its debits and
    // credits differ or, should another entry of the day and currency be out
    // by exactly the opposite, when its entry-weighted sum is not 0 (kept per
    // currency and day as the totals change). A broken file could hold many
    // such days; the first ones say enough.
    const QStringList days = LedgerDayBalance::outOfBalanceDays(m_db, 50);

    // Each entry of those days on its own.
    QVariantList entries;
    for (const QString& date : days) {
        if (entries.size() >= 50)
            break;
        entries += m_db->execQuery(
            QStringLiteral("SELECT je.id, je.entry_date, je.description, ") + cur +
                QStringLiteral(" AS cur, SUM(jl.debit) AS d, SUM(jl.credit) AS c FROM "
                               "journal_entries je JOIN journal_lines jl ON jl.entry_id=je.id "
                               "WHERE je.entry_date>=? AND je.entry_date<? GROUP BY je.id HAVING "
                               "ABS(SUM(jl.debit)-SUM(jl.credit)) > ? ORDER BY je.entry_date, "
                               "je.id LIMIT ?"),
            {m_primaryId, date, date + QStringLiteral("~"), kTolerance, 50 - entries.size()});
    }
    for (const QVariant& element : entries) {
        const QVariantMap row = element.toMap();
        QString subject = s("قيد رقم ") + row.value(QStringLiteral("id")).toString() +
                          QStringLiteral(" (") +
                          row.value(QStringLiteral("entry_date")).toString() + QLatin1Char(')');
        const QString description = row.value(QStringLiteral("description")).toString().trimmed();
        if (!description.isEmpty())
            subject += QStringLiteral(" - ") + description;
        findings.append(finding(s("توازن القيد"), subject, row.value(QStringLiteral("cur")).toInt(),
                                s("المدين"), row.value(QStringLiteral("d")).toDouble(), s("الدائن"),
                                row.value(QStringLiteral("c")).toDouble()));
    }

    // Each account's kept balance against its lines.
    for (const QVariant& element : moved.accounts) {
        const QVariantMap row = element.toMap();
        const double kept = row.value(QStringLiteral("kept")).toDouble();
        double movement = 0;
        const auto lines = moved.byAccount.constFind(row.value(QStringLiteral("id")).toInt());
        if (lines != moved.byAccount.constEnd()) {
            for (const QPair<double, double>& sums : *lines)
                movement += sums.first - sums.second;
        }
        if (differs(kept, movement))
            findings.append(
                finding(s("رصيد الحساب"),
                        row.value(QStringLiteral("code")).toString() + QLatin1Char(' ') +
                            row.value(QStringLiteral("name_ar")).toString(),
                        m_primaryId, s("الرصيد المسجل"), kept, s("مجموع الحركات"), movement));
    }

    // The totals the database keeps of invoices and cheques as they are
    // written (see ListTotals): a long history holds a great many of both.
    // Every server keeps them; an older file may not yet.
    const bool kept = m_db->isPostgres() ||
                      m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE "
                                                  "type='table' AND name='list_totals'"))
                              .toInt() > 0;

    // Receivables: what tenants owe on invoices not voided (whatever their
    // status, none included) and buyers on their instalments.
    const ListTotals::Kept* invoices = ListTotals::find(ListTotals::kInvoices);
    QVariantList invoiceParams{m_primaryId};
    invoiceParams << ListTotals::listValues(*invoices) << invoices->list + QStringLiteral(":void");
    Sums owed =
        kept ? sumsOf(QStringLiteral("SELECT CASE WHEN currency_id=-1 THEN ? ELSE currency_id END "
                                     "AS cur, SUM(c2)/100.0+SUM(r2) AS t FROM list_totals WHERE ") +
                          ListTotals::listCondition(*invoices, false) +
                          QStringLiteral(" AND list<>? AND row_count<>0 GROUP BY cur"),
                      invoiceParams)
             : sumsOf(QStringLiteral("SELECT COALESCE(currency_id,?) AS cur, SUM(balance) AS t "
                                     "FROM invoices WHERE balance<>0 AND COALESCE(status,'')<>"
                                     "'void' GROUP BY cur"),
                      {m_primaryId});
    const Sums instalments = sumsOf(
        QStringLiteral("SELECT COALESCE(currency_id,?) AS cur, "
                       "SUM(installment_amount-COALESCE(paid_amount,0)) AS t FROM installments "
                       "GROUP BY cur"),
        {m_primaryId});
    for (auto it = instalments.begin(); it != instalments.end(); ++it)
        owed[it.key()] += it.value();
    compare(findings, s("الذمم المدينة (1200)"), s("رصيد الدفتر"),
            accountSums(moved, QStringLiteral("1200")), s("الفواتير المفتوحة والأقساط غير المسددة"),
            owed);

    // Payables: a credit balance in the ledger, what contractors are owed.
    Sums payable = accountSums(moved, QStringLiteral("2100"));
    for (auto it = payable.begin(); it != payable.end(); ++it)
        it.value() = -it.value();
    Sums contractors;
    const QHash<int, double> owedToContractors = ContractorBalance(m_db).totals();
    for (auto it = owedToContractors.begin(); it != owedToContractors.end(); ++it)
        contractors[it.key()] += it.value();
    compare(findings, s("الذمم الدائنة (2100)"), s("رصيد الدفتر"), payable, s("أرصدة المقاولين"),
            contractors);

    // Cheques received for a payment or an instalment and not yet cashed or
    // returned (one kept for follow-up only is not the office's money).
    const Sums pending =
        kept ? sumsOf(QStringLiteral("SELECT CASE WHEN currency_id=-1 THEN ? ELSE currency_id END "
                                     "AS cur, SUM(c0)/100.0+SUM(r0) AS t FROM list_totals "
                                     "WHERE list=? AND row_count<>0 GROUP BY cur"),
                      {m_primaryId, ListTotals::kPendingCheques})
             : sumsOf(QStringLiteral(
                          "SELECT COALESCE(currency_id,?) AS cur, SUM(amount) AS t FROM cheques "
                          "WHERE type='received' AND status='pending' AND (payment_id IS NOT "
                          "NULL OR installment_id IS NOT NULL) GROUP BY cur"),
                      {m_primaryId});
    compare(findings, s("شيكات برسم التحصيل (1300)"), s("رصيد الدفتر"),
            accountSums(moved, QStringLiteral("1300")), s("الشيكات الواردة المعلقة"), pending);
    return findings;
}

QVariantMap LedgerReports::trialBalance(const QString& from, const QString& to) const
{
    loadCurrencies();
    const bool ranged = !from.isEmpty() && !to.isEmpty();
    QHash<int, QVariantMap> accounts;
    for (const QVariant& element :
         m_db->execQuery(QStringLiteral("SELECT id, code, name_ar, type FROM accounts"))) {
        const QVariantMap account = element.toMap();
        accounts.insert(account.value(QStringLiteral("id")).toInt(), account);
    }
    // By account code, then currency.
    QMap<QPair<QString, int>, QVariantMap> sorted;
    for (const QVariant& element :
         LedgerTotals::sums(m_db, ranged ? from : QString(), ranged ? to : QString())) {
        QVariantMap source = element.toMap();
        const QVariantMap account =
            accounts.value(source.value(QStringLiteral("account_id")).toInt());
        if (account.isEmpty())
            continue;
        source.insert(QStringLiteral("id"), account.value(QStringLiteral("id")));
        source.insert(QStringLiteral("code"), account.value(QStringLiteral("code")));
        source.insert(QStringLiteral("name_ar"), account.value(QStringLiteral("name_ar")));
        source.insert(QStringLiteral("type"), account.value(QStringLiteral("type")));
        source.insert(QStringLiteral("d"), source.value(QStringLiteral("debit")));
        source.insert(QStringLiteral("c"), source.value(QStringLiteral("credit")));
        source.insert(QStringLiteral("cur"), source.value(QStringLiteral("currency_id")));
        sorted.insert({account.value(QStringLiteral("code")).toString(),
                       source.value(QStringLiteral("currency_id")).toInt()},
                      source);
    }

    QVariantList rows;
    QMap<int, QPair<double, double>> totals;
    for (const QVariantMap& source : std::as_const(sorted)) {
        const double debit = source.value(QStringLiteral("d")).toDouble();
        const double credit = source.value(QStringLiteral("c")).toDouble();
        QVariantMap row{{QStringLiteral("account_id"), source.value(QStringLiteral("id"))},
                        {QStringLiteral("code"), source.value(QStringLiteral("code"))},
                        {QStringLiteral("name_ar"), source.value(QStringLiteral("name_ar"))},
                        {QStringLiteral("type"), source.value(QStringLiteral("type"))},
                        {QStringLiteral("debit"), cents(debit)},
                        {QStringLiteral("credit"), cents(credit)},
                        {QStringLiteral("balance"), cents(debit - credit)}};
        putCurrency(row, source.value(QStringLiteral("cur")).toInt());
        auto& total = totals[row.value(QStringLiteral("currency_id")).toInt()];
        total.first += debit;
        total.second += credit;
        rows.append(row);
    }

    QVariantList totalRows;
    for (auto it = totals.begin(); it != totals.end(); ++it) {
        QVariantMap row{{QStringLiteral("debit"), cents(it.value().first)},
                        {QStringLiteral("credit"), cents(it.value().second)},
                        {QStringLiteral("balance"), cents(it.value().first - it.value().second)}};
        putCurrency(row, it.key());
        totalRows.append(row);
    }
    return {{QStringLiteral("rows"), rows}, {QStringLiteral("totals"), totalRows}};
}

QVariantMap LedgerReports::accountLedger(int accountId, int offset, int limit) const
{
    const QVariantMap account = SqlValue::firstRow(m_db->execQuery(
        QStringLiteral("SELECT id, code, name_ar, type FROM accounts WHERE id=?"), {accountId}));
    if (account.isEmpty())
        return {};
    loadCurrencies();
    limit = std::clamp(limit, 1, 500);
    const QString cur = entryCurrency();
    // The account's days with their number of lines, oldest first: where a
    // page starts and ends is found here, and only the lines of those days
    // are read.
    const QVariantList days = m_db->execQuery(
        QStringLiteral("SELECT day, SUM(lines) AS n FROM ledger_day_totals WHERE account_id=? "
                       "GROUP BY day HAVING SUM(lines)<>0 ORDER BY day"),
        {accountId});
    qint64 total = 0;
    for (const QVariant& day : days)
        total += day.toMap().value(QStringLiteral("n")).toLongLong();
    // A negative offset asks for the last page, where the recent entries are.
    if (offset < 0)
        offset = total > 0 ? int((total - 1) / limit * limit) : 0;

    QVariantMap result{{QStringLiteral("account_id"), account.value(QStringLiteral("id"))},
                       {QStringLiteral("code"), account.value(QStringLiteral("code"))},
                       {QStringLiteral("name_ar"), account.value(QStringLiteral("name_ar"))},
                       {QStringLiteral("type"), account.value(QStringLiteral("type"))},
                       {QStringLiteral("offset"), offset},
                       {QStringLiteral("limit"), limit}};
    result.insert(QStringLiteral("total"), total);

    QVariantList closing;
    const QString sumsSql =
        QStringLiteral("SELECT currency_id AS cur, SUM(debit-credit) AS t FROM ledger_day_totals "
                       "WHERE account_id=? AND day<? GROUP BY cur ORDER BY cur");
    for (const QVariant& element : m_db->execQuery(sumsSql, {accountId, QStringLiteral("~")})) {
        QVariantMap row{{QStringLiteral("balance"),
                         cents(element.toMap().value(QStringLiteral("t")).toDouble())}};
        putCurrency(row, element.toMap().value(QStringLiteral("cur")).toInt());
        closing.append(row);
    }
    result.insert(QStringLiteral("closing"), closing);

    // The days the page spans, and how many lines of its first day come
    // before it.
    qint64 before = 0;
    int first = 0;
    while (first < days.size() &&
           before + days.at(first).toMap().value(QStringLiteral("n")).toLongLong() <= offset)
        before += days.at(first++).toMap().value(QStringLiteral("n")).toLongLong();
    QVariantList lines;
    if (first < days.size()) {
        int last = first;
        qint64 upTo = before + days.at(first).toMap().value(QStringLiteral("n")).toLongLong();
        while (upTo < offset + limit && last + 1 < days.size())
            upTo += days.at(++last).toMap().value(QStringLiteral("n")).toLongLong();
        const QString from = days.at(first).toMap().value(QStringLiteral("day")).toString();
        const QString to =
            days.at(last).toMap().value(QStringLiteral("day")).toString() + QStringLiteral("~");
        // The page's lines, and those of its days before it (from the first
        // day's start) or after it (to the last day's end): whichever are
        // fewer are read with it. A day of a rent run holds thousands of
        // lines of one account, and its last page is the one opened first.
        const qint64 pageLines = std::min<qint64>(offset + limit, upTo) - offset;
        const qint64 skipBefore = offset - before;
        const qint64 skipAfter = upTo - offset - pageLines;
        const bool fromEnd = skipAfter < skipBefore;
        // Through the days' entries, or through the account's lines: the
        // fewer rows. The days of a busy account hold few entries of others;
        // a quiet account has few lines in all.
        const qint64 dayLines =
            m_db->scalar(QStringLiteral("SELECT COALESCE(SUM(lines),0) FROM ledger_day_totals "
                                        "WHERE day>=? AND day<?"),
                         {from, to})
                .toLongLong();
        const bool byDays = dayLines < total;
        const QString columns =
            QStringLiteral("SELECT jl.id AS line_id, je.id AS entry_id, je.entry_date, "
                           "je.description, jl.description AS line_description, "
                           "je.reference_type, je.reference_id, je.reference, ") +
            cur + QStringLiteral(" AS cur, jl.debit, jl.credit FROM ");
        const SqlDialect::Engine engine = m_db->engine();
        const QString where =
            byDays ? QStringLiteral("journal_entries je JOIN journal_lines jl ON jl.entry_id=je.id "
                                    "WHERE je.entry_date>=? AND je.entry_date<? AND ") +
                         SqlDialect::unindexed(engine, QStringLiteral("jl.account_id")) +
                         QStringLiteral("=?")
                   : QStringLiteral("journal_lines jl JOIN journal_entries je ON je.id=jl.entry_id "
                                    "WHERE ") +
                         SqlDialect::unindexed(engine, QStringLiteral("je.entry_date")) +
                         QStringLiteral(">=? AND ") +
                         SqlDialect::unindexed(engine, QStringLiteral("je.entry_date")) +
                         QStringLiteral("<? AND jl.account_id=?");
        const QString order = fromEnd ? QStringLiteral(" ORDER BY je.entry_date DESC, je.id DESC, "
                                                       "jl.id DESC LIMIT ?")
                                      : QStringLiteral(" ORDER BY je.entry_date, je.id, jl.id "
                                                       "LIMIT ?");
        lines = m_db->execQuery(
            columns + where + order,
            {m_primaryId, from, to, accountId, (fromEnd ? skipAfter : skipBefore) + pageLines});
        // The running balance starts from everything before the first day
        // and the lines of that day before the page; read from the end, it
        // is everything up to the last day's end less the lines after each.
        Sums running;
        for (const QVariant& element : m_db->execQuery(sumsSql, {accountId, fromEnd ? to : from})) {
            const QVariantMap row = element.toMap();
            running[row.value(QStringLiteral("cur")).toInt()] +=
                row.value(QStringLiteral("t")).toDouble();
        }
        for (QVariant& element : lines) {
            QVariantMap line = element.toMap();
            double& balance = running[line.value(QStringLiteral("cur")).toInt()];
            const double moved = line.value(QStringLiteral("debit")).toDouble() -
                                 line.value(QStringLiteral("credit")).toDouble();
            if (fromEnd) {
                line.insert(QStringLiteral("running"), balance);
                balance -= moved;
            } else {
                balance += moved;
                line.insert(QStringLiteral("running"), balance);
            }
            element = line;
        }
        if (fromEnd) {
            std::reverse(lines.begin(), lines.end());
            lines = lines.mid(0, int(pageLines));
        } else {
            lines = lines.mid(int(skipBefore));
        }
    }

    LedgerSources sources(m_db);
    sources.prepare(eventsOf(lines));
    QVariantList rows;
    for (const QVariant& element : lines) {
        const QVariantMap line = element.toMap();
        QString description = line.value(QStringLiteral("description")).toString().trimmed();
        if (description.isEmpty())
            description = line.value(QStringLiteral("line_description")).toString().trimmed();
        QVariantMap row{
            {QStringLiteral("line_id"), line.value(QStringLiteral("line_id"))},
            {QStringLiteral("entry_id"), line.value(QStringLiteral("entry_id"))},
            {QStringLiteral("entry_date"), line.value(QStringLiteral("entry_date"))},
            {QStringLiteral("description"), description},
            {QStringLiteral("reference"), line.value(QStringLiteral("reference"))},
            {QStringLiteral("source"),
             sources.describe(line.value(QStringLiteral("reference_type")).toString(),
                              line.value(QStringLiteral("reference_id")).toInt())},
            {QStringLiteral("debit"), cents(line.value(QStringLiteral("debit")).toDouble())},
            {QStringLiteral("credit"), cents(line.value(QStringLiteral("credit")).toDouble())},
            {QStringLiteral("balance"), cents(line.value(QStringLiteral("running")).toDouble())}};
        putCurrency(row, line.value(QStringLiteral("cur")).toInt());
        rows.append(row);
    }
    result.insert(QStringLiteral("rows"), rows);
    return result;
}

QVariantList LedgerReports::linesOf(int entryId) const
{
    QVariantList lines;
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT jl.account_id, a.code, a.name_ar, jl.debit, jl.credit, "
                       "jl.description FROM journal_lines jl LEFT JOIN accounts a ON "
                       "jl.account_id=a.id WHERE jl.entry_id=? ORDER BY jl.id"),
        {entryId});
    for (const QVariant& element : rows) {
        QVariantMap line = element.toMap();
        line.insert(QStringLiteral("debit"), cents(line.value(QStringLiteral("debit")).toDouble()));
        line.insert(QStringLiteral("credit"),
                    cents(line.value(QStringLiteral("credit")).toDouble()));
        lines.append(line);
    }
    return lines;
}

void LedgerReports::describeEntries(QVariantList& entries) const
{
    loadCurrencies();
    LedgerSources sources(m_db);
    sources.prepare(eventsOf(entries));
    for (QVariant& element : entries) {
        QVariantMap entry = element.toMap();
        const QVariantList lines = linesOf(entry.value(QStringLiteral("id")).toInt());
        double debit = 0;
        double credit = 0;
        for (const QVariant& line : lines) {
            debit += line.toMap().value(QStringLiteral("debit")).toDouble();
            credit += line.toMap().value(QStringLiteral("credit")).toDouble();
        }
        entry.insert(QStringLiteral("line_items"), lines);
        entry.insert(QStringLiteral("total_debit"), cents(debit));
        entry.insert(QStringLiteral("total_credit"), cents(credit));
        entry.insert(QStringLiteral("source"),
                     sources.describe(entry.value(QStringLiteral("reference_type")).toString(),
                                      entry.value(QStringLiteral("reference_id")).toInt()));
        // No currency (or no such column) is the primary currency.
        putCurrency(entry, entry.value(QStringLiteral("currency_id")).toInt());
        element = entry;
    }
}

QVariantMap LedgerReports::journalEntry(int entryId) const
{
    const QVariantMap entry = SqlValue::firstRow(
        m_db->execQuery(QStringLiteral("SELECT * FROM journal_entries WHERE id=?"), {entryId}));
    if (entry.isEmpty())
        return {};
    QVariantList one{entry};
    describeEntries(one);
    return one.first().toMap();
}
