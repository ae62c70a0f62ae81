#include "RentalRows.h"
#include "TestDatabase.h"

#include "core/Reasons.h"
#include "core/Schema.h"
#include "finance/AccountModel.h"
#include "finance/ContractorBalance.h"
#include "finance/ContractorModel.h"
#include "finance/ExpenseModel.h"
#include "insight/ReportController.h"
#include "rental/MaintenanceModel.h"

#include <QSignalSpy>
#include <QTest>

#include <limits>

// What the office owes its contractors: bills owed raise the balance of
// their currency, payments lower it, corrections and removals post their
// reversal, and after every step account 2100 still equals the contractors'
// balances (the ledger's reconciliation finds nothing).
class TestContractorBooks : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        m_expenses = std::make_unique<ExpenseModel>(db());
        m_contractors = std::make_unique<ContractorModel>(db());
        m_accounts = std::make_unique<AccountModel>(db());
        m_property = RentalRows::property(db(), QStringLiteral("عمارة النخيل"));
        m_unit = RentalRows::unit(db(), m_property, QStringLiteral("A2"));
        m_plumber = RentalRows::contractor(db(), QStringLiteral("ورشة الأمل للسباكة"));
        m_usd = m_fixture->value("SELECT id FROM currencies WHERE code='USD'").toInt();
        QVERIFY(m_property > 0 && m_unit > 0 && m_plumber > 0 && m_usd > 1);
    }
    void cleanup()
    {
        m_contractors.reset();
        m_expenses.reset();
        m_accounts.reset();
        m_fixture.reset();
    }

    void billRaisesAndPaymentLowersTheBalanceOfItsCurrency()
    {
        QVERIFY(bill(1200, 1) > 0);
        QVERIFY(bill(40, m_usd) > 0);
        QCOMPARE(balance(m_plumber, 1), 1200.0);
        QCOMPARE(balance(m_plumber, m_usd), 40.0);
        QCOMPARE(storedBalance(m_plumber), 1240.0);
        QCOMPARE(payable(1), -1200.0);
        booksReconcile();

        QSignalSpy changed(m_contractors.get(), &ContractorModel::dataChanged);
        const int paid = m_contractors->pay(m_plumber, 450.5, 1, QStringLiteral("2026-02-01"),
                                            QStringLiteral("cash"), QStringLiteral("سند 17"),
                                            QStringLiteral("دفعة من الحساب"));
        QVERIFY2(paid > 0, qPrintable(m_contractors->lastError()));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(balance(m_plumber, 1), 749.5);
        QCOMPARE(balance(m_plumber, m_usd), 40.0);
        QCOMPARE(storedBalance(m_plumber), 789.5);
        QCOMPARE(payable(1), -749.5);
        QCOMPARE(accountBalance("1100"), -450.5);
        booksReconcile();
        // The journal names whom the money went to.
        const int entry = m_fixture
                              ->value("SELECT id FROM journal_entries WHERE "
                                      "reference_type='contractor_payment' AND reference_id=?",
                                      {paid})
                              .toInt();
        QCOMPARE(m_accounts->getJournalEntry(entry).value("source").toString(),
                 QStringLiteral("دفعة للمقاول ورشة الأمل للسباكة"));

        // By bank: the bank account pays.
        QVERIFY(m_contractors->pay(m_plumber, 40, m_usd, QStringLiteral("2026-02-02"),
                                   QStringLiteral("bank"), QString(), QString()) > 0);
        QCOMPARE(balance(m_plumber, m_usd), 0.0);
        QCOMPARE(accountBalance("1110"), -40.0);
        booksReconcile();
    }

    void paymentByChequeEntersTheRegister()
    {
        QVERIFY(bill(900, 1) > 0);
        const int paid = m_contractors->pay(
            m_plumber, 900, 1, QStringLiteral("2026-03-01"), QStringLiteral("cheque"), QString(),
            QString(),
            {{"cheque_number", "300045"}, {"bank_name", "بنك فلسطين"}, {"due_date", "2026-04-15"}});
        QVERIFY2(paid > 0, qPrintable(m_contractors->lastError()));
        QCOMPARE(m_fixture->count("cheques"), 1);
        const QVariantMap cheque =
            db()->execQuery(QStringLiteral("SELECT * FROM cheques")).first().toMap();
        QCOMPARE(cheque.value("type").toString(), QStringLiteral("issued"));
        QCOMPARE(cheque.value("status").toString(), QStringLiteral("pending"));
        QCOMPARE(cheque.value("cheque_number").toString(), QStringLiteral("300045"));
        QCOMPARE(cheque.value("due_date").toString(), QStringLiteral("2026-04-15"));
        QCOMPARE(cheque.value("payee_name").toString(), QStringLiteral("ورشة الأمل للسباكة"));
        QCOMPARE(cheque.value("contractor_id").toInt(), m_plumber);
        QCOMPARE(cheque.value("contractor_payment_id").toInt(), paid);
        QCOMPARE(cheque.value("amount").toDouble(), 900.0);
        // Owed no more; the money leaves when the cheque clears.
        QCOMPARE(balance(m_plumber, 1), 0.0);
        QCOMPARE(accountBalance("2200"), -900.0);
        QCOMPARE(accountBalance("1100"), 0.0);
        booksReconcile();
    }

    void refusedPaymentWritesNothing_data()
    {
        QTest::addColumn<int>("contractor");
        QTest::addColumn<double>("amount");
        QTest::addColumn<bool>("usd");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("chequeNumber");
        QTest::addColumn<QString>("reason");
        const QString day = QStringLiteral("2026-05-01");
        const QString cash = QStringLiteral("cash");
        QTest::newRow("more than is owed")
            << 0 << 500.01 << false << day << cash << QString()
            << QStringLiteral("المبلغ أكبر من المستحق للمقاول بهذه العملة (500.00 ₪)");
        QTest::newRow("nothing owed in dollars")
            << 0 << 10.0 << true << day << cash << QString()
            << QStringLiteral("المبلغ أكبر من المستحق للمقاول بهذه العملة (0.00 $)");
        QTest::newRow("unknown contractor") << 9999 << 10.0 << false << day << cash << QString()
                                            << QStringLiteral("المقاول المختار غير موجود");
        QTest::newRow("zero amount")
            << 0 << 0.0 << false << day << cash << QString() << QStringLiteral("المبلغ غير صالح");
        QTest::newRow("amount not a number")
            << 0 << std::numeric_limits<double>::quiet_NaN() << false << day << cash << QString()
            << QStringLiteral("المبلغ غير صالح");
        QTest::newRow("31 February") << 0 << 10.0 << false << QStringLiteral("2026-02-31") << cash
                                     << QString() << QStringLiteral("التاريخ غير صحيح");
        QTest::newRow("unknown method") << 0 << 10.0 << false << day << QStringLiteral("gold")
                                        << QString() << QStringLiteral("طريقة الدفع غير معروفة");
        QTest::newRow("cheque without its number")
            << 0 << 10.0 << false << day << QStringLiteral("cheque") << QStringLiteral(" ")
            << QStringLiteral("رقم الشيك");
    }
    void refusedPaymentWritesNothing()
    {
        QFETCH(int, contractor);
        QFETCH(double, amount);
        QFETCH(bool, usd);
        QFETCH(QString, date);
        QFETCH(QString, method);
        QFETCH(QString, chequeNumber);
        QFETCH(QString, reason);
        QVERIFY(bill(500, 1) > 0);
        const int entries = m_fixture->count("journal_entries");
        QSignalSpy changed(m_contractors.get(), &ContractorModel::dataChanged);

        QCOMPARE(m_contractors->pay(contractor ? contractor : m_plumber, amount, usd ? m_usd : 1,
                                    date, method, QString(), QString(),
                                    {{"cheque_number", chequeNumber}}),
                 -1);
        QVERIFY2(m_contractors->lastError().contains(reason),
                 qPrintable(m_contractors->lastError()));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m_fixture->count("contractor_payments"), 0);
        QCOMPARE(m_fixture->count("cheques"), 0);
        QCOMPARE(m_fixture->count("journal_entries"), entries);
        QCOMPARE(balance(m_plumber, 1), 500.0);
        QCOMPARE(db()->transactionDepth(), 0);
    }

    void correctedBillPostsItsReversal()
    {
        const int id = bill(700, 1);
        QVERIFY(id > 0);
        QVariantMap fields = billFields(650, 1);
        fields.insert("description", QStringLiteral("تصليح خط المياه الرئيسي"));
        QVERIFY2(m_expenses->updateExpense(id, fields), qPrintable(m_expenses->lastError()));
        QCOMPARE(balance(m_plumber, 1), 650.0);
        QCOMPARE(m_fixture->value("SELECT amount FROM expenses WHERE id=?", {id}).toDouble(),
                 650.0);
        // The first entry stays; its mirror and the corrected entry follow.
        QCOMPARE(m_fixture
                     ->value("SELECT COUNT(*) FROM journal_entries WHERE reference_id=? AND "
                             "reference_type='expense_reversal'",
                             {id})
                     .toInt(),
                 1);
        QCOMPARE(payable(1), -650.0);
        QCOMPARE(accountBalance("5200"), 650.0);
        booksReconcile();

        // Paid now instead of owed: the contractor is owed nothing, cash pays.
        fields.insert("is_owed", false);
        QVERIFY(m_expenses->updateExpense(id, fields));
        QCOMPARE(balance(m_plumber, 1), 0.0);
        QCOMPARE(accountBalance("1100"), -650.0);
        booksReconcile();
    }

    // Regression: a bill corrected into another currency was reversed as one
    // entry in the smaller currency id, mixing shekels and dollars in it.
    void billMovedToAnotherCurrencyIsReversedInEach()
    {
        const int id = bill(300, 1);
        QVERIFY(m_expenses->updateExpense(id, billFields(80, m_usd)));
        QCOMPARE(balance(m_plumber, 1), 0.0);
        QCOMPARE(balance(m_plumber, m_usd), 80.0);
        QCOMPARE(payable(1), 0.0);
        QCOMPARE(payable(m_usd), -80.0);
        QVERIFY(m_expenses->removeExpense(id));
        QCOMPARE(payable(1), 0.0);
        QCOMPARE(payable(m_usd), 0.0);
        QCOMPARE(m_fixture->count("expenses"), 0);
        booksReconcile();
    }

    void removedBillPostsItsReversal()
    {
        const int id = bill(420, 1);
        QSignalSpy changed(m_expenses.get(), &ExpenseModel::dataChanged);
        QVERIFY(m_expenses->removeExpense(id));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(m_fixture->count("expenses"), 0);
        QCOMPARE(balance(m_plumber, 1), 0.0);
        QCOMPARE(storedBalance(m_plumber), 0.0);
        // Nothing posted is deleted: the entry and its mirror both stand.
        QCOMPARE(m_fixture->value("SELECT COUNT(*) FROM journal_entries WHERE reference_id=?", {id})
                     .toInt(),
                 2);
        QCOMPARE(accountBalance("5200"), 0.0);
        booksReconcile();
        QVERIFY(!m_expenses->removeExpense(id));
        QVERIFY(m_expenses->lastError().contains(QStringLiteral("غير موجود")));
    }

    void billAlreadyPaidCannotShrinkBelowThePayments()
    {
        const int id = bill(500, 1);
        QVERIFY(m_contractors->pay(m_plumber, 400, 1, QStringLiteral("2026-02-01"),
                                   QStringLiteral("cash"), QString(), QString()) > 0);
        const int entries = m_fixture->count("journal_entries");
        QVERIFY(!m_expenses->removeExpense(id));
        QCOMPARE(m_expenses->lastError(), QString(Reasons::billsBelowPayments()));
        QVERIFY(!m_expenses->updateExpense(id, billFields(300, 1)));
        QCOMPARE(m_fixture->count("expenses"), 1);
        QCOMPARE(m_fixture->count("journal_entries"), entries);
        QCOMPARE(balance(m_plumber, 1), 100.0);
        QCOMPARE(storedBalance(m_plumber), 100.0);
        // Down to what was paid is fine.
        QVERIFY(m_expenses->updateExpense(id, billFields(400, 1)));
        QCOMPARE(balance(m_plumber, 1), 0.0);
        booksReconcile();
    }

    void refusedExpenseWritesNothing_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unit of another property")
            << "unit_id" << QVariant(-2) << QStringLiteral("لا تتبع العقار");
        QTest::newRow("unknown contractor")
            << "contractor_id" << QVariant(9999) << QStringLiteral("المقاول المختار غير موجود");
        QTest::newRow("unknown currency")
            << "currency_id" << QVariant(77) << QStringLiteral("العملة المختارة غير معروفة");
        QTest::newRow("no currency")
            << "currency_id" << QVariant(0) << QStringLiteral("العملة المختارة غير معروفة");
        QTest::newRow("amount typed as words")
            << "amount" << QVariant(QStringLiteral("ألف")) << QStringLiteral("المبلغ غير صالح");
        QTest::newRow("negative amount")
            << "amount" << QVariant(-5) << QStringLiteral("المبلغ غير صالح");
        QTest::newRow("month without day") << "expense_date" << QVariant(QStringLiteral("2026-03"))
                                           << QStringLiteral("التاريخ غير صحيح");
        QTest::newRow("blank category")
            << "category" << QVariant(QStringLiteral("   ")) << QStringLiteral("الفئة");
        QTest::newRow("owed without contractor")
            << "contractor_id" << QVariant(0) << QStringLiteral("يحتاج إلى مقاول");
    }
    void refusedExpenseWritesNothing()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(QString, reason);
        if (value == QVariant(-2)) {
            const int other = RentalRows::property(db(), QStringLiteral("برج الصفا"));
            value = RentalRows::unit(db(), other, QStringLiteral("B9"));
        }
        QVariantMap fields = billFields(250, 1);
        fields.insert(key, value);
        QSignalSpy changed(m_expenses.get(), &ExpenseModel::dataChanged);
        QCOMPARE(m_expenses->addExpense(fields), -1);
        QVERIFY2(m_expenses->lastError().contains(reason), qPrintable(m_expenses->lastError()));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m_fixture->count("expenses"), 0);
        QCOMPARE(m_fixture->count("journal_entries"), 0);

        // The same check guards a correction.
        const int id = bill(250, 1);
        QVERIFY(!m_expenses->updateExpense(id, fields));
        QVERIFY(m_expenses->lastError().contains(reason));
        QCOMPARE(m_fixture->value("SELECT amount FROM expenses WHERE id=?", {id}).toDouble(),
                 250.0);
        booksReconcile();
    }

    void expenseOfAUnitTakesItsProperty()
    {
        QVariantMap fields = billFields(60, 1);
        fields.remove("property_id");
        fields.insert("is_owed", false);
        fields.insert("contractor_id", 0);
        fields.insert("category", QStringLiteral("كهرباء"));
        fields.insert("reference", QStringLiteral("فاتورة كهرباء 8812"));
        const int id = m_expenses->addExpense(fields);
        QVERIFY2(id > 0, qPrintable(m_expenses->lastError()));
        const QVariantMap row = m_expenses->getExpense(id);
        QCOMPARE(row.value("property_id").toInt(), m_property);
        QCOMPARE(row.value("property_name").toString(), QStringLiteral("عمارة النخيل"));
        QCOMPARE(row.value("reference").toString(), QStringLiteral("فاتورة كهرباء 8812"));
        QCOMPARE(row.value("is_owed").toInt(), 0);
        QCOMPARE(accountBalance("1100"), -60.0);
        QCOMPARE(accountBalance("5200"), 60.0);
    }

    void contractorWithBillsIsNotRemoved()
    {
        const int idle = RentalRows::contractor(db(), QStringLiteral("مؤسسة الدهان الحديث"));
        QVERIFY(bill(100, 1) > 0);
        QVERIFY(!m_contractors->removeContractor(m_plumber));
        QCOMPARE(m_contractors->lastError(), QString(Reasons::contractorHasOpenBills()));
        QCOMPARE(m_fixture->count("contractors"), 2);
        QVERIFY(m_contractors->removeContractor(idle));
        QCOMPARE(m_fixture->count("contractors"), 1);
        QVERIFY(!m_contractors->removeContractor(idle));
    }

    void statementRunsPerCurrency()
    {
        QVERIFY(billOn(1000, 1, QStringLiteral("2026-01-05")) > 0);
        QVERIFY(billOn(50, m_usd, QStringLiteral("2026-01-06")) > 0);
        QVERIFY(m_contractors->pay(m_plumber, 300, 1, QStringLiteral("2026-01-20"),
                                   QStringLiteral("cash"), QStringLiteral("سند 4"), QString()) > 0);
        QVERIFY(billOn(200, 1, QStringLiteral("2026-02-01")) > 0);

        const QVariantList rows = m_contractors->getStatement(m_plumber);
        QCOMPARE(rows.size(), 4);
        QStringList kinds;
        QList<double> running;
        for (const QVariant& r : rows) {
            kinds << r.toMap().value("kind").toString();
            running << r.toMap().value("balance").toDouble();
        }
        QCOMPARE(kinds, (QStringList{"bill", "bill", "payment", "bill"}));
        QCOMPARE(running, (QList<double>{1000, 50, 700, 900}));
        QCOMPARE(rows.at(2).toMap().value("reference").toString(), QStringLiteral("سند 4"));

        const QVariantList all = m_contractors->getAll();
        QCOMPARE(all.size(), 1);
        const QVariantList balances = all.first().toMap().value("balances").toList();
        QCOMPARE(balances.size(), 2);
        QCOMPARE(balances.at(0).toMap().value("balance").toDouble(), 900.0);
        QCOMPARE(balances.at(1).toMap().value("currency_code").toString(), QStringLiteral("USD"));
        QCOMPARE(balances.at(1).toMap().value("balance").toDouble(), 50.0);
    }

    void maintenanceDoneByAContractor_data()
    {
        QTest::addColumn<bool>("owed");
        QTest::addColumn<double>("balance");
        QTest::addColumn<double>("cash");
        QTest::newRow("owed to the plumber") << true << 380.0 << 0.0;
        QTest::newRow("paid on the spot") << false << 0.0 << -380.0;
    }
    void maintenanceDoneByAContractor()
    {
        QFETCH(bool, owed);
        QFETCH(double, balance);
        QFETCH(double, cash);
        MaintenanceModel maintenance(db());
        const int request = maintenance.add(m_unit, m_property, QStringLiteral("تسرب في المطبخ"),
                                            QString(), QStringLiteral("high"));
        QVERIFY(maintenance.completeWith(request, 380, m_plumber, owed));
        const QVariantMap expense =
            db()->execQuery(QStringLiteral("SELECT * FROM expenses")).first().toMap();
        QCOMPARE(expense.value("contractor_id").toInt(), m_plumber);
        QCOMPARE(expense.value("is_owed").toInt(), owed ? 1 : 0);
        QCOMPARE(this->balance(m_plumber, 1), balance);
        QCOMPARE(accountBalance("1100"), cash);
        QCOMPARE(m_fixture->value("SELECT assigned_to FROM maintenance_requests").toString(),
                 QStringLiteral("ورشة الأمل للسباكة"));
        booksReconcile();
        // Its expense is corrected, not removed, and the request follows.
        QVERIFY(!m_expenses->removeExpense(expense.value("id").toInt()));
        QCOMPARE(m_expenses->lastError(), QString(Reasons::expenseOfMaintenance()));
    }

    // A bill and the payment that settles it are one expense: reports count
    // the bill, and follow its correction and removal.
    void reportsCountTheBillOnceWhateverIsPaid()
    {
        ReportController reports(db());
        const int id = bill(1000, 1);
        QVERIFY(m_contractors->pay(m_plumber, 1000, 1, QStringLiteral("2026-01-20"),
                                   QStringLiteral("bank"), QString(), QString()) > 0);
        const auto expenses = [&] {
            return QList<double>{
                reports.getProfitLoss().value("expenses").toDouble(),
                reports.getProfitLoss("2026-01-01", "2026-01-31").value("expenses").toDouble(),
                reports.getPropertyComparison().first().toMap().value("expenses").toDouble()};
        };
        QCOMPARE(expenses(), (QList<double>{1000, 1000, 1000}));
        QVERIFY(m_expenses->updateExpense(id, billFields(1000, 1)));
        QCOMPARE(expenses(), (QList<double>{1000, 1000, 1000}));
        QVariantMap later = billFields(1000, 1);
        later.insert("expense_date", QStringLiteral("2026-02-03"));
        QVERIFY(m_expenses->updateExpense(id, later));
        QCOMPARE(expenses(), (QList<double>{1000, 0, 1000}));
    }

    void maintenanceOwedToNobodyIsRefused()
    {
        MaintenanceModel maintenance(db());
        const int request = maintenance.add(m_unit, m_property, QStringLiteral("تبديل قفل"),
                                            QString(), QStringLiteral("low"));
        QVERIFY(!maintenance.completeWith(request, 90, 0, true));
        QVERIFY(!maintenance.completeWith(request, 90, 4242, false));
        QCOMPARE(m_fixture->value("SELECT status FROM maintenance_requests").toString(),
                 QStringLiteral("new"));
        QCOMPARE(m_fixture->count("expenses"), 0);
    }

    // An office file from before bills could be paid on the spot: what was
    // recorded with a contractor was owed to it, and stays so.
    void olderFileKeepsItsContractorBillsOwed()
    {
        cleanup(); // one connection at a time
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sakanova.db"));
        QStringList legacy{QStringLiteral("BEGIN")};
        for (const QString& statement : Schema::tableStatements()) {
            if (statement.startsWith(QLatin1String("CREATE TABLE")) &&
                !statement.contains(QLatin1String("contractor_payments")))
                legacy << statement;
        }
        legacy << QStringLiteral("ALTER TABLE expenses ADD COLUMN contractor_id INTEGER")
               << QStringLiteral("INSERT INTO contractors (name,balance) VALUES ('أبو خالد',350)")
               << QStringLiteral("INSERT INTO expenses (category,amount,expense_date,"
                                 "contractor_id) VALUES ('صيانة',350,'2024-05-01',1)")
               << QStringLiteral("INSERT INTO expenses (category,amount,expense_date) VALUES "
                                 "('كهرباء',90,'2024-05-02')")
               << QStringLiteral("COMMIT");
        QVERIFY(TestDatabase::writeLegacyFile(path, legacy));
        {
            Database older;
            QVERIFY2(older.initialize(path), qPrintable(older.initErrorText()));
            QCOMPARE(older.scalar("SELECT is_owed FROM expenses WHERE amount=350").toInt(), 1);
            QCOMPARE(older.scalar("SELECT is_owed FROM expenses WHERE amount=90").toInt(), 0);
            QCOMPARE(ContractorModel(&older).getBalances(1).first().toMap().value("balance"),
                     QVariant(350.0));
            // A bill paid on the spot after the upgrade...
            QVERIFY(older.execNonQuery("UPDATE expenses SET is_owed=0 WHERE amount=350"));
        }
        // ...is not marked owed again at the next start.
        Database again;
        QVERIFY(again.initialize(path));
        QCOMPARE(again.scalar("SELECT is_owed FROM expenses WHERE amount=350").toInt(), 0);
    }

private:
    Database* db() const { return m_fixture->db(); }
    QVariantMap billFields(double amount, int currency) const
    {
        return {{"property_id", m_property},
                {"unit_id", m_unit},
                {"contractor_id", m_plumber},
                {"category", QStringLiteral("سباكة")},
                {"description", QStringLiteral("تصليح خط المياه")},
                {"amount", amount},
                {"expense_date", QStringLiteral("2026-01-15")},
                {"currency_id", currency},
                {"is_owed", true}};
    }
    int billOn(double amount, int currency, const QString& date)
    {
        QVariantMap fields = billFields(amount, currency);
        fields.insert("expense_date", date);
        const int id = m_expenses->addExpense(fields);
        if (id < 1)
            qWarning("bill refused: %s", qPrintable(m_expenses->lastError()));
        return id;
    }
    int bill(double amount, int currency)
    {
        return billOn(amount, currency, QStringLiteral("2026-01-15"));
    }
    double balance(int contractor, int currency) const
    {
        return ContractorBalance(m_fixture->db()).balance(contractor, currency);
    }
    double storedBalance(int contractor) const
    {
        return m_fixture->value("SELECT balance FROM contractors WHERE id=?", {contractor})
            .toDouble();
    }
    // The net of the account's lines in one currency (debit minus credit).
    double payable(int currency) const
    {
        return m_fixture
            ->value("SELECT ROUND(COALESCE(SUM(jl.debit-jl.credit),0),2) FROM journal_lines jl "
                    "JOIN journal_entries je ON jl.entry_id=je.id JOIN accounts a ON "
                    "jl.account_id=a.id WHERE a.code='2100' AND je.currency_id=?",
                    {currency})
            .toDouble();
    }
    double accountBalance(const char* code) const
    {
        return m_fixture
            ->value("SELECT ROUND(balance,2) FROM accounts WHERE code=?",
                    {QString::fromLatin1(code)})
            .toDouble();
    }
    void booksReconcile()
    {
        const QVariantList findings = m_accounts->reconcile();
        QVERIFY2(findings.isEmpty(),
                 qPrintable(findings.isEmpty()
                                ? QString()
                                : findings.first().toMap().value("check").toString()));
    }

    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<ExpenseModel> m_expenses;
    std::unique_ptr<ContractorModel> m_contractors;
    std::unique_ptr<AccountModel> m_accounts;
    int m_property = 0;
    int m_unit = 0;
    int m_plumber = 0;
    int m_usd = 0;
};

QTEST_GUILESS_MAIN(TestContractorBooks)
#include "tst_contractorbooks.moc"
