#include "TestDatabase.h"

#include "core/ListReader.h"
#include "core/SqlListModel.h"
#include "finance/CurrencyModel.h"
#include "rental/RentalLists.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Long enough that a newer request arrives while it still runs.
const QString kSlowCount = QStringLiteral(
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000000) "
    "SELECT COUNT(*) FROM n");

} // namespace

// Long reads on the reader's own thread and connection: a newer request on
// a channel supersedes the older one, whose result is never delivered.
class TestListReader : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        QVERIFY(m_fixture->isOpen());
    }
    void cleanup() { m_fixture.reset(); }

    void supersededRequestNeverDeliversItsResult()
    {
        ListReader reader(*m_fixture->db());
        QVERIFY(reader.isOpen());
        QObject context;
        QList<qlonglong> delivered;
        const auto keep = [&delivered](bool ok, const SqlReader::Rows& rows, const QString&) {
            delivered << (ok && !rows.rows.isEmpty() ? rows.rows.first().value(0).toLongLong()
                                                     : -1);
        };
        reader.request(1, &context, kSlowCount, {}, keep);
        // The next one comes while the first is queued or running.
        QTest::qWait(20);
        reader.request(1, &context, QStringLiteral("SELECT ?"), {7}, keep);
        QTRY_COMPARE(delivered.size(), 1);
        QTest::qWait(100);
        QCOMPARE(delivered, QList<qlonglong>{7});
        QCOMPARE(reader.delivered(), quint64(1));
        QCOMPARE(reader.superseded(), quint64(1));
    }

    void supersededEvenWhenItsResultIsAlreadyOnItsWay()
    {
        ListReader reader(*m_fixture->db());
        QObject context;
        QList<qlonglong> delivered;
        const auto keep = [&delivered](bool, const SqlReader::Rows& rows, const QString&) {
            delivered << rows.rows.value(0).value(0).toLongLong();
        };
        reader.request(1, &context, QStringLiteral("SELECT 1"), {}, keep);
        // Without the event loop turning, the first answer is ready but not
        // handed over when the second request is made.
        QThread::msleep(100);
        reader.request(1, &context, QStringLiteral("SELECT 2"), {}, keep);
        QTRY_COMPARE(delivered.size(), 1);
        QTest::qWait(50);
        QCOMPARE(delivered, QList<qlonglong>{2});
    }

    void channelsDoNotSupersedeEachOther()
    {
        ListReader reader(*m_fixture->db());
        QObject context;
        QMap<int, qlonglong> delivered;
        for (int channel = 1; channel <= 3; ++channel)
            reader.request(
                channel, &context, QStringLiteral("SELECT ? * 10"), {channel},
                [&delivered, channel](bool, const SqlReader::Rows& rows, const QString&) {
                    delivered.insert(channel, rows.rows.value(0).value(0).toLongLong());
                });
        QTRY_COMPARE(delivered.size(), 3);
        QCOMPARE(delivered.value(1), 10);
        QCOMPARE(delivered.value(3), 30);
    }

    void nothingIsDeliveredToAnAskerThatIsGone()
    {
        ListReader reader(*m_fixture->db());
        int calls = 0;
        {
            QObject context;
            reader.request(1, &context, QStringLiteral("SELECT 1"), {},
                           [&calls](bool, const SqlReader::Rows&, const QString&) { ++calls; });
            QThread::msleep(50);
        }
        QTest::qWait(100);
        QCOMPARE(calls, 0);
    }

    void readerRefusesToWrite()
    {
        ListReader reader(*m_fixture->db());
        QObject context;
        bool answered = false;
        bool succeeded = true;
        reader.request(1, &context, QStringLiteral("DELETE FROM tenants"), {},
                       [&](bool ok, const SqlReader::Rows&, const QString&) {
                           answered = true;
                           succeeded = ok;
                       });
        QTRY_VERIFY(answered);
        QVERIFY(!succeeded);
    }

    // The list's count follows only its newest search: an older search's
    // figure never shows, and the first screen is there before any count.
    void listCountFollowsOnlyTheNewestSearch()
    {
        addInvoices(QStringLiteral("سامر خليل"), 5);
        addInvoices(QStringLiteral("هدى منصور"), 3);
        ListReader reader(*m_fixture->db());
        SqlListModel list(m_fixture->db(), RentalLists::invoices());
        list.setReader(&reader);
        list.fetchMore(QModelIndex());
        QTRY_VERIFY(!list.totalsPending());
        QCOMPARE(list.totalCount(), 8);

        QList<QPair<bool, int>> seen;
        connect(&list, &SqlListModel::totalsChanged, this,
                [&] { seen << qMakePair(list.totalsPending(), list.totalCount()); });
        list.setSearchText(QStringLiteral("سامر"));
        list.setSearchText(QStringLiteral("هدى"));
        // The rows of the newest search are there at once.
        QCOMPARE(list.count(), 3);
        QVERIFY(list.totalsPending());
        QCOMPARE(list.totalCount(), 0);
        QTRY_VERIFY(!list.totalsPending());
        QCOMPARE(list.totalCount(), 3);
        QTest::qWait(50);
        for (const auto& [pending, count] : std::as_const(seen))
            QVERIFY2(pending || count == 3, qPrintable(QString::number(count)));
        QCOMPARE(list.totals().value(QStringLiteral("total_amount")).toDouble(), 3 * 250.0);
    }

    void listTotalsFollowAWriteOnTheWindowsConnection()
    {
        addInvoices(QStringLiteral("سامر خليل"), 2);
        ListReader reader(*m_fixture->db());
        SqlListModel list(m_fixture->db(), RentalLists::invoices());
        list.setReader(&reader);
        list.fetchMore(QModelIndex());
        QTRY_COMPARE(list.totalCount(), 2);
        addInvoices(QStringLiteral("أحمد يوسف"), 4);
        list.refresh();
        QTRY_COMPARE(list.totalCount(), 6);
        QCOMPARE(list.count(), 6);
    }

    // The payments footer: each currency's rows converted at their own
    // day's rate, with each currency's own amount kept beside the total,
    // read on the reader's thread and on the window's connection alike. A
    // row dated before its currency's first rate is named, not counted.
    void footerConvertsEachRowAtItsDaysRate_data()
    {
        QTest::addColumn<bool>("onReader");
        QTest::newRow("on the reader's thread") << true;
        QTest::newRow("on the window's connection") << false;
    }
    void footerConvertsEachRowAtItsDaysRate()
    {
        QFETCH(bool, onReader);
        Database* d = m_fixture->db();
        // Dollars at 3.50 from March, 3.70 from May.
        CurrencyModel rates(d);
        QVERIFY(rates.recordRate(2, QStringLiteral("2026-03-01"), 3.5));
        QVERIFY(rates.recordRate(2, QStringLiteral("2026-05-01"), 3.7));
        const auto pay = [d](double amount, int currency, const QString& day) {
            return d->execInsert(QStringLiteral("INSERT INTO payments (amount, currency_id, "
                                                "payment_date, payment_method, notes) VALUES (?, "
                                                "?, ?, 'cash', 'دفعة نقدية')"),
                                 {amount, currency, day}) > 0;
        };
        QVERIFY(pay(1200, 1, QStringLiteral("2026-04-10")));
        QVERIFY(pay(100, 2, QStringLiteral("2026-04-10"))); // 350.00
        QVERIFY(pay(40, 2, QStringLiteral("2026-06-02")));  // 148.00
        QVERIFY(pay(0.5, 2, QStringLiteral("2026-06-02"))); // 1.85, same day as the one before

        ListReader reader(*d);
        SqlListModel list(d, RentalLists::payments());
        if (onReader)
            list.setReader(&reader);
        list.fetchMore(QModelIndex());
        QTRY_VERIFY(!list.totalsPending());
        QVariantMap converted = list.totals().value(QStringLiteral("converted")).toMap();
        QCOMPARE(converted.value(QStringLiteral("total")).toDouble(), 1699.85);
        QVERIFY(converted.value(QStringLiteral("complete")).toBool());
        const QVariantList byCurrency = converted.value(QStringLiteral("byCurrency")).toList();
        QCOMPARE(byCurrency.size(), 2);
        QCOMPARE(byCurrency.at(0).toMap().value(QStringLiteral("total")).toDouble(), 1200.0);
        QCOMPARE(byCurrency.at(1).toMap().value(QStringLiteral("currency_id")).toInt(), 2);
        QCOMPARE(byCurrency.at(1).toMap().value(QStringLiteral("total")).toDouble(), 140.5);
        // The raw sum is still there for callers that rely on it.
        QCOMPARE(list.totals().value(QStringLiteral("amount")).toDouble(), 1340.5);

        // A filter narrows the converted total too: May onwards only.
        list.setFilters({{QStringLiteral("date_from"), QStringLiteral("2026-05-01")}});
        QTRY_VERIFY(!list.totalsPending());
        converted = list.totals().value(QStringLiteral("converted")).toMap();
        QCOMPARE(converted.value(QStringLiteral("total")).toDouble(), 149.85);
        QCOMPARE(converted.value(QStringLiteral("byCurrency")).toList().size(), 1);

        // Dollars in February have no rate: named, and left out.
        QVERIFY(pay(20, 2, QStringLiteral("2026-02-14")));
        list.setFilters({});
        list.refresh();
        QTRY_VERIFY(!list.totalsPending());
        converted = list.totals().value(QStringLiteral("converted")).toMap();
        QCOMPARE(converted.value(QStringLiteral("total")).toDouble(), 1699.85);
        QVERIFY(!converted.value(QStringLiteral("complete")).toBool());
        const QStringList missing = converted.value(QStringLiteral("missing")).toStringList();
        QCOMPARE(missing.size(), 1);
        QVERIFY2(missing.first().contains(QStringLiteral("2026-02-14")),
                 qPrintable(missing.first()));
    }

private:
    void addInvoices(const QString& tenant, int count)
    {
        Database* d = m_fixture->db();
        const int tenantId =
            d->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"), {tenant});
        QVERIFY(tenantId > 0);
        for (int i = 0; i < count; ++i)
            QVERIFY(d->execInsert(QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, "
                                                 "period, total_amount, balance, status, "
                                                 "currency_id) VALUES (?, ?, '2026-01', 250, "
                                                 "250, 'pending', 1)"),
                                  {QStringLiteral("INV-%1-%2").arg(tenantId).arg(i), tenantId}) >
                    0);
    }

    std::unique_ptr<TestDatabase> m_fixture;
};

QTEST_GUILESS_MAIN(TestListReader)
#include "tst_listreader.moc"
