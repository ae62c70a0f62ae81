#include "RentalRows.h"
#include "TestDatabase.h"

#include "core/Reasons.h"
#include "core/TransactionGuard.h"
#include "finance/CurrencyModel.h"
#include "finance/ExpenseModel.h"
#include "finance/LedgerReports.h"
#include "insight/CashCalendar.h"
#include "insight/DashboardController.h"
#include "insight/DateRange.h"
#include "insight/InsightDates.h"
#include "insight/ReportCalls.h"
#include "insight/ReportController.h"
#include "insight/ReportReader.h"
#include "rental/InvoiceModel.h"
#include "rental/PaymentModel.h"
#include "rental/PropertyModel.h"

#include <QSignalSpy>
#include <QTest>
#include <tuple>

namespace {

constexpr int kShekel = 1;
constexpr int kDollar = 2;

QString iso(const QDate& date)
{
    return date.toString(Qt::ISODate);
}

QVariantMap rentItem(double amount)
{
    return {{"description", QStringLiteral("إيجار شهري")},
            {"type", "rent"},
            {"quantity", 1},
            {"unit_price", amount},
            {"total", amount}};
}

// The answer `asker` got for `call`, waiting for it.
struct Answer
{
    bool arrived = false;
    QVariant result;
    QString error;
};

Answer waitFor(QSignalSpy& spy, QObject* asker, const QString& call)
{
    Answer answer;
    // Whether it came is in `answer.arrived`.
    (void)QTest::qWaitFor(
        [&] {
            for (const QList<QVariant>& args : spy) {
                if (args.at(0).value<QObject*>() == asker && args.at(1).toString() == call) {
                    answer = {true, args.at(2), args.at(3).toString()};
                    return true;
                }
            }
            return false;
        },
        10000);
    return answer;
}

// What the calendar says tenants owe in shekels, late or coming.
double owedShekels(const QVariantMap& calendar)
{
    for (const QVariant& value : calendar.value("currencies").toList()) {
        const QVariantMap currency = value.toMap();
        if (currency.value("currency_id").toInt() == kShekel)
            return currency.value("in").toDouble() +
                   currency.value("overdue").toMap().value("in").toDouble();
    }
    return 0;
}

} // namespace

// The reports read on their own thread and connection must give what the
// same calls give on the window's connection, only ever the answer to the
// latest request, and what the window's connection has committed.
class TestReportReader : public QObject
{
    Q_OBJECT

    int m_tenant = 0;
    int m_unit = 0;
    int m_invoice = 0;

    // Shekels and dollars, the dollar at 3.50 long ago and 3.70 from the
    // first of this month; rent owed, paid in part, and an owed bill.
    void fillOffice(Database* db)
    {
        const QDate today = InsightDates::today();
        CurrencyModel rates(db);
        QVERIFY(rates.recordRate(kDollar, iso(today.addDays(-200)), 3.50));
        QVERIFY(rates.recordRate(kDollar, iso(InsightDates::monthStart()), 3.70));
        const int property = RentalRows::property(db, QStringLiteral("عمارة الزيتون"));
        m_unit = RentalRows::unit(db, property, QStringLiteral("ب2"));
        m_tenant = RentalRows::tenant(db, QStringLiteral("هالة منصور"));
        RentalRows::contract(db, m_unit, m_tenant, 1500, QStringLiteral("active"), kShekel);
        InvoiceModel invoices(db);
        m_invoice = invoices.createInvoice(m_tenant, m_unit, InsightDates::period(today),
                                           {rentItem(1500)}, kShekel);
        QVERIFY2(m_invoice > 0, qPrintable(invoices.lastError()));
        PaymentModel payments(db);
        QVERIFY(payments.add(m_invoice, m_tenant, 600, QStringLiteral("cash"), iso(today),
                             QStringLiteral("سند"), kShekel) > 0);
        QVERIFY(payments.add(0, m_tenant, 40, QStringLiteral("cash"), iso(today.addDays(-40)),
                             QStringLiteral("سند"), kDollar) > 0);
        ExpenseModel expenses(db);
        QVERIFY(expenses.add(property, 0, 0, QStringLiteral("maintenance"), QString(),
                             QStringLiteral("صيانة المصعد"), 250, iso(today), kDollar) > 0);
    }

private slots:
    void readerGivesWhatTheDirectCallGives_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QVariantList>("args");
        QTest::newRow("generated analysis") << "analysisText" << QVariantList{};
        QTest::newRow("property comparison") << "comparison" << QVariantList{};
        QTest::newRow("profit, loss and balance sheet")
            << "financial"
            << QVariantList{iso(InsightDates::today().addDays(-365)), iso(InsightDates::today())};
        QTest::newRow("projects, over a year")
            << "projects"
            << QVariantList{iso(InsightDates::today().addDays(-365)), iso(InsightDates::today())};
        QTest::newRow("cheques, next 90 days")
            << "cheques"
            << QVariantList{QString(), iso(InsightDates::today()),
                            iso(InsightDates::today().addDays(90))};
        QTest::newRow("cash calendar, 90 days") << "calendar" << QVariantList{90};
        QTest::newRow("trial balance") << "trialBalance" << QVariantList{QString(), QString()};
        QTest::newRow("dashboard") << "dashboard" << QVariantList{50};
        // The account is the one the first posting debited.
        QTest::newRow("an account's ledger, last page")
            << "accountLedger" << QVariantList{0, -1, 50};
    }
    void readerGivesWhatTheDirectCallGives()
    {
        QFETCH(QString, call);
        QFETCH(QVariantList, args);
        TestDatabase t;
        fillOffice(t.db());
        ReportReader reader(t.db());
        QVERIFY(reader.ownConnection());
        if (call == QLatin1String("accountLedger"))
            args[0] = t.value(QStringLiteral("SELECT account_id FROM journal_lines WHERE debit>0 "
                                             "ORDER BY id LIMIT 1"));

        if (call == QLatin1String("cheques")) {
            // Cheques due in the next weeks, in both currencies.
            for (const auto& [number, amount, days, currency] :
                 {std::make_tuple("7001", 1200.0, 5, kShekel),
                  std::make_tuple("7002", 300.0, 12, kDollar),
                  std::make_tuple("7003", 450.5, 12, kShekel)})
                QVERIFY(t.db()->execInsert(
                            QStringLiteral("INSERT INTO cheques (cheque_number, type, amount, "
                                           "due_date, status, currency_id) VALUES "
                                           "(?,'received',?,?,'pending',?)"),
                            {QString::fromLatin1(number), amount,
                             iso(InsightDates::today().addDays(days)), currency}) > 0);
        }
        Database* db = t.db();
        ReportController reports(db);
        DashboardController dashboard(db);
        QVariant direct;
        if (call == QLatin1String("analysisText")) {
            direct = reports.getSmartAIAnalysis();
        } else if (call == QLatin1String("comparison")) {
            direct = reports.getPropertyComparison();
        } else if (call == QLatin1String("financial")) {
            direct = QVariantMap{
                {"summary", reports.getProfitLoss(args.at(0).toString(), args.at(1).toString())},
                {"balance", reports.getBalanceSheet()}};
        } else if (call == QLatin1String("projects")) {
            // Each card: the property as the projects list has it, with the
            // figures the project read alone has.
            QVariantList cards;
            for (const QVariant& value : PropertyModel(db).getAll()) {
                QVariantMap card = value.toMap();
                card.insert("figures", reports.getProjectDetailedFinancials(
                                           card.value("id").toInt(), args.at(0).toString(),
                                           args.at(1).toString()));
                cards.append(card);
            }
            direct = cards;
        } else if (call == QLatin1String("cheques")) {
            direct = QVariantMap{
                {"totals",
                 reports.getChequeTotals(QString(), args.at(1).toString(), args.at(2).toString())},
                {"rows",
                 reports.getChequeReport(QString(), args.at(1).toString(), args.at(2).toString())}};
        } else if (call == QLatin1String("calendar")) {
            direct = CashCalendar(db).upcoming(90);
        } else if (call == QLatin1String("trialBalance")) {
            direct = LedgerReports(db).trialBalance(QString(), QString());
        } else if (call == QLatin1String("accountLedger")) {
            direct = LedgerReports(db).accountLedger(args.at(0).toInt(), -1, 50);
        } else {
            direct = dashboard.getStats();
        }

        QSignalSpy spy(&reader, &ReportReader::ready);
        QObject asker;
        reader.read(&asker, call, args);
        const Answer answer = waitFor(spy, &asker, call);
        QVERIFY(answer.arrived);
        QVERIFY2(answer.error.isEmpty(), qPrintable(answer.error));
        if (call == QLatin1String("dashboard")) {
            const QVariantMap page = answer.result.toMap();
            QCOMPARE(page.value("stats"), direct);
            QCOMPARE(page.value("collections"), dashboard.getMonthlyCollections(6));
            QCOMPARE(page.value("occupancy").toDouble(), dashboard.getOccupancyRate());
        } else {
            QCOMPARE(answer.result, direct);
        }
        QVERIFY(!answer.result.toMap().isEmpty() || !answer.result.toList().isEmpty());
    }

    void onlyTheLatestRequestIsAnswered()
    {
        TestDatabase t;
        fillOffice(t.db());
        ReportReader reader(t.db());
        QSignalSpy spy(&reader, &ReportReader::ready);
        QObject page;
        QObject otherPage;
        // Three asks in a row from one page: the first two are superseded.
        reader.read(&page, QStringLiteral("calendar"), {7});
        reader.read(&page, QStringLiteral("calendar"), {30});
        reader.read(&otherPage, QStringLiteral("calendar"), {7});
        reader.read(&page, QStringLiteral("calendar"), {90});
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 10000);
        QTest::qWait(200); // nothing stale comes after
        QCOMPARE(spy.count(), 2);
        QVariantMap mine;
        QVariantMap other;
        for (const QList<QVariant>& args : spy)
            (args.at(0).value<QObject*>() == &page ? mine : other) = args.at(2).toMap();
        QCOMPARE(mine.value("to").toString(), InsightDates::isoDay(89));
        // Another page's request for the same call is its own.
        QCOMPARE(other.value("to").toString(), InsightDates::isoDay(6));
        QCOMPARE(reader.superseded(), quint64(2));
        QCOMPARE(reader.delivered(), quint64(2));

        // A page that goes before its answer arrives gets nothing.
        {
            QObject gone;
            reader.read(&gone, QStringLiteral("calendar"), {30});
        }
        QTRY_COMPARE_WITH_TIMEOUT(reader.superseded(), quint64(3), 10000);
        QCOMPARE(spy.count(), 2);
    }

    void readerSeesWhatTheWindowCommitted()
    {
        TestDatabase t;
        fillOffice(t.db());
        ReportReader reader(t.db());
        QSignalSpy spy(&reader, &ReportReader::ready);
        QObject page;
        reader.read(&page, QStringLiteral("calendar"), {30});
        const QVariantMap before = waitFor(spy, &page, QStringLiteral("calendar")).result.toMap();
        QCOMPARE(owedShekels(before), 900.0);

        // The rest of the rent is paid on the window's connection; the
        // reader's kept statements must not go on reading the older rows.
        PaymentModel payments(t.db());
        QVERIFY(payments.add(m_invoice, m_tenant, 900, QStringLiteral("cash"),
                             InsightDates::isoDay(0), QStringLiteral("سند"), kShekel) > 0);
        spy.clear();
        reader.read(&page, QStringLiteral("calendar"), {30});
        const QVariantMap after = waitFor(spy, &page, QStringLiteral("calendar")).result.toMap();
        QCOMPARE(owedShekels(after), 0.0);
    }

    // The reader reads through a session of its own, never the window's: a
    // payment the window has written but not committed is not in its
    // figures until the window commits it (on a server the reader used to
    // run on the window's connection and saw it at once).
    void readerReadsBesideTheWindowsOpenTransaction()
    {
        TestDatabase t;
        fillOffice(t.db());
        ReportReader reader(t.db());
        QVERIFY(reader.ownConnection());
        QSignalSpy spy(&reader, &ReportReader::ready);
        QObject page;
        const auto owed = [&] {
            spy.clear();
            reader.read(&page, QStringLiteral("calendar"), {30});
            const Answer answer = waitFor(spy, &page, QStringLiteral("calendar"));
            return answer.arrived ? owedShekels(answer.result.toMap()) : -1.0;
        };
        {
            TransactionGuard tx(t.db());
            QVERIFY(tx.isActive());
            PaymentModel payments(t.db());
            QVERIFY(payments.add(m_invoice, m_tenant, 900, QStringLiteral("cash"),
                                 InsightDates::isoDay(0), QStringLiteral("سند"), kShekel) > 0);
            // The window's own connection sees its payment already.
            QCOMPARE(
                owedShekels(
                    ReportCalls::run(t.db(), QStringLiteral("calendar"), {30}, nullptr).toMap()),
                0.0);
            QCOMPARE(owed(), 900.0);
            QVERIFY(tx.commit());
        }
        QCOMPARE(owed(), 0.0);
    }

    void refusalsComeBackWithTheirReason_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("reason");
        QTest::newRow("trial balance from a date that is not one")
            << "trialBalance" << QVariantList{QStringLiteral("2026-02-30"), QString()}
            << Reasons::invalidDate();
        QTest::newRow("ledger of no such account")
            << "accountLedger" << QVariantList{999999, 0, 50} << Reasons::notFound();
        QTest::newRow("profit from a date typed with slashes")
            << "financial"
            << QVariantList{QStringLiteral("01/05/2026"), QStringLiteral("2026-06-01")}
            << DateRange::invalidReason();
        QTest::newRow("a report nobody wrote") << "passwords" << QVariantList{} << QString();
    }
    void refusalsComeBackWithTheirReason()
    {
        QFETCH(QString, call);
        QFETCH(QVariantList, args);
        QFETCH(QString, reason);
        TestDatabase t;
        ReportReader reader(t.db());
        QSignalSpy spy(&reader, &ReportReader::ready);
        QObject page;
        reader.read(&page, call, args);
        const Answer answer = waitFor(spy, &page, call);
        QVERIFY(answer.arrived);
        QVERIFY(!answer.result.isValid());
        QVERIFY(!answer.error.isEmpty());
        if (!reason.isEmpty())
            QCOMPARE(answer.error, reason);
    }
};

QTEST_GUILESS_MAIN(TestReportReader)
#include "tst_reportreader.moc"
