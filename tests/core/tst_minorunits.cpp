#include "LedgerOffice.h"
#include "TestDatabase.h"

#include "admin/CsvExport.h"
#include "admin/ExportTables.h"
#include "core/MinorUnits.h"
#include "core/Money.h"
#include "finance/ContractorModel.h"
#include "insight/PrintMoney.h"

#include <QDir>
#include <QTest>

#include <cmath>

using LedgerOffice::Office;

namespace {

constexpr int kShekel = 1;
constexpr int kDinar = 3;

// The count of decimals a stored amount really carries (at most 6 looked at).
int decimalsOf(double amount)
{
    for (int places = 0; places <= 6; ++places) {
        const double scaled = amount * std::pow(10.0, places);
        if (std::fabs(scaled - std::round(scaled)) < 1e-6)
            return places;
    }
    return 7;
}

} // namespace

class TestMinorUnits : public QObject
{
    Q_OBJECT

private slots:
    void roundingToTheMinorUnit_data()
    {
        QTest::addColumn<double>("typed");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("stored");
        QTest::newRow("a typed half cent goes up, not down by binary noise")
            << 12.345 << 2 << 12.35;
        QTest::newRow("2.675 is 2.68") << 2.675 << 2 << 2.68;
        QTest::newRow("a dinar keeps its mills") << 12.345 << 3 << 12.345;
        QTest::newRow("a dinar's fourth decimal goes") << 10.2346 << 3 << 10.235;
        QTest::newRow("a rounding residue is plain zero") << -0.0004 << 3 << 0.0;
        QTest::newRow("a damaged decimals count reads as two") << 1.239 << 9 << 1.24;
    }
    void roundingToTheMinorUnit()
    {
        QFETCH(double, typed);
        QFETCH(int, decimals);
        QFETCH(double, stored);
        const double rounded = Money::roundTo(typed, decimals);
        QCOMPARE(rounded, stored);
        QVERIFY(!std::signbit(rounded) || rounded != 0.0);
    }

    void newBooksKnowEachCurrencysDecimals()
    {
        TestDatabase fresh;
        MinorUnits units(fresh.db());
        QCOMPARE(units.decimals(kShekel), 2);
        QCOMPARE(units.decimals(kDinar), 3);
        QCOMPARE(units.decimals(QVariant()), 2);
    }

    void upgradedFilesKnowEachCurrencysDecimals()
    {
        if (TestDatabase::onPostgres())
            QSKIP("an older SQLite file upgraded at start; a server's books begin current");
        // An older file: no decimals column.
        TestDatabase upgraded;
        const QString path = QDir(upgraded.dir()).filePath(QStringLiteral("old.db"));
        QVERIFY(TestDatabase::writeLegacyFile(
            path,
            {QStringLiteral("CREATE TABLE currencies (id INTEGER PRIMARY KEY AUTOINCREMENT, code "
                            "TEXT UNIQUE NOT NULL, name_ar TEXT NOT NULL, symbol TEXT NOT NULL, "
                            "is_primary INTEGER DEFAULT 0, created_at TEXT)"),
             QStringLiteral("INSERT INTO currencies (code,name_ar,symbol,is_primary) VALUES "
                            "('ILS','شيكل','₪',1),('USD','دولار','$',0),('JOD','دينار أردني',"
                            "'د.ا',0)")}));
        QVERIFY(upgraded.replaceWith(path));
        QCOMPARE(upgraded
                     .value(QStringLiteral("SELECT decimals FROM currencies WHERE code=?"),
                            {QStringLiteral("JOD")})
                     .toInt(),
                 3);
        QCOMPARE(upgraded
                     .value(QStringLiteral("SELECT decimals FROM currencies WHERE code=?"),
                            {QStringLiteral("USD")})
                     .toInt(),
                 2);
        // A second start leaves them as they are.
        QVERIFY(upgraded.reopen());
        QCOMPARE(upgraded.value(QStringLiteral("SELECT SUM(decimals) FROM currencies")).toInt(), 7);
    }

    // Every kind of amount a clerk types is stored in its currency's minor
    // unit: a shekel amount loses its third decimal, a dinar amount keeps it.
    void typedAmountsAreStoredInTheirMinorUnit_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("currency");
        QTest::addColumn<double>("stored");
        for (const char* kind : {"payment", "expense", "contractor payment", "service invoice"}) {
            QTest::addRow("%s in shekels", kind) << QString::fromLatin1(kind) << kShekel << 10.23;
            QTest::addRow("%s in dinars", kind) << QString::fromLatin1(kind) << kDinar << 10.235;
        }
    }
    void typedAmountsAreStoredInTheirMinorUnit()
    {
        QFETCH(QString, kind);
        QFETCH(int, currency);
        QFETCH(double, stored);
        const double typed = 10.2346;
        Office office;
        const QString period = QStringLiteral("2026-04");
        double read = -1;
        if (kind == QLatin1String("payment")) {
            const int id = office.payments.add(0, office.tenant, typed, QStringLiteral("cash"),
                                               QStringLiteral("2026-04-02"),
                                               QStringLiteral("سند 4"), currency);
            QVERIFY2(id > 0, qPrintable(office.payments.lastError()));
            read = office.t.value(QStringLiteral("SELECT amount FROM payments WHERE id=?"), {id})
                       .toDouble();
        } else if (kind == QLatin1String("expense")) {
            const int id =
                office.expenses.addExpense({{"property_id", office.property},
                                            {"category", QStringLiteral("كهرباء")},
                                            {"description", QStringLiteral("فاتورة الدرج")},
                                            {"amount", typed},
                                            {"expense_date", QStringLiteral("2026-04-03")},
                                            {"currency_id", currency}});
            QVERIFY2(id > 0, qPrintable(office.expenses.lastError()));
            read = office.t.value(QStringLiteral("SELECT amount FROM expenses WHERE id=?"), {id})
                       .toDouble();
        } else if (kind == QLatin1String("contractor payment")) {
            QVERIFY(office.expenses.addExpense({{"property_id", office.property},
                                                {"contractor_id", office.contractor},
                                                {"category", QStringLiteral("سباكة")},
                                                {"amount", 50},
                                                {"expense_date", QStringLiteral("2026-04-01")},
                                                {"currency_id", currency},
                                                {"is_owed", true}}) > 0);
            ContractorModel contractors(office.t.db());
            const int id =
                contractors.pay(office.contractor, typed, currency, QStringLiteral("2026-04-04"),
                                QStringLiteral("cash"), QStringLiteral("سند 9"), QString());
            QVERIFY2(id > 0, qPrintable(contractors.lastError()));
            read = office.t
                       .value(QStringLiteral("SELECT amount FROM contractor_payments WHERE id=?"),
                              {id})
                       .toDouble();
            QCOMPARE(contractors.getBalances(office.contractor)
                         .first()
                         .toMap()
                         .value(QStringLiteral("balance"))
                         .toDouble(),
                     Money::roundTo(50 - stored, 3));
        } else {
            QVERIFY(office.invoices.generateServiceInvoice({office.tenant},
                                                           QStringLiteral("تنظيف الدرج"), typed,
                                                           period, currency) > 0);
            read = office.t.value(QStringLiteral("SELECT total_amount FROM invoices")).toDouble();
            QCOMPARE(office.t.value(QStringLiteral("SELECT total FROM invoice_items")).toDouble(),
                     stored);
        }
        QCOMPARE(read, stored);
        // The ledger carries the same amount.
        QCOMPARE(office.t
                     .value(QStringLiteral("SELECT MAX(debit) FROM journal_lines WHERE entry_id="
                                           "(SELECT MAX(id) FROM journal_entries)"))
                     .toDouble(),
                 stored);
    }

    // With balances kept to the cent, paying a dinar invoice one mill short
    // marked it paid and the mill was lost.
    void regressionDinarInvoiceOneMillShortStaysOpen()
    {
        Office office;
        QVERIFY(office.invoices.generateServiceInvoice({office.tenant}, QStringLiteral("مياه"),
                                                       10.125, QStringLiteral("2026-04"),
                                                       kDinar) > 0);
        const int invoice = office.lastId(QStringLiteral("invoices"));
        QVERIFY(office.payments.add(invoice, office.tenant, 10.124, QStringLiteral("cash"),
                                    QStringLiteral("2026-04-05"), QStringLiteral("سند 1"),
                                    kDinar) > 0);
        QCOMPARE(office.t.value(QStringLiteral("SELECT status FROM invoices WHERE id=?"), {invoice})
                     .toString(),
                 QStringLiteral("partial"));
        QCOMPARE(
            office.t.value(QStringLiteral("SELECT balance FROM invoices WHERE id=?"), {invoice})
                .toDouble(),
            0.001);
        // Two mills more than is open is refused; the last mill settles it.
        QCOMPARE(office.payments.add(invoice, office.tenant, 0.003, QStringLiteral("cash"),
                                     QStringLiteral("2026-04-06"), QStringLiteral("سند 2"), kDinar),
                 -1);
        QVERIFY(office.payments.add(invoice, office.tenant, 0.001, QStringLiteral("cash"),
                                    QStringLiteral("2026-04-06"), QStringLiteral("سند 2"),
                                    kDinar) > 0);
        QCOMPARE(office.t.value(QStringLiteral("SELECT status FROM invoices WHERE id=?"), {invoice})
                     .toString(),
                 QStringLiteral("paid"));
    }

    void dinarScheduleIsInMillsAndAddsUpExactly()
    {
        Office office;
        QCOMPARE(office.installments.sellUnit(office.buyer, office.saleUnit, 100000.0, 0.0, 7,
                                              QStringLiteral("2026-05-01"), kDinar),
                 1);
        const QVariantList rows = office.t.db()->execQuery(
            QStringLiteral("SELECT installment_amount FROM installments ORDER BY id"));
        QCOMPARE(rows.size(), 7);
        qint64 mills = 0;
        for (const QVariant& row : rows) {
            const double amount =
                row.toMap().value(QStringLiteral("installment_amount")).toDouble();
            QVERIFY2(decimalsOf(amount) <= 3, qPrintable(QString::number(amount, 'g', 17)));
            mills += Money::toMinor(amount, 3);
        }
        QCOMPARE(mills, Q_INT64_C(100000000));
        // 100000 / 7 needs the mills: 14285.714, not 14285.71.
        QCOMPARE(rows.first().toMap().value(QStringLiteral("installment_amount")).toDouble(),
                 14285.714);
    }

    // What the office reads on paper and in a file keeps the third decimal.
    void printsAndExportsShowTheDinarsThirdDecimal()
    {
        TestDatabase t;
        const PrintMoney money(t.db());
        QVERIFY2(money.format(1234.5, kDinar).contains(QStringLiteral("1,234.500")),
                 qPrintable(money.format(1234.5, kDinar)));
        QVERIFY(money.format(1234.5, kShekel).contains(QStringLiteral("1,234.50")));
        QVERIFY(!money.format(1234.5, kShekel).contains(QStringLiteral("1,234.500")));

        ExportTables::Column amount;
        amount.kind = ExportTables::Kind::Amount;
        QCOMPARE(CsvExport::typedField(amount, 7.125, 3), QStringLiteral("7.125"));
        QCOMPARE(CsvExport::typedField(amount, 7.125, 2), QStringLiteral("7.13"));
        const ExportTables::Currencies currencies =
            ExportTables::readCurrencies(t.db()->connection());
        QCOMPARE(currencies.decimalsFor(kDinar), 3);
        QCOMPARE(currencies.decimalsFor(QVariant()), 2);
    }
};

QTEST_GUILESS_MAIN(TestMinorUnits)
#include "tst_minorunits.moc"
