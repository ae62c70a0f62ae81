#include "FakeDesktop.h"
#include "ShellHarness.h"
#include "ShotSaver.h"

#include <QDate>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>

// The tenant statement and the pasted import, opened from the tenants page
// and driven through the window on the real back-end objects. Any QML
// warning fails the test.
class TstTenantDialogs : public QObject
{
    Q_OBJECT

    std::unique_ptr<ShellHarness> h;
    FakeDesktop* desktop = nullptr; // owned by the back end
    QTemporaryDir folders;

    QQuickItem* need(const QString& name, QQuickItem* within = nullptr)
    {
        return h->waitVisible(name, within);
    }

    // Several pages own a dialog of the same name: the shown page's comes first.
    QObject* findDialog(const QString& name) { return h->shownPageDialog(name); }

    // TextArea input: the text is set as a paste would put it.
    void paste(const QString& text)
    {
        QQuickItem* area =
            need(QStringLiteral("importText"), h->dialogContent(QStringLiteral("importDialog")));
        QVERIFY(area);
        area->setProperty("text", text);
    }

private slots:
    void initTestCase() { ShellHarness::installMessageHandler(); }

    void init()
    {
        ShellHarness::problems().clear();
        h = std::make_unique<ShellHarness>();
        auto fake = std::make_unique<FakeDesktop>(folders.path());
        QDir().mkpath(fake->documentsFolder());
        QDir().mkpath(fake->exportFolder());
        desktop = fake.get();
        h->useDesktop(std::move(fake));
        QVERIFY(h->startSignedIn());
        if (ShotSaver::theme() == QLatin1String("light"))
            QMetaObject::invokeMethod(h->backend(QStringLiteral("settingsManager")), "setThemeMode",
                                      Q_ARG(QString, QStringLiteral("light")));
        QVERIFY(h->showPage(2));
    }

    void cleanup()
    {
        h.reset();
        QVERIFY2(ShellHarness::problems().isEmpty(),
                 qPrintable(ShellHarness::problems().join(QLatin1Char('\n'))));
    }

    // Regression: at 1280 x 720 the email column had some fifty pixels left
    // and every address was cut. A usual row now fits; a long address is cut
    // at its end and shows whole under the mouse.
    void tenantRowsFitTheSmallestWindow()
    {
        h->window()->resize(1280, 720);
        Database* db = h->database().db();
        const QString longMail = QStringLiteral("abdulrahman.abughosh.accounts@nakheel-estates.ps");
        int idNumber = 401234567;
        for (const auto& [name, mail] : {std::pair{QStringLiteral("عبد الرحمن محمود أبو غوش"),
                                                   QStringLiteral("info@nakheel.ps")},
                                         std::pair{QStringLiteral("سلوى حداد"), longMail}})
            QVERIFY(db->execInsert(QStringLiteral("INSERT INTO tenants (full_name, id_number, "
                                                  "phone, email) VALUES (?,?,?,?)"),
                                   {name, QString::number(idNumber++),
                                    QStringLiteral("0599-123456"), mail}) > 0);
        QMetaObject::invokeMethod(h->find(QStringLiteral("tenantsPage")), "reload");

        QQuickItem* usual = need(QStringLiteral("tenantRow_عبد الرحمن محمود أبو غوش"));
        QVERIFY(usual);
        QVERIFY(!h->find(QStringLiteral("tenantEmailCell"), usual)->property("truncated").toBool());
        QVERIFY(!h->find(QStringLiteral("tenantNameCell"), usual)->property("truncated").toBool());
        QQuickItem* actions = h->find(QStringLiteral("tenantActions"), usual);
        const QRectF box = actions->mapRectToItem(usual, actions->childrenRect());
        QVERIFY2(box.left() >= 0 && box.right() <= usual->width(),
                 qPrintable(QStringLiteral("%1..%2").arg(box.left()).arg(box.right())));
        ShotSaver::saveShot(h->window(), QStringLiteral("tenants-page-720"));

        QQuickItem* cut =
            h->find(QStringLiteral("tenantEmailCell"), need(QStringLiteral("tenantRow_سلوى حداد")));
        QVERIFY(cut->property("truncated").toBool());
        QTest::mouseMove(h->window(),
                         cut->mapToScene(QPointF(cut->width() / 2, cut->height() / 2)).toPoint());
        // The tip is the one other visible text in the window holding the address.
        std::function<bool(QQuickItem*)> tipShown = [&](QQuickItem* item) {
            if (item != cut && item->isVisible() && item->property("text").toString() == longMail)
                return true;
            const QList<QQuickItem*> children = item->childItems();
            return std::any_of(children.begin(), children.end(), tipShown);
        };
        QTRY_VERIFY(tipShown(h->window()->contentItem()));
    }

    // A tenant who paid 1,234.56 as 66.67 + 1,167.89 owes nothing, but the
    // doubles leave -2e-13; the statement read "-0.00 ₪".
    void regressionSettledStatementNeverShowsMinusZero()
    {
        Database* db = h->database().db();
        const int tenant =
            db->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                           {QStringLiteral("منى العلي")});
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QVERIFY(db->execInsert(QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, "
                                              "total_amount, currency_id) VALUES (?,?,?,?)"),
                               {QStringLiteral("INV-9"), tenant, 1234.56, 1}) > 0);
        for (const double amount : {66.67, 1167.89})
            QVERIFY(db->execInsert(
                        QStringLiteral("INSERT INTO payments (tenant_id, amount, payment_date, "
                                       "currency_id) VALUES (?,?,?,?)"),
                        {tenant, amount, today, 1}) > 0);
        QMetaObject::invokeMethod(h->find(QStringLiteral("tenantsPage")), "reload");
        QVERIFY(h->click(h->find(QStringLiteral("tenantStatementButton"),
                                 need(QStringLiteral("tenantRow_منى العلي")))));
        QVERIFY(h->settled(QStringLiteral("statementDialog"), true));
        QQuickItem* d = h->dialogContent(QStringLiteral("statementDialog"));
        QCOMPARE(h->find(QStringLiteral("tenantBalance"), d)->property("value").toString(),
                 QStringLiteral("0.00 ₪"));
        QVariant printed;
        QVERIFY(QMetaObject::invokeMethod(findDialog(QStringLiteral("statementDialog")),
                                          "printableEntries", Q_RETURN_ARG(QVariant, printed)));
        QCOMPARE(printed.toList().last().toMap().value(QStringLiteral("balance")).toString(),
                 QStringLiteral("0.00 ₪"));
        QMetaObject::invokeMethod(findDialog(QStringLiteral("statementDialog")), "close");
        QVERIFY(h->settled(QStringLiteral("statementDialog"), false));
    }

    void statementShowsRowsInTheirCurrencyAndPrints()
    {
        Database* db = h->database().db();
        const int tenant =
            db->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                           {QStringLiteral("رامي سعيد")});
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QVERIFY(db->execInsert(QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, "
                                              "total_amount, currency_id) VALUES (?,?,?,?)"),
                               {QStringLiteral("INV-1"), tenant, 1200.0, 2}) > 0);
        QVERIFY(
            db->execInsert(QStringLiteral("INSERT INTO payments (tenant_id, amount, payment_date, "
                                          "reference, currency_id) VALUES (?,?,?,?,?)"),
                           {tenant, 500.0, today, QStringLiteral("سند 3"), 2}) > 0);
        QMetaObject::invokeMethod(h->find(QStringLiteral("tenantsPage")), "reload");
        // The tenants page shows what each tenant owes in its own currency.
        QTRY_COMPARE(h->find(QStringLiteral("tenantBalanceCell"),
                             need(QStringLiteral("tenantRow_رامي سعيد")))
                         ->property("text")
                         .toString(),
                     QStringLiteral("700.00 $"));

        QVERIFY(h->click(h->find(QStringLiteral("tenantStatementButton"),
                                 need(QStringLiteral("tenantRow_رامي سعيد")))));
        QVERIFY(h->settled(QStringLiteral("statementDialog"), true));
        QQuickItem* d = h->dialogContent(QStringLiteral("statementDialog"));
        QQuickItem* first = need(QStringLiteral("tenantStatementRow_0"), d);
        QVERIFY(first);
        // Dollars, as the rows say; a side with nothing shows "-".
        QCOMPARE(h->find(QStringLiteral("statementDebit"), first)->property("text").toString(),
                 QStringLiteral("1,200.00 $"));
        QCOMPARE(h->find(QStringLiteral("statementCredit"), first)->property("text").toString(),
                 QStringLiteral("-"));
        QCOMPARE(h->find(QStringLiteral("tenantBalance"), d)->property("value").toString(),
                 QStringLiteral("700.00 $"));

        ShotSaver::saveShot(h->window(), QStringLiteral("tenant-statement-dialog"));
        // Printed, the "paid" column holds only what was paid: the invoice's
        // value goes into its description, the running balance stays.
        QVariant printed;
        QVERIFY(QMetaObject::invokeMethod(findDialog(QStringLiteral("statementDialog")),
                                          "printableEntries", Q_RETURN_ARG(QVariant, printed)));
        const QVariantList entries = printed.toList();
        QCOMPARE(entries.size(), 2);
        const QVariantMap invoiceEntry = entries.at(0).toMap();
        QCOMPARE(invoiceEntry.value(QStringLiteral("amount")).toString(), QStringLiteral("-"));
        QVERIFY(invoiceEntry.value(QStringLiteral("description"))
                    .toString()
                    .endsWith(QStringLiteral("بقيمة \u20681,200.00 $\u2069")));
        QCOMPARE(invoiceEntry.value(QStringLiteral("balance")).toString(),
                 QStringLiteral("1,200.00 $"));
        const QVariantMap paymentEntry = entries.at(1).toMap();
        QCOMPARE(paymentEntry.value(QStringLiteral("amount")).toString(),
                 QStringLiteral("500.00 $"));
        QCOMPARE(paymentEntry.value(QStringLiteral("balance")).toString(),
                 QStringLiteral("700.00 $"));
        QVERIFY(h->click(h->find(QStringLiteral("tenantStatementPrint"), d)));
        QTRY_COMPARE(desktop->opened.size(), 1);
        QVERIFY(desktop->opened.first().startsWith(desktop->documentsFolder()));
        QVERIFY(need(QStringLiteral("tenantStatementMessage"), d)
                    ->property("text")
                    .toString()
                    .contains(desktop->documentsFolder()));
        QMetaObject::invokeMethod(findDialog(QStringLiteral("statementDialog")), "close");
        QVERIFY(h->settled(QStringLiteral("statementDialog"), false));
    }

    void pastedTenantsArePreviewedImportedCountedAndUndone()
    {
        h->database().db()->execInsert(
            QStringLiteral("INSERT INTO tenants (full_name, id_number) VALUES (?,?)"),
            {QStringLiteral("قائم من قبل"), QStringLiteral("777")});
        QVERIFY(h->click(need(QStringLiteral("importTenantsButton"))));
        QVERIFY(h->settled(QStringLiteral("importDialog"), true));
        QQuickItem* d = h->dialogContent(QStringLiteral("importDialog"));

        // Blank text: nothing is sent, the dialog says what is missing.
        QVERIFY(h->click(h->find(QStringLiteral("importStartButton"), d)));
        QTRY_VERIFY(
            !h->find(QStringLiteral("errorBanner"), d)->property("text").toString().isEmpty());
        QCOMPARE(h->database().count(QStringLiteral("tenants")), 1);

        paste(QStringLiteral("الاسم\tرقم الهوية\tالهاتف\tالعنوان\n"
                             "سمير ناصر\t401\t0599000001\tرام الله\n"
                             "\tفارغ\t0599\t\n"
                             "هالة عمر\t777\t0599000003\tنابلس\n"
                             "نور علي\t402\t0599000004\t\n"));
        QQuickItem* summary = need(QStringLiteral("importPreviewSummary"), d);
        QVERIFY(summary);
        QCOMPARE(
            summary->property("text").toString(),
            QStringLiteral("معاينة: 2 سطراً جاهزة للاستيراد، 2 فيها مشكلة، وسطر العناوين سيُتخطى"));
        ShotSaver::saveShot(h->window(), QStringLiteral("import-preview"));
        // Nothing stored by the preview.
        QCOMPARE(h->database().count(QStringLiteral("tenants")), 1);
        QVERIFY(h->find(QStringLiteral("importPreviewProblem"),
                        need(QStringLiteral("importPreviewRow_3"), d))
                    ->property("text")
                    .toString()
                    .contains(QStringLiteral("777")));

        QVERIFY(h->click(h->find(QStringLiteral("importStartButton"), d)));
        QTRY_COMPARE(need(QStringLiteral("importResult"), d)->property("text").toString(),
                     QStringLiteral("تم استيراد 2 سطراً، وتخطي 1 (سطر العناوين)، ورفض 2 سطراً"));
        const QString refused =
            need(QStringLiteral("importRefusedLines"), d)->property("text").toString();
        QVERIFY(refused.contains(QStringLiteral("السطر 3")));
        QVERIFY(refused.contains(QStringLiteral("السطر 4")));
        QCOMPARE(h->database().count(QStringLiteral("tenants")), 3);
        ShotSaver::saveShot(h->window(), QStringLiteral("import-result"));
        // The tenants page shows them at once.
        QVERIFY(need(QStringLiteral("tenantRow_سمير ناصر")));

        // Undo takes back exactly the two imported rows.
        QVERIFY(h->click(need(QStringLiteral("importUndoButton"), d)));
        QObject* confirm = ShellHarness::dialogUnder(d, QStringLiteral("confirmDialog"));
        QVERIFY(confirm);
        QTRY_VERIFY(confirm->property("opened").toBool());
        QVERIFY(h->click(h->find(QStringLiteral("confirmButton"),
                                 confirm->property("contentItem").value<QQuickItem*>())));
        QTRY_VERIFY(!confirm->property("visible").toBool());
        QCOMPARE(h->database().count(QStringLiteral("tenants")), 1);
        QCOMPARE(h->database().value(QStringLiteral("SELECT full_name FROM tenants")).toString(),
                 QStringLiteral("قائم من قبل"));
        QTRY_VERIFY(!h->find(QStringLiteral("importUndoButton"), d)->isVisible());
        QTRY_VERIFY(!h->find(QStringLiteral("tenantRow_سمير ناصر")));
        QMetaObject::invokeMethod(findDialog(QStringLiteral("importDialog")), "close");
        QVERIFY(h->settled(QStringLiteral("importDialog"), false));
    }
};

QTEST_MAIN(TstTenantDialogs)
#include "tst_tenantdialogs.moc"
