#include "ShellHarness.h"

#include <QQmlContext>
#include <QQmlExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const int kTenants = 2;
const int kInvoices = 7;

} // namespace

// The search fields of the real pages search once typing pauses, and the
// row lists of the tenants page are read without converting them per row.
class TestSearchPause : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ShellHarness::installMessageHandler(); }
    void init()
    {
        ShellHarness::problems().clear();
        m_app = std::make_unique<ShellHarness>();
        QVERIFY(m_app->startSignedIn());
        fillInvoices();
    }
    void cleanup()
    {
        m_app.reset();
        QStringList& problems = ShellHarness::problems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void keystrokesWithoutAPauseSearchOnce()
    {
        QVERIFY(m_app->showPage(kInvoices));
        QQuickItem* table = m_app->find(QStringLiteral("invoiceTable"));
        QTRY_COMPARE(table->property("count").toInt(), 12);
        QQuickItem* search = m_app->find(QStringLiteral("invoiceSearch"));
        QCOMPARE(search->property("pause").toInt(), 200);
        // A wide pause, so a slow machine still types "without pausing".
        search->setProperty("pause", 3000);
        QObject* list = m_app->backend(QStringLiteral("invoiceList"));
        QSignalSpy searched(list, SIGNAL(searchTextChanged()));

        QVERIFY(m_app->typeInto(search, QString()));
        for (const QChar ch : QStringLiteral("INV-0001")) {
            QTest::sendKeyEvent(QTest::Click, m_app->window(), Qt::Key_unknown, QString(ch),
                                Qt::NoModifier);
            QTest::qWait(40);
        }
        QCOMPARE(searched.count(), 0);
        QCOMPARE(list->property("searchText").toString(), QString());
        // Once typing pauses, the whole text is searched, once.
        QTRY_COMPARE_WITH_TIMEOUT(searched.count(), 1, 6000);
        QCOMPARE(list->property("searchText").toString(), QStringLiteral("INV-0001"));
        QTRY_COMPARE(table->property("count").toInt(), 1);
        QVERIFY(m_app->find(QStringLiteral("invoiceRow_INV-0001")));
        QTRY_COMPARE(m_app->find(QStringLiteral("invoiceCount"))->property("text").toString(),
                     QStringLiteral("عدد الفواتير: 1"));
        QTest::qWait(100);
        QCOMPARE(searched.count(), 1);
    }

    void enterAndClearingSearchAtOnce()
    {
        QVERIFY(m_app->showPage(kInvoices));
        QQuickItem* table = m_app->find(QStringLiteral("invoiceTable"));
        QTRY_COMPARE(table->property("count").toInt(), 12);
        QQuickItem* search = m_app->find(QStringLiteral("invoiceSearch"));
        search->setProperty("pause", 60000);
        QObject* list = m_app->backend(QStringLiteral("invoiceList"));
        QSignalSpy searched(list, SIGNAL(searchTextChanged()));

        QVERIFY(m_app->typeInto(search, QStringLiteral("هدى")));
        QCOMPARE(searched.count(), 0);
        QTest::keyClick(m_app->window(), Qt::Key_Return);
        QCOMPARE(searched.count(), 1);
        QCOMPARE(list->property("searchText").toString(), QStringLiteral("هدى"));
        QTRY_COMPARE(table->property("count").toInt(), 4);

        QVERIFY(m_app->typeInto(search, QString()));
        QCOMPARE(list->property("searchText").toString(), QString());
        QTRY_COMPARE(table->property("count").toInt(), 12);
    }

    void tenantSearchWaitsForThePauseToo()
    {
        QVERIFY(m_app->showPage(kTenants));
        QQuickItem* tenants = m_app->find(QStringLiteral("tenantList"));
        QTRY_COMPARE(tenants->property("count").toInt(), 2);
        QQuickItem* search = m_app->find(QStringLiteral("tenantSearch"));
        QSignalSpy settled(search, SIGNAL(queryChanged()));
        QVERIFY(m_app->typeInto(search, QStringLiteral("سامر")));
        // Typed in one go: nothing is searched until the pause has passed.
        QCOMPARE(settled.count(), 0);
        QCOMPARE(tenants->property("count").toInt(), 2);
        QTRY_COMPARE(settled.count(), 1);
        QTRY_COMPARE(tenants->property("count").toInt(), 1);
        QVERIFY(m_app->find(QStringLiteral("tenantRow_سامر خليل")));
    }

    // Regression: each row read the page's whole array through the view's
    // model, converted anew for every read; now the tenants are a paged list
    // model whose rows are read a page at a time.
    void tenantRowsComeFromThePagedList()
    {
        QVERIFY(m_app->showPage(kTenants));
        QQuickItem* tenants = m_app->find(QStringLiteral("tenantList"));
        QTRY_COMPARE(tenants->property("count").toInt(), 2);
        QCOMPARE(tenants->property("model").value<QObject*>(),
                 m_app->backend(QStringLiteral("tenantList")));
        QQmlExpression rows(qmlContext(tenants), tenants,
                            QStringLiteral("rowAt(0).full_name !== undefined && "
                                           "rowAt(0).full_name !== rowAt(1).full_name"));
        QVERIFY(rows.evaluate().toBool());
        QVERIFY(!rows.hasError());

        // A new tenant reaches the list, in its own row.
        QObject* model = m_app->backend(QStringLiteral("tenantModel"));
        int id = -1;
        QMetaObject::invokeMethod(
            model, "add", Q_RETURN_ARG(int, id), Q_ARG(QString, QStringLiteral("رنا عيسى")),
            Q_ARG(QString, QStringLiteral("")), Q_ARG(QString, QStringLiteral("0599000001")),
            Q_ARG(QString, QStringLiteral("")), Q_ARG(QString, QStringLiteral("")));
        QVERIFY(id > 0);
        QTRY_COMPARE(tenants->property("count").toInt(), 3);
        QTRY_VERIFY(m_app->find(QStringLiteral("tenantRow_رنا عيسى")));
    }

private:
    // Twelve invoices: eight of سامر خليل and four of هدى منصور.
    void fillInvoices()
    {
        Database* d = m_app->database().db();
        const int property =
            d->execInsert(QStringLiteral("INSERT INTO properties (name) VALUES (?)"),
                          {QStringLiteral("مجمع الياسمين")});
        QVERIFY(property > 0);
        const int unit =
            d->execInsert(QStringLiteral("INSERT INTO units (property_id, unit_number, "
                                         "status) VALUES (?, 'A1', 'rented')"),
                          {property});
        QVERIFY(unit > 0);
        for (const auto& [name, count] : {qMakePair(QStringLiteral("سامر خليل"), 8),
                                          qMakePair(QStringLiteral("هدى منصور"), 4)}) {
            const int tenant =
                d->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"), {name});
            QVERIFY(tenant > 0);
            for (int i = 0; i < count; ++i) {
                const int number =
                    int(d->scalar(QStringLiteral("SELECT COUNT(*) + 1 FROM invoices")).toInt());
                QVERIFY(d->execInsert(
                            QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, "
                                           "unit_id, period, total_amount, balance, status, "
                                           "currency_id) VALUES (?, ?, ?, '2026-01', 100, 100, "
                                           "'pending', 1)"),
                            {QStringLiteral("INV-%1").arg(number, 4, 10, QLatin1Char('0')), tenant,
                             unit}) > 0);
            }
        }
    }

    std::unique_ptr<ShellHarness> m_app;
};

QTEST_MAIN(TestSearchPause)
#include "tst_searchpause.moc"
