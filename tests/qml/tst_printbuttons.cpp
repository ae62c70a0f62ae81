#include "FakeDesktop.h"
#include "ShellHarness.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// The print buttons of the invoices and payments pages and of the rent
// run's result, driven through the window on the real back end: each hands
// the office a PDF in the documents folder. Any QML warning fails the test.
class TstPrintButtons : public QObject
{
    Q_OBJECT

    std::unique_ptr<ShellHarness> h;
    FakeDesktop* desktop = nullptr; // owned by the back end
    QTemporaryDir folders;
    int tenant = 0;

    QQuickItem* need(const QString& name, QQuickItem* within = nullptr)
    {
        return h->waitVisible(name, within);
    }
    QString lastOpened() const
    {
        return desktop->opened.isEmpty() ? QString() : QFileInfo(desktop->opened.last()).fileName();
    }

private slots:
    void initTestCase() { ShellHarness::installMessageHandler(); }

    void init()
    {
        ShellHarness::problems().clear();
        h = std::make_unique<ShellHarness>();
        auto fake = std::make_unique<FakeDesktop>(folders.path());
        QDir().mkpath(fake->documentsFolder());
        desktop = fake.get();
        h->useDesktop(std::move(fake));
        QVERIFY(h->startSignedIn());

        Database* db = h->database().db();
        const int property =
            db->execInsert(QStringLiteral("INSERT INTO properties (name) VALUES (?)"),
                           {QStringLiteral("برج السلام")});
        const int unit = db->execInsert(QStringLiteral("INSERT INTO units (property_id, "
                                                       "unit_number, rent_monthly, status, "
                                                       "currency_id) VALUES (?, '12', 1800, "
                                                       "'rented', 1)"),
                                        {property});
        tenant = db->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                                {QStringLiteral("هالة يوسف")});
        const QDate today = QDate::currentDate();
        QVERIFY(
            db->execInsert(QStringLiteral("INSERT INTO contracts (unit_id, tenant_id, "
                                          "start_date, end_date, rent_amount, status, "
                                          "currency_id) VALUES (?, ?, ?, ?, 1800, 'active', 1)"),
                           {unit, tenant, today.addMonths(-3).toString(Qt::ISODate),
                            today.addMonths(9).toString(Qt::ISODate)}) > 0);
        const int invoice = db->execInsert(
            QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, unit_id, period, "
                           "total_amount, balance, status, currency_id) VALUES ('INV-9', ?, ?, "
                           "'2026-01', 1800, 1800, 'pending', 1)"),
            {tenant, unit});
        QVERIFY(db->execInsert(QStringLiteral("INSERT INTO invoice_items (invoice_id, description, "
                                              "quantity, unit_price, total) VALUES (?, ?, 1, "
                                              "1800, 1800)"),
                               {invoice, QStringLiteral("إيجار")}) > 0);
        QVERIFY(db->execInsert(QStringLiteral("INSERT INTO payments (tenant_id, amount, "
                                              "payment_date, currency_id) VALUES (?, 300, ?, 1)"),
                               {tenant, today.toString(Qt::ISODate)}) > 0);
    }

    void cleanup()
    {
        h.reset();
        QVERIFY2(ShellHarness::problems().isEmpty(),
                 qPrintable(ShellHarness::problems().join(QLatin1Char('\n'))));
    }

    void invoiceRowPrintsItsInvoice()
    {
        QVERIFY(h->showPage(7));
        QQuickItem* row = need(QStringLiteral("invoiceRow_INV-9"));
        QVERIFY(row);
        QVERIFY(h->click(h->find(QStringLiteral("invoicePrintButton"), row)));
        QTRY_COMPARE(desktop->opened.size(), 1);
        QVERIFY2(lastOpened().startsWith(QStringLiteral("فاتورة_INV-9_")),
                 qPrintable(lastOpened()));
    }

    void paymentsPrintTheirReceipts()
    {
        QVERIFY(h->showPage(5));
        QQuickItem* row = need(QStringLiteral("paymentRow_0"));
        QVERIFY(row);
        QVERIFY(!h->find(QStringLiteral("lastReceiptButton"))->isVisible());
        QVERIFY(h->click(h->find(QStringLiteral("paymentReceiptButton"), row)));
        QTRY_COMPARE(desktop->opened.size(), 1);
        QVERIFY2(lastOpened().startsWith(QStringLiteral("سند_قبض_")), qPrintable(lastOpened()));

        // A payment taken in the dialog: its receipt is one click away.
        QVERIFY(h->click(h->find(QStringLiteral("addPaymentButton"))));
        QVERIFY(h->waitOpened(QStringLiteral("paymentDialog")));
        QVERIFY(h->choose(h->find(QStringLiteral("paymentTenantBox")), 0));
        QVERIFY(h->choose(h->find(QStringLiteral("paymentInvoiceBox")), 0));
        QVERIFY(h->typeInto(h->find(QStringLiteral("paymentAmountField")), QStringLiteral("500")));
        QVERIFY(h->click(h->find(QStringLiteral("paymentSaveButton"))));
        QVERIFY(h->waitClosed(QStringLiteral("paymentDialog")));
        QQuickItem* last = need(QStringLiteral("lastReceiptButton"));
        QVERIFY(last);
        QVERIFY(h->click(last));
        QTRY_COMPARE(desktop->opened.size(), 2);
        const int newest =
            h->database().value(QStringLiteral("SELECT MAX(id) FROM payments")).toInt();
        QVERIFY2(lastOpened().startsWith(QStringLiteral("سند_قبض_%1_").arg(newest)),
                 qPrintable(lastOpened()));
    }

    // The row buttons printed in silence: a print that could not be written
    // left the clerk with nothing. Each now says why, and a later print that
    // works takes the message away.
    void regressionFailedRowPrintsSayWhy()
    {
        // The documents folder cannot be made: a file stands in its way.
        QFile blocker(folders.filePath(QStringLiteral("blocked")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString working = desktop->documentsFolder();
        desktop->setDocumentsFolder(blocker.fileName() + QStringLiteral("/Documents"));

        QVERIFY(h->showPage(7));
        QVERIFY(h->click(h->find(QStringLiteral("invoicePrintButton"),
                                 need(QStringLiteral("invoiceRow_INV-9")))));
        QQuickItem* invoiceBanner = need(QStringLiteral("invoicePrintFailure"));
        QVERIFY(invoiceBanner);
        QCOMPARE(invoiceBanner->property("text").toString(),
                 QStringLiteral("تعذر إنشاء مجلد المستندات لحفظ الملف"));
        QVERIFY(desktop->opened.isEmpty());

        QVERIFY(h->showPage(5));
        QVERIFY(h->click(
            h->find(QStringLiteral("paymentReceiptButton"), need(QStringLiteral("paymentRow_0")))));
        QQuickItem* receiptBanner = need(QStringLiteral("receiptPrintFailure"));
        QVERIFY(receiptBanner);
        QCOMPARE(receiptBanner->property("text").toString(),
                 QStringLiteral("تعذر إنشاء مجلد المستندات لحفظ الملف"));

        desktop->setDocumentsFolder(working);
        QVERIFY(h->click(
            h->find(QStringLiteral("paymentReceiptButton"), need(QStringLiteral("paymentRow_0")))));
        QTRY_COMPARE(desktop->opened.size(), 1);
        QVERIFY(!receiptBanner->isVisible());
    }

    void rentRunResultPrintsTheRun()
    {
        QVERIFY(h->showPage(7));
        QVERIFY(h->click(need(QStringLiteral("rentRunOpenButton"))));
        QVERIFY(h->waitOpened(QStringLiteral("rentRunDialog")));
        QVERIFY(h->click(h->find(QStringLiteral("rentRunButton"))));
        QVERIFY(h->waitClosed(QStringLiteral("rentRunDialog")));
        QVERIFY(h->waitOpened(QStringLiteral("issueResultDialog")));
        QQuickItem* content = h->dialogContent(QStringLiteral("issueResultDialog"));
        QQuickItem* print = need(QStringLiteral("issueResultPrint"), content);
        QVERIFY(print);
        QVERIFY(h->click(print));
        QTRY_COMPARE(desktop->opened.size(), 1);
        QVERIFY2(lastOpened().startsWith(QStringLiteral("فواتير_")), qPrintable(lastOpened()));
        QCOMPARE(h->find(QStringLiteral("issueResultPrintMessage"), content)
                     ->property("text")
                     .toString(),
                 QStringLiteral("تم حفظ الفواتير في ملف PDF"));
    }
};

QTEST_MAIN(TstPrintButtons)
#include "tst_printbuttons.moc"
