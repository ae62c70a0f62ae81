// The cash calendar against a plain sum over the rows it reads.
#include "InsightRows.h"
#include "TestDatabase.h"

#include "core/Money.h"
#include "insight/CashCalendar.h"

#include <QMap>
#include <QRandomGenerator>
#include <QtTest>

using InsightRows::day;

namespace {

// currency -> day -> {in, out} in cents.
using Expected = QMap<int, QMap<QString, QPair<qint64, qint64>>>;

} // namespace

class TestCashCalendar : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_t = std::make_unique<TestDatabase>();
        Database* db = m_t->db();
        m_tenant = db->execInsert("INSERT INTO tenants (full_name) VALUES (?)",
                                  {QStringLiteral("سارة خليل")});
        const int property = db->execInsert("INSERT INTO properties (name) VALUES (?)",
                                            {QStringLiteral("برج النخيل")});
        m_unit = db->execInsert("INSERT INTO units (property_id, unit_number, status) VALUES "
                                "(?,'B7','sold')",
                                {property});
        m_buyer = db->execInsert("INSERT INTO buyers (full_name) VALUES (?)",
                                 {QStringLiteral("مازن الخطيب")});
    }
    void cleanup()
    {
        m_cal.reset();
        m_t.reset();
    }

    // Many rows of every kind, in three currencies (and none, which is the
    // primary), on days before, inside and after the window, in every
    // status: the calendar equals the sum of the rows that are still due.
    void figuresEqualADirectSumOverTheRows()
    {
        Database* db = m_t->db();
        QRandomGenerator rng(20261209);
        Expected expected;
        // currency -> {in, out} in cents, of what fell due before today.
        QMap<int, QPair<qint64, qint64>> late;
        const int window = 30;
        for (int n = 0; n < 240; ++n) {
            const int offset = rng.bounded(-6, window + 6);
            const QString due = day(offset);
            const QVariant currency =
                rng.bounded(4) == 0 ? QVariant() : QVariant(1 + rng.bounded(3));
            const qint64 cents = 100 + rng.bounded(2000000);
            const double amount = cents / 100.0;
            const int kind = rng.bounded(4);
            bool open = false;
            bool in = true;
            if (kind == 0) {
                const QStringList statuses{"pending", "partial", "paid", "void"};
                const QString status = statuses.at(rng.bounded(4));
                const double balance = status == "paid" ? 0 : amount;
                QVERIFY(db->execInsert("INSERT INTO invoices (invoice_number, tenant_id, "
                                       "total_amount, balance, status, currency_id, due_date) "
                                       "VALUES (?,?,?,?,?,?,?)",
                                       {QStringLiteral("INV-%1").arg(n), m_tenant, amount + 10,
                                        balance, status, currency, due}) > 0);
                open = status == "pending" || status == "partial";
            } else if (kind == 1) {
                const bool paid = rng.bounded(4) == 0;
                const double part = rng.bounded(2) ? 0.0 : std::floor(amount / 3);
                QVERIFY(db->execInsert(
                            "INSERT INTO installments (buyer_id, unit_id, total_price, "
                            "installment_amount, paid_amount, due_date, status, "
                            "currency_id) VALUES (?,?,?,?,?,?,?,?)",
                            {m_buyer, m_unit, 100000, amount + part, paid ? amount + part : part,
                             due, paid ? "paid" : (part > 0 ? "partial" : "pending"), currency}) >
                        0);
                open = !paid;
            } else {
                const QStringList statuses{"pending", "pending", "paid", "bounced"};
                const QString status = statuses.at(rng.bounded(4));
                in = kind == 2;
                QVERIFY(db->execInsert("INSERT INTO cheques (cheque_number, type, amount, "
                                       "due_date, status, currency_id) VALUES (?,?,?,?,?,?)",
                                       {QString::number(1000 + n), in ? "received" : "issued",
                                        amount, due, status, currency}) > 0);
                open = status == "pending";
            }
            if (open && offset < 0) {
                auto& cell = late[currency.isNull() ? 1 : currency.toInt()];
                (in ? cell.first : cell.second) += cents;
            }
            if (!open || offset < 0 || offset >= window)
                continue;
            auto& cell = expected[currency.isNull() ? 1 : currency.toInt()][due];
            (in ? cell.first : cell.second) += cents;
        }

        const QVariantMap calendar = m_calendar().upcoming(window);
        QCOMPARE(calendar["from"].toString(), day(0));
        QCOMPARE(calendar["to"].toString(), day(window - 1));
        const QVariantList currencies = calendar["currencies"].toList();
        QCOMPARE(currencies.size(), expected.size());
        QVERIFY(expected.size() == 3);
        for (const QVariant& c : currencies) {
            const QVariantMap currency = c.toMap();
            const int id = currency["currency_id"].toInt();
            QVERIFY2(expected.contains(id), qPrintable(QString::number(id)));
            const auto& days = expected[id];
            qint64 in = 0;
            qint64 out = 0;
            const QVariantList rows = currency["days"].toList();
            QCOMPARE(rows.size(), days.size());
            QString previous;
            for (const QVariant& r : rows) {
                const QVariantMap row = r.toMap();
                const QString date = row["date"].toString();
                QVERIFY(date > previous);
                previous = date;
                QVERIFY2(days.contains(date), qPrintable(date));
                QCOMPARE(Money::toCents(row["in"].toDouble()), days[date].first);
                QCOMPARE(Money::toCents(row["out"].toDouble()), days[date].second);
                QCOMPARE(Money::toCents(row["net"].toDouble()),
                         days[date].first - days[date].second);
                in += days[date].first;
                out += days[date].second;
            }
            QCOMPARE(Money::toCents(currency["in"].toDouble()), in);
            QCOMPARE(Money::toCents(currency["out"].toDouble()), out);
            QCOMPARE(Money::toCents(currency["net"].toDouble()), in - out);
            QVERIFY(!currency["symbol"].toString().isEmpty());
            const QVariantMap overdue = currency["overdue"].toMap();
            QCOMPARE(Money::toCents(overdue["in"].toDouble()), late.value(id).first);
            QCOMPARE(Money::toCents(overdue["out"].toDouble()), late.value(id).second);
        }
    }

    // Bills owed to contractors are paid oldest first; what is left of a
    // bill is due out from its day, and a payment by a returned cheque pays
    // nothing. Bills, invoices and cheques from before today show as
    // overdue instead of vanishing.
    void contractorBillsAndOverdueItems()
    {
        Database* db = m_t->db();
        const int contractor = db->execInsert("INSERT INTO contractors (name) VALUES (?)",
                                              {QStringLiteral("ورشة الأمل للسباكة")});
        const auto bill = [&](double amount, int offset) {
            QVERIFY(db->execInsert("INSERT INTO expenses (category, amount, expense_date, "
                                   "contractor_id, is_owed, currency_id) VALUES "
                                   "('صيانة',?,?,?,1,1)",
                                   {amount, day(offset), contractor}) > 0);
        };
        const auto pay = [&](double amount, const QString& chequeStatus) {
            const int payment = db->execInsert(
                "INSERT INTO contractor_payments (contractor_id, amount, "
                "currency_id, payment_date, method) VALUES (?,?,1,?,?)",
                {contractor, amount, day(-1), chequeStatus.isEmpty() ? "cash" : "cheque"});
            QVERIFY(payment > 0);
            if (!chequeStatus.isEmpty())
                QVERIFY(db->execInsert("INSERT INTO cheques (cheque_number, type, amount, "
                                       "due_date, status, currency_id, contractor_id, "
                                       "contractor_payment_id) VALUES ('77','issued',?,?,?,1,?,?)",
                                       {amount, day(20), chequeStatus, contractor, payment}) > 0);
        };
        bill(300, -10);
        bill(500, 5);
        bill(200, 40); // beyond the window
        pay(250, QString());
        pay(400, QStringLiteral("bounced"));
        QVERIFY(db->execInsert("INSERT INTO invoices (invoice_number, tenant_id, total_amount, "
                               "balance, status, currency_id, due_date) VALUES "
                               "('INV-1',?,200,200,'pending',1,?)",
                               {m_tenant, day(-3)}) > 0);
        QVERIFY(db->execInsert("INSERT INTO cheques (cheque_number, type, amount, due_date, "
                               "status, currency_id) VALUES ('5001','received',80,?,'pending',1)",
                               {day(-1)}) > 0);

        const QVariantMap shekel = m_calendar().upcoming(30)["currencies"].toList()[0].toMap();
        const QVariantMap overdue = shekel["overdue"].toMap();
        QCOMPARE(overdue["in"].toDouble(), 280.0);
        QCOMPARE(overdue["out"].toDouble(), 50.0);
        QCOMPARE(overdue["net"].toDouble(), 230.0);
        const QVariantList days = shekel["days"].toList();
        QCOMPARE(days.size(), 1);
        QCOMPARE(days[0].toMap()["date"].toString(), day(5));
        QCOMPARE(days[0].toMap()["out"].toDouble(), 500.0);
        QCOMPARE(days[0].toMap()["lines"].toList()[0].toMap()["kind"].toString(),
                 QStringLiteral("contractor_bills"));
        QCOMPARE(shekel["out"].toDouble(), 500.0);

        // Regression: the overdue line listed one entry per past day of each
        // source. Two more late invoices on other days stay in one entry.
        for (int offset : {-20, -45})
            QVERIFY(db->execInsert("INSERT INTO invoices (invoice_number, tenant_id, "
                                   "total_amount, balance, status, currency_id, due_date) VALUES "
                                   "(?,?,100,100,'partial',1,?)",
                                   {QStringLiteral("INV-%1").arg(-offset), m_tenant, day(offset)}) >
                    0);
        const QVariantMap late =
            m_calendar().upcoming(30)["currencies"].toList()[0].toMap()["overdue"].toMap();
        QStringList lines;
        for (const QVariant& line : late["lines"].toList())
            lines << line.toMap()["kind"].toString() + ':' +
                         QString::number(line.toMap()["amount"].toDouble());
        QCOMPARE(lines,
                 QStringList({"invoices:400", "received_cheques:80", "contractor_bills:50"}));
    }

    void eachLineNamesItsSource()
    {
        Database* db = m_t->db();
        QVERIFY(db->execInsert("INSERT INTO cheques (cheque_number, type, amount, due_date, "
                               "status, currency_id) VALUES ('5001','received',1200,?,'pending',2)",
                               {day(3)}) > 0);
        QVERIFY(db->execInsert("INSERT INTO cheques (cheque_number, type, amount, due_date, "
                               "status, currency_id) VALUES ('9','issued',200,?,'pending',2)",
                               {day(3)}) > 0);
        const QVariantList days =
            m_calendar().upcoming(7)["currencies"].toList()[0].toMap()["days"].toList();
        QCOMPARE(days.size(), 1);
        const QVariantList lines = days[0].toMap()["lines"].toList();
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].toMap()["kind"].toString(), QStringLiteral("received_cheques"));
        QCOMPARE(lines[1].toMap()["direction"].toString(), QStringLiteral("out"));
        QCOMPARE(days[0].toMap()["net"].toDouble(), 1000.0);
    }

    void badBoundsAreRefused_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("not a date") << "2026-02-30"
                                    << "2026-03-01";
        QTest::newRow("end before start") << "2026-03-10"
                                          << "2026-03-01";
    }
    void badBoundsAreRefused()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        CashCalendar calendar(m_t->db());
        QVERIFY(calendar.between(from, to).isEmpty());
        QVERIFY(!calendar.lastError().isEmpty());
    }

private:
    CashCalendar& m_calendar()
    {
        if (!m_cal)
            m_cal = std::make_unique<CashCalendar>(m_t->db());
        return *m_cal;
    }

    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<CashCalendar> m_cal;
    int m_tenant = 0;
    int m_unit = 0;
    int m_buyer = 0;
};

QTEST_GUILESS_MAIN(TestCashCalendar)
#include "tst_cashcalendar.moc"
