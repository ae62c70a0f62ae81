#include "FakeDesktop.h"
#include "TestDatabase.h"

#include "admin/SettingsManager.h"
#include "insight/PrintController.h"
#include "insight/PrintHtml.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

// The texts of every `tag` element, in document order.
QStringList cellsOf(const QString& html, const QString& tag)
{
    QStringList cells;
    const QRegularExpression cell(QStringLiteral("<%1(?:\\s[^>]*)?>(.*?)</%1>").arg(tag));
    auto it = cell.globalMatch(html);
    while (it.hasNext())
        cells << it.next().captured(1);
    return cells;
}

// Every table row of `html` that has `tag` cells, each in reading order:
// the first cell stands on the right, so the markup writes it last.
QList<QStringList> rowsOf(const QString& html, const QString& tag)
{
    QList<QStringList> rows;
    const QRegularExpression tr(QStringLiteral("<tr>(.*?)</tr>"));
    auto it = tr.globalMatch(html);
    while (it.hasNext()) {
        QStringList cells = cellsOf(it.next().captured(1), tag);
        std::reverse(cells.begin(), cells.end());
        if (!cells.isEmpty())
            rows << cells;
    }
    return rows;
}

// `html` without the bidi isolates that wrap numbers and Latin runs.
QString plain(QString html)
{
    return html.remove(QChar(0x2068)).remove(QChar(0x2069));
}

// The data table of a paper, from its opening tag on.
QString gridOf(const QString& html)
{
    return plain(html.mid(html.indexOf(QStringLiteral("<table class='grid'"))));
}

QVariantMap row(std::initializer_list<std::pair<QString, QVariant>> values)
{
    QVariantMap map;
    for (const auto& [key, value] : values)
        map.insert(key, value);
    return map;
}

} // namespace

class TestPrintController : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        m_outside = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<SettingsManager>(m_fixture->db());
        m_desktop = std::make_unique<FakeDesktop>(m_outside->path());
        m_print = std::make_unique<PrintController>(m_settings.get(), m_desktop.get());
    }
    void cleanup()
    {
        m_print.reset();
        m_desktop.reset();
        m_settings.reset();
        m_outside.reset();
        m_fixture.reset();
    }

    void hostileTextPrintsAsTyped()
    {
        m_settings->updateCompanyProfile(QStringLiteral("<script>alert(1)</script> & شركاه"),
                                         QStringLiteral("<u>0599</u>"),
                                         QStringLiteral("<img src=x>"), QString());
        const QString title = QStringLiteral("<h1>تقرير</h1>");
        const QVariantList data{row({{QStringLiteral("tenant_name"), QStringLiteral("<b>x</b>")},
                                     {QStringLiteral("status"), QStringLiteral("<i>rented</i>")},
                                     {QStringLiteral("<th>key"), QStringLiteral("a&b")}})};
        const QVariantMap summary{{QStringLiteral("<td>المجموع"), QStringLiteral("<1000>")}};

        const QString report = plain(m_print->reportHtml(title, data, summary));
        for (const QString& raw :
             {QStringLiteral("<script>"), QStringLiteral("<u>"), QStringLiteral("<img"),
              QStringLiteral("<h1>تقرير"), QStringLiteral("<b>x"), QStringLiteral("<i>"),
              QStringLiteral("<th>key"), QStringLiteral("<td>المجموع"), QStringLiteral("<1000>")})
            QVERIFY2(!report.contains(raw), qPrintable(raw));
        for (const QString& escaped :
             {QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt; &amp; شركاه"),
              QStringLiteral("&lt;img src=x&gt;"), QStringLiteral("&lt;u&gt;0599&lt;/u&gt;"),
              QStringLiteral("<h2>&lt;h1&gt;تقرير&lt;/h1&gt;</h2>"),
              QStringLiteral("<td>&lt;b&gt;x&lt;/b&gt;</td>"),
              QStringLiteral("<td>&lt;i&gt;rented&lt;/i&gt;</td>"),
              QStringLiteral("<th>&lt;th&gt;key</th>"), QStringLiteral("<td>a&amp;b</td>"),
              QStringLiteral("&lt;td&gt;المجموع</td>"), QStringLiteral("&lt;1000&gt;")})
            QVERIFY2(report.contains(escaped), qPrintable(escaped));

        const QString statement = plain(m_print->statementHtml(
            QStringLiteral("<b>x</b>"), QStringLiteral("<i>مستأجر</i>"),
            {row({{QStringLiteral("description"), QStringLiteral("</td><td>حقن")},
                  {QStringLiteral("reference"), QStringLiteral("<a href=x>")}})},
            {{QStringLiteral("<b>المتبقي"), QStringLiteral("<5>")}}));
        for (const QString& raw :
             {QStringLiteral("<b>x</b>"), QStringLiteral("<i>مستأجر"),
              QStringLiteral("</td><td>حقن"), QStringLiteral("<a href"),
              QStringLiteral("<b>المتبقي"), QStringLiteral("<5>"), QStringLiteral("<script>")})
            QVERIFY2(!statement.contains(raw), qPrintable(raw));
        QVERIFY(statement.contains(QStringLiteral("اسم الحساب: <b>&lt;b&gt;x&lt;/b&gt;</b>")));
        QVERIFY(statement.contains(QStringLiteral("كشف حساب &lt;i&gt;مستأجر&lt;/i&gt;</h2>")));

        // And the PDF is written, opened and announced.
        QSignalSpy started(m_print.get(), &PrintController::printStarted);
        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QSignalSpy errors(m_print.get(), &PrintController::printError);
        QVERIFY(m_print->printReport(title, QStringLiteral("تقرير"), data, summary));
        QCOMPARE(started.count(), 1);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().at(0).toBool(), true);
        const QString path = finished.first().at(1).toString();
        QCOMPARE(m_desktop->opened, QStringList{path});
        QCOMPARE(QFileInfo(path).absolutePath(), m_desktop->documentsFolder());
        QFile pdf(path);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.size() > 1000);
        QVERIFY(pdf.read(5) == "%PDF-");
    }

    void reportColumnsComeFromTheFirstRow()
    {
        const QVariantList data{row({{QStringLiteral("unit_number"), QStringLiteral("A-101")},
                                     {QStringLiteral("status"), QStringLiteral("rented")},
                                     {QStringLiteral("notes"), QStringLiteral("بلا")},
                                     {QStringLiteral("id"), 7},
                                     {QStringLiteral("property_id"), 3}}),
                                row({{QStringLiteral("unit_number"), QStringLiteral("A-102")},
                                     {QStringLiteral("status"), QStringLiteral("pending")},
                                     {QStringLiteral("area"), 120.5}}),
                                row({{QStringLiteral("status"), QStringLiteral("sold")}})};
        const QString html = m_print->reportHtml(QStringLiteral("الوحدات"), data, {});

        // Ascending keys, hidden ones left out, a key of later rows ignored.
        QCOMPARE(rowsOf(gridOf(html), QStringLiteral("th")),
                 (QList<QStringList>{{QStringLiteral("notes"), QStringLiteral("الحالة"),
                                      QStringLiteral("رقم الوحدة")}}));
        QCOMPARE(rowsOf(gridOf(html), QStringLiteral("td")),
                 (QList<QStringList>{
                     {QStringLiteral("بلا"), QStringLiteral("مؤجر"), QStringLiteral("A-101")},
                     {QString(), QStringLiteral("pending"), QStringLiteral("A-102")},
                     {QString(), QStringLiteral("مباع"), QString()}}));
        QVERIFY(!html.contains(QStringLiteral("class='figures'")));
    }

    // Regression: with no company profile the header printed an empty
    // " | " line and the footer a bare "شركة".
    void emptyReportHasHeaderAndFooterOnly()
    {
        const QString html = m_print->reportHtml(QStringLiteral("فارغ"), {}, {});
        QVERIFY(!html.contains(QStringLiteral("<table class='grid'")));
        QVERIFY(!html.contains(QStringLiteral("<h1>")));
        QVERIFY(!html.contains(QStringLiteral(" | ")));
        QVERIFY(!html.contains(QStringLiteral("شركة")));
        QVERIFY(html.contains(QStringLiteral("<h2>فارغ</h2>")));
        QVERIFY(html.endsWith(QStringLiteral("طبع بواسطة نظام ساكانوفا</p></body></html>")));
    }

    void statementLaysOutTotalsAndTransactions()
    {
        m_settings->updateCompanyProfile(QStringLiteral("ساكنوفا للعقارات"), QString(), QString(),
                                         QString());
        QString html =
            m_print->statementHtml(QStringLiteral("سامي"), QStringLiteral("مستأجر"), {}, {});
        QVERIFY(!html.contains(QStringLiteral("class='figures'")));
        QVERIFY(html.contains(QStringLiteral("<h1>ساكنوفا للعقارات</h1>")));
        QVERIFY(html.endsWith(
            QStringLiteral("طبع بواسطة نظام ساكانوفا - ساكنوفا للعقارات</p></body></html>")));

        html = m_print->statementHtml(
            QStringLiteral("سامي"), QStringLiteral("مستأجر"),
            {row({{QStringLiteral("date"), QStringLiteral("2026-01-05")},
                  {QStringLiteral("description"), QStringLiteral("إيجار كانون الثاني")},
                  {QStringLiteral("reference"), QStringLiteral("INV-1")},
                  {QStringLiteral("amount"), 1500},
                  {QStringLiteral("balance"), 0}}),
             row({{QStringLiteral("date"), QStringLiteral("2026-02-05")}})},
            {{QStringLiteral("المتبقي"), 0}, {QStringLiteral("المدفوع"), 1500}});
        const QString dataTable = gridOf(html);
        QCOMPARE(rowsOf(dataTable, QStringLiteral("th")).value(0),
                 (QStringList{QStringLiteral("التاريخ"), QStringLiteral("البيان / الوصف"),
                              QStringLiteral("رقم المرجع"), QStringLiteral("المدفوع"),
                              QStringLiteral("المتبقي")}));
        QCOMPARE(rowsOf(dataTable, QStringLiteral("td")).mid(0, 2),
                 (QList<QStringList>{
                     {QStringLiteral("2026-01-05"), QStringLiteral("إيجار كانون الثاني"),
                      QStringLiteral("INV-1"), QStringLiteral("1500"), QStringLiteral("0")},
                     {QStringLiteral("2026-02-05"), QString(), QString(), QString(), QString()}}));
        // Totals in ascending key order, one under the other.
        QVERIFY(html.indexOf(QStringLiteral("'label'>المتبقي</td>")) > 0);
        QVERIFY(html.indexOf(QStringLiteral("'label'>المتبقي</td>")) <
                html.indexOf(QStringLiteral("'label'>المدفوع</td>")));
    }

    // Numbers, dates and codes inside Arabic text keep their own order, and
    // an amount never parts from its symbol.
    void valuesAreIsolatedAndAmountsBound_data()
    {
        const QString fsi(QChar(0x2068));
        const QString pdi(QChar(0x2069));
        const QString nbsp(QChar(0x00a0));
        const QString keep = QStringLiteral("<span style='white-space:nowrap'>");
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("expected");
        QTest::newRow("dates in a sentence")
            << PrintHtml::text(QStringLiteral("من 2026-12-01 إلى 2027-11-30"))
            << QStringLiteral("من ") + fsi + QStringLiteral("2026-12-01") + pdi +
                   QStringLiteral(" إلى ") + fsi + QStringLiteral("2027-11-30") + pdi;
        QTest::newRow("brackets stay Arabic")
            << PrintHtml::text(QStringLiteral("قسط وحدة A-101 (مجمع)"))
            << QStringLiteral("قسط وحدة ") + fsi + QStringLiteral("A-101") + pdi +
                   QStringLiteral(" (مجمع)");
        QTest::newRow("Latin words together")
            << PrintHtml::text(QStringLiteral("تحليل (Sakanova AI) من 2026"))
            << QStringLiteral("تحليل (") + fsi + QStringLiteral("Sakanova AI") + pdi +
                   QStringLiteral(") من ") + fsi + QStringLiteral("2026") + pdi;
        QTest::newRow("e-mail address") << PrintHtml::text(QStringLiteral("office@amal.ps"))
                                        << fsi + QStringLiteral("office@amal.ps") + pdi;
        QTest::newRow("markup is escaped around isolates")
            << PrintHtml::text(QStringLiteral("<b>"))
            << QStringLiteral("&lt;") + fsi + QStringLiteral("b") + pdi + QStringLiteral("&gt;");
        QTest::newRow("typed amount keeps its symbol")
            << PrintHtml::text(QStringLiteral("بقيمة 2,500.00 ₪"))
            << QStringLiteral("بقيمة ") + keep + fsi + QStringLiteral("2,500.00") + nbsp +
                   QStringLiteral("₪") + pdi + QStringLiteral("</span>");
        QTest::newRow("six-digit amount")
            << PrintHtml::money(122800, QStringLiteral("₪"))
            << keep + fsi + QStringLiteral("122,800.00") + nbsp + QStringLiteral("₪") + pdi +
                   QStringLiteral("</span>");
        QTest::newRow("rounding residue is not negative")
            << PrintHtml::money(-0.001, QStringLiteral("$"))
            << keep + fsi + QStringLiteral("0.00") + nbsp + QStringLiteral("$") + pdi +
                   QStringLiteral("</span>");
        QTest::newRow("no symbol")
            << PrintHtml::money(1234567.891, QString())
            << keep + fsi + QStringLiteral("1,234,567.89") + pdi + QStringLiteral("</span>");
        QTest::newRow("empty stays empty") << PrintHtml::isolate(QString()) << QString();
    }
    void valuesAreIsolatedAndAmountsBound()
    {
        QFETCH(QString, html);
        QFETCH(QString, expected);
        QCOMPARE(html, expected);
    }

    void fileNamesAreSafeAndNeverReused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("part");
        QTest::newRow("spaces collapse") << "تقرير   الوحدات "
                                         << "تقرير_الوحدات";
        QTest::newRow("separators replaced") << "أرباح ../../etc/x"
                                             << "أرباح_.._.._etc_x";
        QTest::newRow("characters Windows refuses") << "C:\\a*b?\"c\"<d>|e"
                                                    << "C_a_b_c_d_e";
        QTest::newRow("line break") << "سطر\nثان"
                                    << "سطر_ثان";
        QTest::newRow("dots only") << ".."
                                   << "";
    }
    void fileNamesAreSafeAndNeverReused()
    {
        QFETCH(QString, text);
        QFETCH(QString, part);
        QCOMPARE(PrintController::fileNamePart(text), part);
    }

    void statementsOfNamesakesDoNotOverwrite()
    {
        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QVERIFY(m_print->printStatement(QStringLiteral("محمد / أحمد"), QStringLiteral("مستأجر"), {},
                                        {}));
        QVERIFY(m_print->printStatement(QStringLiteral("محمد / أحمد"), QStringLiteral("مشتري"), {},
                                        {}));
        QVERIFY(m_print->printReport(QStringLiteral("   "), QStringLiteral("تقرير"), {}, {}));
        QCOMPARE(finished.count(), 3);
        const QString first = finished.at(0).at(1).toString();
        const QString second = finished.at(1).at(1).toString();
        QVERIFY(first != second);
        const QRegularExpression statementName(
            QStringLiteral("^Statement_محمد_أحمد_\\d{8}_\\d{6}(_2)?\\.pdf$"));
        for (const QString& path : {first, second}) {
            QVERIFY(QFileInfo(path).size() > 0);
            QCOMPARE(QFileInfo(path).absolutePath(), m_desktop->documentsFolder());
            QVERIFY2(statementName.match(QFileInfo(path).fileName()).hasMatch(), qPrintable(path));
        }
        QVERIFY(QFileInfo(finished.at(2).at(1).toString())
                    .fileName()
                    .startsWith(QStringLiteral("تقرير_")));
    }

    void failedPrintIsReported()
    {
        const QString blocker = m_outside->filePath(QStringLiteral("Documents"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        QSignalSpy finished(m_print.get(), &PrintController::printFinished);
        QSignalSpy errors(m_print.get(), &PrintController::printError);
        QVERIFY(!m_print->printReport(QStringLiteral("الوحدات"), QStringLiteral("تقرير"), {}, {}));
        QCOMPARE(errors.count(), 1);
        QVERIFY(!errors.first().first().toString().isEmpty());
        QCOMPARE(m_print->lastError(), errors.first().first().toString());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().at(0).toBool(), false);
        QVERIFY(m_desktop->opened.isEmpty());

        // A later print that works clears the reason.
        m_desktop->setDocumentsFolder(m_outside->filePath(QStringLiteral("مستندات")));
        QVERIFY(m_print->printStatement(QStringLiteral("سامي"), QStringLiteral("مستأجر"), {}, {}));
        QCOMPARE(m_print->lastError(), QString());
    }

private:
    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<QTemporaryDir> m_outside;
    std::unique_ptr<SettingsManager> m_settings;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<PrintController> m_print;
};

QTEST_MAIN(TestPrintController)
#include "tst_printcontroller.moc"
