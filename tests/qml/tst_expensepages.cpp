#include "ShellHarness.h"
#include "ShotSaver.h"

#include <QTest>

namespace {

const int kAccounting = 4;
const int kExpenses = 12;

} // namespace

// The expenses page and the contractors' payments on the real window: an
// office clerk records a bill owed to the plumber, corrects it, filters the
// list, removes an expense, then pays the plumber (refused above what is
// owed, accepted below it, and by cheque) and opens his statement. What ends
// up stored is checked after each step; any QML warning fails the test.
class TestExpensePages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ShellHarness::installMessageHandler(); }

    void init()
    {
        ShellHarness::problems().clear();
        h = std::make_unique<ShellHarness>();
        QVERIFY(h->startSignedIn());
        if (ShotSaver::theme() == QLatin1String("light"))
            QMetaObject::invokeMethod(h->backend(QStringLiteral("settingsManager")), "setThemeMode",
                                      Q_ARG(QString, QStringLiteral("light")));
        Database* db = h->database().db();
        m_property = db->execInsert(
            QStringLiteral("INSERT INTO properties (name) VALUES ('عمارة الزيتون')"));
        m_unit = db->execInsert(QStringLiteral("INSERT INTO units (property_id,unit_number) "
                                               "VALUES (?,'3B')"),
                                {m_property});
        m_plumber = h->evaluate(QStringLiteral("expenseModel.addContractor('ورشة الأمل للسباكة', "
                                               "'0599111222', 'سباكة')"))
                        .toInt();
        QVERIFY(m_property > 0 && m_unit > 0 && m_plumber > 0);
    }

    void cleanup()
    {
        h.reset();
        QStringList& problems = ShellHarness::problems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void expenseIsRecordedCorrectedFilteredAndRemoved()
    {
        QVERIFY(h->showPage(kExpenses));
        QQuickItem* table = need("expenseTable");
        QCOMPARE(text("emptyListText", table), QStringLiteral("لا توجد مصروفات بعد"));

        // Owed to nobody: the dialog says so under the field and keeps it all.
        click("addExpenseButton");
        QVERIFY(h->waitOpened(QStringLiteral("expenseDialog")));
        QVERIFY(h->choose(need("expenseCategoryBox"), 0)); // صيانة
        QVERIFY(h->choose(need("expensePropertyBox"), 1));
        QVERIFY(h->choose(need("expenseUnitBox"), 1));
        QVERIFY(h->choose(need("expensePayBox"), 1));
        type("expenseAmountField", QStringLiteral("١٬٢٠٠"));
        type("expenseDescriptionField", QStringLiteral("تبديل خط المياه الرئيسي"));
        click("expenseSaveButton");
        QCOMPARE(need("expensePayBox")->property("errorText").toString(),
                 QStringLiteral("اختر المقاول أولاً"));
        QCOMPARE(h->database().count(QStringLiteral("expenses")), 0);

        QVERIFY(h->choose(need("expenseContractorBox"), 1));
        QVERIFY(h->choose(need("expensePayBox"), 1));
        type("expenseReferenceField", QStringLiteral("فاتورة 77"));
        shoot("expense-add");
        click("expenseSaveButton");
        QVERIFY(h->waitClosed(QStringLiteral("expenseDialog")));
        QCOMPARE(h->database().count(QStringLiteral("expenses")), 1);
        const QVariantMap stored = row("SELECT * FROM expenses");
        QCOMPARE(stored.value("amount").toDouble(), 1200.0);
        QCOMPARE(stored.value("unit_id").toInt(), m_unit);
        QCOMPARE(stored.value("contractor_id").toInt(), m_plumber);
        QCOMPARE(stored.value("is_owed").toInt(), 1);
        QCOMPARE(stored.value("reference").toString(), QStringLiteral("فاتورة 77"));
        QCOMPARE(stored.value("category").toString(), QStringLiteral("صيانة"));
        QTRY_COMPARE(table->property("count").toInt(), 1);
        QTRY_VERIFY(text("expenseTotals").contains(QStringLiteral("1,200.00")));
        QCOMPARE(text("expensePayState", table), QStringLiteral("آجل للمقاول"));
        QCOMPARE(balance(), 1200.0);

        // A paid-now electricity bill in dollars for the whole property.
        click("addExpenseButton");
        QVERIFY(h->waitOpened(QStringLiteral("expenseDialog")));
        QVERIFY(h->choose(need("expenseCategoryBox"), 1)); // كهرباء
        QVERIFY(h->choose(need("expensePropertyBox"), 1));
        QVERIFY(h->choose(need("expenseCurrencyBox"), usdIndex()));
        type("expenseAmountField", QStringLiteral("85.5"));
        click("expenseSaveButton");
        QVERIFY(h->waitClosed(QStringLiteral("expenseDialog")));
        QTRY_COMPARE(table->property("count").toInt(), 2);
        QTRY_VERIFY(text("expenseTotals").contains(QStringLiteral("$")));
        QVERIFY(text("expenseTotals").contains(QStringLiteral("1,200.00")));
        shoot("expenses");

        // Correcting the plumber's bill: the dialog opens with it, the
        // stored row and the balance follow.
        QQuickItem* plumberRow = rowShowing(table, QStringLiteral("تبديل خط المياه الرئيسي"));
        QVERIFY(plumberRow);
        click(h->find(QStringLiteral("editExpenseButton"), plumberRow));
        QVERIFY(h->waitOpened(QStringLiteral("expenseDialog")));
        QCOMPARE(need("expenseAmountField")->property("text").toString(), QStringLiteral("1200"));
        type("expenseAmountField", QStringLiteral("950"));
        click("expenseSaveButton");
        QVERIFY(h->waitClosed(QStringLiteral("expenseDialog")));
        QCOMPARE(balance(), 950.0);
        QCOMPARE(h->database()
                     .value(QStringLiteral("SELECT COUNT(*) FROM journal_entries WHERE "
                                           "reference_type='expense_reversal'"))
                     .toInt(),
                 1);

        // Filters narrow the list and its totals.
        QVERIFY(h->choose(need("expenseCategoryFilter"), 2)); // كهرباء
        QTRY_COMPARE(table->property("count").toInt(), 1);
        QTRY_VERIFY(!text("expenseTotals").contains(QStringLiteral("950.00")));
        QVERIFY(h->choose(need("expenseCategoryFilter"), 0));
        QVERIFY(h->choose(need("expenseContractorFilter"), 1));
        QTRY_COMPARE(table->property("count").toInt(), 1);
        QTRY_VERIFY(text("expenseTotals").contains(QStringLiteral("950.00")));
        QVERIFY(!text("expenseTotals").contains(QStringLiteral("$")));
        type("expenseFromField", QStringLiteral("2999-01-01"));
        QTRY_COMPARE(table->property("count").toInt(), 0);
        QCOMPARE(text("emptyListText", table),
                 QStringLiteral("لا توجد مصروفات مطابقة للبحث أو التصفية"));
        type("expenseFromField", QString());
        QVERIFY(h->choose(need("expenseContractorFilter"), 0));
        QTRY_COMPARE(table->property("count").toInt(), 2);

        // Removing asks first, naming the expense, and posts the reversal.
        QQuickItem* billRow = rowShowing(table, QStringLiteral("كهرباء"));
        QVERIFY(billRow);
        click(h->find(QStringLiteral("removeExpenseButton"), billRow));
        QVERIFY(h->waitOpened(QStringLiteral("expenseConfirmDialog")));
        QVERIFY(text("confirmMessage").contains(QStringLiteral("85.50")));
        click("confirmButton");
        QVERIFY(h->waitClosed(QStringLiteral("expenseConfirmDialog")));
        QCOMPARE(h->database().count(QStringLiteral("expenses")), 1);
        QTRY_COMPARE(table->property("count").toInt(), 1);
        QCOMPARE(h->database()
                     .value(QStringLiteral("SELECT ROUND(SUM(balance),2) FROM accounts WHERE "
                                           "code='1100'"))
                     .toDouble(),
                 0.0);
    }

    void contractorIsPaidFromTheContractorsTab()
    {
        QVERIFY(h->evaluate(
                     QStringLiteral("expenseModel.addExpense({property_id: %1, contractor_id: %2, "
                                    "category: 'سباكة', description: 'تمديدات الطابق الثالث', "
                                    "amount: 1500, expense_date: '2026-01-10', currency_id: 1, "
                                    "is_owed: true})")
                         .arg(m_property)
                         .arg(m_plumber))
                    .toInt() > 0);
        QVERIFY(h->showPage(kAccounting));
        click("accountingTab_2");
        QQuickItem* plumberRow = need("contractorRow_ورشة الأمل للسباكة");
        QTRY_VERIFY(text("contractorBalance", plumberRow).contains(QStringLiteral("1,500.00")));
        shoot("contractors");

        // More than is owed: the reason stays in the dialog, nothing stored.
        click(h->find(QStringLiteral("payContractorButton"), plumberRow));
        QVERIFY(h->waitOpened(QStringLiteral("contractorPayDialog")));
        QCOMPARE(need("contractorPayAmountField")->property("text").toString(),
                 QStringLiteral("1500.00"));
        type("contractorPayAmountField", QStringLiteral("1600"));
        click("contractorPaySaveButton");
        QTRY_VERIFY(text("errorBannerText", dialogContent("contractorPayDialog"))
                        .contains(QStringLiteral("أكبر من المستحق")));
        QCOMPARE(h->database().count(QStringLiteral("contractor_payments")), 0);
        shoot("contractor-pay-refused");

        type("contractorPayAmountField", QStringLiteral("600"));
        type("contractorPayReference", QStringLiteral("سند صرف 12"));
        click("contractorPaySaveButton");
        QVERIFY(h->waitClosed(QStringLiteral("contractorPayDialog")));
        QCOMPARE(balance(), 900.0);
        QTRY_VERIFY(text("contractorBalance", need("contractorRow_ورشة الأمل للسباكة"))
                        .contains(QStringLiteral("900.00")));

        // The rest by cheque: it enters the register as issued and pending.
        click(h->find(QStringLiteral("payContractorButton"),
                      need("contractorRow_ورشة الأمل للسباكة")));
        QVERIFY(h->waitOpened(QStringLiteral("contractorPayDialog")));
        QVERIFY(h->choose(need("contractorPayMethodBox"), 2));
        type("contractorPayChequeNumber", QStringLiteral("100234"));
        type("contractorPayBank", QStringLiteral("بنك فلسطين"));
        shoot("contractor-pay-cheque");
        click("contractorPaySaveButton");
        QVERIFY(h->waitClosed(QStringLiteral("contractorPayDialog")));
        QCOMPARE(balance(), 0.0);
        const QVariantMap cheque = row("SELECT * FROM cheques");
        QCOMPARE(cheque.value("type").toString(), QStringLiteral("issued"));
        QCOMPARE(cheque.value("status").toString(), QStringLiteral("pending"));
        QCOMPARE(cheque.value("amount").toDouble(), 900.0);
        QCOMPARE(cheque.value("contractor_id").toInt(), m_plumber);

        // The statement: the bill, then both payments, down to nothing.
        click(h->find(QStringLiteral("contractorStatementButton"),
                      need("contractorRow_ورشة الأمل للسباكة")));
        QVERIFY(h->waitOpened(QStringLiteral("contractorStatementDialog")));
        QQuickItem* list = need("contractorStatementList");
        QTRY_COMPARE(list->property("count").toInt(), 3);
        QCOMPARE(text("contractorStatementRunning", need("contractorStatementRow_0", list)),
                 QStringLiteral("1,500.00 ₪"));
        QCOMPARE(text("contractorStatementRunning", need("contractorStatementRow_2", list)),
                 QStringLiteral("0.00 ₪"));
        shoot("contractor-statement");
        QTest::keyClick(h->window(), Qt::Key_Escape);
        QVERIFY(h->waitClosed(QStringLiteral("contractorStatementDialog")));

        // With a bill on record the plumber cannot be removed.
        click(h->find(QStringLiteral("removeContractorButton"),
                      need("contractorRow_ورشة الأمل للسباكة")));
        QVERIFY(h->waitOpened(QStringLiteral("contractorConfirmDialog")));
        click("confirmButton");
        QTRY_VERIFY(text("errorBannerText", dialogContent("contractorConfirmDialog"))
                        .contains(QStringLiteral("لا يمكن حذف المقاول")));
        QCOMPARE(h->database().count(QStringLiteral("contractors")), 1);
        QVERIFY(h->evaluate(QStringLiteral("accountModel.reconcile().length")).toInt() == 0);
    }

    void maintenanceMovesAndIsCompletedByAContractor()
    {
        const int request = h->evaluate(QStringLiteral("maintenanceModel.add(%1, %2, 'تسرب في "
                                                       "الحمام', '', 'high')")
                                            .arg(m_unit)
                                            .arg(m_property))
                                .toInt();
        QVERIFY(request > 0);
        QVERIFY(h->showPage(8));
        QQuickItem* rowItem = need("maintenanceRow_تسرب في الحمام");
        QCOMPARE(text("maintenanceStatusText", rowItem), QStringLiteral("جديد"));
        click(h->find(QStringLiteral("maintenanceProgressButton"), rowItem));
        QTRY_COMPARE(h->database()
                         .value(QStringLiteral("SELECT status FROM maintenance_requests"))
                         .toString(),
                     QStringLiteral("in_progress"));
        rowItem = need("maintenanceRow_تسرب في الحمام");
        QTRY_COMPARE(text("maintenanceStatusText", rowItem), QStringLiteral("قيد التنفيذ"));

        click(h->find(QStringLiteral("completeMaintenanceButton"), rowItem));
        QVERIFY(h->waitOpened(QStringLiteral("maintenanceCompleteDialog")));
        type("maintenanceCostField", QStringLiteral("430"));
        QVERIFY(h->choose(need("maintenanceContractorBox"), 1));
        QVERIFY(h->choose(need("maintenancePayBox"), 1));
        shoot("maintenance-complete-contractor");
        click("maintenanceCompleteButton");
        QVERIFY(h->waitClosed(QStringLiteral("maintenanceCompleteDialog")));
        QCOMPARE(balance(), 430.0);
        QTRY_COMPARE(text("maintenanceStatusText", need("maintenanceRow_تسرب في الحمام")),
                     QStringLiteral("مكتمل · ورشة الأمل للسباكة"));
    }

private:
    QQuickItem* need(const char* name, QQuickItem* within = nullptr)
    {
        return h->waitVisible(QString::fromUtf8(name), within);
    }
    QQuickItem* need(const QString& name, QQuickItem* within = nullptr)
    {
        return h->waitVisible(name, within);
    }
    QString text(const char* name, QQuickItem* within = nullptr)
    {
        QQuickItem* item = h->find(QString::fromUtf8(name), within);
        return item ? item->property("text").toString() : QString();
    }
    QQuickItem* dialogContent(const char* dialog)
    {
        return h->dialogContent(QString::fromUtf8(dialog));
    }
    void click(const char* name) { QVERIFY2(h->click(need(name)), name); }
    void click(QQuickItem* item) { QVERIFY(h->click(item)); }
    void type(const char* field, const QString& value)
    {
        QVERIFY2(h->typeInto(need(field), value), field);
    }
    QVariantMap row(const char* sql)
    {
        const QVariantList rows = h->database().db()->execQuery(QString::fromUtf8(sql));
        return rows.isEmpty() ? QVariantMap() : rows.first().toMap();
    }
    // What the office owes the plumber in shekels.
    double balance()
    {
        const QVariantList rows =
            h->evaluate(QStringLiteral("contractorModel.getBalances(%1)").arg(m_plumber)).toList();
        for (const QVariant& r : rows)
            if (r.toMap().value("currency_id").toInt() == 1)
                return r.toMap().value("balance").toDouble();
        return 0.0;
    }
    int usdIndex()
    {
        const QVariantList currencies =
            h->evaluate(QStringLiteral("currencyModel.getAll()")).toList();
        for (int i = 0; i < currencies.size(); ++i)
            if (currencies.at(i).toMap().value("code").toString() == QLatin1String("USD"))
                return i;
        return -1;
    }
    // The list row whose description reads `description`.
    QQuickItem* rowShowing(QQuickItem* table, const QString& description)
    {
        for (QQuickItem* item : h->findAll(QStringLiteral("expenseDescription"), table))
            if (item->property("text").toString() == description) {
                for (QQuickItem* p = item; p; p = p->parentItem())
                    if (p->objectName().startsWith(QLatin1String("expenseRow_")))
                        return p;
            }
        return nullptr;
    }
    void shoot(const QString& name)
    {
        ShotSaver::saveShot(h->window(), QStringLiteral("expenses-") + name);
    }

    std::unique_ptr<ShellHarness> h;
    int m_property = 0;
    int m_unit = 0;
    int m_plumber = 0;
};

QTEST_MAIN(TestExpensePages)
#include "tst_expensepages.moc"
