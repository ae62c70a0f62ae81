#include "FakeDesktop.h"
#include "PdfText.h"
#include "TestDatabase.h"

#include "admin/SettingsManager.h"
#include "insight/PrintController.h"

#include <QDate>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Every printed paper of the office, printed from a small office's books
// and read back from the PDF with poppler: what a reader sees and copies.
// With SAKANOVA_SHOTS_DIR set, each print is also saved there as PNG pages.
class TestPrintPapers : public QObject
{
    Q_OBJECT

private:
    int insert(const QString& sql, const QVariantList& params)
    {
        const int id = m_fixture->db()->execInsert(sql, params);
        if (id <= 0)
            qFatal("seeding failed: %s", qPrintable(sql));
        return id;
    }
    QString day(int offset) const
    {
        return QDate::currentDate().addDays(offset).toString(QStringLiteral("yyyy-MM-dd"));
    }

    // Two buildings, units in both currencies, a tenant with an invoice and
    // a payment, a buyer with a sale in instalments, and cheques.
    void seedOffice()
    {
        m_property = insert(QStringLiteral("INSERT INTO properties (name, type, status) VALUES "
                                           "(?, 'residential', 'active')"),
                            {QStringLiteral("مجمع النور (البرج أ)")});
        const int second = insert(QStringLiteral("INSERT INTO properties (name) VALUES (?)"),
                                  {QStringLiteral("عمارة الريحان")});
        m_unit =
            insert(QStringLiteral("INSERT INTO units (property_id, unit_number, floor, area, "
                                  "rent_monthly, rent_yearly, sale_price, status, currency_id) "
                                  "VALUES (?, 'A-101', 1, 120.5, 2500, 30000, 0, 'rented', 1)"),
                   {m_property});
        m_soldUnit = insert(QStringLiteral("INSERT INTO units (property_id, unit_number, area, "
                                           "sale_price, status, currency_id) VALUES (?, 'B-7', "
                                           "150, 122800, 'sold', 1)"),
                            {m_property});
        insert(QStringLiteral("INSERT INTO units (property_id, unit_number, area, sale_price, "
                              "status, currency_id) VALUES (?, '3', 90, 95000, 'available', 2)"),
               {second});
        m_tenant = insert(QStringLiteral("INSERT INTO tenants (full_name, id_number, phone, "
                                         "balance) VALUES (?, '401234567', '0599-111222', 1700)"),
                          {QStringLiteral("سامي خليل")});
        m_invoice = insert(
            QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, unit_id, period, "
                           "total_amount, paid_amount, balance, status, currency_id, due_date) "
                           "VALUES ('INV-2026-0042', ?, ?, '2026-03', 2700, 1000, 1700, "
                           "'partial', 1, ?)"),
            {m_tenant, m_unit, day(5)});
        insert(QStringLiteral("INSERT INTO invoice_items (invoice_id, description, type, quantity, "
                              "unit_price, total) VALUES (?, ?, 'rent', 1, 2500, 2500)"),
               {m_invoice, QStringLiteral("إيجار شهر 2026-03")});
        insert(QStringLiteral("INSERT INTO invoice_items (invoice_id, description, type, quantity, "
                              "unit_price, total) VALUES (?, ?, 'service', 2, 100, 200)"),
               {m_invoice, QStringLiteral("خدمات النظافة")});
        m_payment = insert(QStringLiteral("INSERT INTO payments (invoice_id, tenant_id, amount, "
                                          "payment_method, payment_date, reference, currency_id) "
                                          "VALUES (?, ?, 1000, 'cash', ?, 'R-17', 1)"),
                           {m_invoice, m_tenant, day(-1)});
        m_buyer = insert(QStringLiteral("INSERT INTO buyers (full_name, id_number, balance) VALUES "
                                        "(?, '900800700', 90000)"),
                         {QStringLiteral("ليلى منصور")});
        for (int i = 0; i < 3; ++i)
            insert(QStringLiteral("INSERT INTO installments (buyer_id, unit_id, total_price, "
                                  "down_payment, installment_amount, due_date, paid_amount, "
                                  "status, cheque_number, bank_name, currency_id) VALUES (?, ?, "
                                  "122800, 32800, 30000, ?, ?, ?, ?, ?, 1)"),
                   {m_buyer, m_soldUnit, day(-40 + 30 * i), i == 0 ? 30000 : 0,
                    i == 0 ? QStringLiteral("paid") : QStringLiteral("pending"),
                    QString::number(1001 + i), QStringLiteral("بنك فلسطين")});
        insert(QStringLiteral("INSERT INTO cheques (cheque_number, type, amount, bank_name, "
                              "due_date, payer_name, status, currency_id) VALUES ('55012', "
                              "'received', 33333.39, ?, ?, ?, 'pending', 2)"),
               {QStringLiteral("بنك القدس"), day(3), QStringLiteral("ليلى منصور")});
        insert(QStringLiteral("INSERT INTO cheques (cheque_number, type, amount, bank_name, "
                              "due_date, payee_name, status, currency_id) VALUES ('77', 'issued', "
                              "4500, 'Bank of Palestine', ?, ?, 'paid', 1)"),
               {day(-3), QStringLiteral("شركة الصيانة")});
    }

    // The PDF the last successful call wrote.
    QString lastPdf(QSignalSpy& finished, const QString& shotName)
    {
        if (finished.isEmpty() || !finished.last().at(0).toBool())
            return QString();
        const QString pdf = finished.last().at(1).toString();
        const QString shots = qEnvironmentVariable("SAKANOVA_SHOTS_DIR");
        if (!shots.isEmpty()) {
            PdfText::toPng(pdf, shots, QStringLiteral("print-") + shotName);
            QFile::remove(shots + QStringLiteral("/print-") + shotName + QStringLiteral(".pdf"));
            QFile::copy(pdf, shots + QStringLiteral("/print-") + shotName + QStringLiteral(".pdf"));
        }
        return pdf;
    }

    static bool landscape(const QString& pdf)
    {
        static const QRegularExpression size(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)"));
        const auto m = size.match(PdfText::run(QStringLiteral("pdfinfo"), {pdf}));
        return m.captured(1).toDouble() > m.captured(2).toDouble();
    }

    // The amount and its symbol on one line, side by side.
    static bool amountUnbroken(const QList<PdfText::Word>& words, const QString& number,
                               const QString& symbol)
    {
        for (const PdfText::Word& w : words) {
            if (w.text != number)
                continue;
            for (const PdfText::Word& s : words) {
                if (s.text == symbol && s.page == w.page && std::abs(s.middle() - w.middle()) < 3 &&
                    s.xMin > w.xMax && s.xMin - w.xMax < 8)
                    return true;
            }
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        if (QProcess::execute(QStringLiteral("pdftotext"), {QStringLiteral("-v")}) != 0)
            QFAIL("poppler-utils (pdftotext) is missing: run tools/install-deps.sh");
    }

    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        m_outside = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<SettingsManager>(m_fixture->db());
        m_settings->updateCompanyProfile(
            QStringLiteral("مكتب الأمل للعقارات"), QStringLiteral("0599-123456"),
            QStringLiteral("رام الله - شارع الإرسال 12"), QStringLiteral("office@amal.ps"));
        m_desktop = std::make_unique<FakeDesktop>(m_outside->path());
        m_print =
            std::make_unique<PrintController>(m_settings.get(), m_desktop.get(), m_fixture->db());
        seedOffice();
    }
    void cleanup()
    {
        m_print.reset();
        m_desktop.reset();
        m_settings.reset();
        m_outside.reset();
        m_fixture.reset();
    }

    void everyReportTabHasItsOwnLayout_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QStringList>("shows");
        QTest::addColumn<bool>("wide");
        QTest::newRow("analysis") << 0
                                  << QStringList{QStringLiteral("مؤشر"), QStringLiteral("الإشغال")}
                                  << false;
        QTest::newRow("financial summary")
            << 1 << QStringList{QStringLiteral("الإيرادات"), QStringLiteral("الأصول")} << false;
        QTest::newRow("projects") << 2
                                  << QStringList{QStringLiteral("المشروع"),
                                                 QStringLiteral("المبيعات"),
                                                 QStringLiteral("الإجمالي")}
                                  << true;
        QTest::newRow("units") << 3
                               << QStringList{QStringLiteral("الوحدة"), QStringLiteral("المساحة"),
                                              QStringLiteral("مؤجرة"), QStringLiteral("متاحة")}
                               << false;
        QTest::newRow("overdue instalments")
            << 4
            << QStringList{QStringLiteral("المشتري"), QStringLiteral("التأخير"),
                           QStringLiteral("منصور")}
            << true;
        QTest::newRow("cheques") << 5
                                 << QStringList{QStringLiteral("الشيك"), QStringLiteral("وارد"),
                                                QStringLiteral("صادر"), QStringLiteral("55012")}
                                 << true;
    }
    void everyReportTabHasItsOwnLayout()
    {
        QFETCH(int, tab);
        QFETCH(QStringList, shows);
        QFETCH(bool, wide);
        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QVERIFY2(m_print->printReportTab(tab, day(-60), day(60)), qPrintable(m_print->lastError()));
        const QString pdf = lastPdf(finished, QStringLiteral("report-tab%1").arg(tab));
        QVERIFY(!pdf.isEmpty());
        QCOMPARE(m_desktop->opened, QStringList{pdf});
        QCOMPARE(PdfText::pages(pdf), 1);
        QCOMPARE(landscape(pdf), wide);

        const QString text = PdfText::folded(PdfText::text(pdf));
        for (const QString& word : shows)
            QVERIFY2(text.contains(word), qPrintable(word + QStringLiteral(" in\n") + text));
        QVERIFY(text.contains(QStringLiteral("مكتب الأمل للعقارات")));
        // Column keys and stored codes never reach the paper.
        static const QRegularExpression key(QStringLiteral("\\b[a-z]+_[a-z_]+\\b"));
        QVERIFY2(!text.contains(key), qPrintable(key.match(text).captured()));
        for (const char* code : {"available", "rented", "residential", "pending", "received",
                                 "issued", "updated", "currency"})
            QVERIFY2(!text.contains(QLatin1String(code)), code);
    }

    // Regression: "122,80" over "0.00 ₪" and "33,333.3" over "9 $" in
    // narrow cells.
    void amountsKeepTheirSymbol_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("overdue instalment remaining") << 4 << "30,000.00"
                                                      << "₪";
        QTest::newRow("cheque in dollars") << 5 << "33,333.39"
                                           << "$";
        QTest::newRow("unit price, six digits") << 3 << "122,800.00"
                                                << "₪";
        QTest::newRow("unit price in dollars") << 3 << "95,000.00"
                                               << "$";
    }
    void amountsKeepTheirSymbol()
    {
        QFETCH(int, tab);
        QFETCH(QString, number);
        QFETCH(QString, symbol);
        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QVERIFY(m_print->printReportTab(tab, day(-60), day(60)));
        const auto words = PdfText::words(lastPdf(finished, QStringLiteral("amounts")));
        QVERIFY2(amountUnbroken(words, number, symbol), qPrintable(number));
    }

    // Regression: dates printed reversed and the parts of a mixed line out
    // of order, because every paragraph ran left to right.
    void mixedLineReadsRightToLeft()
    {
        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QVERIFY(m_print->printReportTab(5, day(-60), day(60)));
        const auto lines =
            PdfText::linesRightToLeft(PdfText::words(lastPdf(finished, QStringLiteral("mixed"))));
        const QStringList period = PdfText::lineWith(lines, day(-60));
        QCOMPARE(period, (QStringList{QStringLiteral("الفترة:"), QStringLiteral("من"), day(-60),
                                      QStringLiteral("إلى"), day(60)}));
        // A cheque row: its number on the right, the amount towards the left.
        const QStringList cheque = PdfText::lineWith(lines, QStringLiteral("55012"));
        QVERIFY(!cheque.isEmpty());
        QCOMPARE(cheque.first(), QStringLiteral("55012"));
        QVERIFY(cheque.indexOf(QStringLiteral("وارد")) == 1);
        QVERIFY(cheque.indexOf(day(3)) < cheque.indexOf(QStringLiteral("33,333.39")));
        // A name with brackets keeps them around its end: read from the
        // right, the mirrored bracket glyphs stand before and after it.
        QSignalSpy again(m_print.get(), &PrintController::printFinished);
        QVERIFY(m_print->printReportTab(3, QString(), QString()));
        const auto unitLines =
            PdfText::linesRightToLeft(PdfText::words(lastPdf(again, QStringLiteral("brackets"))));
        const QString named = PdfText::lineWith(unitLines, QStringLiteral("A-101")).join(QString());
        QVERIFY2(named.contains(QStringLiteral("مجمعالنور)البرجأ(")), qPrintable(named));
    }

    void tenantStatementRunsABalance()
    {
        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QVERIFY(m_print->printTenantStatement(m_tenant));
        const QString pdf = lastPdf(finished, QStringLiteral("tenant-statement"));
        const auto lines = PdfText::linesRightToLeft(PdfText::words(pdf));
        const QStringList invoice = PdfText::lineWith(lines, QStringLiteral("INV-2026-0042"));
        QVERIFY(!invoice.isEmpty());
        // Date, kind, reference, debit, credit ("-"), running balance.
        QCOMPARE(invoice.first(), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        QVERIFY(invoice.indexOf(QStringLiteral("2,700.00")) >
                invoice.indexOf(QStringLiteral("INV-2026-0042")));
        // The payment of the day before comes first; the balance runs on.
        QCOMPARE(invoice.last(), QStringLiteral("1,700.00"));
        const QStringList payment = PdfText::lineWith(lines, QStringLiteral("R-17"));
        QVERIFY(payment.contains(QStringLiteral("1,000.00")));
        QCOMPARE(payment.last(), QStringLiteral("-1,000.00"));
        QVERIFY(PdfText::folded(PdfText::text(pdf)).contains(QStringLiteral("سامي خليل")));
        QCOMPARE(PdfText::pages(pdf), 1);
    }

    // Regression: the first row read "Installment #25" and the sale's price
    // and down payment were missing.
    void buyerStatementShowsTheSaleAndNoInternalId()
    {
        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QVERIFY(m_print->printBuyerStatement(m_buyer));
        const QString pdf = lastPdf(finished, QStringLiteral("buyer-statement"));
        const QString text = PdfText::folded(PdfText::text(pdf));
        QVERIFY(!text.contains(QStringLiteral("Installment")));
        QVERIFY(!text.contains(QLatin1Char('#')));
        const auto lines = PdfText::linesRightToLeft(PdfText::words(pdf));
        QVERIFY(PdfText::lineWith(lines, QStringLiteral("32,800.00"))
                    .contains(QStringLiteral("الدفعة")));
        QVERIFY(PdfText::lineWith(lines, QStringLiteral("122,800.00"))
                    .contains(QStringLiteral("البيع")));
        // Each instalment with its cheque and what remains.
        const QStringList first = PdfText::lineWith(lines, QStringLiteral("1001"));
        QVERIFY(first.contains(QStringLiteral("مدفوع")));
        QVERIFY(PdfText::lineWith(lines, QStringLiteral("1003")).contains(QStringLiteral("معلق")));
        QVERIFY(text.contains(QStringLiteral("60,000.00")));
    }

    // A statement of 300 rows: the heading row on every page, no row split
    // over two pages, and a sane page count.
    void longStatementKeepsHeadingsAndRows()
    {
        Database* db = m_fixture->db();
        QVERIFY(db->beginTransaction());
        for (int i = 1; i <= 300; ++i)
            insert(QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, unit_id, "
                                  "period, total_amount, status, currency_id) VALUES (?, ?, ?, "
                                  "'2026-01', ?, 'pending', 1)"),
                   {QStringLiteral("LNG-%1").arg(i, 4, 10, QLatin1Char('0')), m_tenant, m_unit,
                    1000 + i});
        QVERIFY(db->commitTransaction());
        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QVERIFY(m_print->printTenantStatement(m_tenant));
        const QString pdf = lastPdf(finished, QStringLiteral("statement-300"));
        const int pages = PdfText::pages(pdf);
        QVERIFY2(pages >= 5 && pages <= 20, qPrintable(QString::number(pages)));

        const auto words = PdfText::words(pdf);
        QSet<int> pagesWithRows;
        for (const auto& word : words) {
            if (word.text.startsWith(QLatin1String("LNG-")))
                pagesWithRows.insert(word.page);
        }
        const auto lines = PdfText::linesRightToLeft(words);
        int headings = 0;
        for (const QStringList& line : lines)
            headings +=
                line.contains(QStringLiteral("المرجع")) && line.contains(QStringLiteral("الرصيد"));
        // The heading row tops every page that holds rows, and the rows run
        // to the page before the last at least.
        QCOMPARE(headings, int(pagesWithRows.size()));
        QVERIFY(pagesWithRows.size() >= pages - 1);
        for (int i = 1; i <= 300; ++i) {
            const QString number = QStringLiteral("LNG-%1").arg(i, 4, 10, QLatin1Char('0'));
            const QStringList line = PdfText::lineWith(lines, number);
            QVERIFY2(line.contains(grouped(1000 + i)), qPrintable(number));
        }
    }

    // A description that wraps over several lines used to be cut by the page
    // break: its first lines at the foot of one page, the rest on the next.
    void regressionWrappedRowSplitAcrossPages()
    {
        const QString filler = QStringLiteral(
            "صيانة شاملة لشبكة المياه والكهرباء في الطابق الثالث مع استبدال القطع التالفة");
        for (int i = 1; i <= 90; ++i)
            insert(QStringLiteral("INSERT INTO invoice_items (invoice_id, description, type, "
                                  "quantity, unit_price, total) VALUES (?, ?, 'service', 1, 10, "
                                  "10)"),
                   {m_invoice, QStringLiteral("B%1 %2 E%1")
                                   .arg(i)
                                   .arg(QStringList(1 + i % 6, filler).join(QLatin1Char(' ')))});
        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QVERIFY(m_print->printInvoice(m_invoice));
        const QString pdf = lastPdf(finished, QStringLiteral("invoice-wrapped"));
        QVERIFY(PdfText::pages(pdf) >= 3);
        QHash<QString, int> pageOf;
        for (const auto& word : PdfText::words(pdf))
            pageOf.insert(PdfText::folded(word.text), word.page);
        for (int i = 1; i <= 90; ++i) {
            const QString first = QStringLiteral("B%1").arg(i);
            const QString last = QStringLiteral("E%1").arg(i);
            QVERIFY2(pageOf.contains(first) && pageOf.contains(last), qPrintable(first));
            QVERIFY2(pageOf.value(first) == pageOf.value(last),
                     qPrintable(QStringLiteral("%1 on page %2, %3 on page %4")
                                    .arg(first)
                                    .arg(pageOf.value(first))
                                    .arg(last)
                                    .arg(pageOf.value(last))));
        }
    }

    void invoicePrintsLinesWordsAndWhatIsOwed()
    {
        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QVERIFY(m_print->printInvoice(m_invoice));
        const QString pdf = lastPdf(finished, QStringLiteral("invoice"));
        QCOMPARE(PdfText::pages(pdf), 1);
        const QString text = PdfText::folded(PdfText::text(pdf));
        QVERIFY2(text.contains(QStringLiteral("فقط ألفان وسبعمائة شيكل لا غير")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("INV-2026-0042")));
        QVERIFY(text.contains(QStringLiteral("خدمات النظافة")));
        const auto lines = PdfText::linesRightToLeft(PdfText::words(pdf));
        QVERIFY(PdfText::lineWith(lines, QStringLiteral("1,700.00"))
                    .contains(QStringLiteral("المتبقي")));
        QVERIFY(
            amountUnbroken(PdfText::words(pdf), QStringLiteral("2,700.00"), QStringLiteral("₪")));
    }

    void rentRunPrintsOneFileWithAPagePerInvoice()
    {
        const int contract = insert(
            QStringLiteral("INSERT INTO contracts (unit_id, tenant_id, start_date, end_date, "
                           "rent_amount, currency_id) VALUES (?, ?, '2026-01-01', '2026-12-31', "
                           "2500, 1)"),
            {m_unit, m_tenant});
        const auto rentInvoice = [&](const QString& number, const QString& status) {
            return insert(QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, "
                                         "unit_id, contract_id, period, total_amount, status, "
                                         "currency_id) VALUES (?, ?, ?, ?, '2026-04', 2500, ?, 1)"),
                          {number, m_tenant, m_unit, contract, status});
        };
        const int second = rentInvoice(QStringLiteral("INV-2026-0043"), QStringLiteral("pending"));
        rentInvoice(QStringLiteral("INV-2026-0044"), QStringLiteral("pending"));
        rentInvoice(QStringLiteral("INV-2026-0045"), QStringLiteral("void"));

        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QVERIFY(m_print->printInvoices({m_invoice, second, 999999}));
        QString pdf = lastPdf(finished, QStringLiteral("invoices"));
        QCOMPARE(PdfText::pages(pdf), 2);
        QCOMPARE(m_desktop->opened.size(), 1);
        QVERIFY(PdfText::text(pdf).contains(QStringLiteral("INV-2026-0043")));

        // The run of April: its two open rent invoices, not the void one
        // nor the March invoice.
        QVERIFY(m_print->printRentRun(QStringLiteral("2026-04")));
        pdf = lastPdf(finished, QStringLiteral("rent-run"));
        QCOMPARE(PdfText::pages(pdf), 2);
        const QString text = PdfText::text(pdf);
        QVERIFY(text.contains(QStringLiteral("INV-2026-0043")));
        QVERIFY(text.contains(QStringLiteral("INV-2026-0044")));
        QVERIFY(!text.contains(QStringLiteral("INV-2026-0045")));
        QVERIFY(!text.contains(QStringLiteral("INV-2026-0042")));
        QVERIFY(!m_print->printRentRun(QStringLiteral("1999-01")));
    }

    void receiptStatesTheAmountInWordsAndWhatRemains()
    {
        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QVERIFY(m_print->printReceipt(m_payment));
        const QString pdf = lastPdf(finished, QStringLiteral("receipt"));
        const QString text = PdfText::folded(PdfText::text(pdf));
        QVERIFY2(text.contains(QStringLiteral("سند قبض")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("فقط ألف شيكل لا غير")));
        QVERIFY(text.contains(QStringLiteral("سامي خليل")));
        const auto lines = PdfText::linesRightToLeft(PdfText::words(pdf));
        QVERIFY(PdfText::lineWith(lines, QStringLiteral("INV-2026-0042"))
                    .contains(QStringLiteral("الفاتورة")));
        // Still owed on the invoice and in all.
        QVERIFY(PdfText::lineWith(lines, QStringLiteral("1,700.00"))
                    .contains(QStringLiteral("المتبقي")));
    }

    // Regression: with no company profile the footer read "شركة" and
    // nothing after it, and the header an empty " | ".
    void emptyCompanyProfilePrintsNothingOfIt()
    {
        m_settings->updateCompanyProfile(QString(), QString(), QString(), QString());
        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QVERIFY(m_print->printReceipt(m_payment));
        const QString text =
            PdfText::folded(PdfText::text(lastPdf(finished, QStringLiteral("no-company"))));
        QVERIFY(!text.contains(QStringLiteral("شركة")));
        QVERIFY(!text.contains(QStringLiteral(" | ")));
        QVERIFY(text.contains(QStringLiteral("ساكانوفا")));
    }

    // Regression: the stamp's circle was a CSS border the layout ignores.
    void stampCircleIsDrawn()
    {
        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QVERIFY(m_print->printReceipt(m_payment));
        const QString list =
            PdfText::run(QStringLiteral("pdfimages"),
                         {QStringLiteral("-list"), lastPdf(finished, QStringLiteral("stamp"))});
        // Two heading lines, then one line per image.
        QVERIFY2(list.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size() >= 3, qPrintable(list));
    }

    void missingRecordsAreRefused()
    {
        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QVERIFY(!m_print->printInvoice(999999));
        QVERIFY(!m_print->printReceipt(999999));
        QVERIFY(!m_print->printBuyerStatement(999999));
        QVERIFY(!m_print->printTenantStatement(999999));
        QVERIFY(!m_print->printInvoices({999999}));
        QVERIFY(!m_print->printReportTab(9, QString(), QString()));
        QVERIFY(!m_print->printReportTab(1, QStringLiteral("2026-02-30"), day(0)));
        QVERIFY(!m_print->lastError().isEmpty());
        QCOMPARE(finished.size(), 7);
        for (const auto& call : finished)
            QCOMPARE(call.at(0).toBool(), false);
        QVERIFY(m_desktop->opened.isEmpty());
    }

private:
    static QString grouped(double amount)
    {
        return QLocale(QLocale::English).toString(amount, 'f', 2);
    }

    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<QTemporaryDir> m_outside;
    std::unique_ptr<SettingsManager> m_settings;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<PrintController> m_print;
    int m_property = 0;
    int m_unit = 0;
    int m_soldUnit = 0;
    int m_tenant = 0;
    int m_invoice = 0;
    int m_payment = 0;
    int m_buyer = 0;
};

QTEST_MAIN(TestPrintPapers)
#include "tst_printpapers.moc"
