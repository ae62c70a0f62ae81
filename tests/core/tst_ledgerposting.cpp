#include "RentalRows.h"
#include "TestDatabase.h"

#include "core/LedgerHistory.h"
#include "core/LedgerPosting.h"
#include "core/Reasons.h"
#include "core/Schema.h"
#include "finance/AccountModel.h"
#include "finance/ChequeModel.h"
#include "finance/ExpenseModel.h"
#include "finance/InstallmentModel.h"
#include "rental/InvoiceModel.h"
#include "rental/MaintenanceModel.h"
#include "rental/PaymentModel.h"

#include <QDate>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <functional>
#include <memory>

namespace {

QVariantMap item(const QString& description, double total, const QString& type)
{
    return {{"description", description},
            {"type", type},
            {"quantity", 1},
            {"unit_price", total},
            {"total", total}};
}

} // namespace

class TestLedgerPosting : public QObject
{
    Q_OBJECT

    // The office every case starts from: a rented unit with its tenant and
    // contract, a unit for sale with its buyer, a contractor.
    struct Office
    {
        TestDatabase t;
        InvoiceModel invoices{t.db()};
        PaymentModel payments{t.db()};
        InstallmentModel installments{t.db()};
        ExpenseModel expenses{t.db()};
        ChequeModel cheques{t.db()};
        MaintenanceModel maintenance{t.db()};
        AccountModel accounts{t.db()};
        int property = 0;
        int unit = 0;
        int tenant = 0;
        int saleUnit = 0;
        int buyer = 0;
        int contractor = 0;

        Office()
        {
            Database* db = t.db();
            property = RentalRows::property(db, QStringLiteral("برج النخيل"));
            unit = RentalRows::unit(db, property, QStringLiteral("A1"));
            tenant = RentalRows::tenant(db, QStringLiteral("سارة خليل"));
            RentalRows::contract(db, unit, tenant, 1200);
            saleUnit =
                db->execInsert(QStringLiteral("INSERT INTO units (property_id, "
                                              "unit_number, status) VALUES (?,?,?)"),
                               {property, QStringLiteral("B7"), QStringLiteral("available")});
            buyer = db->execInsert(QStringLiteral("INSERT INTO buyers (full_name) VALUES (?)"),
                                   {QStringLiteral("مازن الخطيب")});
            contractor = RentalRows::contractor(db, QStringLiteral("ورشة الأمل للسباكة"));
        }

        double balance(const QString& code)
        {
            return t.value(QStringLiteral("SELECT balance FROM accounts WHERE code=?"), {code})
                .toDouble();
        }
        QMap<QString, double> balances()
        {
            QMap<QString, double> out;
            for (const QVariant& row :
                 t.db()->execQuery(QStringLiteral("SELECT code, balance FROM accounts")))
                out.insert(row.toMap().value("code").toString(),
                           row.toMap().value("balance").toDouble());
            return out;
        }
        int lastId(const QString& table)
        {
            return t.value(QStringLiteral("SELECT MAX(id) FROM ") + table).toInt();
        }
        int openInvoice(double rent)
        {
            return invoices.createInvoice(tenant, unit, QStringLiteral("2026-03"),
                                          {item(QStringLiteral("إيجار آذار"), rent, "rent")}, 1);
        }
    };

    // "code:+1.00 code:-1.00" for each account that moved, by code.
    static QString moves(const QMap<QString, double>& before, const QMap<QString, double>& after)
    {
        QStringList out;
        for (auto it = after.constBegin(); it != after.constEnd(); ++it) {
            const double delta = it.value() - before.value(it.key());
            if (std::fabs(delta) >= 0.005)
                out << QStringLiteral("%1:%2%3")
                           .arg(it.key(), delta > 0 ? QStringLiteral("+") : QString())
                           .arg(delta, 0, 'f', 2);
        }
        return out.join(' ');
    }

    // Entries whose lines do not balance to the cent, and the ledger's total
    // debit minus credit.
    static int unbalancedEntries(TestDatabase& t)
    {
        return t
            .value("SELECT COUNT(*) FROM (SELECT entry_id FROM journal_lines GROUP BY entry_id "
                   "HAVING ABS(SUM(debit)-SUM(credit)) > 0.005)")
            .toInt();
    }

    struct Scenario
    {
        std::function<void()> prepare;
        std::function<int()> act; // the reference id of the posting
        std::function<bool()> undo;
    };

    static Scenario scenario(Office& o, const QString& kind, int& memo)
    {
        const QString period = QStringLiteral("2026-03");
        const auto voidLast = [&o] { return o.invoices.voidInvoice(o.lastId("invoices")); };
        const auto chequeTo = [&o, &memo](const QString& status) {
            return [&o, &memo, status] { return o.cheques.updateStatus(memo, status) ? memo : -1; };
        };
        const auto addCheque = [&o, &memo](const QString& type) {
            return [&o, &memo, type] {
                memo = o.cheques.add(QStringLiteral("100234"), type, 700,
                                     QStringLiteral("بنك فلسطين"), QStringLiteral("2026-04-01"),
                                     QStringLiteral("سارة خليل"), 1, 1.0);
            };
        };
        const auto nothing = [] {};
        const auto payBy = [&o](const QString& method) {
            return [&o, method] {
                return o.payments.add(o.lastId("invoices"), o.tenant, 400, method,
                                      QStringLiteral("2026-03-05"), QStringLiteral("R-17"), 1);
            };
        };
        const auto invoiceOf1000 = [&o] { o.openInvoice(1000); };

        if (kind == "rent run")
            return {[&o, period] { RentalRows::usage(o.t.db(), o.unit, 1, period, 16, 80); },
                    [&o, period] {
                        return o.invoices.generateAllRent(period) == 1 ? o.lastId("invoices") : -1;
                    },
                    voidLast};
        if (kind == "custom invoice")
            return {nothing,
                    [&o, period] {
                        return o.invoices.createInvoice(
                            o.tenant, o.unit, period,
                            {item("إيجار آذار", 500, "rent"), item("صيانة المصعد", 80, "service")},
                            1);
                    },
                    voidLast};
        if (kind == "service invoice")
            return {nothing,
                    [&o, period] {
                        return o.invoices.generateServiceInvoice({o.tenant}, "تنظيف الدرج", 150,
                                                                 period, 1) == 1
                                   ? o.lastId("invoices")
                                   : -1;
                    },
                    voidLast};
        if (kind == "partly paid invoice voided")
            return {[&o, payBy] {
                        o.openInvoice(1000);
                        payBy("cash")();
                    },
                    [&o] {
                        return o.invoices.voidInvoice(o.lastId("invoices")) ? o.lastId("invoices")
                                                                            : -1;
                    },
                    nullptr};
        if (kind == "cash payment")
            return {invoiceOf1000, payBy("cash"), nullptr};
        if (kind == "bank transfer")
            return {invoiceOf1000, payBy("bank"), nullptr};
        if (kind == "payment by cheque")
            return {invoiceOf1000, payBy("cheque"), nullptr};
        if (kind == "unit sold with a down payment")
            return {nothing,
                    [&o] {
                        return o.installments.sellUnit(o.buyer, o.saleUnit, 90000, 18000, 4,
                                                       "2026-03-10", 1, "500100", "بنك القدس") == 1
                                   ? o.saleUnit
                                   : -1;
                    },
                    nullptr};
        if (kind == "instalment collected")
            return {[&o] {
                        o.installments.sellUnit(o.buyer, o.saleUnit, 90000, 0, 4, "2026-03-10", 1);
                    },
                    [&o] {
                        const int first = o.t.value("SELECT MIN(id) FROM installments").toInt();
                        return o.installments.payInstallment(first, 22500) ? o.lastId("payments")
                                                                           : -1;
                    },
                    nullptr};
        if (kind == "instalment added by hand")
            return {nothing,
                    [&o] {
                        return o.installments.add(o.buyer, o.saleUnit, 0, 0, 5000, "2026-05-01", 1);
                    },
                    nullptr};
        if (kind == "operating expense in dollars")
            return {nothing,
                    [&o] {
                        return o.expenses.add(o.property, 0, 0, "كهرباء", "", "إنارة الدرج", 300,
                                              "2026-03-12", 2);
                    },
                    nullptr};
        if (kind == "maintenance owed to a contractor")
            return {nothing,
                    [&o] {
                        return o.expenses.add(o.property, o.unit, o.contractor, "صيانة", "سباكة",
                                              "تبديل خلاط", 750, "2026-03-14", 1);
                    },
                    nullptr};
        if (kind == "maintenance request completed")
            return {[&o, &memo] {
                        memo = o.maintenance.add(o.unit, o.property, "تسريب في المطبخ",
                                                 "تسريب تحت المغسلة", "high");
                    },
                    [&o, &memo] {
                        return o.maintenance.complete(memo, 250) ? o.lastId("expenses") : -1;
                    },
                    nullptr};
        if (kind == "received cheque cleared")
            return {addCheque("received"), chequeTo("paid"),
                    [chequeTo] { return chequeTo("pending")() > 0; }};
        if (kind == "received cheque bounced")
            return {addCheque("received"), chequeTo("bounced"),
                    [chequeTo] { return chequeTo("pending")() > 0; }};
        if (kind == "issued cheque cleared")
            return {addCheque("issued"), chequeTo("paid"),
                    [chequeTo] { return chequeTo("pending")() > 0; }};
        return {};
    }

private slots:
    void eventPostsAndUndoes_data()
    {
        QTest::addColumn<QString>("referenceType");
        QTest::addColumn<QString>("expectedMoves");
        QTest::addColumn<int>("currency");

        QTest::newRow("rent run") << "invoice"
                                  << "1200:+1280.00 4100:-1200.00 4200:-80.00" << 1;
        QTest::newRow("custom invoice") << "invoice"
                                        << "1200:+580.00 4100:-500.00 4200:-80.00" << 1;
        QTest::newRow("service invoice") << "invoice"
                                         << "1200:+150.00 4200:-150.00" << 1;
        QTest::newRow("partly paid invoice voided") << "invoice_void"
                                                    << "1200:-600.00 4100:+600.00" << 1;
        QTest::newRow("cash payment") << "payment"
                                      << "1100:+400.00 1200:-400.00" << 1;
        QTest::newRow("bank transfer") << "payment"
                                       << "1110:+400.00 1200:-400.00" << 1;
        QTest::newRow("payment by cheque") << "payment"
                                           << "1200:-400.00 1300:+400.00" << 1;
        QTest::newRow("unit sold with a down payment")
            << "sale"
            << "1100:+18000.00 1200:+72000.00 4300:-90000.00" << 1;
        QTest::newRow("instalment collected") << "payment"
                                              << "1100:+22500.00 1200:-22500.00" << 1;
        QTest::newRow("instalment added by hand") << "installment"
                                                  << "1200:+5000.00 4300:-5000.00" << 1;
        QTest::newRow("operating expense in dollars") << "expense"
                                                      << "1100:-300.00 5200:+300.00" << 2;
        QTest::newRow("maintenance owed to a contractor") << "expense"
                                                          << "2100:-750.00 5100:+750.00" << 1;
        QTest::newRow("maintenance request completed") << "expense"
                                                       << "1100:-250.00 5100:+250.00" << 1;
        QTest::newRow("received cheque cleared") << "cheque_cleared"
                                                 << "1100:+700.00 1300:-700.00" << 1;
        QTest::newRow("received cheque bounced") << "cheque_bounced"
                                                 << "1200:+700.00 1300:-700.00" << 1;
        QTest::newRow("issued cheque cleared") << "cheque_cleared"
                                               << "1100:-700.00 2200:+700.00" << 1;
    }

    void eventPostsAndUndoes()
    {
        QFETCH(QString, referenceType);
        QFETCH(QString, expectedMoves);
        QFETCH(int, currency);

        Office o;
        int memo = 0;
        const Scenario s = scenario(o, QTest::currentDataTag(), memo);
        QVERIFY(s.act);
        s.prepare();
        const QMap<QString, double> before = o.balances();
        const int entriesBefore = o.t.count("journal_entries");

        const int reference = s.act();
        QVERIFY2(reference > 0, "the event was refused");
        QCOMPARE(moves(before, o.balances()), expectedMoves);

        const QVariantList entries = o.t.db()->execQuery(
            "SELECT id, currency_id FROM journal_entries WHERE reference_type=? AND "
            "reference_id=?",
            {referenceType, reference});
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().toMap().value("currency_id").toInt(), currency);
        QCOMPARE(unbalancedEntries(o.t), 0);
        // The running balances are the sums of the lines.
        QCOMPARE(o.t.value("SELECT COUNT(*) FROM accounts a WHERE ABS(a.balance - (SELECT "
                           "COALESCE(SUM(debit-credit),0) FROM journal_lines WHERE "
                           "account_id=a.id)) > 0.005")
                     .toInt(),
                 0);

        if (!s.undo)
            return;
        const int entriesAfterEvent = o.t.count("journal_entries");
        QVERIFY(s.undo());
        QCOMPARE(moves(before, o.balances()), QString());
        // Undone by a new entry; the event's own entry is still there.
        QCOMPARE(o.t.count("journal_entries"), entriesAfterEvent + 1);
        QVERIFY(entriesAfterEvent > entriesBefore);
        QCOMPARE(o.t.value("SELECT COUNT(*) FROM journal_entries WHERE reference_type=? AND "
                           "reference_id=?",
                           {referenceType, reference})
                     .toInt(),
                 1);
        QCOMPARE(unbalancedEntries(o.t), 0);
    }

    // A cheque corrected from cleared to bounced leaves exactly the bounce.
    void chequeCorrectedFromClearedToBounced()
    {
        Office o;
        const int cheque = o.cheques.add("100988", "received", 1250, "البنك العربي", "2026-04-02",
                                         "سارة خليل", 1, 1.0, 0, o.tenant);
        const QMap<QString, double> before = o.balances();
        QVERIFY(o.cheques.updateStatus(cheque, "paid"));
        QVERIFY(o.cheques.updateStatus(cheque, "bounced"));
        QCOMPARE(moves(before, o.balances()), QString("1200:+1250.00 1300:-1250.00"));
        // Setting the same status again posts nothing.
        const int entries = o.t.count("journal_entries");
        QVERIFY(o.cheques.updateStatus(cheque, "bounced"));
        QCOMPARE(o.t.count("journal_entries"), entries);
    }

    void postingRefusesBadLines_data()
    {
        QTest::addColumn<QString>("debitCode");
        QTest::addColumn<double>("debit");
        QTest::addColumn<double>("credit");
        QTest::addColumn<QString>("reason");

        QTest::newRow("unknown account")
            << "1999" << 100.0 << 100.0 << Reasons::unknownAccount("1999");
        QTest::newRow("unbalanced by two cents")
            << "1100" << 100.0 << 99.98 << Reasons::unbalancedEntry();
        QTest::newRow("negative amount") << "1100" << -100.0 << -100.0 << Reasons::invalidAmount();
        QTest::newRow("not a number")
            << "1100" << std::nan("") << 100.0 << Reasons::invalidAmount();
        QTest::newRow("endless") << "1100" << HUGE_VAL << HUGE_VAL << Reasons::invalidAmount();
        QTest::newRow("nothing to post") << "1100" << 0.0 << 0.0 << Reasons::emptyEntry();
    }

    void postingRefusesBadLines()
    {
        QFETCH(QString, debitCode);
        QFETCH(double, debit);
        QFETCH(double, credit);
        QFETCH(QString, reason);

        TestDatabase t;
        LedgerPosting posting(t.db());
        LedgerPosting::Entry entry;
        entry.date = "2026-03-01";
        entry.description = "قيد تجريبي";
        entry.referenceType = "payment";
        entry.referenceId = 9;
        entry.lines = {{debitCode, 0, debit, 0, {}}, {"1200", 0, 0, credit, {}}};
        QCOMPARE(posting.post(entry), -1);
        QCOMPARE(posting.reason(), reason);
        QCOMPARE(t.count("journal_entries"), 0);
        QCOMPARE(t.count("journal_lines"), 0);
        QCOMPARE(t.value("SELECT COUNT(*) FROM accounts WHERE balance != 0").toInt(), 0);

        LedgerPosting::Entry empty = entry;
        empty.lines.clear();
        QCOMPARE(posting.post(empty), -1);
        QCOMPARE(posting.reason(), Reasons::emptyEntry());
    }

    // An event whose posting cannot be made is not written either.
    void refusedPostingLeavesTheEventUnwritten_data()
    {
        QTest::addColumn<QString>("missingCode");
        QTest::addColumn<QString>("table");
        QTest::newRow("invoice without its revenue account") << "4100"
                                                             << "invoices";
        QTest::newRow("rent run without receivables") << "1200"
                                                      << "invoices";
        QTest::newRow("bank transfer without a bank account") << "1110"
                                                              << "payments";
        QTest::newRow("sale without sales revenue") << "4300"
                                                    << "installments";
        QTest::newRow("expense without operating expenses") << "5200"
                                                            << "expenses";
        QTest::newRow("cheque cleared without cheques under collection") << "1300"
                                                                         << "cheques";
    }

    void refusedPostingLeavesTheEventUnwritten()
    {
        QFETCH(QString, missingCode);
        QFETCH(QString, table);

        Office o;
        const QString tag = QTest::currentDataTag();
        int cheque = 0;
        if (tag.contains("bank"))
            o.openInvoice(1000);
        if (tag.contains("cheque"))
            cheque = o.cheques.add("77001", "received", 500, "بنك فلسطين", "2026-04-01",
                                   "سارة خليل", 1, 1.0);
        const int rows = o.t.count(table);
        const double tenantBalance =
            o.t.value("SELECT balance FROM tenants WHERE id=?", {o.tenant}).toDouble();
        const int entries = o.t.count("journal_entries");
        QVERIFY(o.t.db()->execNonQuery("UPDATE accounts SET code=? WHERE code=?",
                                       {missingCode + "-old", missingCode}));

        QString lastError;
        if (tag.startsWith("invoice")) {
            QCOMPARE(o.openInvoice(900), -1);
            lastError = o.invoices.lastError();
        } else if (tag.startsWith("rent run")) {
            QCOMPARE(o.invoices.generateAllRent("2026-04"), -1);
            lastError = o.invoices.lastError();
        } else if (tag.startsWith("bank")) {
            QCOMPARE(
                o.payments.add(o.lastId("invoices"), o.tenant, 400, "bank", "2026-03-05", "T-1", 1),
                -1);
            lastError = o.payments.lastError();
            QCOMPARE(o.t.value("SELECT balance FROM invoices").toDouble(), 1000.0);
        } else if (tag.startsWith("sale")) {
            QCOMPARE(o.installments.sellUnit(o.buyer, o.saleUnit, 50000, 5000, 3, "2026-03-10", 1),
                     -1);
            lastError = o.installments.lastError();
            QCOMPARE(o.t.value("SELECT status FROM units WHERE id=?", {o.saleUnit}).toString(),
                     QString("available"));
        } else if (tag.startsWith("expense")) {
            QCOMPARE(
                o.expenses.add(o.property, 0, 0, "مياه", "", "فاتورة المياه", 90, "2026-03-03", 1),
                -1);
            lastError = o.expenses.lastError();
        } else {
            QVERIFY(!o.cheques.updateStatus(cheque, "paid"));
            lastError = o.cheques.lastError();
            QCOMPARE(o.t.value("SELECT status FROM cheques").toString(), QString("pending"));
        }
        QCOMPARE(lastError, Reasons::unknownAccount(missingCode));
        QCOMPARE(o.t.count(table), rows);
        QCOMPARE(o.t.count("journal_entries"), entries);
        QCOMPARE(o.t.value("SELECT balance FROM tenants WHERE id=?", {o.tenant}).toDouble(),
                 tenantBalance);
    }

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
                o.payments.add(open.value("id").toInt(), open.value("tenant_id").toInt(), amount,
                               method, date, "R", open.value("currency_id").toInt());
                // The cheque itself goes into the register, to be cleared later.
                if (method == "cheque")
                    o.cheques.add(QString::number(300000 + step), "received", amount, "بنك فلسطين",
                                  date, "مستأجر", open.value("currency_id").toInt(), 1.0, 0,
                                  open.value("tenant_id").toInt());
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
        // Receivables: open invoices, unpaid instalments, and received cheques
        // that bounced (the tenant owes their amount again).
        const double receivables =
            o.t.value("SELECT (SELECT COALESCE(SUM(balance),0) FROM invoices WHERE "
                      "status!='void') + (SELECT COALESCE(SUM(installment_amount-paid_amount),0) "
                      "FROM installments) + (SELECT COALESCE(SUM(amount),0) FROM cheques WHERE "
                      "type='received' AND status='bounced')")
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
        const int cleared = o->cheques.add("4410", "received", 1200, "بنك فلسطين", "2026-01-20",
                                           "سارة خليل", 1, 1.0);
        o->cheques.updateStatus(cleared, "paid");
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
        QCOMPARE(live.size(), 13);
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
        QVERIFY2(LedgerHistory::postPastEvents(
                     o->t.db(), [&steps](int done, int total) { steps << done * 100 + total; },
                     &reason),
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

QTEST_GUILESS_MAIN(TestLedgerPosting)
#include "tst_ledgerposting.moc"
