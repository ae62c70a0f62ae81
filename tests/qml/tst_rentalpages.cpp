#include "RowText.h"
#include "ShellHarness.h"

#include "core/SqlDialect.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QTest>
#include <QtQuickTest/quicktest.h>

#include <functional>
#include <memory>

namespace {

const int kProperties = 1;
const int kTenants = 2;
const int kPayments = 5;
const int kInvoices = 7;
const int kMaintenance = 8;

QString iso(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace

// The properties, tenants, invoices, payments and maintenance pages, driven
// through the real window on a fresh database as an office user would: mouse
// clicks, typed Arabic text, and what ends up stored. Any QML warning or
// database error fails the test.
class TestRentalPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ShellHarness::installMessageHandler(); }

    void init()
    {
        ShellHarness::problems().clear();
        m_app = std::make_unique<ShellHarness>();
        QVERIFY(m_app->startSignedIn());
    }

    void cleanup()
    {
        m_app.reset();
        QStringList& problems = ShellHarness::problems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    // From an empty database to a paid invoice and a completed request, with
    // the refusals an office meets on the way.
    void wholeRentalFlowFromAFreshStart()
    {
        // A property: a missing name is caught in the dialog, which stays open.
        QVERIFY(m_app->showPage(kProperties));
        click("addPropertyButton");
        QVERIFY(m_app->waitOpened("propertyAddDialog"));
        click("propertySaveButton");
        QCOMPARE(text("propertyNameField", "errorText"), QStringLiteral("هذا الحقل مطلوب"));
        QVERIFY(dialogOpen("propertyAddDialog"));
        QCOMPARE(db().count(QStringLiteral("properties")), 0);
        type("propertyNameField", QStringLiteral("برج النخيل"));
        // Regression: the message stayed under the field after it was filled in.
        QCOMPARE(text("propertyNameField", "errorText"), QString());
        type("propertyCityField", QStringLiteral("رام الله"));
        type("propertyAddressField", QStringLiteral("شارع الإرسال"));
        click("propertySaveButton");
        QVERIFY(m_app->waitClosed("propertyAddDialog"));
        QCOMPARE(
            db().value(QStringLiteral("SELECT name || '|' || city || '|' || type FROM properties")),
            QVariant(QStringLiteral("برج النخيل|رام الله|residential")));
        QQuickItem* card = nullptr;
        QTRY_VERIFY((card = m_app->find(QStringLiteral("propertyCard_برج النخيل"))));
        QCOMPARE(text("propertyFigure_إشغال", "text", card), QStringLiteral("0%"));

        // Two units; a rent that is not a number stays in the dialog, Arabic
        // digits with "٫" and "٬" are read as a number.
        click(m_app->find(QStringLiteral("manageUnitsButton"), card));
        QVERIFY(m_app->waitOpened("unitsDialog"));
        QCOMPARE(m_app->object(QStringLiteral("unitsDialog"))->property("title").toString(),
                 QStringLiteral("إدارة الوحدات - برج النخيل"));
        addUnit(QStringLiteral("101"), QStringLiteral("abc"), false);
        QCOMPARE(text("unitRentField", "errorText"),
                 QStringLiteral("أدخل رقماً صحيحاً، مثل 1,250.50"));
        addUnit(QStringLiteral("101"), QStringLiteral("١٬٢٠٠٫٥٠"), true);
        addUnit(QStringLiteral("102"), QStringLiteral("900"), true);
        QCOMPARE(
            db().value(QStringLiteral("SELECT rent_monthly FROM units WHERE unit_number='101'"))
                .toDouble(),
            1200.5);
        QCOMPARE(db().value(QStringLiteral("SELECT rent_yearly FROM units WHERE unit_number='101'"))
                     .toDouble(),
                 14406.0);
        QTRY_VERIFY(m_app->find(QStringLiteral("unitRow_102")));
        QCOMPARE(text("unitRent", "text", m_app->find(QStringLiteral("unitRow_101"))),
                 QStringLiteral("1,200.50 ₪"));
        // A unit is corrected in the same dialog, its sale price included;
        // what is not touched stays as it was.
        click(m_app->find(QStringLiteral("editUnitButton"),
                          m_app->find(QStringLiteral("unitRow_102"))));
        QVERIFY(m_app->waitOpened("unitAddDialog"));
        QCOMPARE(m_app->object(QStringLiteral("unitAddDialog"))->property("title").toString(),
                 QStringLiteral("تعديل الوحدة"));
        QCOMPARE(text("unitRentField"), QStringLiteral("900"));
        type("unitSalePriceField", QStringLiteral("٢٥٠٠٠٠"));
        QTest::keyClick(m_app->window(), Qt::Key_Return);
        QVERIFY(m_app->waitClosed("unitAddDialog"));
        QCOMPARE(rowText(db(), QStringLiteral("SELECT sale_price, rent_monthly, unit_number FROM "
                                              "units WHERE unit_number='102'")),
                 QStringLiteral("250000|900|102"));
        QCOMPARE(db().count(QStringLiteral("units")), 2);
        QTest::keyClick(m_app->window(), Qt::Key_Escape);
        QVERIFY(m_app->waitClosed("unitsDialog"));
        // The page has read its list again: the card is a new item.
        QTRY_COMPARE(text("propertyFigure_وحدة", "text", named("propertyCard_برج النخيل")),
                     QStringLiteral("2"));

        // A tenant and a contract; an impossible end date is caught first.
        QVERIFY(m_app->showPage(kTenants));
        click("addTenantButton");
        QVERIFY(m_app->waitOpened("tenantAddDialog"));
        type("tenantNameField", QStringLiteral("سامر خليل"));
        type("tenantPhoneField", QStringLiteral("0599123456"));
        click("tenantSaveButton");
        QVERIFY(m_app->waitClosed("tenantAddDialog"));
        QQuickItem* tenantRow = nullptr;
        QTRY_VERIFY((tenantRow = m_app->find(QStringLiteral("tenantRow_سامر خليل"))));
        // The statement and the import open their dialogs (tested with them).
        QVERIFY(m_app->find(QStringLiteral("tenantStatementButton"), tenantRow)->isEnabled());
        QVERIFY(m_app->find(QStringLiteral("importTenantsButton"))->isEnabled());

        click(m_app->find(QStringLiteral("tenantContractsButton"), tenantRow));
        QVERIFY(m_app->waitOpened("contractsDialog"));
        click("addContractButton");
        QVERIFY(m_app->waitOpened("contractAddDialog"));
        QCOMPARE(text("contractStartField"), iso(QDate::currentDate()));
        click("contractSaveButton");
        QCOMPARE(text("contractUnitBox", "errorText"), QStringLiteral("اختر وحدة متاحة"));
        QVERIFY(m_app->choose(m_app->find(QStringLiteral("contractUnitBox")), 0));
        // Choosing a unit offers its monthly rent.
        QCOMPARE(text("contractRentField"), QStringLiteral("1,200.50"));
        type("contractEndField", QStringLiteral("2025-02-30"));
        click("contractSaveButton");
        QCOMPARE(text("contractEndField", "errorText"),
                 QStringLiteral("أدخل تاريخاً صحيحاً بالشكل yyyy-MM-dd"));
        QVERIFY(dialogOpen("contractAddDialog"));
        QCOMPARE(db().count(QStringLiteral("contracts")), 0);
        type("contractEndField", iso(QDate::currentDate().addYears(1)));
        click("contractSaveButton");
        QVERIFY(m_app->waitClosed("contractAddDialog"));
        QCOMPARE(rowText(db(), QStringLiteral("SELECT u.unit_number, c.rent_amount FROM "
                                              "contracts c JOIN units u ON u.id=c.unit_id")),
                 QStringLiteral("101|1200.5"));
        QTRY_VERIFY(m_app->find(QStringLiteral("contractRow_101")));
        QTest::keyClick(m_app->window(), Qt::Key_Escape);
        QVERIFY(m_app->waitClosed("contractsDialog"));
        QTRY_COMPARE(text("tenantContractCount", "text", named("tenantRow_سامر خليل")),
                     QStringLiteral("1"));
        // The count stays while the list is narrowed by a search.
        type("tenantSearch", QStringLiteral("سامر"));
        QTRY_COMPARE(m_app->find(QStringLiteral("tenantList"))->property("count").toInt(), 1);
        QCOMPARE(text("tenantContractCount", "text", named("tenantRow_سامر خليل")),
                 QStringLiteral("1"));
        type("tenantSearch", QStringLiteral("لا أحد"));
        QTRY_COMPARE(m_app->find(QStringLiteral("tenantList"))->property("count").toInt(), 0);
        QCOMPARE(text("emptyListText", "text", m_app->find(QStringLiteral("tenantList"))),
                 QStringLiteral("لا يوجد مستأجر مطابق للبحث"));
        type("tenantSearch", QString());
        QTRY_COMPARE(m_app->find(QStringLiteral("tenantList"))->property("count").toInt(), 1);

        // The month's rent, then a second run that finds nothing new.
        QVERIFY(m_app->showPage(kInvoices));
        QCOMPARE(text("emptyListText", "text", m_app->find(QStringLiteral("invoiceTable"))),
                 QStringLiteral("لا توجد فواتير بعد"));
        runRent();
        QCOMPARE(text("issueResultText"), QStringLiteral("✅ تم إصدار 1 فاتورة بنجاح"));
        click("issueResultOk");
        QVERIFY(m_app->waitClosed("issueResultDialog"));
        runRent();
        QCOMPARE(text("issueResultText"),
                 QStringLiteral(
                     "⚠️ لا توجد فواتير جديدة (قد تكون مكررة)"));
        click("issueResultOk");
        QVERIFY(m_app->waitClosed("issueResultDialog"));
        QCOMPARE(db().count(QStringLiteral("invoices")), 1);
        const QString number =
            db().value(QStringLiteral("SELECT invoice_number FROM invoices")).toString();
        QQuickItem* invoiceRow = nullptr;
        QTRY_VERIFY((invoiceRow = m_app->find(QStringLiteral("invoiceRow_") + number)));
        QCOMPARE(text("statusBadgeText", "text", invoiceRow), QStringLiteral("معلقة"));

        // An over-payment is refused with its reason; partial then full payment.
        QVERIFY(m_app->showPage(kPayments));
        pay(QStringLiteral("5000"));
        QCOMPARE(text("errorBannerText", "text", dialogContent("paymentDialog")),
                 QStringLiteral("⚠ المبلغ أكبر من الرصيد المستحق"));
        QVERIFY(dialogOpen("paymentDialog"));
        QCOMPARE(db().count(QStringLiteral("payments")), 0);
        type("paymentAmountField", QStringLiteral("500"));
        click("paymentSaveButton");
        QVERIFY(m_app->waitClosed("paymentDialog"));
        QCOMPARE(rowText(db(), QStringLiteral("SELECT status, balance FROM invoices")),
                 QStringLiteral("partial|700.5"));
        pay(QStringLiteral("700.50"));
        QVERIFY(m_app->waitClosed("paymentDialog"));
        QCOMPARE(db().value(QStringLiteral("SELECT status FROM invoices")),
                 QVariant(QStringLiteral("paid")));
        QCOMPARE(db().value(QStringLiteral("SELECT balance FROM tenants")).toDouble(), 0.0);
        QTRY_COMPARE(m_app->findAll(QStringLiteral("paymentAmount")).size(), 2);

        // A paid invoice is no longer offered for payment.
        click("addPaymentButton");
        QVERIFY(m_app->waitOpened("paymentDialog"));
        QVERIFY(m_app->choose(m_app->find(QStringLiteral("paymentTenantBox")), 0));
        QCOMPARE(m_app->object(QStringLiteral("paymentDialog"))
                     ->property("pendingInvoices")
                     .toList()
                     .size(),
                 0);
        QTest::keyClick(m_app->window(), Qt::Key_Escape);
        QVERIFY(m_app->waitClosed("paymentDialog"));

        // The invoices page shows the payment made on another page.
        QVERIFY(m_app->showPage(kInvoices));
        QTRY_COMPARE(
            text("statusBadgeText", "text", m_app->find(QStringLiteral("invoiceRow_") + number)),
            QStringLiteral("مدفوعة"));

        // A maintenance request, opened and completed with its cost.
        QVERIFY(m_app->showPage(kMaintenance));
        click("addMaintenanceButton");
        QVERIFY(m_app->waitOpened("maintenanceAddDialog"));
        QVERIFY(m_app->choose(m_app->find(QStringLiteral("maintenanceUnitBox")), 1));
        type("maintenanceTitleField", QStringLiteral("تسرب مياه في المطبخ"));
        click("maintenanceSaveButton");
        QVERIFY(m_app->waitClosed("maintenanceAddDialog"));
        QQuickItem* request = nullptr;
        QTRY_VERIFY((request = m_app->find(QStringLiteral("maintenanceRow_تسرب مياه في المطبخ"))));
        click(m_app->find(QStringLiteral("completeMaintenanceButton"), request));
        QVERIFY(m_app->waitOpened("maintenanceCompleteDialog"));
        type("maintenanceCostField", QStringLiteral("٢٥٠"));
        QTest::keyClick(m_app->window(), Qt::Key_Return);
        QVERIFY(m_app->waitClosed("maintenanceCompleteDialog"));
        QCOMPARE(rowText(db(), QStringLiteral("SELECT status, cost FROM maintenance_requests")),
                 QStringLiteral("completed|250"));
        QCOMPARE(db().value(QStringLiteral(
                                "SELECT amount FROM expenses WHERE maintenance_id IS NOT NULL"))
                     .toDouble(),
                 250.0);
        QTRY_COMPARE(text("maintenanceCost", "text",
                          m_app->find(QStringLiteral("maintenanceRow_تسرب مياه في المطبخ"))),
                     QStringLiteral("التكلفة: \u2068250.00 ₪\u2069"));

        // Removals: what is in use stays and says why; the free unit goes.
        QVERIFY(m_app->showPage(kTenants));
        click(m_app->find(QStringLiteral("removeTenantButton"),
                          m_app->find(QStringLiteral("tenantRow_سامر خليل"))));
        expectRefusal(QStringLiteral("هل تريد حذف المستأجر «سامر خليل»؟"),
                      QStringLiteral("لا يمكن حذف المستأجر لأن لديه عقوداً سارية"));
        QCOMPARE(db().count(QStringLiteral("tenants")), 1);

        QVERIFY(m_app->showPage(kProperties));
        card = m_app->find(QStringLiteral("propertyCard_برج النخيل"));
        click(m_app->find(QStringLiteral("removePropertyButton"), card));
        expectRefusal(QStringLiteral("هل تريد حذف العقار «برج النخيل»؟"),
                      QStringLiteral("لا يمكن حذف العقار لأن فيه وحدات مؤجرة أو مباعة"));
        QCOMPARE(db().count(QStringLiteral("properties")), 1);

        click(m_app->find(QStringLiteral("manageUnitsButton"), named("propertyCard_برج النخيل")));
        QVERIFY(m_app->waitOpened("unitsDialog"));
        QTRY_VERIFY(m_app->find(QStringLiteral("unitRow_101")));
        click(m_app->find(QStringLiteral("removeUnitButton"),
                          m_app->find(QStringLiteral("unitRow_101"))));
        expectRefusal(QStringLiteral("هل تريد حذف الوحدة «101» من «برج النخيل»؟"),
                      QStringLiteral("لا يمكن حذف الوحدة لأنها مؤجرة أو مباعة"));
        // Unit 102 has a maintenance request and its expense: it is kept, and
        // the reason says so.
        click(m_app->find(QStringLiteral("removeUnitButton"),
                          m_app->find(QStringLiteral("unitRow_102"))));
        QVERIFY(m_app->waitOpened("confirmDialog"));
        click("confirmButton");
        QVERIFY(dialogOpen("confirmDialog"));
        QVERIFY(!text("errorBannerText", "text", dialogContent("confirmDialog")).isEmpty());
        ShellHarness::problems().clear(); // the refused delete reports its foreign key
        click("confirmCancel");
        QVERIFY(m_app->waitClosed("confirmDialog"));
        QCOMPARE(db().count(QStringLiteral("units")), 2);
    }

    // A unit taken by another contract while the dialog was open: the save is
    // refused with the overlap reason and nothing typed is lost.
    void overlappingContractKeepsDialogOpen()
    {
        const int propertyId = call(QStringLiteral("propertyModel.add"),
                                    {QStringLiteral("عمارة السلام"), QStringLiteral("residential"),
                                     QString(), QStringLiteral("نابلس"), QString()});
        const int unitId =
            call(QStringLiteral("unitModel.add"),
                 {propertyId, QStringLiteral("A1"), 1, 90.0, 3, 1000.0, 12000.0, 0.0, 1});
        const int first =
            call(QStringLiteral("tenantModel.add"),
                 {QStringLiteral("ليلى حسن"), QString(), QString(), QString(), QString()});
        const int second =
            call(QStringLiteral("tenantModel.add"),
                 {QStringLiteral("مروان عيسى"), QString(), QString(), QString(), QString()});
        QVERIFY(unitId > 0 && first > 0 && second > 0);

        QVERIFY(m_app->showPage(kTenants));
        QQuickItem* row = nullptr;
        QTRY_VERIFY((row = m_app->find(QStringLiteral("tenantRow_ليلى حسن"))));
        click(m_app->find(QStringLiteral("tenantContractsButton"), row));
        QVERIFY(m_app->waitOpened("contractsDialog"));
        QCOMPARE(text("emptyListText", "text", dialogContent("contractsDialog")),
                 QStringLiteral("لا توجد عقود لهذا المستأجر بعد"));
        click("addContractButton");
        QVERIFY(m_app->waitOpened("contractAddDialog"));
        QVERIFY(m_app->choose(m_app->find(QStringLiteral("contractUnitBox")), 0));
        const QString end = iso(QDate::currentDate().addMonths(6));
        type("contractEndField", end);

        // Meanwhile someone else lets the unit to another tenant.
        const int other = call(QStringLiteral("contractModel.add"),
                               {unitId, second, iso(QDate::currentDate()), end, 1000.0,
                                QStringLiteral("monthly"), 0.0, 1});
        QVERIFY(other > 0);

        click("contractSaveButton");
        QVERIFY(dialogOpen("contractAddDialog"));
        QVERIFY(!text("errorBannerText", "text", dialogContent("contractAddDialog")).isEmpty());
        QCOMPARE(text("contractEndField"), end);
        QCOMPARE(
            db().value(QStringLiteral("SELECT COUNT(*) FROM contracts WHERE tenant_id=?"), {first})
                .toInt(),
            0);
    }

    // The custom invoice ignores "+" without an amount and will not issue
    // without a tenant and items; the service charge reaches every tenant of
    // the property and reports how many invoices it wrote.
    void customAndServiceInvoicesFromTheirDialogs()
    {
        const int tower = call(QStringLiteral("propertyModel.add"),
                               {QStringLiteral("برج الريحان"), QStringLiteral("residential"),
                                QString(), QStringLiteral("جنين"), QString()});
        const int unit = call(QStringLiteral("unitModel.add"),
                              {tower, QStringLiteral("5A"), 5, 100.0, 3, 800.0, 9600.0, 0.0, 1});
        const int tenant =
            call(QStringLiteral("tenantModel.add"),
                 {QStringLiteral("نور الهدى"), QString(), QString(), QString(), QString()});
        QVERIFY(
            call(QStringLiteral("contractModel.add"),
                 {unit, tenant, iso(QDate::currentDate()), iso(QDate::currentDate().addYears(1)),
                  800.0, QStringLiteral("monthly"), 0.0, 1}) > 0);
        const QVariantList currencies =
            m_app->evaluate(QStringLiteral("currencyModel.getAll()")).toList();
        int dollarRow = -1;
        for (int i = 0; i < currencies.size(); ++i)
            if (currencies.at(i).toMap().value(QStringLiteral("code")) == QStringLiteral("USD"))
                dollarRow = i;
        QVERIFY(dollarRow >= 0);

        QVERIFY(m_app->showPage(kInvoices));
        click("customInvoiceButton");
        QVERIFY(m_app->waitOpened("customInvoiceDialog"));
        QObject* dialog = m_app->object(QStringLiteral("customInvoiceDialog"));
        click("customAddLineButton");
        QCOMPARE(dialog->property("lineItems").toList().size(), 0);
        click("customIssueButton");
        QCOMPARE(text("customTenantBox", "errorText"), QStringLiteral("اختر المستأجر"));
        QCOMPARE(text("customItemsError"), QStringLiteral("أضف بنداً واحداً على الأقل"));
        QVERIFY(dialogOpen("customInvoiceDialog"));
        QCOMPARE(db().count(QStringLiteral("invoices")), 0);

        QVERIFY(m_app->choose(m_app->find(QStringLiteral("customTenantBox")), 0));
        QVERIFY(m_app->choose(m_app->find(QStringLiteral("customCurrencyBox")), dollarRow));
        type("customAmountField", QStringLiteral("٧٥"));
        click("customAddLineButton");
        QVERIFY(m_app->choose(m_app->find(QStringLiteral("customKindBox")), 1));
        type("customAmountField", QStringLiteral("20"));
        click("customAddLineButton");
        QCOMPARE(text("customAmountField"), QString());
        QCOMPARE(text("customTotal"), QStringLiteral("95.00 $"));
        click("customIssueButton");
        QVERIFY(m_app->waitClosed("customInvoiceDialog"));
        QCOMPARE(rowText(db(), QStringLiteral("SELECT c.code, i.total_amount FROM invoices i "
                                              "JOIN currencies c ON c.id=i.currency_id")),
                 QStringLiteral("USD|95"));
        QCOMPARE(db().value(QStringLiteral("SELECT %1 FROM (SELECT description FROM "
                                           "invoice_items ORDER BY id) AS d")
                                .arg(SqlDialect::stringAgg(m_app->database().engine(),
                                                           QStringLiteral("description"),
                                                           QStringLiteral("+")))),
                 QVariant(QStringLiteral("إيجار+مياه")));

        click("serviceInvoiceButton");
        QVERIFY(m_app->waitOpened("serviceInvoiceDialog"));
        type("serviceAmountField", QStringLiteral("30"));
        click("serviceIssueButton");
        QCOMPARE(text("servicePropertyBox", "errorText"), QStringLiteral("اختر العقار"));
        QVERIFY(m_app->choose(m_app->find(QStringLiteral("servicePropertyBox")), 0));
        click("serviceIssueButton");
        QVERIFY(m_app->waitClosed("serviceInvoiceDialog"));
        QVERIFY(m_app->waitOpened("issueResultDialog"));
        QCOMPARE(text("issueResultText"), QStringLiteral("✅ تم إصدار 1 فاتورة بنجاح"));
        QCOMPARE(db().count(QStringLiteral("invoices")), 2);
        QTRY_COMPARE(m_app->find(QStringLiteral("invoiceTable"))->property("count").toInt(), 2);
    }

    // Searching and filtering narrow the lists, say so when nothing matches,
    // and clearing them shows everything again.
    void searchesAndFilters()
    {
        for (const QString& name : {QStringLiteral("برج القدس"), QStringLiteral("مجمع الياسمين")})
            QVERIFY(call(QStringLiteral("propertyModel.add"),
                         {name, QStringLiteral("commercial"), QString(), QStringLiteral("الخليل"),
                          QString()}) > 0);
        QVERIFY(m_app->showPage(kProperties));
        QTRY_COMPARE(m_app->find(QStringLiteral("propertyGrid"))->property("count").toInt(), 2);
        type("propertySearch", QStringLiteral("الياسمين"));
        QTRY_COMPARE(m_app->find(QStringLiteral("propertyGrid"))->property("count").toInt(), 1);
        QVERIFY(m_app->find(QStringLiteral("propertyCard_مجمع الياسمين")));
        type("propertySearch", QStringLiteral("لا يوجد"));
        QTRY_COMPARE(m_app->find(QStringLiteral("propertyGrid"))->property("count").toInt(), 0);
        QCOMPARE(text("emptyListText", "text", m_app->find(QStringLiteral("propertyGrid"))),
                 QStringLiteral("لا توجد عقارات مطابقة للبحث"));
        type("propertySearch", QString());
        QTRY_COMPARE(m_app->find(QStringLiteral("propertyGrid"))->property("count").toInt(), 2);

        // Invoices: one pending and one paid, found by status and by tenant.
        Database* d = db().db();
        const int unit =
            d->execInsert(QStringLiteral("INSERT INTO units (property_id, unit_number, "
                                         "status) VALUES (1, 'B2', 'rented')"));
        const int ahmad =
            d->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES ('أحمد')"));
        const int huda =
            d->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES ('هدى')"));
        QVERIFY(unit > 0 && ahmad > 0 && huda > 0);
        QVERIFY(d->execNonQuery(
            QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, unit_id, period, "
                           "total_amount, balance, status, currency_id) VALUES "
                           "('INV-1', ?, ?, '2026-01', 100, 100, 'pending', 1), "
                           "('INV-2', ?, ?, '2026-01', 100, 0, 'paid', 1)"),
            {ahmad, unit, huda, unit}));
        QVERIFY(m_app->showPage(kInvoices));
        QQuickItem* table = m_app->find(QStringLiteral("invoiceTable"));
        QTRY_COMPARE(table->property("count").toInt(), 2);
        click("filter_paid");
        QTRY_COMPARE(table->property("count").toInt(), 1);
        QVERIFY(m_app->find(QStringLiteral("invoiceRow_INV-2")));
        type("invoiceSearch", QStringLiteral("أحمد"));
        QTRY_COMPARE(table->property("count").toInt(), 0);
        QCOMPARE(text("emptyListText", "text", table), QStringLiteral("لا توجد فواتير مطابقة"));
        click("filter_all");
        QTRY_COMPARE(table->property("count").toInt(), 1);
        QVERIFY(m_app->find(QStringLiteral("invoiceRow_INV-1")));
        type("invoiceSearch", QString());
        QTRY_COMPARE(table->property("count").toInt(), 2);

        // Maintenance by status.
        QObject* maintenance = m_app->backend(QStringLiteral("maintenanceModel"));
        const int open =
            call(QStringLiteral("maintenanceModel.add"),
                 {unit, 1, QStringLiteral("باب مكسور"), QString(), QStringLiteral("high")});
        const int closed =
            call(QStringLiteral("maintenanceModel.add"),
                 {unit, 1, QStringLiteral("دهان"), QString(), QStringLiteral("low")});
        QVERIFY(open > 0 && closed > 0);
        bool done = false;
        QMetaObject::invokeMethod(maintenance, "complete", Q_RETURN_ARG(bool, done),
                                  Q_ARG(int, closed), Q_ARG(double, 80.0));
        QVERIFY(done);
        QVERIFY(m_app->showPage(kMaintenance));
        QQuickItem* requests = m_app->find(QStringLiteral("maintenanceTable"));
        QTRY_COMPARE(requests->property("count").toInt(), 2);
        click(m_app->find(QStringLiteral("filter_completed"),
                          m_app->find(QStringLiteral("maintenanceStatusFilter"))));
        QTRY_COMPARE(requests->property("count").toInt(), 1);
        QVERIFY(m_app->find(QStringLiteral("maintenanceRow_دهان")));
        QCOMPARE(
            text("statusBadgeText", "text", m_app->find(QStringLiteral("maintenanceRow_دهان"))),
            QStringLiteral("منخفض"));
        click(m_app->find(QStringLiteral("filter_all"),
                          m_app->find(QStringLiteral("maintenanceStatusFilter"))));
        QTRY_COMPARE(requests->property("count").toInt(), 2);
    }

    // A payment is recorded in its invoice's currency and every amount shows
    // its own currency's symbol.
    void paymentTakesItsInvoiceCurrency()
    {
        Database* d = db().db();
        const int dollar =
            db().value(QStringLiteral("SELECT id FROM currencies WHERE code='USD'")).toInt();
        QVERIFY(dollar > 0);
        const int tenant =
            d->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES ('رامي')"));
        QVERIFY(d->execNonQuery(
            QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, period, total_amount, "
                           "balance, status, currency_id) VALUES ('INV-USD', ?, '2026-02', 300, "
                           "300, 'pending', ?), ('INV-VOID', ?, '2026-01', 50, 50, 'void', 1)"),
            {tenant, dollar, tenant}));
        QVERIFY(
            d->execNonQuery(QStringLiteral("UPDATE tenants SET balance=300 WHERE id=?"), {tenant}));

        m_app->window()->resize(1280, 720);
        QTRY_COMPARE(m_app->window()->width(), 1280);
        QVERIFY(m_app->showPage(kInvoices));
        QQuickItem* row = nullptr;
        QTRY_VERIFY((row = m_app->find(QStringLiteral("invoiceRow_INV-USD"))));
        QCOMPARE(text("invoiceBalance", "text", row), QStringLiteral("300.00 $"));
        // Regression: each row's print button had no heading, so at 1280
        // pixels the amounts stood under the wrong headings and the unit's
        // column had no room left at all.
        QVERIFY(QQuickTest::qWaitForPolish(m_app->window()));
        const auto left = [](QQuickItem* item) { return item->mapToScene(QPointF(0, 0)).x(); };
        const std::pair<const char*, const char*> columns[] = {
            {"invoiceHeadUnit", "invoiceUnit"},
            {"invoiceHeadBalance", "invoiceBalance"},
            {"invoiceHeadActions", "invoiceActions"}};
        for (const auto& [heading, cell] : columns) {
            QQuickItem* head = m_app->find(QString::fromLatin1(heading));
            QQuickItem* under = m_app->find(QString::fromLatin1(cell), row);
            QVERIFY2(head && under, cell);
            QCOMPARE(left(under), left(head));
            QCOMPARE(under->width(), head->width());
        }
        QVERIFY(m_app->find(QStringLiteral("invoiceUnit"), row)->width() >= 80);

        QVERIFY(m_app->showPage(kPayments));
        click("addPaymentButton");
        QVERIFY(m_app->waitOpened("paymentDialog"));
        QVERIFY(m_app->choose(m_app->find(QStringLiteral("paymentTenantBox")), 0));
        // The void invoice is not offered.
        const QVariantList offered =
            m_app->object(QStringLiteral("paymentDialog"))->property("pendingInvoices").toList();
        QCOMPARE(offered.size(), 1);
        QCOMPARE(offered.first().toMap().value(QStringLiteral("invoice_number")).toString(),
                 QStringLiteral("INV-USD"));
        QVERIFY(m_app->choose(m_app->find(QStringLiteral("paymentInvoiceBox")), 0));
        QCOMPARE(text("paymentAmountField", "label"), QStringLiteral("المبلغ المدفوع ($)"));
        type("paymentAmountField", QStringLiteral("١٠٠"));
        click("paymentSaveButton");
        QVERIFY(m_app->waitClosed("paymentDialog"));
        QCOMPARE(rowText(db(), QStringLiteral("SELECT currency_id, amount FROM payments")),
                 QStringLiteral("%1|100").arg(dollar));
        QQuickItem* amount = nullptr;
        QTRY_VERIFY((amount = m_app->find(QStringLiteral("paymentAmount"))));
        QCOMPARE(amount->property("text").toString(), QStringLiteral("100.00 $"));
    }

    // Pages and dialogs show what changed elsewhere, and a dialog reopened
    // for the same record reads it again.
    void pagesFollowChangesMadeElsewhere()
    {
        const int propertyId = call(QStringLiteral("propertyModel.add"),
                                    {QStringLiteral("فيلا الزيتون"), QStringLiteral("mixed"),
                                     QString(), QString(), QString()});
        QVERIFY(m_app->showPage(kProperties));
        QQuickItem* card = nullptr;
        QTRY_VERIFY((card = m_app->find(QStringLiteral("propertyCard_فيلا الزيتون"))));
        QCOMPARE(text("propertyFigure_وحدة", "text", card), QStringLiteral("0"));

        click(m_app->find(QStringLiteral("manageUnitsButton"), card));
        QVERIFY(m_app->waitOpened("unitsDialog"));
        QCOMPARE(text("emptyListText", "text", dialogContent("unitsDialog")),
                 QStringLiteral("لا توجد وحدات في هذا العقار بعد"));
        QTest::keyClick(m_app->window(), Qt::Key_Escape);
        QVERIFY(m_app->waitClosed("unitsDialog"));

        // A unit added outside the page shows on the card and in the dialog
        // reopened for the same property.
        QVERIFY(call(QStringLiteral("unitModel.add"),
                     {propertyId, QStringLiteral("G1"), 0, 120.0, 4, 2000.0, 24000.0, 0.0, 1}) > 0);
        QTRY_COMPARE(text("propertyFigure_وحدة", "text",
                          m_app->find(QStringLiteral("propertyCard_فيلا الزيتون"))),
                     QStringLiteral("1"));
        click(m_app->find(QStringLiteral("manageUnitsButton"),
                          m_app->find(QStringLiteral("propertyCard_فيلا الزيتون"))));
        QVERIFY(m_app->waitOpened("unitsDialog"));
        QTRY_VERIFY(m_app->find(QStringLiteral("unitRow_G1")));
    }

    // Signing in builds the dashboard alone; the other pages come up when
    // shown. The last few shown stay, with what was typed into them; older
    // ones are let go and come back fresh. A page built late still puts its
    // own search on the list it shares with other pages.
    void pagesAreBuiltWhenShownAndTheLastFewKept()
    {
        QVERIFY(m_app->find(QStringLiteral("dashboardPage")));
        for (const char* page : {"tenantsPage", "invoicesPage", "paymentsPage", "reportsPage"})
            QVERIFY2(!m_app->find(QString::fromLatin1(page)), page);

        QObject* invoices = m_app->backend(QStringLiteral("invoiceList"));
        invoices->setProperty("searchText", QStringLiteral("من صفحة أخرى"));
        QVERIFY(m_app->showPage(kInvoices));
        QVERIFY(m_app->waitVisible(QStringLiteral("invoicesPage")));
        QCOMPARE(invoices->property("searchText").toString(), QString());

        QVERIFY(m_app->showPage(kTenants));
        QQuickItem* tenants = m_app->waitVisible(QStringLiteral("tenantsPage"));
        QVERIFY(tenants);
        QVERIFY(
            m_app->typeInto(m_app->find(QStringLiteral("tenantSearch")), QStringLiteral("سعيد")));
        QVERIFY(m_app->showPage(kInvoices));
        QVERIFY(m_app->showPage(kTenants));
        QCOMPARE(m_app->waitVisible(QStringLiteral("tenantsPage")), tenants);
        QCOMPARE(m_app->find(QStringLiteral("tenantSearch"))->property("text").toString(),
                 QStringLiteral("سعيد"));

        for (int page : {kPayments, kProperties, kInvoices})
            QVERIFY(m_app->showPage(page));
        QVERIFY(!m_app->find(QStringLiteral("tenantsPage")));
        QVERIFY(!m_app->find(QStringLiteral("dashboardPage")));
        QVERIFY(m_app->showPage(kTenants));
        QVERIFY(m_app->waitVisible(QStringLiteral("tenantsPage")));
        QCOMPARE(m_app->find(QStringLiteral("tenantSearch"))->property("text").toString(),
                 QString());
    }

    // Every page and dialog at the smallest supported window, in both themes:
    // nothing a dialog holds may stand outside it. With SAKANOVA_SHOTS_DIR set
    // (tools/screenshots.sh) each view is also saved as a PNG for a person to
    // look at.
    void everyPageAndDialogFitsInBothThemes()
    {
        fillSampleData();
        m_app->window()->resize(1280, 720);
        QTRY_COMPARE(m_app->window()->height(), 720);

        for (const char* mode : {"dark", "light"}) {
            m_mode = QLatin1String(mode);
            click(m_app->find(QStringLiteral("themeSegment_") + m_mode));
            QTRY_COMPARE(
                m_app->backend(QStringLiteral("settingsManager"))->property("themeMode").toString(),
                m_mode);

            QVERIFY(m_app->showPage(kProperties));
            QTRY_VERIFY(m_app->find(QStringLiteral("propertyCard_برج النخيل")));
            shoot("properties");
            showDialog("addPropertyButton", "propertyAddDialog", "property-add");
            click(m_app->find(QStringLiteral("propertySaveButton")));
            shoot("property-add-missing-name");
            closeDialog("propertyAddDialog");
            click(m_app->find(QStringLiteral("removePropertyButton"),
                              named("propertyCard_برج النخيل")));
            QVERIFY(m_app->waitOpened("confirmDialog"));
            click("confirmButton");
            checkFits("confirmDialog", "property-remove-refused");
            closeDialog("confirmDialog");
            click(
                m_app->find(QStringLiteral("manageUnitsButton"), named("propertyCard_برج النخيل")));
            QVERIFY(m_app->waitOpened("unitsDialog"));
            QTRY_VERIFY(m_app->find(QStringLiteral("unitRow_101")));
            checkFits("unitsDialog", "units");
            showDialog("addUnitButton", "unitAddDialog", "unit-add");
            closeDialog("unitAddDialog");
            closeDialog("unitsDialog");

            QVERIFY(m_app->showPage(kTenants));
            QTRY_VERIFY(m_app->find(QStringLiteral("tenantRow_سامر خليل")));
            shoot("tenants");
            showDialog("addTenantButton", "tenantAddDialog", "tenant-add");
            closeDialog("tenantAddDialog");
            click(
                m_app->find(QStringLiteral("tenantContractsButton"), named("tenantRow_سامر خليل")));
            QVERIFY(m_app->waitOpened("contractsDialog"));
            QTRY_VERIFY(m_app->find(QStringLiteral("contractRow_101")));
            checkFits("contractsDialog", "contracts");
            showDialog("addContractButton", "contractAddDialog", "contract-add");
            QVERIFY(m_app->choose(m_app->find(QStringLiteral("contractUnitBox")), 0));
            type("contractEndField", QStringLiteral("2025-02-30"));
            click("contractSaveButton");
            checkFits("contractAddDialog", "contract-add-bad-date");
            closeDialog("contractAddDialog");
            closeDialog("contractsDialog");

            QVERIFY(m_app->showPage(kInvoices));
            QTRY_VERIFY(m_app->find(QStringLiteral("invoiceTable"))->property("count").toInt() > 0);
            shoot("invoices");
            showDialog("rentRunOpenButton", "rentRunDialog", "rent-run");
            click("rentRunButton");
            QVERIFY(m_app->waitOpened("issueResultDialog"));
            checkFits("issueResultDialog", "issue-result");
            closeDialog("issueResultDialog");
            showDialog("customInvoiceButton", "customInvoiceDialog", "custom-invoice-empty");
            QVERIFY(m_app->choose(m_app->find(QStringLiteral("customTenantBox")), 0));
            for (const QString& amount : {QStringLiteral("120"), QStringLiteral("45.5")}) {
                type("customAmountField", amount);
                click("customAddLineButton");
            }
            checkFits("customInvoiceDialog", "custom-invoice");
            closeDialog("customInvoiceDialog");
            showDialog("serviceInvoiceButton", "serviceInvoiceDialog", "service-invoice");
            closeDialog("serviceInvoiceDialog");

            QVERIFY(m_app->showPage(kPayments));
            QTRY_VERIFY(m_app->find(QStringLiteral("paymentTable"))->property("count").toInt() > 0);
            shoot("payments");
            showDialog("addPaymentButton", "paymentDialog", "payment-empty");
            QVERIFY(m_app->choose(m_app->find(QStringLiteral("paymentTenantBox")), 0));
            QVERIFY(m_app->choose(m_app->find(QStringLiteral("paymentInvoiceBox")), 0));
            type("paymentAmountField", QStringLiteral("99999"));
            click("paymentSaveButton");
            checkFits("paymentDialog", "payment-refused");
            closeDialog("paymentDialog");

            QVERIFY(m_app->showPage(kMaintenance));
            QTRY_VERIFY(m_app->find(QStringLiteral("maintenanceTable"))->property("count").toInt() >
                        0);
            shoot("maintenance");
            showDialog("addMaintenanceButton", "maintenanceAddDialog", "maintenance-add");
            closeDialog("maintenanceAddDialog");
            // The request still open; the completed one's button is hidden.
            click(m_app->find(QStringLiteral("completeMaintenanceButton"),
                              named("maintenanceRow_تسرب مياه في المطبخ")));
            QVERIFY(m_app->waitOpened("maintenanceCompleteDialog"));
            checkFits("maintenanceCompleteDialog", "maintenance-complete");
            closeDialog("maintenanceCompleteDialog");
        }
    }

    void inputChecksReadWhatIsTyped_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QVariant>("expected");
        const QVariant invalid = QVariant(QStringLiteral("NaN"));
        QTest::newRow("Latin digits") << "number"
                                      << "1250.5" << QVariant(1250.5);
        QTest::newRow("Arabic-Indic digits and ٫") << "number"
                                                   << "١٢٥٠٫٥" << QVariant(1250.5);
        QTest::newRow("Eastern digits") << "number"
                                        << "۳۰۰" << QVariant(300.0);
        QTest::newRow("thousands with comma") << "number"
                                              << "1,250,000.75" << QVariant(1250000.75);
        QTest::newRow("thousands with ٬") << "number"
                                          << "١٬٢٠٠" << QVariant(1200.0);
        QTest::newRow("spaces around") << "number"
                                       << "  42 " << QVariant(42.0);
        QTest::newRow("decimal comma is no number") << "number"
                                                    << "1,5" << invalid;
        QTest::newRow("letters") << "number"
                                 << "abc" << invalid;
        QTest::newRow("empty") << "number"
                               << "" << invalid;
        QTest::newRow("two points") << "number"
                                    << "1.2.3" << invalid;
        QTest::newRow("whole number") << "integer"
                                      << "٣" << QVariant(3.0);
        QTest::newRow("fraction is no integer") << "integer"
                                                << "2.5" << invalid;
        QTest::newRow("real date") << "date"
                                   << "2024-02-29" << QVariant(QStringLiteral("2024-02-29"));
        QTest::newRow("Arabic date, short parts")
            << "date"
            << "٢٠٢٥-٣-٧" << QVariant(QStringLiteral("2025-03-07"));
        QTest::newRow("30 February") << "date"
                                     << "2025-02-30" << QVariant(QString());
        QTest::newRow("29 February, common year") << "date"
                                                  << "2025-02-29" << QVariant(QString());
        QTest::newRow("month 13") << "date"
                                  << "2025-13-01" << QVariant(QString());
        QTest::newRow("day first") << "date"
                                   << "07/03/2025" << QVariant(QString());
        QTest::newRow("period") << "period"
                                << "2025-7" << QVariant(QStringLiteral("2025-07"));
        QTest::newRow("period month 0") << "period"
                                        << "2025-00" << QVariant(QString());
        QTest::newRow("date is no period") << "period"
                                           << "2025-07-01" << QVariant(QString());
    }

    void inputChecksReadWhatIsTyped()
    {
        QFETCH(QString, function);
        QFETCH(QString, typed);
        QFETCH(QVariant, expected);
        QQmlComponent component(qmlEngine(m_app->window()));
        component.setData("import QtQml\nimport \"qrc:/qml/components/Input.js\" as Input\n"
                          "QtObject { function check(f, t) { var r = Input[f](t);"
                          " return typeof r === 'number' && isNaN(r) ? 'NaN' : r } }",
                          QUrl(QStringLiteral("qrc:/qml/input_check.qml")));
        std::unique_ptr<QObject> checker(component.create());
        QVERIFY2(checker, qPrintable(component.errorString()));
        QVariant result;
        QMetaObject::invokeMethod(checker.get(), "check", Q_RETURN_ARG(QVariant, result),
                                  Q_ARG(QVariant, function), Q_ARG(QVariant, typed));
        if (expected.typeId() == QMetaType::Double)
            QCOMPARE(result.toDouble(), expected.toDouble());
        else
            QCOMPARE(result.toString(), expected.toString());
    }

private:
    TestDatabase& db() { return m_app->database(); }

    // An item that must exist; a missing one yields a bare stand-in so that
    // lookups inside it find nothing instead of searching the whole window.
    QQuickItem* named(const char* name)
    {
        if (QQuickItem* found = m_app->find(QString::fromUtf8(name)))
            return found;
        m_missing = std::make_unique<QQuickItem>();
        return m_missing.get();
    }

    // A dialog's content area, to look only inside that dialog.
    QQuickItem* dialogContent(const char* dialog)
    {
        QObject* popup = m_app->object(QString::fromUtf8(dialog));
        return popup ? popup->property("contentItem").value<QQuickItem*>() : nullptr;
    }

    bool dialogOpen(const char* dialog)
    {
        // "opened" drops as soon as a dialog starts closing, while "visible"
        // lasts through the closing animation.
        QObject* popup = m_app->object(QString::fromUtf8(dialog));
        return popup && popup->property("opened").toBool();
    }

    QString text(const char* item, const char* property = "text", QQuickItem* within = nullptr)
    {
        QQuickItem* found = m_app->find(QString::fromUtf8(item), within);
        return found ? found->property(property).toString() : QStringLiteral("<no %1>").arg(item);
    }

    void click(const char* item)
    {
        QVERIFY2(m_app->click(m_app->find(QString::fromUtf8(item))), item);
    }
    void click(QQuickItem* item) { QVERIFY(m_app->click(item)); }

    void type(const char* field, const QString& value)
    {
        QVERIFY2(m_app->typeInto(m_app->find(QString::fromUtf8(field)), value), field);
    }

    // Calls a back-end method through QML, so arguments are converted as the
    // pages' own calls are; returns what it returned as a number.
    int call(const QString& method, const QVariantList& args)
    {
        const QByteArray json =
            QJsonDocument(QJsonArray::fromVariantList(args)).toJson(QJsonDocument::Compact);
        const QString script = method + QLatin1Char('(') +
                               QString::fromUtf8(json.mid(1, json.size() - 2)) + QLatin1Char(')');
        return m_app->evaluate(script).toInt();
    }

    // Sample records an office might have after a few weeks.
    void fillSampleData()
    {
        const QString today = iso(QDate::currentDate());
        const QString nextYear = iso(QDate::currentDate().addYears(1));
        const int tower =
            call(QStringLiteral("propertyModel.add"),
                 {QStringLiteral("برج النخيل"), QStringLiteral("residential"),
                  QStringLiteral("شارع الإرسال"), QStringLiteral("رام الله"), QString()});
        const int mall =
            call(QStringLiteral("propertyModel.add"),
                 {QStringLiteral("مجمع الياسمين التجاري"), QStringLiteral("commercial"),
                  QStringLiteral("دوار المنارة"), QStringLiteral("البيرة"), QString()});
        QVERIFY(tower > 0 && mall > 0);
        QList<int> units;
        const QStringList numbers = {QStringLiteral("101"), QStringLiteral("102"),
                                     QStringLiteral("201"), QStringLiteral("202")};
        for (int i = 0; i < numbers.size(); ++i)
            units << call(QStringLiteral("unitModel.add"),
                          {i < 3 ? tower : mall, numbers.at(i), i / 2 + 1, 95.5 + i * 10, 3,
                           1200.0 + i * 150, (1200.0 + i * 150) * 12, 0.0, 1});
        const QStringList names = {QStringLiteral("سامر خليل"), QStringLiteral("ليلى عبد الرحمن"),
                                   QStringLiteral("شركة الأفق للتجارة")};
        QList<int> tenants;
        for (const QString& name : names)
            tenants << call(QStringLiteral("tenantModel.add"),
                            {name, QStringLiteral("40123456%1").arg(tenants.size()),
                             QStringLiteral("059912345%1").arg(tenants.size()),
                             QStringLiteral("t%1@example.com").arg(tenants.size()),
                             QStringLiteral("رام الله")});
        for (int i = 0; i < 3; ++i)
            QVERIFY(call(QStringLiteral("contractModel.add"),
                         {units.at(i), tenants.at(i), today, nextYear, 1200.0 + i * 150,
                          QStringLiteral("monthly"), 500.0, 1}) > 0);
        QVERIFY(call(QStringLiteral("invoiceModel.generateAllRent"),
                     {QDate::currentDate().toString(QStringLiteral("yyyy-MM"))}) == 3);
        const QVariantList invoices =
            m_app->evaluate(QStringLiteral("invoiceModel.getAll()")).toList();
        for (int i = 0; i < 2; ++i) {
            const QVariantMap invoice = invoices.at(i).toMap();
            QVERIFY(call(QStringLiteral("paymentModel.add"),
                         {invoice.value(QStringLiteral("id")),
                          invoice.value(QStringLiteral("tenant_id")),
                          i == 0 ? 600.0 : invoice.value(QStringLiteral("balance")).toDouble(),
                          QStringLiteral("cash"), today, QStringLiteral("إيصال %1").arg(i + 1),
                          1}) > 0);
        }
        const int leak = call(QStringLiteral("maintenanceModel.add"),
                              {units.at(0), tower, QStringLiteral("تسرب مياه في المطبخ"),
                               QStringLiteral("تحت المغسلة"), QStringLiteral("high")});
        const int paint = call(
            QStringLiteral("maintenanceModel.add"),
            {units.at(3), mall, QStringLiteral("دهان الواجهة"), QString(), QStringLiteral("low")});
        QVERIFY(leak > 0 && paint > 0);
        QVERIFY(m_app->evaluate(QStringLiteral("maintenanceModel.complete(%1, 350)").arg(paint))
                    .toBool());
    }

    void shoot(const QString& name)
    {
        const QString dir = qEnvironmentVariable("SAKANOVA_SHOTS_DIR");
        if (dir.isEmpty())
            return;
        QTest::qWait(250); // let the last animation settle
        const QString file = dir + QStringLiteral("/rental-%1-%2.png").arg(name, m_mode);
        QVERIFY2(m_app->window()->grabWindow().save(file), qPrintable(file));
    }

    // Every visible item of the dialog lies inside it and inside the window.
    void checkFits(const char* dialog, const QString& shot)
    {
        QObject* popup = m_app->object(QString::fromUtf8(dialog));
        QVERIFY(popup);
        QTRY_VERIFY(popup->property("opened").toBool());
        auto* background = popup->property("background").value<QQuickItem*>();
        auto* content = popup->property("contentItem").value<QQuickItem*>();
        QVERIFY(background && content);
        const QRectF bounds = background->mapRectToScene(background->boundingRect());
        QVERIFY2(QRectF(QPointF(), m_app->window()->size()).contains(bounds), dialog);
        std::function<void(QQuickItem*)> inside = [&](QQuickItem* item) {
            if (!item->isVisible() || item->width() <= 0 || item->height() <= 0)
                return;
            // An empty field's placeholder is laid out whatever its text.
            if (item->inherits("QQuickPlaceholderText") &&
                item->property("text").toString().isEmpty())
                return;
            // Views clip what scrolls out of them; their own frame is what counts.
            const QRectF r = item->mapRectToScene(item->boundingRect());
            QVERIFY2(bounds.adjusted(-1, -1, 1, 1).contains(r),
                     qPrintable(QStringLiteral("%1: %2 %3 outside")
                                    .arg(QString::fromUtf8(dialog), item->objectName(),
                                         QString::fromLatin1(item->metaObject()->className()))));
            if (item->clip())
                return;
            for (QQuickItem* child : item->childItems())
                inside(child);
        };
        inside(content);
        shoot(shot);
    }

    void showDialog(const char* button, const char* dialog, const QString& shot)
    {
        click(button);
        QVERIFY(m_app->waitOpened(dialog));
        checkFits(dialog, shot);
    }

    void closeDialog(const char* dialog)
    {
        QTest::keyClick(m_app->window(), Qt::Key_Escape);
        QVERIFY(m_app->waitClosed(dialog));
    }

    void addUnit(const QString& number, const QString& rent, bool accepted)
    {
        const int before = db().count(QStringLiteral("units"));
        click("addUnitButton");
        QVERIFY(m_app->waitOpened("unitAddDialog"));
        type("unitNumberField", number);
        type("unitFloorField", QStringLiteral("١"));
        type("unitRentField", rent);
        QTest::keyClick(m_app->window(), Qt::Key_Return);
        if (accepted) {
            QVERIFY(m_app->waitClosed("unitAddDialog"));
            QCOMPARE(db().count(QStringLiteral("units")), before + 1);
        } else {
            QVERIFY(dialogOpen("unitAddDialog"));
            QCOMPARE(db().count(QStringLiteral("units")), before);
        }
    }

    void runRent()
    {
        click("rentRunOpenButton");
        QVERIFY(m_app->waitOpened("rentRunDialog"));
        QCOMPARE(text("rentPeriodField"), QDate::currentDate().toString(QStringLiteral("yyyy-MM")));
        click("rentRunButton");
        QVERIFY(m_app->waitClosed("rentRunDialog"));
        QVERIFY(m_app->waitOpened("issueResultDialog"));
    }

    void pay(const QString& amount)
    {
        click("addPaymentButton");
        QVERIFY(m_app->waitOpened("paymentDialog"));
        QVERIFY(m_app->choose(m_app->find(QStringLiteral("paymentTenantBox")), 0));
        QVERIFY(m_app->choose(m_app->find(QStringLiteral("paymentInvoiceBox")), 0));
        type("paymentAmountField", amount);
        click("paymentSaveButton");
    }

    // Confirms a removal that the back end refuses: the confirmation names
    // the record, the reason shows inside it and it stays open until closed.
    void expectRefusal(const QString& question, const QString& reason)
    {
        QVERIFY(m_app->waitOpened("confirmDialog"));
        QCOMPARE(text("confirmMessage"), question);
        click("confirmButton");
        QVERIFY(dialogOpen("confirmDialog"));
        QCOMPARE(text("errorBannerText", "text", dialogContent("confirmDialog")),
                 QStringLiteral("⚠ ") + reason);
        click("confirmCancel");
        QVERIFY(m_app->waitClosed("confirmDialog"));
    }

    std::unique_ptr<ShellHarness> m_app;
    std::unique_ptr<QQuickItem> m_missing;
    QString m_mode = QStringLiteral("dark");
};

QTEST_MAIN(TestRentalPages)
#include "tst_rentalpages.moc"
