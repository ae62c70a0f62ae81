#include "LedgerOffice.h"

#include "core/LedgerHistory.h"
#include "core/LedgerPosting.h"
#include "core/Reasons.h"
#include "core/Schema.h"
#include "finance/ContractorModel.h"
#include "rental/TenantModel.h"
#include "rental/UnitModel.h"

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

class TestLedgerPosting : public QObject
{
    Q_OBJECT

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
        // A cheque moves money only when it pays a debt: a tenant's invoice
        // (received) or a contractor's bill (issued).
        const auto addCheque = [&o, &memo](const QString& type) {
            return [&o, &memo, type] {
                if (type == QLatin1String("received")) {
                    o.payments.addCheque(o.openInvoice(700), o.tenant, 700,
                                         QStringLiteral("2026-03-20"), QStringLiteral("100234"),
                                         QStringLiteral("بنك فلسطين"), QStringLiteral("2026-04-01"),
                                         1);
                } else {
                    o.expenses.add(o.property, o.unit, o.contractor, QStringLiteral("صيانة"),
                                   QStringLiteral("سباكة"), QStringLiteral("تبديل خلاط"), 700,
                                   QStringLiteral("2026-03-14"), 1);
                    ContractorModel(o.t.db()).pay(
                        o.contractor, 700, 1, QStringLiteral("2026-03-20"),
                        QStringLiteral("cheque"), QString(), QString(),
                        {{QStringLiteral("cheque_number"), QStringLiteral("100234")},
                         {QStringLiteral("due_date"), QStringLiteral("2026-04-01")}});
                }
                memo = o.lastId(QStringLiteral("cheques"));
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
            // An instalment is added only to a unit sold to the buyer.
            return {[&o] {
                        o.installments.sellUnit(o.buyer, o.saleUnit, 90000, 0, 4, "2026-03-10", 1);
                    },
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
        if (kind == "issued cheque bounced")
            return {addCheque("issued"), chequeTo("bounced"),
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
            << "1100:+18000.00 1300:+72000.00 4300:-90000.00" << 1;
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
        QTest::newRow("issued cheque bounced") << "issued_cheque_bounced"
                                               << "2100:-700.00 2200:+700.00" << 1;
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
        QVERIFY(o.payments.addCheque(o.openInvoice(1250), o.tenant, 1250, "2026-03-20", "100988",
                                     "البنك العربي", "2026-04-02", 1) > 0);
        const int cheque = o.lastId("cheques");
        const QMap<QString, double> before = o.balances();
        QVERIFY(o.cheques.updateStatus(cheque, "paid"));
        QVERIFY(o.cheques.updateStatus(cheque, "bounced"));
        QCOMPARE(moves(before, o.balances()), QString("1200:+1250.00 1300:-1250.00"));
        // Setting the same status again posts nothing.
        const int entries = o.t.count("journal_entries");
        QVERIFY(o.cheques.updateStatus(cheque, "bounced"));
        QCOMPARE(o.t.count("journal_entries"), entries);
    }

    // Records whose events are posted cannot be removed from under their
    // postings: the removal is refused and the journal stays as it was.
    void removingPostedRecordsIsRefused()
    {
        Office o;
        TenantModel tenants(o.t.db());
        UnitModel units(o.t.db());
        const int former = RentalRows::tenant(o.t.db(), QStringLiteral("نادر السعدي"));
        QVERIFY(o.invoices.createInvoice(former, 0, "2026-02", {item("إيجار شباط", 650, "rent")},
                                         1) > 0);
        QVERIFY(o.installments.sellUnit(o.buyer, o.saleUnit, 70000, 7000, 2, "2026-02-01", 1) == 1);
        const int entries = o.t.count("journal_entries");
        const QMap<QString, double> before = o.balances();

        QVERIFY(!tenants.remove(former));
        QVERIFY(!tenants.lastError().isEmpty());
        QVERIFY(!units.remove(o.saleUnit));
        QCOMPARE(units.lastError(), Reasons::unitNotAvailable());
        QCOMPARE(o.t.count("journal_entries"), entries);
        QCOMPARE(moves(before, o.balances()), QString());
        QCOMPARE(o.t.value("SELECT COUNT(*) FROM tenants WHERE id=?", {former}).toInt(), 1);
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

    // Every line is kept in its order and every account it names moves by
    // its debit less credit, an account named on two lines by both.
    void entryLinesAndBalances_data()
    {
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QList<double>>("debits");
        QTest::addColumn<QList<double>>("credits");
        QTest::addColumn<QString>("expectedMoves");

        QTest::newRow("three accounts")
            << QStringList{"1100", "1110", "1200"} << QList<double>{700, 300.25, 0}
            << QList<double>{0, 0, 1000.25} << "1100:+700.00 1110:+300.25 1200:-1000.25";
        QTest::newRow("one account on two lines")
            << QStringList{"1100", "1100", "1200"} << QList<double>{400, 100.5, 0}
            << QList<double>{0, 0, 500.5} << "1100:+500.50 1200:-500.50";
        QTest::newRow("debit and credit on one account")
            << QStringList{"1100", "1200", "1100"} << QList<double>{250, 0, 0}
            << QList<double>{0, 200, 50} << "1100:+200.00 1200:-200.00";
    }

    void entryLinesAndBalances()
    {
        QFETCH(QStringList, codes);
        QFETCH(QList<double>, debits);
        QFETCH(QList<double>, credits);
        QFETCH(QString, expectedMoves);

        Office o;
        const QMap<QString, double> before = o.balances();
        LedgerPosting posting(o.t.db());
        LedgerPosting::Entry entry;
        entry.date = "2026-03-01";
        entry.description = "قيد متعدد البنود";
        entry.referenceType = "manual";
        entry.referenceId = 1;
        for (int i = 0; i < codes.size(); ++i)
            entry.lines.append({codes.at(i), 0, debits.at(i), credits.at(i),
                                i == 0 ? QStringLiteral("البند الأول") : QString()});
        const int id = posting.post(entry);
        QVERIFY2(id > 0, qPrintable(posting.reason()));
        QCOMPARE(moves(before, o.balances()), expectedMoves);

        const QVariantList lines = o.t.db()->execQuery(
            "SELECT a.code, jl.debit, jl.credit, jl.description FROM journal_lines jl JOIN "
            "accounts a ON a.id=jl.account_id WHERE jl.entry_id=? ORDER BY jl.id",
            {id});
        QCOMPARE(lines.size(), codes.size());
        for (int i = 0; i < codes.size(); ++i) {
            const QVariantMap line = lines.at(i).toMap();
            QCOMPARE(line.value("code").toString(), codes.at(i));
            QCOMPARE(line.value("debit").toDouble(), debits.at(i));
            QCOMPARE(line.value("credit").toDouble(), credits.at(i));
            QCOMPARE(line.value("description").toString(),
                     i == 0 ? QStringLiteral("البند الأول") : entry.description);
        }
        QCOMPARE(unbalancedEntries(o.t), 0);
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
        if (tag.contains("cheque")) {
            QVERIFY(o.payments.addCheque(o.openInvoice(500), o.tenant, 500, "2026-03-20", "77001",
                                         "بنك فلسطين", "2026-04-01", 1) > 0);
            cheque = o.lastId("cheques");
        }
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
};

QTEST_GUILESS_MAIN(TestLedgerPosting)
#include "tst_ledgerposting.moc"
