// What tenants owe per due day, as read for the cash calendar, against the
// same figures added up from the invoices themselves.
#include "TestDatabase.h"

#include "insight/DueInvoices.h"

#include <QtTest>

namespace {

// Every row as "currency|day|amount in mills", sorted.
QString rowsOf(const std::function<bool(const DueInvoices::RowHandler&)>& read)
{
    QStringList rows;
    const bool ok = read([&rows](QVector<QVariant>& row) {
        rows << QStringLiteral("%1|%2|%3")
                    .arg(row.at(0).isNull() ? QStringLiteral("-") : row.at(0).toString(),
                         row.at(1).toString())
                    .arg(qRound64(row.at(2).toDouble() * 1000));
    });
    if (!ok)
        return QStringLiteral("read failed");
    rows.sort();
    return rows.join(QLatin1Char('\n'));
}

} // namespace

class TestDueInvoices : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_t = std::make_unique<TestDatabase>();
        // Rent over a year and a half in three currencies and none, in every
        // state, some without a due day; a dinar keeps its third decimal and
        // a few balances are under half a cent: fils still owed, or what a
        // rounding left.
        const QStringList statuses{QStringLiteral("pending"), QStringLiteral("partial"),
                                   QStringLiteral("paid"),    QStringLiteral("void"),
                                   QStringLiteral("overdue"), QString()};
        const QList<double> tiny{0.003, 0.004, 0.0049, 0.005, 0.001, 0.0000001};
        const QDate first(2025, 1, 1);
        for (int i = 1; i <= 300; ++i) {
            const QString status = statuses.at(i % statuses.size());
            const QVariant currency = i % 4 == 0   ? QVariant(3)
                                      : i % 4 == 1 ? QVariant(2)
                                      : i % 4 == 2 ? QVariant(QMetaType(QMetaType::Int))
                                                   : QVariant(1);
            const QVariant due = i % 19 == 0
                                     ? QVariant(QMetaType(QMetaType::QString))
                                     : QVariant(first.addDays(i * 2 % 540).toString(Qt::ISODate));
            const double total = i % 4 == 0 ? 350.125 : 1200 + i * 3.35;
            const double balance = i % 7 == 0    ? tiny.at(i / 7 % tiny.size())
                                   : i % 23 == 0 ? -15.5
                                                 : total - (i % 3) * 100;
            QVERIFY(m_t->db()->execNonQuery(
                QStringLiteral("INSERT INTO invoices (invoice_number, period, total_amount, "
                               "paid_amount, balance, status, currency_id, due_date, notes) "
                               "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {QStringLiteral("ف-%1").arg(i), QStringLiteral("2025-01"), total, total - balance,
                 balance,
                 status.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(status),
                 currency, due, QStringLiteral("إيجار شقة الطابق الثاني")}));
        }
    }
    void cleanup() { m_t.reset(); }

    // After every kind of change the days read for the calendar are those
    // the invoices give, tiny balances included, for every span.
    void daysEqualTheScan_data()
    {
        QTest::addColumn<QStringList>("changes");
        QTest::newRow("as written") << QStringList();
        QTest::newRow("invoices paid down to fils and voided") << QStringList{
            QStringLiteral("UPDATE invoices SET balance=0.002, paid_amount=total_amount-0.002 "
                           "WHERE id%5=0"),
            QStringLiteral("UPDATE invoices SET status='void' WHERE id%11=0"),
            QStringLiteral("UPDATE invoices SET balance=0, status='paid' WHERE id%13=0")};
        QTest::newRow("redated, recurrencied, removed")
            << QStringList{QStringLiteral("UPDATE invoices SET due_date='2025-03-02' WHERE id%6=0"),
                           QStringLiteral("UPDATE invoices SET due_date=NULL WHERE id%17=0"),
                           QStringLiteral("UPDATE invoices SET currency_id=NULL WHERE id%9=0"),
                           QStringLiteral("DELETE FROM invoices WHERE id%8=0")};
        QTest::newRow("a paid invoice owed again") << QStringList{
            QStringLiteral("UPDATE invoices SET status='partial', balance=0.004 WHERE "
                           "status='paid' AND id%2=0"),
            QStringLiteral("UPDATE invoices SET status='pending', balance=75.5 WHERE "
                           "status='paid'")};
    }
    void daysEqualTheScan()
    {
        QFETCH(QStringList, changes);
        Database* db = m_t->db();
        for (const QString& change : changes)
            QVERIFY2(db->execNonQuery(change), qPrintable(change));
        const QList<QPair<QString, QString>> spans = {
            {QStringLiteral("0001-01-01"), QStringLiteral("2026-12-31")},
            {QStringLiteral("2025-02-01"), QStringLiteral("2025-06-30")},
            {QStringLiteral("2025-03-02"), QStringLiteral("2025-03-02")},
        };
        for (const auto& [from, to] : spans) {
            const QString read = rowsOf([&](const DueInvoices::RowHandler& onRow) {
                return DueInvoices::forEachDay(db, from, to, onRow);
            });
            const QString scanned = rowsOf([&](const DueInvoices::RowHandler& onRow) {
                return DueInvoices::forEachDayScanned(db, from, to, onRow);
            });
            QVERIFY(!scanned.isEmpty());
            QCOMPARE(read, scanned);
        }
        // The data holds balances under half a cent the scan counts.
        QVERIFY(m_t->value(QStringLiteral("SELECT COUNT(*) FROM invoices WHERE status IN "
                                          "('pending','partial','overdue') AND balance>0 AND "
                                          "balance<0.005 AND due_date IS NOT NULL"))
                    .toLongLong() > 0);
    }

private:
    std::unique_ptr<TestDatabase> m_t;
};

QTEST_GUILESS_MAIN(TestDueInvoices)
#include "tst_dueinvoices.moc"
