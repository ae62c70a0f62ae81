#include "ShellHarness.h"
#include "ShotSaver.h"

#include <QDate>
#include <QTest>

#include <memory>

namespace {

const int kInvoices = 7;

} // namespace

// What the invoices page offers besides issuing, driven through the real
// window: viewing an invoice's lines, payments and balance, voiding it after
// confirming with its number, and typing the month's meter readings that the
// rent run then bills. Any QML warning or database error fails the test.
class TestInvoiceActions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ShellHarness::installMessageHandler(); }

    void init()
    {
        ShellHarness::problems().clear();
        m_app = std::make_unique<ShellHarness>();
        QVERIFY(m_app->startSignedIn());
        if (ShotSaver::theme() == QLatin1String("light"))
            QMetaObject::invokeMethod(m_app->backend(QStringLiteral("settingsManager")),
                                      "setThemeMode", Q_ARG(QString, QStringLiteral("light")));
    }

    void cleanup()
    {
        m_app.reset();
        QStringList& problems = ShellHarness::problems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void viewShowsLinesPaymentsAndBalanceThenVoids()
    {
        Database* d = m_app->database().db();
        const int tenant =
            d->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES ('منى الشريف')"));
        const int property =
            d->execInsert(QStringLiteral("INSERT INTO properties (name) VALUES ('عمارة الزيتون')"));
        const int unit =
            d->execInsert(QStringLiteral("INSERT INTO units (property_id, unit_number, status) "
                                         "VALUES (?, '3B', 'rented')"),
                          {property});
        QVERIFY(tenant > 0 && unit > 0);
        const QString period = QDate::currentDate().toString(QStringLiteral("yyyy-MM"));
        const QString start = QDate::currentDate().toString(QStringLiteral("yyyy-MM-01"));
        QVERIFY(d->execInsert(QStringLiteral("INSERT INTO contracts (unit_id, tenant_id, "
                                             "start_date, end_date, rent_amount, currency_id) "
                                             "VALUES (?, ?, ?, '2099-12-31', 1200, 1)"),
                              {unit, tenant, start}) > 0);
        QVERIFY(d->execInsert(QStringLiteral("INSERT INTO usage_records (unit_id, service_id, "
                                             "period, consumption, cost) VALUES (?, 1, ?, 8, 24)"),
                              {unit, period}) > 0);
        QCOMPARE(m_app->evaluate(QStringLiteral("invoiceModel.generateAllRent('%1')").arg(period))
                     .toInt(),
                 1);
        const int invoice =
            m_app->database().value(QStringLiteral("SELECT id FROM invoices")).toInt();
        const QString number = m_app->database()
                                   .value(QStringLiteral("SELECT invoice_number FROM invoices"))
                                   .toString();
        QVERIFY(m_app
                    ->evaluate(QStringLiteral("paymentModel.add(%1, %2, 400, 'bank', '%3', "
                                              "'حوالة 77', 1)")
                                   .arg(invoice)
                                   .arg(tenant)
                                   .arg(QDate::currentDate().toString(Qt::ISODate)))
                    .toInt() > 0);

        QVERIFY(m_app->showPage(kInvoices));
        QQuickItem* row = nullptr;
        QTRY_VERIFY((row = m_app->find(QStringLiteral("invoiceRow_") + number)));
        QVERIFY(m_app->click(m_app->find(QStringLiteral("viewInvoiceButton"), row)));
        QVERIFY(m_app->waitOpened(QStringLiteral("invoiceDetailDialog")));
        QObject* dialog = m_app->object(QStringLiteral("invoiceDetailDialog"));
        QCOMPARE(dialog->property("title").toString(), QStringLiteral("فاتورة ") + number);
        QCOMPARE(m_app->findAll(QStringLiteral("detailLine")).size(), 2);
        QCOMPARE(m_app->findAll(QStringLiteral("detailPayment")).size(), 1);
        QVERIFY(!m_app->find(QStringLiteral("detailNoPayments"))->isVisible());
        QVERIFY(text("detailTenant").startsWith(QStringLiteral("منى الشريف")));
        QVERIFY2(text("detailTotal").contains(QStringLiteral("1,224.00")),
                 qPrintable(text("detailTotal")));
        QVERIFY2(text("detailPaid").contains(QStringLiteral("400.00")),
                 qPrintable(text("detailPaid")));
        QVERIFY2(text("detailBalance").contains(QStringLiteral("824.00")),
                 qPrintable(text("detailBalance")));
        ShotSaver::saveShot(m_app->window(), QStringLiteral("invoice-detail"));

        // Voiding asks first, naming the invoice; cancelling changes nothing.
        QVERIFY(m_app->click(m_app->find(QStringLiteral("voidInvoiceButton"))));
        QVERIFY(m_app->waitOpened(QStringLiteral("confirmDialog")));
        QVERIFY(text("confirmMessage").contains(number));
        ShotSaver::saveShot(m_app->window(), QStringLiteral("invoice-void-confirm"));
        QVERIFY(m_app->click(m_app->find(QStringLiteral("confirmCancel"))));
        QVERIFY(m_app->waitClosed(QStringLiteral("confirmDialog")));
        QCOMPARE(status(invoice), QStringLiteral("partial"));

        QVERIFY(m_app->click(m_app->find(QStringLiteral("voidInvoiceButton"))));
        QVERIFY(m_app->waitOpened(QStringLiteral("confirmDialog")));
        QVERIFY(m_app->click(m_app->find(QStringLiteral("confirmButton"))));
        QVERIFY(m_app->waitClosed(QStringLiteral("confirmDialog")));
        QCOMPARE(status(invoice), QStringLiteral("void"));
        // Only the open part left the tenant's balance; the payment stays.
        QCOMPARE(m_app->database()
                     .value(QStringLiteral("SELECT balance FROM tenants WHERE id=?"), {tenant})
                     .toDouble(),
                 0.0);
        QCOMPARE(m_app->database().count(QStringLiteral("payments")), 1);
        QTRY_COMPARE(text("detailStatus"), QStringLiteral("ملغاة"));
        QVERIFY(!m_app->find(QStringLiteral("voidInvoiceButton"))->isVisible());
        QTest::keyClick(m_app->window(), Qt::Key_Escape);
        QVERIFY(m_app->waitClosed(QStringLiteral("invoiceDetailDialog")));
        // The row follows: void, and no void action offered on it any more.
        QTRY_VERIFY(!m_app->find(QStringLiteral("voidInvoiceRowButton"), row)->isVisible());
    }

    // The row's own void action asks with the invoice number before voiding.
    void voidFromTheRowAsksFirst()
    {
        Database* d = m_app->database().db();
        const int tenant =
            d->execInsert(QStringLiteral("INSERT INTO tenants (full_name, balance) VALUES "
                                         "('خالد منصور', 150)"));
        QVERIFY(d->execNonQuery(QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, "
                                               "period, total_amount, balance, status, "
                                               "currency_id) VALUES ('INV-ROW-1', ?, '2026-03', "
                                               "150, 150, 'pending', 1)"),
                                {tenant}));
        QVERIFY(m_app->showPage(kInvoices));
        QQuickItem* row = nullptr;
        QTRY_VERIFY((row = m_app->find(QStringLiteral("invoiceRow_INV-ROW-1"))));
        QVERIFY(m_app->click(m_app->find(QStringLiteral("voidInvoiceRowButton"), row)));
        QVERIFY(m_app->waitOpened(QStringLiteral("confirmDialog")));
        QVERIFY(text("confirmMessage").contains(QStringLiteral("INV-ROW-1")));
        QVERIFY(m_app->click(m_app->find(QStringLiteral("confirmButton"))));
        QVERIFY(m_app->waitClosed(QStringLiteral("confirmDialog")));
        QCOMPARE(m_app->database()
                     .value(QStringLiteral("SELECT status FROM invoices WHERE invoice_number="
                                           "'INV-ROW-1'"))
                     .toString(),
                 QStringLiteral("void"));
        QCOMPARE(m_app->database()
                     .value(QStringLiteral("SELECT balance FROM tenants WHERE id=?"), {tenant})
                     .toDouble(),
                 0.0);
    }

    // Previous reading from the last period, live consumption and cost, a
    // reading below the previous one refused unless the meter was changed,
    // and the saved reading billed by the rent run.
    void meterReadingsAreTypedCheckedAndBilled()
    {
        Database* d = m_app->database().db();
        const int property =
            d->execInsert(QStringLiteral("INSERT INTO properties (name) VALUES ('عمارة الزيتون')"));
        const int unit = d->execInsert(QStringLiteral("INSERT INTO units (property_id, "
                                                      "unit_number, status) VALUES (?, '3B', "
                                                      "'rented')"),
                                       {property});
        const int tenant =
            d->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES ('سليم حداد')"));
        const QDate today = QDate::currentDate();
        const QString period = today.toString(QStringLiteral("yyyy-MM"));
        const QString last = today.addMonths(-1).toString(QStringLiteral("yyyy-MM"));
        QVERIFY(d->execInsert(QStringLiteral("INSERT INTO contracts (unit_id, tenant_id, "
                                             "start_date, end_date, rent_amount, currency_id) "
                                             "VALUES (?, ?, ?, '2099-12-31', 1200, 1)"),
                              {unit, tenant, today.addMonths(-2).toString(Qt::ISODate)}) > 0);
        QCOMPARE(m_app
                     ->evaluate(QStringLiteral("meterReadingModel.saveReadings('%1', [{unit_id: "
                                               "%2, service_id: 1, current_reading: 100}])")
                                    .arg(last)
                                    .arg(unit))
                     .toInt(),
                 1);

        QVERIFY(m_app->showPage(kInvoices));
        QVERIFY(m_app->click(m_app->find(QStringLiteral("meterReadingsButton"))));
        QVERIFY(m_app->waitOpened(QStringLiteral("meterReadingsDialog")));
        QQuickItem* water = nullptr;
        QTRY_VERIFY((water = m_app->find(QStringLiteral("readingRow_3B_1"))));
        QVERIFY(m_app->find(QStringLiteral("readingRow_3B_2"))); // electricity
        QCOMPARE(text("readingPrevious", water), QStringLiteral("100"));
        QCOMPARE(text("readingConsumption", water), QStringLiteral("-"));

        QVERIFY(m_app->typeInto(m_app->find(QStringLiteral("readingCurrentField"), water),
                                QStringLiteral("٩٠")));
        QCOMPARE(text("readingConsumption", water), QStringLiteral("-10 متر مكعب"));
        QVERIFY(m_app->click(m_app->find(QStringLiteral("readingsSaveButton"))));
        QTRY_VERIFY(
            text("errorBannerText", m_app->dialogContent(QStringLiteral("meterReadingsDialog")))
                .contains(QStringLiteral("أقل من السابقة")));
        QCOMPARE(readings(period), QString());

        // A new meter counts from zero.
        QVERIFY(m_app->click(m_app->find(QStringLiteral("readingMeterChange"), water)));
        QCOMPARE(text("readingPrevious", water), QStringLiteral("0"));
        QCOMPARE(text("readingConsumption", water), QStringLiteral("90 متر مكعب"));
        QVERIFY(text("readingCost", water).contains(QStringLiteral("450.00")));
        QVERIFY(m_app->click(m_app->find(QStringLiteral("readingMeterChange"), water)));

        QVERIFY(m_app->typeInto(m_app->find(QStringLiteral("readingCurrentField"), water),
                                QStringLiteral("130")));
        QCOMPARE(text("readingConsumption", water), QStringLiteral("30 متر مكعب"));
        QVERIFY2(text("readingCost", water).contains(QStringLiteral("150.00")),
                 qPrintable(text("readingCost", water)));
        ShotSaver::saveShot(m_app->window(), QStringLiteral("meter-readings"));
        QVERIFY(m_app->click(m_app->find(QStringLiteral("readingsSaveButton"))));
        QTRY_COMPARE(text("readingsSavedText"), QStringLiteral("تم حفظ 1 قراءة"));
        QCOMPARE(readings(period), QStringLiteral("100>130=30:150"));
        QTest::keyClick(m_app->window(), Qt::Key_Escape);
        QVERIFY(m_app->waitClosed(QStringLiteral("meterReadingsDialog")));
        QQuickItem* button = m_app->find(QStringLiteral("meterReadingsButton"));
        QCOMPARE(button->property("text").toString(),
                 QStringLiteral("قراءات العدادات (1 هذا الشهر)"));

        // A new electricity meter, saved elsewhere: the page follows, and the
        // reopened sheet shows the row as a meter change from zero.
        QCOMPARE(m_app
                     ->evaluate(QStringLiteral("meterReadingModel.saveReadings('%1', [{unit_id: "
                                               "%2, service_id: 2, current_reading: 40, "
                                               "meter_change: true}])")
                                    .arg(period)
                                    .arg(unit))
                     .toInt(),
                 1);
        QTRY_COMPARE(button->property("text").toString(),
                     QStringLiteral("قراءات العدادات (2 هذا الشهر)"));
        QVERIFY(m_app->click(button));
        QVERIFY(m_app->waitOpened(QStringLiteral("meterReadingsDialog")));
        QQuickItem* power = nullptr;
        QTRY_VERIFY((power = m_app->find(QStringLiteral("readingRow_3B_2"))));
        water = m_app->find(QStringLiteral("readingRow_3B_1"));
        QVERIFY(
            m_app->find(QStringLiteral("readingMeterChange"), power)->property("checked").toBool());
        QVERIFY(!m_app->find(QStringLiteral("readingMeterChange"), water)
                     ->property("checked")
                     .toBool());
        QCOMPARE(text("readingPrevious", power), QStringLiteral("0"));
        QCOMPARE(text("readingConsumption", power), QStringLiteral("40 كيلوواط"));
        // Saved again as shown, nothing is refused and nothing changes.
        QVERIFY(m_app->click(m_app->find(QStringLiteral("readingsSaveButton"))));
        QTRY_COMPARE(text("readingsSavedText"), QStringLiteral("تم حفظ 2 قراءة"));
        QCOMPARE(readings(period), QStringLiteral("100>130=30:150,0>40=40:20"));
        QTest::keyClick(m_app->window(), Qt::Key_Escape);
        QVERIFY(m_app->waitClosed(QStringLiteral("meterReadingsDialog")));

        QCOMPARE(m_app->evaluate(QStringLiteral("invoiceModel.generateAllRent('%1')").arg(period))
                     .toInt(),
                 1);
        // Rent, water and the new meter's electricity.
        QCOMPARE(m_app->database().value(QStringLiteral("SELECT total_amount FROM invoices")),
                 QVariant(1370.0));
    }

private:
    QString readings(const QString& period)
    {
        // "previous>current=consumption:cost" per reading, in the order taken.
        QStringList out;
        const QVariantList rows = m_app->database().db()->execQuery(
            QStringLiteral("SELECT previous_reading, current_reading, consumption, cost FROM "
                           "usage_records WHERE period=? ORDER BY id"),
            {period});
        for (const QVariant& value : rows) {
            const QVariantMap row = value.toMap();
            const auto n = [&row](const char* column) {
                return QString::number(row.value(QLatin1String(column)).toDouble());
            };
            out << QStringLiteral("%1>%2=%3:%4")
                       .arg(n("previous_reading"), n("current_reading"), n("consumption"),
                            n("cost"));
        }
        return out.join(QLatin1Char(','));
    }

    QString text(const char* item, QQuickItem* within = nullptr)
    {
        QQuickItem* found = m_app->find(QString::fromUtf8(item), within);
        return found ? found->property("text").toString() : QStringLiteral("<no %1>").arg(item);
    }

    QString status(int invoice)
    {
        return m_app->database()
            .value(QStringLiteral("SELECT status FROM invoices WHERE id=?"), {invoice})
            .toString();
    }

    std::unique_ptr<ShellHarness> m_app;
};

QTEST_MAIN(TestInvoiceActions)
#include "tst_invoiceactions.moc"
