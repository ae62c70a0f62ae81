#include "InsightRows.h"
#include "TestDatabase.h"
#include "core/ConvertedTotal.h"
#include "core/CurrencyRates.h"
#include "core/Money.h"
#include "finance/CurrencyModel.h"
#include "insight/ReportController.h"

#include <QTest>

using namespace InsightRows;

namespace {

const QString kDownPayment = QStringLiteral("دفعة مقدمة / بيع وحدة: ");

bool inRange(const QString& date, const QString& from, const QString& to)
{
    return from.isEmpty() || (!date.isEmpty() && date >= from && date <= to);
}

// A project's figures added up row by row in C++, without any grouping in
// SQL: what the grouped statements must come to.
QVariantMap plainFigures(Database* db, int property, const QString& from, const QString& to)
{
    const CurrencyRates rates(db);
    const QString today = day();
    ConvertedTotal sales(&rates), unsold(&rates), down(&rates), collections(&rates),
        expenses(&rates), soldDirect(&rates);
    qint64 total = 0;
    qint64 sold = 0;
    QHash<int, QVariantMap> units;
    for (const QVariant& value : db->execQuery("SELECT * FROM units")) {
        const QVariantMap u = value.toMap();
        units.insert(u["id"].toInt(), u);
        if (u["property_id"].toInt() != property)
            continue;
        ++total;
        const QString status = u["status"].toString();
        const int currency = u["currency_id"].toInt();
        if (status == QLatin1String("sold")) {
            ++sold;
            const QString saleDay = u["sale_date"].toString();
            if (inRange(saleDay, from, to)) {
                const double actual = u["sale_price_actual"].toDouble();
                sales.add(currency, saleDay.isEmpty() ? today : saleDay,
                          actual > 0 ? actual : u["sale_price"].toDouble());
            }
        } else if (status == QLatin1String("available")) {
            unsold.add(currency, today, u["sale_price"].toDouble());
        }
    }
    for (const QVariant& value : db->execQuery("SELECT * FROM payments WHERE buyer_id IS NOT "
                                               "NULL AND unit_id IS NOT NULL")) {
        const QVariantMap p = value.toMap();
        if (units.value(p["unit_id"].toInt())["property_id"].toInt() != property ||
            !inRange(p["payment_date"].toString(), from, to))
            continue;
        (p["notes"].toString().startsWith(kDownPayment.trimmed()) ? down : collections)
            .add(p["currency_id"].toInt(), p["payment_date"].toString(), p["amount"].toDouble());
    }
    for (const QVariant& value : db->execQuery("SELECT * FROM expenses")) {
        const QVariantMap e = value.toMap();
        const QString spent = e["expense_date"].toString();
        if (e["property_id"].toInt() == property && inRange(spent, from, to))
            expenses.add(e["currency_id"].toInt(), spent, e["amount"].toDouble());
        const QVariantMap u = units.value(e["unit_id"].toInt());
        if (!u.isEmpty() && u["property_id"].toInt() == property &&
            u["status"].toString() == QLatin1String("sold") &&
            inRange(u["sale_date"].toString(), from, to))
            soldDirect.add(e["currency_id"].toInt(), spent, e["amount"].toDouble());
    }
    ConvertedTotal collected = down;
    collected.merge(collections);
    ConvertedTotal expected = unsold;
    expected.merge(sales);
    expected.subtract(expenses);
    ConvertedTotal cashFlow = collected;
    cashFlow.subtract(expenses);
    ConvertedTotal realized = sales;
    realized.subtract(expenses);
    QVariantMap map = {{"total_units", total}, {"sold_units", sold}};
    const auto put = [&map](const char* key, const ConvertedTotal& figure) {
        map.insert(QLatin1String(key), figure.primary());
        map.insert(QLatin1String(key) + QStringLiteral("_detail"), figure.toMap());
    };
    put("total_sales_value", sales);
    put("total_collected", collected);
    put("total_expenses", expenses);
    put("unsold_value", unsold);
    put("expected_profit", expected);
    put("net_cash_flow", cashFlow);
    put("realized_profit", realized);
    put("cash_sales", down);
    put("installment_collections", collections);
    put("sold_direct_cost", soldDirect);
    return map;
}

// Each figure to the cent, and what each currency came to and which rates
// are missing.
void compareFigures(const QVariantMap& read, const QVariantMap& plain, const QString& where)
{
    for (auto it = plain.cbegin(); it != plain.cend(); ++it) {
        const QString what = where + QStringLiteral(": ") + it.key();
        if (it.key().endsWith(QLatin1String("_detail"))) {
            const QVariantMap a = read.value(it.key()).toMap();
            const QVariantMap b = it.value().toMap();
            QVERIFY2(a.value("byCurrency") == b.value("byCurrency"), qPrintable(what));
            QVERIFY2(a.value("missing") == b.value("missing"), qPrintable(what));
            QVERIFY2(a.value("complete") == b.value("complete"), qPrintable(what));
        } else {
            QVERIFY2(read.contains(it.key()), qPrintable(what));
            QVERIFY2(Money::toCents(read.value(it.key()).toDouble()) ==
                         Money::toCents(it.value().toDouble()),
                     qPrintable(what + QStringLiteral(" = ") + read.value(it.key()).toString() +
                                QStringLiteral(", rows say ") + it.value().toString()));
        }
    }
}

} // namespace

class TestProjectFinancials : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useLocalDayApartFromUtc()); }

    // The projects tab reads every project at once; each card must say what
    // that project's rows add up to, and what the project read alone says,
    // in shekels and dollars at each day's rate, after every change.
    void everyProjectMatchesItsRows_data()
    {
        QTest::addColumn<int>("fromOffset");
        QTest::addColumn<int>("toOffset");
        QTest::addColumn<bool>("ranged");
        QTest::newRow("منذ البداية") << 0 << 0 << false;
        QTest::newRow("آخر ثلاثين يوماً") << -30 << 0 << true;
        QTest::newRow("السنة الماضية") << -400 << -31 << true;
    }
    void everyProjectMatchesItsRows()
    {
        QFETCH(int, fromOffset);
        QFETCH(int, toOffset);
        QFETCH(bool, ranged);
        const QString from = ranged ? day(fromOffset) : QString();
        const QString to = ranged ? day(toOffset) : QString();

        TestDatabase t;
        Database* db = t.db();
        ReportController reports(db);
        CurrencyModel rates(db);
        const int zaytoun = InsightRows::property(db, QStringLiteral("عمارة الزيتون"));
        const int rayhan = InsightRows::property(db, QStringLiteral("أبراج الريحان"));
        const int empty = InsightRows::property(db, QStringLiteral("أرض السهل"));
        const int a = unit(db, zaytoun, "أ1", "sold", 500000);
        const int b = unit(db, zaytoun, "أ2", "available", 420000);
        const int c = unit(db, rayhan, "ب1", "sold", 90000);
        const int d = unit(db, rayhan, "ب2", "available", 85000);
        unit(db, rayhan, "ب3", "rented", 70000);
        QVERIFY(db->execNonQuery("UPDATE units SET currency_id=2 WHERE property_id=?", {rayhan}));
        QVERIFY(db->execNonQuery("UPDATE units SET sale_date=?, sale_price_actual=? WHERE id=?",
                                 {day(-10), 480000, a}));
        QVERIFY(db->execNonQuery("UPDATE units SET sale_date=? WHERE id=?", {day(-200), c}));
        const int mona = buyer(db, QStringLiteral("منى الخطيب"));
        const int sami = buyer(db, QStringLiteral("سامي عودة"));
        payment(db, 100000, day(-10), 1, QVariant(), mona, a, QVariant(),
                kDownPayment + QStringLiteral("أ1"));
        const int instalment = payment(db, 2500.75, day(-3), 1, QVariant(), mona, a, QVariant(),
                                       QStringLiteral("تحصيل قسط"));
        payment(db, 30000, day(-200), 2, QVariant(), sami, c, QVariant(),
                kDownPayment + QStringLiteral("ب1"));
        payment(db, 1200, day(-45), 2, QVariant(), sami, c);
        // A tenant's rent on the same unit is no buyer money.
        payment(db, 900, day(-2), 1, QVariant(), QVariant(), c);
        expense(db, zaytoun, a, 15000.5, day(-300));
        const int common = expense(db, zaytoun, QVariant(), 800, day(-1));
        const int bill = expense(db, rayhan, c, 1200, day(-199), 2);
        expense(db, rayhan, QVariant(), 300, day(-20), 1);
        QVERIFY(rates.recordRate(2, day(-365), 3.5));

        const auto check = [&](const char* step) {
            const QHash<int, QVariantMap> every = reports.getEveryProjectFinancials(from, to);
            QVERIFY2(reports.lastError().isEmpty(), qPrintable(reports.lastError()));
            QCOMPARE(every.size(), 3);
            for (const int project : {zaytoun, rayhan, empty}) {
                const QString where =
                    QString::fromUtf8(step) + QStringLiteral(" / ") + QString::number(project);
                const QVariantMap plain = plainFigures(db, project, from, to);
                compareFigures(every.value(project), plain, where + QStringLiteral(" (all)"));
                compareFigures(reports.getProjectDetailedFinancials(project, from, to), plain,
                               where + QStringLiteral(" (alone)"));
                QCOMPARE(every.value(project).value("range_applied").toBool(), ranged);
            }
        };
        check("first rows");
        if (QTest::currentTestFailed())
            return;

        // A later rate, a unit moved to the other project, a sale, an
        // amount corrected, a common bill moved to the other project in
        // dollars and a bill taken back.
        QVERIFY(rates.recordRate(2, day(-15), 3.75));
        QVERIFY(db->execNonQuery("UPDATE units SET property_id=?, currency_id=1 WHERE id=?",
                                 {rayhan, b}));
        QVERIFY(db->execNonQuery(
            "UPDATE units SET status='sold', sale_date=?, sale_price_actual=0 WHERE id=?",
            {day(-5), d}));
        QVERIFY(db->execNonQuery("UPDATE payments SET amount=? WHERE id=?", {2600.25, instalment}));
        QVERIFY(db->execNonQuery("UPDATE expenses SET property_id=?, currency_id=2 WHERE id=?",
                                 {rayhan, common}));
        QVERIFY(db->execNonQuery("DELETE FROM expenses WHERE id=?", {bill}));
        expense(db, rayhan, d, 450, day(-4), 2);
        check("after changes");
        if (QTest::currentTestFailed())
            return;

        // A dollar amount on a day before any rate leaves the figure
        // incomplete, the same way on both reads.
        expense(db, empty, QVariant(), 10, day(-500), 2);
        payment(db, 50, day(-600), 2, QVariant(), sami, d, QVariant(), QStringLiteral("قسط"));
        check("before any rate");
    }

    void refusedRangeGivesNothing()
    {
        TestDatabase t;
        InsightRows::property(t.db(), QStringLiteral("عمارة الزيتون"));
        ReportController reports(t.db());
        QVERIFY(reports.getEveryProjectFinancials(QStringLiteral("2025-02-30"), day()).isEmpty());
        QVERIFY(!reports.lastError().isEmpty());
        QCOMPARE(reports.getEveryProjectFinancials().size(), 1);
        QVERIFY(reports.lastError().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProjectFinancials)
#include "tst_projectfinancials.moc"
