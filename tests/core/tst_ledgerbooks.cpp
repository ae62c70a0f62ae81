#include "LedgerOffice.h"

#include "core/LedgerHistory.h"
#include "core/LedgerPosting.h"
#include "core/Reasons.h"
#include "core/Schema.h"

#include <QDate>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <functional>
#include <memory>

using LedgerOffice::item;
using LedgerOffice::moves;
using LedgerOffice::Office;
using LedgerOffice::unbalancedEntries;

// The books as a whole: a month of mixed work, and the first start of a file
// written before events were posted.
class TestLedgerBooks : public QObject
{
    Q_OBJECT

private slots:
    // A seeded month of office work, then the books agree with the records.
    void randomMonthKeepsTheBooksInStep()
    {
        Office o;
        Database* db = o.t.db();
        QRandomGenerator rng(20260301);
        // More tenants with contracts, so rent runs and payments spread out.
        QList<int> tenants{o.tenant};
        for (int i = 0; i < 5; ++i) {
            const int unit = RentalRows::unit(db, o.property, QStringLiteral("C%1").arg(i));
            const int tenant = RentalRows::tenant(db, QStringLiteral("مستأجر رقم %1").arg(i));
            RentalRows::contract(db, unit, tenant, 800 + 150 * i, "active", i % 2 ? 2 : 1);
            tenants << tenant;
        }
        const QStringList methods{"cash", "bank", "cheque"};
        const QStringList categories{"صيانة", "كهرباء", "رواتب", "نظافة"};
        int month = 1;
        int soldUnits = 0;
        for (int step = 0; step < 200; ++step) {
            const QString date = QDate(2026, 3, 1).addDays(step % 28).toString(Qt::ISODate);
            switch (rng.bounded(9)) {
            case 0:
                if (month <= 12)
                    o.invoices.generateAllRent(
                        QStringLiteral("2025-%1").arg(month++, 2, 10, QChar('0')));
                break;
            case 1: {
                const int tenant = tenants.at(rng.bounded(tenants.size()));
                o.invoices.createInvoice(
                    tenant, 0, QStringLiteral("2024-%1").arg(step % 12 + 1, 2, 10, QChar('0')),
                    {item("إيجار", 100 + rng.bounded(900), "rent"),
                     item("مياه", rng.bounded(100) + 0.35, "usage")},
                    1);
                break;
            }
            case 2:
            case 3: {
                const QVariantMap open =
                    db->execQuery("SELECT id, tenant_id, balance, currency_id FROM invoices WHERE "
                                  "status IN "
                                  "('pending','partial') ORDER BY id LIMIT 1 OFFSET ?",
                                  {rng.bounded(5)})
                        .value(0)
                        .toMap();
                if (open.isEmpty())
                    break;
                const QString method = methods.at(rng.bounded(3));
                const double amount = rng.bounded(2)
                                          ? open.value("balance").toDouble()
                                          : std::floor(open.value("balance").toDouble() * 50) / 100;
                if (amount <= 0)
                    break;
                // A cheque goes into the register with its payment, to be
                // cleared or returned later.
                if (method == "cheque")
                    o.payments.addCheque(open.value("id").toInt(), open.value("tenant_id").toInt(),
                                         amount, date, QString::number(300000 + step), "بنك فلسطين",
                                         date, open.value("currency_id").toInt());
                else
                    o.payments.add(open.value("id").toInt(), open.value("tenant_id").toInt(),
                                   amount, method, date, "R", open.value("currency_id").toInt());
                break;
            }
            case 4: {
                const int id = db->scalar("SELECT id FROM invoices WHERE status!='void' ORDER BY "
                                          "random() LIMIT 1")
                                   .toInt();
                if (id > 0 && rng.bounded(3) == 0)
                    o.invoices.voidInvoice(id);
                break;
            }
            case 5: {
                const int cheque =
                    db->scalar("SELECT id FROM cheques WHERE status='pending' LIMIT 1").toInt();
                if (cheque > 0)
                    o.cheques.updateStatus(cheque, rng.bounded(4) ? "paid" : "bounced");
                break;
            }
            case 6:
                if (soldUnits < 4) {
                    const int unit =
                        db->execInsert("INSERT INTO units (property_id, unit_number) VALUES (?,?)",
                                       {o.property, QStringLiteral("S%1").arg(step)});
                    o.installments.sellUnit(o.buyer, unit, 60000 + 1000 * step, 6000, 7, date, 1);
                    ++soldUnits;
                }
                break;
            case 7: {
                const QVariantMap due =
                    db->execQuery("SELECT id, installment_amount-paid_amount as open FROM "
                                  "installments WHERE status!='paid' ORDER BY due_date LIMIT 1")
                        .value(0)
                        .toMap();
                if (!due.isEmpty())
                    o.installments.payInstallment(due.value("id").toInt(),
                                                  rng.bounded(2) ? due.value("open").toDouble()
                                                                 : 1000);
                break;
            }
            default:
                o.expenses.add(o.property, 0, rng.bounded(2) ? o.contractor : 0,
                               categories.at(rng.bounded(categories.size())), "", "مصروف",
                               10 + rng.bounded(500) + 0.25, date, 1);
                break;
            }
        }
        QVERIFY(o.t.count("invoices") > 20);
        QVERIFY(o.t.count("payments") > 20);
        QVERIFY(o.t.value("SELECT COUNT(*) FROM cheques WHERE status!='pending'").toInt() > 2);

        QCOMPARE(unbalancedEntries(o.t), 0);
        QVERIFY(
            std::fabs(o.t.value("SELECT SUM(debit)-SUM(credit) FROM journal_lines").toDouble()) <
            0.005);
        // Receivables: open invoices and unpaid instalments; a bounced cheque
        // opened again what it had paid.
        const double receivables =
            o.t.value("SELECT (SELECT COALESCE(SUM(balance),0) FROM invoices WHERE "
                      "status!='void') + (SELECT COALESCE(SUM(installment_amount-paid_amount),0) "
                      "FROM installments)")
                .toDouble();
        QVERIFY2(std::fabs(o.balance("1200") - receivables) < 0.01,
                 qPrintable(QStringLiteral("1200 holds %1, the records %2")
                                .arg(o.balance("1200"))
                                .arg(receivables)));
        const double pendingCheques =
            o.t.value("SELECT COALESCE(SUM(amount),0) FROM cheques WHERE type='received' AND "
                      "status='pending'")
                .toDouble();
        QVERIFY(std::fabs(o.balance("1300") - pendingCheques) < 0.01);
        const double owed = o.t.value("SELECT SUM(balance) FROM contractors").toDouble();
        QVERIFY(owed > 0);
        QVERIFY(std::fabs(-o.balance("2100") - owed) < 0.01);

        // The statements read the same ledger: profit closes the balance sheet.
        const QVariantMap sheet = o.accounts.getBalanceSheet();
        QVERIFY2(std::fabs(sheet.value("difference").toDouble()) < 0.01,
                 qPrintable(sheet.value("difference").toString()));
        const QVariantMap pl = o.accounts.getProfitLoss("2000-01-01", "2099-12-31");
        QVERIFY(pl.value("revenue").toDouble() > 0);
        QVERIFY(std::fabs(sheet.value("profit").toDouble() - pl.value("net_profit").toDouble()) <
                0.01);
    }

    // A file written before events were posted gains one posting per event at
    // its first start, the same postings the events write today, and nothing
    // at the next start. Manual entries stay as they were.
    void upgradePostsEachPastEventOnce()
    {
        if (TestDatabase::onPostgres())
            QSKIP("an older version's office is a SQLite file, upgraded where it lies");
        auto o = std::make_unique<Office>();
        o->invoices.generateAllRent("2026-01");
        o->invoices.createInvoice(o->tenant, o->unit, "2026-02",
                                  {item("إيجار شباط", 1100, "rent"), item("كهرباء", 64.5, "usage")},
                                  2);
        const int voided = o->openInvoice(700);
        o->payments.add(o->lastId("invoices") - 1, o->tenant, 300, "bank", "2026-02-03", "T", 2);
        o->payments.add(o->lastId("invoices") - 2, o->tenant, 1200, "cheque", "2026-01-09", "C", 1);
        o->invoices.voidInvoice(voided);
        o->installments.sellUnit(o->buyer, o->saleUnit, 120000, 20000, 5, "2025-11-20", 1);
        o->installments.payInstallment(o->t.value("SELECT MIN(id) FROM installments").toInt(),
                                       20000);
        o->expenses.add(o->property, 0, o->contractor, "صيانة", "دهان", "دهان الواجهة", 2300,
                        "2026-01-15", 1);
        o->expenses.add(o->property, 0, 0, "رواتب", "", "راتب الحارس", 900, "2026-01-31", 1);
        // The tenant's cheque is cashed; a cheque typed in for follow-up
        // only posts nothing, then or at the upgrade.
        QVERIFY(o->cheques.updateStatus(
            o->t.value("SELECT id FROM cheques WHERE payment_id IS NOT NULL").toInt(), "paid"));
        const int issued =
            o->cheques.add("9001", "issued", 350, "بنك فلسطين", "2026-02-01", "ورشة الأمل", 1, 1.0);
        o->cheques.updateStatus(issued, "paid");
        QVERIFY(o->accounts.createJournalEntry("2026-01-02", "رأس مال افتتاحي", "manual", 0,
                                               {QVariantMap{{"account_id", 2}, {"debit", 5000}},
                                                QVariantMap{{"account_id", 6}, {"credit", 5000}}}) >
                0);

        // What today's events posted, by event, with the accounts they moved.
        const QString postings =
            "SELECT je.reference_type || '#' || je.reference_id || '@' || je.currency_id || ' ' "
            "|| GROUP_CONCAT(a.code || ':' || printf('%.2f', jl.debit - jl.credit), ' ') FROM "
            "journal_entries je JOIN (SELECT * FROM journal_lines ORDER BY account_id) jl ON "
            "jl.entry_id=je.id JOIN accounts a ON a.id=jl.account_id WHERE je.reference_type != "
            "'manual' GROUP BY je.id ORDER BY je.reference_type, je.reference_id";
        const auto read = [&o, &postings] {
            QStringList out;
            for (const QVariant& row : o->t.db()->execQuery(postings))
                out << row.toMap().values().value(0).toString();
            return out;
        };
        const QStringList live = read();
        const QMap<QString, double> liveBalances = o->balances();
        QCOMPARE(live.size(), 12);
        const QString path = o->t.filePath();

        // Make it the file of the previous version: no postings, no mark.
        Database* db = o->t.db();
        QVERIFY(db->execNonQuery("DELETE FROM journal_lines WHERE entry_id IN (SELECT id FROM "
                                 "journal_entries WHERE reference_type!='manual')"));
        QVERIFY(db->execNonQuery("DELETE FROM journal_entries WHERE reference_type!='manual'"));
        QVERIFY(db->execNonQuery("UPDATE accounts SET balance=(SELECT COALESCE(SUM(debit-credit),"
                                 "0) FROM journal_lines WHERE account_id=accounts.id)"));
        QVERIFY(db->execNonQuery("DELETE FROM settings WHERE key=?", {Schema::ledgerHistoryKey()}));
        QVERIFY(o->t.reopen());
        QVERIFY(!LedgerHistory::isDone(o->t.db()));

        QList<int> steps;
        QString reason;
        QStringList errors;
        connect(o->t.db(), &Database::databaseError, this,
                [&errors](const QString& error) { errors << error; });
        QVERIFY2(
            LedgerHistory::postPastEvents(
                o->t.db(), [&steps](int done, int total) { steps << done * 100 + total; }, &reason),
            qPrintable(errors.join('\n')));
        QVERIFY(!steps.isEmpty());
        QCOMPARE(steps.last() / 100, steps.last() % 100);
        QCOMPARE(read(), live);
        QCOMPARE(moves(liveBalances, o->balances()), QString());
        QCOMPARE(o->t.value("SELECT COUNT(*) FROM journal_entries WHERE reference_type='manual'")
                     .toInt(),
                 1);
        // Dated with each event's own day.
        QCOMPARE(o->t.value("SELECT entry_date FROM journal_entries WHERE reference_type='expense' "
                            "ORDER BY reference_id LIMIT 1")
                     .toString(),
                 QString("2026-01-15"));

        // The next start posts nothing.
        const int entries = o->t.count("journal_entries");
        QVERIFY(o->t.reopen());
        QVERIFY(LedgerHistory::isDone(o->t.db()));
        QVERIFY(LedgerHistory::postPastEvents(o->t.db(), {}, &reason));
        QCOMPARE(o->t.count("journal_entries"), entries);
        QCOMPARE(path, o->t.filePath());
    }

    // The accounts the postings need are added beside the existing chart:
    // existing codes and ids stay, an account the office made itself under
    // one of the codes is kept, and old entries are in the primary currency.
    void upgradeAddsAccountsAndKeepsCodesAndIds()
    {
        if (TestDatabase::onPostgres())
            QSKIP("an older version's office is a SQLite file, upgraded where it lies");
        TestDatabase t;
        AccountModel accounts(t.db());
        QVERIFY(accounts.createJournalEntry("2025-12-31", "قيد إقفال", "manual", 0,
                                            {QVariantMap{{"account_id", 2}, {"debit", 75}},
                                             QVariantMap{{"account_id", 6}, {"credit", 75}}}) > 0);
        Database* db = t.db();
        QVERIFY(db->execNonQuery("DELETE FROM accounts WHERE code IN ('1110','2200')"));
        QVERIFY(db->execNonQuery("UPDATE accounts SET name_ar=?, is_system=0 WHERE code='1300'",
                                 {QStringLiteral("شيكات واردة")}));
        QVERIFY(db->execNonQuery("UPDATE journal_entries SET currency_id=NULL"));
        const auto chart = [&t] {
            QStringList out;
            for (const QVariant& row : t.db()->execQuery(
                     "SELECT a.id, a.code, a.name_ar, a.type, p.code as parent, a.is_system FROM "
                     "accounts a LEFT JOIN accounts p ON p.id=a.parent_id ORDER BY a.code"))
                out << row.toMap().value("id").toString() + ' ' +
                           row.toMap().value("code").toString() + ' ' +
                           row.toMap().value("name_ar").toString() + ' ' +
                           row.toMap().value("type").toString() + ' ' +
                           row.toMap().value("parent").toString() + ' ' +
                           row.toMap().value("is_system").toString();
            return out;
        };
        const QStringList before = chart();

        QVERIFY(t.reopen());
        QStringList after = chart();
        QCOMPARE(after.size(), before.size() + 2);
        QCOMPARE(after.filter(" 1110 ").value(0).section(' ', 1),
                 QString("1110 البنك asset 1100 1"));
        QCOMPARE(after.filter(" 2200 ").value(0).section(' ', 1),
                 QString("2200 شيكات صادرة liability 2000 1"));
        after.removeAll(after.filter(" 1110 ").value(0));
        after.removeAll(after.filter(" 2200 ").value(0));
        QCOMPARE(after, before);
        QCOMPARE(t.value("SELECT currency_id FROM journal_entries").toInt(), 1);
    }

    // A failure half-way leaves the file as it was, still to be posted.
    void failedHistoryPostingWritesNothing()
    {
        Office o;
        o.openInvoice(500);
        o.expenses.add(o.property, 0, 0, "كهرباء", "", "إنارة", 120, "2026-03-02", 1);
        Database* db = o.t.db();
        QVERIFY(db->execNonQuery("DELETE FROM journal_lines"));
        QVERIFY(db->execNonQuery("DELETE FROM journal_entries"));
        QVERIFY(db->execNonQuery("UPDATE accounts SET balance=0"));
        QVERIFY(db->execNonQuery("UPDATE settings SET value='pending' WHERE key=?",
                                 {Schema::ledgerHistoryKey()}));
        QVERIFY(
            RentalRows::failOn(db, "INSERT", "journal_entries", "NEW.reference_type='expense'"));
        QString reason;
        QVERIFY(!LedgerHistory::postPastEvents(db, {}, &reason));
        QCOMPARE(reason, Reasons::database());
        QCOMPARE(o.t.count("journal_entries"), 0);
        QCOMPARE(o.t.value("SELECT COUNT(*) FROM accounts WHERE balance!=0").toInt(), 0);
        QVERIFY(!LedgerHistory::isDone(db));
    }
};

QTEST_GUILESS_MAIN(TestLedgerBooks)
#include "tst_ledgerbooks.moc"
