#include "LedgerOffice.h"
#include "RentalRows.h"

#include "core/LedgerHistory.h"
#include "core/LedgerTotals.h"
#include "core/Schema.h"
#include "core/TransactionGuard.h"
#include "finance/CurrencyModel.h"
#include "finance/LedgerReports.h"

#include <QTest>

using LedgerOffice::item;
using LedgerOffice::Office;

namespace {

// Where the kept totals differ from the lines summed directly, per account,
// currency and day: "account/currency/day field kept≠direct"; empty when
// they agree to the cent.
QString totalsAgainstLines(TestDatabase& t)
{
    const QString direct =
        "SELECT l.account_id AS a, COALESCE(e.currency_id,(SELECT id FROM currencies ORDER BY "
        "is_primary DESC, id LIMIT 1)) AS c, substr(e.entry_date,1,10) AS d, COUNT(*) AS n, "
        "SUM(l.debit) AS dr, SUM(l.credit) AS cr, SUM(COALESCE(l.debit_primary,0)) AS dp, "
        "SUM(COALESCE(l.credit_primary,0)) AS cp, SUM(CASE WHEN l.debit_primary IS NULL THEN 1 "
        "ELSE 0 END) AS o, "
        "SUM(l.entry_id*CAST(round((l.debit-l.credit)*1000) AS INTEGER)) AS w FROM "
        "journal_lines l JOIN journal_entries e ON e.id=l.entry_id GROUP BY 1, 2, 3";
    const QString kept = "SELECT account_id AS a, currency_id AS c, day AS d, lines AS n, debit AS "
                         "dr, credit AS cr, debit_primary AS dp, credit_primary AS cp, open_lines "
                         "AS o, weighted AS w FROM ledger_day_totals WHERE lines<>0";
    QMap<QString, QVariantMap> left;
    QMap<QString, QVariantMap> right;
    const auto key = [](const QVariantMap& row) {
        return row.value("a").toString() + '/' + row.value("c").toString() + '/' +
               row.value("d").toString();
    };
    for (const QVariant& row : t.db()->execQuery(kept))
        left.insert(key(row.toMap()), row.toMap());
    for (const QVariant& row : t.db()->execQuery(direct))
        right.insert(key(row.toMap()), row.toMap());
    QStringList out;
    QStringList keys = left.keys() + right.keys();
    keys.removeDuplicates();
    for (const QString& k : keys) {
        for (const char* field : {"n", "dr", "cr", "dp", "cp", "o", "w"}) {
            const double a = left.value(k).value(field).toDouble();
            const double b = right.value(k).value(field).toDouble();
            if (std::fabs(a - b) >= 0.005)
                out << QStringLiteral("%1 %2 %3≠%4").arg(k, field).arg(a).arg(b);
        }
    }
    return out.join("; ");
}

// The account's lines read whole, as the ledger page shows them: line id and
// running balance per currency, oldest first.
QStringList wholeLedger(TestDatabase& t, int accountId)
{
    QStringList out;
    for (const QVariant& row : t.db()->execQuery(
             "SELECT jl.id, SUM(jl.debit-jl.credit) OVER (PARTITION BY "
             "e.currency_id ORDER BY e.entry_date, e.id, jl.id ROWS UNBOUNDED PRECEDING) AS b "
             "FROM journal_lines jl JOIN journal_entries e ON e.id=jl.entry_id WHERE "
             "jl.account_id=? ORDER BY e.entry_date, e.id, jl.id",
             {accountId}))
        out << row.toMap().value("id").toString() + '=' +
                   QString::number(row.toMap().value("b").toDouble(), 'f', 2);
    return out;
}

QStringList page(const QVariantMap& ledger)
{
    QStringList out;
    for (const QVariant& row : ledger.value("rows").toList())
        out << row.toMap().value("line_id").toString() + '=' +
                   QString::number(row.toMap().value("balance").toDouble(), 'f', 2);
    return out;
}

} // namespace

// The ledger's day totals against the lines they summarise, after every kind
// of change a file sees, and what reads them: account ledger pages and trial
// balances over a range.
class TestLedgerTotals : public QObject
{
    Q_OBJECT

private slots:
    // On a server, each rewrite of one totals row within a transaction
    // takes longer than the last: a rent run counted row by row spent most
    // of its time there. Its ledger totals are counted once after its
    // lines, its lists' once per statement, and still add up.
    void regressionRentRunRewroteItsTotalsRowByRow()
    {
        if (!TestDatabase::onPostgres())
            QSKIP("a file rewrites a row in place");
        Office o;
        Database* db = o.t.db();
        for (const char* name : {"ليلى حداد", "يوسف عودة", "هالة نصّار"}) {
            const int unit = RentalRows::unit(db, o.property, QString::fromUtf8(name).left(3));
            QVERIFY(RentalRows::contract(db, unit, RentalRows::tenant(db, QString::fromUtf8(name)),
                                         950) > 0);
        }
        {
            // Read before the commit: the calls of this transaction.
            TransactionGuard run(db);
            QCOMPARE(o.invoices.generateAllRent("2026-02"), 4);
            // Rows of the totals written or rewritten, against the rows
            // the run wrote: 4 invoices, their entries and 8 lines.
            const auto touched = [db](const char* table) {
                return db
                    ->scalar("SELECT n_tup_ins + n_tup_upd FROM pg_stat_xact_user_tables "
                             "WHERE relname=?",
                             {QString::fromLatin1(table)})
                    .toInt();
            };
            const int lines = db->scalar("SELECT COUNT(*) FROM journal_lines").toInt();
            QCOMPARE(lines, 8);
            // Two accounts on one day; the invoices, the open invoices and
            // the journal each on one key.
            QCOMPARE(touched("ledger_day_totals"), 2);
            QCOMPARE(touched("list_totals"), 3);
            QVERIFY(run.commit());
        }
        QCOMPARE(totalsAgainstLines(o.t), QString());
        QCOMPARE(o.t.value("SELECT SUM(row_count) FROM list_totals WHERE list LIKE 'invoices:%'")
                     .toInt(),
                 o.t.count("invoices"));
    }

    void totalsFollowEveryKindOfChange()
    {
        Office o;
        Database* db = o.t.db();
        CurrencyModel currencies(db);
        QCOMPARE(totalsAgainstLines(o.t), QString());
        QVERIFY(o.invoices.generateAllRent("2026-02") > 0);
        const int invoice = o.openInvoice(900);
        QVERIFY(o.payments.add(invoice, o.tenant, 400, "cash", "2026-03-04", "R-1", 1) > 0);
        QCOMPARE(totalsAgainstLines(o.t), QString());
        // Undone by reversal.
        QVERIFY(o.invoices.voidInvoice(invoice));
        const int expense =
            o.expenses.add(o.property, 0, 0, "كهرباء", "", "إنارة الدرج", 120, "2026-03-02", 1);
        QVERIFY(expense > 0);
        QVERIFY(o.expenses.removeExpense(expense));
        QCOMPARE(totalsAgainstLines(o.t), QString());
        // An invoice in dollars with no rate for its day stays unconverted,
        // until a rate covering the day is recorded.
        const int dollars = o.invoices.createInvoice(o.tenant, o.unit, "2026-03",
                                                     {item("صيانة مكيف", 250, "service")}, 2);
        QVERIFY(dollars > 0);
        QVERIFY(
            o.t.value("SELECT SUM(open_lines) FROM ledger_day_totals WHERE currency_id=2").toInt() >
            0);
        QVERIFY(currencies.recordRate(2, "2026-01-01", 3.6));
        QCOMPARE(o.t.value("SELECT SUM(open_lines) FROM ledger_day_totals").toInt(), 0);
        QCOMPARE(totalsAgainstLines(o.t), QString());
        // Rows changed or removed by hand (a repair of a file) move the totals too.
        QVERIFY(db->execNonQuery(
            "UPDATE journal_entries SET entry_date='2025-12-31' WHERE id=(SELECT MIN(id) FROM "
            "journal_entries)"));
        QVERIFY(db->execNonQuery(
            "DELETE FROM journal_lines WHERE id=(SELECT MAX(id) FROM journal_lines)"));
        QCOMPARE(totalsAgainstLines(o.t), QString());
    }

    // An older file: the table is missing and the history not yet posted;
    // the first start counts what is there and posts the past events once.
    void olderFileGainsItsTotalsOnce()
    {
        if (TestDatabase::onPostgres())
            QSKIP("an older version's office is a SQLite file, upgraded where it lies");
        Office o;
        QVERIFY(o.invoices.generateAllRent("2026-01") > 0);
        const int invoice = o.openInvoice(700);
        QVERIFY(o.payments.add(invoice, o.tenant, 700, "bank", "2026-03-09", "T-9", 1) > 0);
        QVERIFY(o.invoices.createInvoice(o.tenant, o.unit, "2026-03",
                                         {item("إيجار موقف", 90, "rent")}, 2) > 0);
        QVERIFY(o.expenses.add(o.property, 0, 0, "صيانة", "", "تصليح مصعد", 330, "2026-02-20", 1) >
                0);
        Database* db = o.t.db();
        QVERIFY(db->execNonQuery("DELETE FROM journal_lines WHERE entry_id IN (SELECT id FROM "
                                 "journal_entries WHERE reference_type!='manual')"));
        QVERIFY(db->execNonQuery("DELETE FROM journal_entries WHERE reference_type!='manual'"));
        QVERIFY(db->execNonQuery("UPDATE accounts SET balance=0"));
        for (const QString& trigger : LedgerTotals::triggerNames())
            QVERIFY(db->execNonQuery("DROP TRIGGER " + trigger));
        QVERIFY(db->execNonQuery("DROP TABLE ledger_day_totals"));
        QVERIFY(db->execNonQuery("UPDATE settings SET value='pending' WHERE key=?",
                                 {Schema::ledgerHistoryKey()}));
        QVERIFY(o.t.reopen());
        QCOMPARE(o.t.value("SELECT COUNT(*) FROM ledger_day_totals").toInt(), 0);

        QString reason;
        QVERIFY2(LedgerHistory::postPastEvents(o.t.db(), {}, &reason), qPrintable(reason));
        QVERIFY(o.t.value("SELECT COUNT(*) FROM ledger_day_totals").toInt() > 0);
        QCOMPARE(totalsAgainstLines(o.t), QString());
        // Primary-currency lines carry their primary amounts; the dollar
        // invoice (no rate) waits for one.
        QCOMPARE(o.t.value("SELECT COUNT(*) FROM journal_lines l JOIN journal_entries e ON "
                           "e.id=l.entry_id WHERE l.debit_primary IS NULL AND e.currency_id=1")
                     .toInt(),
                 0);
        QVERIFY(
            o.t.value("SELECT COUNT(*) FROM journal_lines WHERE debit_primary IS NULL").toInt() >
            0);
        // Kept balances are the lines' sums, and the books reconcile.
        QCOMPARE(o.t.value("SELECT COUNT(*) FROM accounts a WHERE ABS(balance-(SELECT "
                           "COALESCE(SUM(debit-credit),0) FROM journal_lines WHERE "
                           "account_id=a.id))>0.005")
                     .toInt(),
                 0);
        QCOMPARE(LedgerReports(o.t.db()).reconcile(), QVariantList());

        const int lines = o.t.count("journal_lines");
        QVERIFY(o.t.reopen());
        QVERIFY(LedgerHistory::postPastEvents(o.t.db(), {}, &reason));
        QCOMPARE(o.t.count("journal_lines"), lines);
        QCOMPARE(totalsAgainstLines(o.t), QString());
    }

    // Every page of a busy account, read through the day totals, matches
    // the account read whole; also the last page asked by a negative offset.
    // Pages in the later part of a long day are read from the day's end.
    void accountPagesMatchTheWholeAccount_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("longDay"); // where 60 of the entries are
        QTest::newRow("pages of 7") << 7 << QString();
        QTest::newRow("pages of 50") << 50 << QString();
        QTest::newRow("one page for all") << 500 << QString();
        QTest::newRow("pages of 7, a long day") << 7 << QStringLiteral("2026-01-20");
        QTest::newRow("pages of 25, a long day") << 25 << QStringLiteral("2026-01-20");
        QTest::newRow("pages of 7, the last day long") << 7 << QStringLiteral("2026-03-01");
    }
    void accountPagesMatchTheWholeAccount()
    {
        QFETCH(int, limit);
        QFETCH(QString, longDay);
        Office o;
        AccountModel& accounts = o.accounts;
        const int cash = o.t.value("SELECT id FROM accounts WHERE code='1100'").toInt();
        const int revenue = o.t.value("SELECT id FROM accounts WHERE code='4200'").toInt();
        const int expenses = o.t.value("SELECT id FROM accounts WHERE code='5200'").toInt();
        // Entries out of date order, several a day, in two currencies, with
        // days where the cash account is quiet.
        for (int i = 0; i < 90; ++i) {
            const QString date =
                !longDay.isEmpty() && i % 3 != 2
                    ? longDay
                    : QDate(2026, 1, 1).addDays((i * 37) % 45).toString(Qt::ISODate);
            const bool in = i % 3 != 0;
            const double amount = 10 + (i * 7) % 95 + 0.25;
            const int entry = accounts.createJournalEntry(
                date, in ? "إيراد متنوع" : "مصروف متنوع", "manual", 0,
                {QVariantMap{{"account_id", in ? cash : expenses}, {"debit", amount}},
                 QVariantMap{{"account_id", in ? revenue : cash}, {"credit", amount}}});
            QVERIFY(entry > 0);
            if (i % 4 == 0)
                QVERIFY(o.t.db()->execNonQuery(
                    "UPDATE journal_entries SET currency_id=2 WHERE id=?", {entry}));
        }
        const QStringList whole = wholeLedger(o.t, cash);
        QCOMPARE(whole.size(), 90);
        LedgerReports reports(o.t.db());
        QStringList paged;
        for (int offset = 0; offset < whole.size(); offset += limit) {
            const QVariantMap ledger = reports.accountLedger(cash, offset, limit);
            QCOMPARE(ledger.value("total").toInt(), 90);
            paged += page(ledger);
        }
        QCOMPARE(paged, whole);
        const QStringList last = page(reports.accountLedger(cash, -1, limit));
        QCOMPARE(last, whole.mid((whole.size() - 1) / limit * limit));
        QVERIFY(page(reports.accountLedger(cash, 90, limit)).isEmpty());
    }

    // A range that cuts through days of several months: the trial balance
    // equals the lines dated inside it.
    void trialBalanceOverARangeCountsTheLinesInside()
    {
        Office o;
        for (const char* period : {"2025-11", "2025-12", "2026-01", "2026-02"})
            QVERIFY(o.invoices.generateAllRent(period) > 0);
        QVERIFY(o.payments.add(o.lastId("invoices"), o.tenant, 300, "cash", "2026-01-17", "", 1) >
                0);
        LedgerReports reports(o.t.db());
        for (const auto& range : QList<QPair<QString, QString>>{{"2025-12-15", "2026-01-31"},
                                                                {"2026-01-17", "2026-01-17"},
                                                                {"2026-02-01", "2025-01-01"}}) {
            double debit = 0;
            for (const QVariant& row :
                 reports.trialBalance(range.first, range.second).value("rows").toList())
                debit += row.toMap().value("debit").toDouble();
            const double direct =
                o.t.value("SELECT COALESCE(SUM(l.debit),0) FROM journal_lines l JOIN "
                          "journal_entries e ON e.id=l.entry_id WHERE e.entry_date BETWEEN ? AND ?",
                          {range.first, range.second})
                    .toDouble();
            QCOMPARE(QString::number(debit, 'f', 2), QString::number(direct, 'f', 2));
        }
    }
};

QTEST_GUILESS_MAIN(TestLedgerTotals)
#include "tst_ledgertotals.moc"
