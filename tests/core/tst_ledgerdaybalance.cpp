#include "LedgerOffice.h"

#include "core/LedgerDayBalance.h"

#include <QTest>

using LedgerOffice::item;
using LedgerOffice::Office;

namespace {

// Where the kept balance per currency and day differs from the day totals
// added up afresh: "currency/day field kept≠counted"; empty when they agree.
QString keptAgainstTotals(TestDatabase& t)
{
    const QString counted =
        "SELECT currency_id AS c, day AS d, COUNT(*) AS n, SUM(debit-credit) AS net, "
        "SUM(weighted) AS w FROM ledger_day_totals GROUP BY currency_id, day";
    const QString kept = "SELECT currency_id AS c, day AS d, accounts AS n, net, weighted AS w "
                         "FROM ledger_day_balance WHERE accounts<>0";
    QMap<QString, QVariantMap> left;
    QMap<QString, QVariantMap> right;
    const auto key = [](const QVariantMap& row) {
        return row.value("c").toString() + '/' + row.value("d").toString();
    };
    for (const QVariant& row : t.db()->execQuery(kept))
        left.insert(key(row.toMap()), row.toMap());
    for (const QVariant& row : t.db()->execQuery(counted))
        right.insert(key(row.toMap()), row.toMap());
    QStringList out;
    QStringList keys = left.keys() + right.keys();
    keys.removeDuplicates();
    for (const QString& k : keys) {
        for (const char* field : {"n", "net", "w"}) {
            const double a = left.value(k).value(field).toDouble();
            const double b = right.value(k).value(field).toDouble();
            if (std::fabs(a - b) >= 0.000001)
                out << QStringLiteral("%1 %2 %3≠%4").arg(k, field).arg(a).arg(b);
        }
    }
    return out.join("; ");
}

} // namespace

// The journal's balance kept per currency and day against the ledger's day
// totals it follows, and the days out of balance read from it against the
// same days found by adding up the totals, in the primary currency and in
// dollars.
class TestLedgerDayBalance : public QObject
{
    Q_OBJECT

private slots:
    void keptDaysFollowEveryChange()
    {
        Office o;
        Database* db = o.t.db();
        QVERIFY(o.invoices.generateAllRent("2026-02") > 0);
        const int invoice = o.openInvoice(900);
        QVERIFY(o.payments.add(invoice, o.tenant, 400, "cash", "2026-03-04", "إيصال-1", 1) > 0);
        const int dollars = o.invoices.createInvoice(o.tenant, o.unit, "2026-03",
                                                     {item("صيانة مكيف", 250, "service")}, 2);
        QVERIFY(dollars > 0);
        QVERIFY(o.t.value("SELECT COUNT(DISTINCT currency_id) FROM ledger_day_balance").toInt() >=
                2);
        QCOMPARE(keptAgainstTotals(o.t), QString());
        QCOMPARE(LedgerDayBalance::outOfBalanceDays(db, 50), QStringList());

        struct Fault
        {
            const char* what;
            QString sql;
        };
        // Each leaves one more day out of balance (or moves one), as a broken
        // file or a repair by hand would.
        const QList<Fault> faults = {
            {"a line's debit raised",
             "UPDATE journal_lines SET debit=debit+50 WHERE id=(SELECT MIN(id) FROM "
             "journal_lines WHERE debit>0)"},
            {"a dollar line removed",
             "DELETE FROM journal_lines WHERE id=(SELECT MAX(l.id) FROM journal_lines l JOIN "
             "journal_entries e ON e.id=l.entry_id WHERE e.currency_id=2)"},
            {"an unbalanced entry moved to another day",
             "UPDATE journal_entries SET entry_date='2025-12-31' WHERE id=(SELECT MIN(entry_id) "
             "FROM journal_lines WHERE debit>0 AND id=(SELECT MIN(id) FROM journal_lines WHERE "
             "debit>0))"},
            {"an entry retold in dollars",
             "UPDATE journal_entries SET currency_id=2 WHERE id=(SELECT MAX(id) FROM "
             "journal_entries WHERE currency_id=1)"},
        };
        for (const Fault& fault : faults) {
            QVERIFY2(db->execNonQuery(fault.sql), fault.what);
            QVERIFY2(keptAgainstTotals(o.t).isEmpty(), fault.what);
            const QStringList days = LedgerDayBalance::outOfBalanceDays(db, 50);
            QVERIFY2(!days.isEmpty(), fault.what);
            QCOMPARE(days, LedgerDayBalance::outOfBalanceDaysScanned(db, 50));
        }
        QVERIFY(LedgerDayBalance::outOfBalanceDays(db, 50).contains("2025-12-31"));
        // Only the first days are asked for.
        QCOMPARE(LedgerDayBalance::outOfBalanceDays(db, 1),
                 LedgerDayBalance::outOfBalanceDaysScanned(db, 1));
        QCOMPARE(LedgerDayBalance::outOfBalanceDays(db, 1).size(), 1);
    }

    // Two entries out by opposite amounts on one day cancel in the day's
    // debits and credits; the entry-weighted sum still names the day. Once
    // the day's lines are all gone the day is back to exactly nothing.
    void regressionCancellingDayAndEmptiedDay()
    {
        Office o;
        Database* db = o.t.db();
        AccountModel& accounts = o.accounts;
        const auto id = [&](const char* code) {
            return o.t.value("SELECT id FROM accounts WHERE code=?", {code}).toInt();
        };
        const auto line = [&](const char* code, double debit, double credit) {
            return QVariantMap{{"account_id", id(code)}, {"debit", debit}, {"credit", credit}};
        };
        const int first = accounts.createJournalEntry("2026-04-11", "تسوية أولى", "manual", 0,
                                                      {line("1100", 75, 0), line("4200", 0, 75)});
        const int second = accounts.createJournalEntry("2026-04-11", "تسوية ثانية", "manual", 0,
                                                       {line("5200", 25, 0), line("1100", 0, 25)});
        QVERIFY(first > 0 && second > 0);
        QCOMPARE(LedgerDayBalance::outOfBalanceDays(db, 50), QStringList());
        QVERIFY(db->execNonQuery("UPDATE journal_lines SET credit=25 WHERE entry_id=? AND credit>0",
                                 {first}));
        QVERIFY(db->execNonQuery("UPDATE journal_lines SET credit=75 WHERE entry_id=? AND credit>0",
                                 {second}));
        QCOMPARE(o.t.value("SELECT SUM(debit)-SUM(credit) FROM ledger_day_totals WHERE "
                           "day='2026-04-11'")
                     .toDouble(),
                 0.0);
        QCOMPARE(LedgerDayBalance::outOfBalanceDays(db, 50), QStringList{"2026-04-11"});
        QCOMPARE(LedgerDayBalance::outOfBalanceDaysScanned(db, 50), QStringList{"2026-04-11"});

        QVERIFY(db->execNonQuery("DELETE FROM journal_lines WHERE entry_id IN (?, ?)",
                                 {first, second}));
        QCOMPARE(LedgerDayBalance::outOfBalanceDays(db, 50), QStringList());
        QCOMPARE(o.t.value("SELECT COUNT(*) FROM ledger_day_balance WHERE day='2026-04-11' AND "
                           "(net<>0 OR weighted<>0)")
                     .toInt(),
                 0);
        QCOMPARE(keptAgainstTotals(o.t), QString());
    }

    // An office whose journal was written before the balance was kept (a
    // file of an earlier version, a server before the migration) gains it
    // counted from its day totals at the next start, and keeps it from then.
    void existingOfficeGainsItsDayBalance()
    {
        Office o;
        QVERIFY(o.invoices.generateAllRent("2026-02") > 0);
        QVERIFY(o.invoices.createInvoice(o.tenant, o.unit, "2026-03",
                                         {item("إيجار موقف", 90, "rent")}, 2) > 0);
        QVERIFY(o.t.db()->execNonQuery(
            "UPDATE journal_lines SET credit=credit+10 WHERE id=(SELECT MAX(id) FROM "
            "journal_lines WHERE credit>0)"));
        const QStringList out = LedgerDayBalance::outOfBalanceDays(o.t.db(), 50);
        QCOMPARE(out.size(), 1);
        if (o.t.engine() == DatabaseSettings::Engine::PostgreSQL) {
            QVERIFY(o.t.db()->execNonQuery("DROP TABLE ledger_day_balance CASCADE"));
            QVERIFY(o.t.db()->execNonQuery("DROP FUNCTION ledger_day_balance() CASCADE"));
            QVERIFY(o.t.db()->execNonQuery(
                "DELETE FROM schema_migrations WHERE description='ledger balance per day'"));
        } else {
            QVERIFY(o.t.db()->execNonQuery("DROP TABLE ledger_day_balance"));
            for (const QString& trigger : LedgerDayBalance::triggerNames())
                QVERIFY(o.t.db()->execNonQuery("DROP TRIGGER " + trigger));
        }
        QVERIFY(o.t.reopen());
        QCOMPARE(keptAgainstTotals(o.t), QString());
        QCOMPARE(LedgerDayBalance::outOfBalanceDays(o.t.db(), 50), out);
        QVERIFY(o.t.db()->execNonQuery(
            "UPDATE journal_lines SET credit=credit-10 WHERE id=(SELECT MAX(id) FROM "
            "journal_lines WHERE credit>0)"));
        QCOMPARE(LedgerDayBalance::outOfBalanceDays(o.t.db(), 50), QStringList());
        QCOMPARE(keptAgainstTotals(o.t), QString());
    }
};

QTEST_GUILESS_MAIN(TestLedgerDayBalance)
#include "tst_ledgerdaybalance.moc"
