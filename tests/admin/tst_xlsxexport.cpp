#include "TestDatabase.h"

#include "admin/CsvExport.h"
#include "admin/ExportRun.h"
#include "admin/ExportTables.h"
#include "admin/XlsxExport.h"
#include "core/Money.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using ExportTables::Column;
using ExportTables::Kind;

namespace {

// One cell of a sheet as the workbook's XML holds it.
struct Cell
{
    bool text = false;
    QString value;
    int style = 0;
};

struct Sheet
{
    QString name;
    bool rightToLeft = false;
    bool headerFrozen = false;
    QHash<QPair<int, int>, Cell> cells; // (row, column), both from 0
};

QByteArray unzipped(const QString& workbook, const QString& member)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), workbook, member});
    if (!unzip.waitForFinished(60000) || unzip.exitCode() != 0)
        return {};
    return unzip.readAllStandardOutput();
}

// "C12" as (11, 2).
QPair<int, int> position(const QString& ref)
{
    int column = 0;
    int i = 0;
    while (i < ref.size() && ref.at(i).isLetter()) {
        column = column * 26 + (ref.at(i).unicode() - 'A' + 1);
        ++i;
    }
    return {ref.mid(i).toInt() - 1, column - 1};
}

QStringList sheetNames(const QByteArray& workbookXml)
{
    QStringList names;
    QXmlStreamReader xml(workbookXml);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("sheet"))
            names << xml.attributes().value(QStringLiteral("name")).toString();
    }
    return names;
}

// The number format of each cell style, by style index.
QStringList styleFormats(const QByteArray& stylesXml)
{
    QHash<int, QString> codes{{0, QStringLiteral("General")}, {49, QStringLiteral("@")}};
    QStringList formats;
    bool inCellXfs = false;
    QXmlStreamReader xml(stylesXml);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("numFmt"))
            codes.insert(xml.attributes().value(QStringLiteral("numFmtId")).toInt(),
                         xml.attributes().value(QStringLiteral("formatCode")).toString());
        else if (xml.isStartElement() && xml.name() == QLatin1String("cellXfs"))
            inCellXfs = true;
        else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs"))
            inCellXfs = false;
        else if (inCellXfs && xml.isStartElement() && xml.name() == QLatin1String("xf"))
            formats << codes.value(xml.attributes().value(QStringLiteral("numFmtId")).toInt(),
                                   QStringLiteral("builtin"));
    }
    return formats;
}

Sheet readSheet(const QByteArray& sheetXml, const QStringList& sharedStrings)
{
    Sheet sheet;
    QXmlStreamReader xml(sheetXml);
    QPair<int, int> at;
    Cell cell;
    bool inCell = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto attrs = xml.attributes();
            if (xml.name() == QLatin1String("sheetView")) {
                sheet.rightToLeft =
                    attrs.value(QStringLiteral("rightToLeft")) == QLatin1String("1");
            } else if (xml.name() == QLatin1String("pane")) {
                sheet.headerFrozen =
                    attrs.value(QStringLiteral("state")) == QLatin1String("frozen") &&
                    attrs.value(QStringLiteral("ySplit")) == QLatin1String("1") &&
                    attrs.value(QStringLiteral("xSplit")).isEmpty();
            } else if (xml.name() == QLatin1String("c")) {
                at = position(attrs.value(QStringLiteral("r")).toString());
                const QString type = attrs.value(QStringLiteral("t")).toString();
                cell = Cell{type == QLatin1String("inlineStr") || type == QLatin1String("s") ||
                                type == QLatin1String("str"),
                            QString(), attrs.value(QStringLiteral("s")).toInt()};
                inCell = true;
                if (type == QLatin1String("s"))
                    cell.value = QStringLiteral("#shared");
            } else if (inCell &&
                       (xml.name() == QLatin1String("v") || xml.name() == QLatin1String("t"))) {
                const QString text = xml.readElementText();
                if (cell.value == QLatin1String("#shared"))
                    cell.value = sharedStrings.value(text.toInt());
                else
                    cell.value += text;
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("c")) {
            sheet.cells.insert(at, cell);
            inCell = false;
        }
    }
    return sheet;
}

QStringList sharedStringsOf(const QByteArray& xmlText)
{
    QStringList strings;
    QXmlStreamReader xml(xmlText);
    QString current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("si"))
            current.clear();
        else if (xml.isStartElement() && xml.name() == QLatin1String("t"))
            current += xml.readElementText();
        else if (xml.isEndElement() && xml.name() == QLatin1String("si"))
            strings << current;
    }
    return strings;
}

// Spreadsheet day numbers count from 1899-12-30.
QDateTime fromSerial(double serial)
{
    const qint64 seconds = qRound64(serial * 86400.0);
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0)).addSecs(seconds);
}

} // namespace

class TestXlsxExport : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        fillOffice();
    }
    void cleanup() { m_fixture.reset(); }

    // Every cell of every sheet is read back from the file's XML and compared
    // with the row it came from.
    void workbookHoldsEveryCellAsStored()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("office.xlsx"));
        QString error;
        QVERIFY2(XlsxExport::write(db()->connection(), path, &error), qPrintable(error));

        const QStringList names = sheetNames(unzipped(path, QStringLiteral("xl/workbook.xml")));
        const QList<ExportTables::Table>& tables = ExportTables::tables();
        QCOMPARE(names.size(), tables.size());
        const QStringList formats = styleFormats(unzipped(path, QStringLiteral("xl/styles.xml")));
        QVERIFY(!formats.isEmpty());
        const QStringList shared =
            sharedStringsOf(unzipped(path, QStringLiteral("xl/sharedStrings.xml")));
        const ExportTables::Currencies currencies =
            ExportTables::readCurrencies(db()->connection());
        QCOMPARE(currencies.symbolFor(QVariant()), QStringLiteral("₪"));

        int compared = 0;
        for (int t = 0; t < tables.size(); ++t) {
            const ExportTables::Table& table = tables.at(t);
            QCOMPARE(names.at(t), table.sheetTitle);
            const QByteArray xml =
                unzipped(path, QStringLiteral("xl/worksheets/sheet%1.xml").arg(t + 1));
            QVERIFY2(!xml.isEmpty(), qPrintable(table.name));
            const Sheet sheet = readSheet(xml, shared);
            QVERIFY2(sheet.rightToLeft, qPrintable(table.name));
            QVERIFY2(sheet.headerFrozen, qPrintable(table.name));

            for (int c = 0; c < table.columns.size(); ++c)
                QCOMPARE(sheet.cells.value({0, c}).value, table.columns.at(c).heading);

            QSqlQuery query(db()->connection());
            QVERIFY(query.exec(ExportTables::selectSql(table)));
            int row = 0;
            while (query.next()) {
                ++row;
                const QVariant currency =
                    table.currencyColumn >= 0 ? query.value(table.currencyColumn) : QVariant();
                for (int c = 0; c < table.columns.size(); ++c) {
                    const QString where = QStringLiteral("%1 row %2 column %3")
                                              .arg(table.name)
                                              .arg(row)
                                              .arg(table.columns.at(c).name);
                    compareCell(table.columns.at(c), query.value(c), sheet.cells.value({row, c}),
                                sheet.cells.contains({row, c}), formats,
                                currencies.symbolFor(currency), where);
                    if (QTest::currentTestFailed())
                        return;
                    ++compared;
                }
            }
            // Nothing below the last row.
            QVERIFY2(!sheet.cells.contains({row + 1, 0}), qPrintable(table.name));
        }
        QVERIFY(compared > 300);
    }

    // The cases that went wrong in spreadsheets, checked by name.
    void zerosArabicAndCentsSurvive()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("office.xlsx"));
        QVERIFY(XlsxExport::write(db()->connection(), path));
        const QStringList shared =
            sharedStringsOf(unzipped(path, QStringLiteral("xl/sharedStrings.xml")));
        // Tenants are the third sheet; the first data row is the tenant below.
        const Sheet tenants =
            readSheet(unzipped(path, QStringLiteral("xl/worksheets/sheet3.xml")), shared);
        QCOMPARE(tenants.cells.value({1, 1}).value, QStringLiteral("سامي الخطيب"));
        QCOMPARE(tenants.cells.value({1, 2}).value, QStringLiteral("012345678"));
        QVERIFY(tenants.cells.value({1, 2}).text);
        QCOMPARE(tenants.cells.value({1, 3}).value, QStringLiteral("0599123456"));
        QCOMPARE(tenants.cells.value({1, 5}).value, QStringLiteral("البيرة\nقرب مدرسة البنات"));
        // A balance that carries binary noise in the database is the cent.
        QCOMPARE(Money::toCents(tenants.cells.value({1, 7}).value.toDouble()), qint64(1666682));

        const Sheet properties =
            readSheet(unzipped(path, QStringLiteral("xl/worksheets/sheet1.xml")), shared);
        QCOMPARE(properties.cells.value({1, 6}).value, QStringLiteral("3")); // units counted
        QCOMPARE(properties.cells.value({1, 2}).value, QStringLiteral("سكني"));
    }

    void unwritableTargetFailsAndLeavesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("missing/folder/office.xlsx"));
        QString error;
        QVERIFY(!XlsxExport::write(db()->connection(), path, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(path));
    }

    // The CSV of the same office: amounts to the cent, codes kept as text
    // with their zeros, counted units and Arabic words.
    void csvKeepsZerosCentsAndWords()
    {
        QTemporaryDir dir;
        const auto lines = [&](const QString& table) {
            const QString path = dir.filePath(table + QStringLiteral(".csv"));
            if (!CsvExport::writeTable(db()->connection(), table, path))
                return QStringList();
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            const QByteArray bytes = file.readAll();
            if (!bytes.startsWith("\xEF\xBB\xBF"))
                return QStringList();
            return QString::fromUtf8(bytes.mid(3)).split(QLatin1Char('\n'));
        };
        const QStringList tenants = lines(QStringLiteral("tenants"));
        QCOMPARE(
            tenants.value(0),
            QStringLiteral("id,full_name,id_number,phone,email,address,notes,balance,created_at"));
        QVERIFY2(tenants.value(1).startsWith(QStringLiteral(
                     "1,سامي الخطيب,\"=\"\"012345678\"\"\",\"=\"\"0599123456\"\"\",,\"البيرة")),
                 qPrintable(tenants.value(1)));
        QVERIFY2(tenants.value(2).contains(QStringLiteral(",16666.82,")),
                 qPrintable(tenants.value(2)));

        const QStringList properties = lines(QStringLiteral("properties"));
        QVERIFY2(properties.value(1).startsWith(QStringLiteral("1,برج النخيل,سكني,")),
                 qPrintable(properties.value(1)));
        QVERIFY2(properties.value(1).contains(QStringLiteral(",3,نشط,")),
                 qPrintable(properties.value(1)));

        for (const QString& table :
             {QStringLiteral("expenses"), QStringLiteral("contractors"),
              QStringLiteral("contractor_payments"), QStringLiteral("journal_lines")}) {
            const QStringList rows = lines(table);
            QVERIFY2(rows.size() >= 3, qPrintable(table)); // header, a row, the last break
        }
        // The method in Arabic; the reference keeps its leading zeros.
        QVERIFY2(lines(QStringLiteral("contractor_payments"))
                     .value(1)
                     .contains(QStringLiteral(",شيك,\"=\"\"00088\"\"\"")),
                 qPrintable(lines(QStringLiteral("contractor_payments")).value(1)));
        const QStringList units = lines(QStringLiteral("units"));
        QVERIFY2(units.value(1).contains(QStringLiteral(",متاحة,")), qPrintable(units.value(1)));
        QVERIFY2(units.value(1).contains(QStringLiteral("\"=\"\"012\"\"\"")),
                 qPrintable(units.value(1)));
    }

    // The export the window starts opens the desk's books itself, on its
    // own thread: the file on SQLite, a session of its own on a server. What
    // it wrote is read back.
    void backgroundExportReadsTheDesksBooks_data()
    {
        QTest::addColumn<bool>("workbook");
        QTest::newRow("workbook") << true;
        QTest::newRow("CSV folder") << false;
    }
    void backgroundExportReadsTheDesksBooks()
    {
        QFETCH(bool, workbook);
        QTemporaryDir dir;
        const QString target = workbook ? dir.filePath(QStringLiteral("office.xlsx")) : dir.path();
        const DatabaseSettings source =
            db()->isPostgres() ? db()->settings() : DatabaseSettings::sqliteFile(db()->path());
        ExportRun run;
        QSignalSpy finished(&run, &ExportRun::finished);
        QVERIFY(run.start(workbook ? ExportRun::Format::Workbook : ExportRun::Format::CsvFolder,
                          source, target));
        QVERIFY(finished.wait(60000));
        const auto result = finished.at(0).at(0).value<ExportRun::Result>();
        QVERIFY2(result.ok, qPrintable(result.error));
        QVERIFY(result.failedTables.isEmpty());

        if (workbook) {
            const QStringList shared =
                sharedStringsOf(unzipped(target, QStringLiteral("xl/sharedStrings.xml")));
            const Sheet tenants =
                readSheet(unzipped(target, QStringLiteral("xl/worksheets/sheet3.xml")), shared);
            QCOMPARE(tenants.cells.value({1, 1}).value, QStringLiteral("سامي الخطيب"));
            QCOMPARE(tenants.cells.value({1, 3}).value, QStringLiteral("0599123456"));
            QCOMPARE(Money::toCents(tenants.cells.value({1, 7}).value.toDouble()), qint64(1666682));
            return;
        }
        for (const QString& table : CsvExport::tables())
            QVERIFY2(QFile::exists(dir.filePath(table + QStringLiteral(".csv"))),
                     qPrintable(table));
        QFile file(dir.filePath(QStringLiteral("tenants.csv")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll().mid(3)).split('\n');
        QVERIFY2(lines.value(1).startsWith(QStringLiteral("1,سامي الخطيب,")),
                 qPrintable(lines.value(1)));
        QVERIFY2(lines.value(2).contains(QStringLiteral(",16666.82,")), qPrintable(lines.value(2)));
    }

private:
    Database* db() const { return m_fixture->db(); }

    void compareCell(const Column& column, const QVariant& stored, const Cell& cell, bool present,
                     const QStringList& formats, const QString& symbol, const QString& where)
    {
        if (stored.isNull()) {
            QVERIFY2(!present, qPrintable(where));
            return;
        }
        QVERIFY2(present, qPrintable(where));
        const QString format = formats.value(cell.style);
        switch (column.kind) {
        case Kind::Key:
        case Kind::Integer:
        case Kind::Real:
            QVERIFY2(!cell.text, qPrintable(where));
            QVERIFY2(qFuzzyCompare(cell.value.toDouble() + 1, stored.toDouble() + 1),
                     qPrintable(where + QStringLiteral(": ") + cell.value));
            break;
        case Kind::Amount:
            QVERIFY2(!cell.text, qPrintable(where));
            QCOMPARE(Money::toCents(cell.value.toDouble()), Money::toCents(stored.toDouble()));
            QVERIFY2(format.startsWith(QStringLiteral("#,##0.00")) && format.contains(symbol),
                     qPrintable(where + QStringLiteral(": ") + format));
            break;
        case Kind::Date:
            QVERIFY2(!cell.text, qPrintable(where));
            QCOMPARE(fromSerial(cell.value.toDouble()).date(),
                     QDate::fromString(stored.toString(), Qt::ISODate));
            QCOMPARE(format, QStringLiteral("yyyy-mm-dd"));
            break;
        case Kind::Timestamp:
            QVERIFY2(!cell.text, qPrintable(where));
            QCOMPARE(
                fromSerial(cell.value.toDouble()),
                QDateTime::fromString(stored.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            break;
        case Kind::Code:
            QVERIFY2(cell.text, qPrintable(where));
            QCOMPARE(format, QStringLiteral("@"));
            QCOMPARE(cell.value, stored.toString());
            break;
        case Kind::Label:
            QVERIFY2(cell.text, qPrintable(where));
            QCOMPARE(cell.value, ExportTables::label(column, stored.toString()));
            QVERIFY2(cell.value != stored.toString(), qPrintable(where)); // in Arabic
            break;
        case Kind::Text:
            QVERIFY2(cell.text, qPrintable(where));
            QCOMPARE(cell.value, stored.toString());
            break;
        }
    }

    void exec(const QString& sql, const QVariantList& params = {})
    {
        QVERIFY2(db()->execInsert(sql, params) > 0, qPrintable(sql));
    }

    // A small office touching every exported table, with the values that
    // spreadsheets tend to spoil.
    void fillOffice()
    {
        exec("INSERT INTO properties (name, type, address, city) VALUES (?,?,?,?)",
             {"برج النخيل", "residential", "رام الله, الماصيون", "رام الله"});
        exec("INSERT INTO properties (name, type, status) VALUES (?,?,?)",
             {"مجمع \"الزيتون\"", "commercial", "active"});
        exec(
            "INSERT INTO cost_centers (name, type, property_id) VALUES ('برج النخيل','project',1)");
        exec("INSERT INTO units (property_id, unit_number, floor, area, rent_monthly, sale_price, "
             "status, currency_id) VALUES (1,'012',1,120.5,1500,250000.46,'available',1)");
        exec("INSERT INTO units (property_id, unit_number, area, sale_price, status, "
             "sale_date, currency_id) VALUES (1,'A-2',90,180000,'sold','2026-03-01',2)");
        exec("INSERT INTO units (property_id, unit_number, area, status) "
             "VALUES (1,'=1+1',80,'rented')");
        // 50000.46 / 3 is 16666.82 with binary noise.
        exec("INSERT INTO tenants (full_name, id_number, phone, address, balance) "
             "VALUES (?,?,?,?,?)",
             {"سامي الخطيب", "012345678", "0599123456", "البيرة\nقرب مدرسة البنات", 50000.46 / 3});
        exec("INSERT INTO tenants (full_name, id_number, phone, balance) VALUES (?,?,?,?)",
             {"ليلى, حداد", "401000001", "+970 599 111", 0.1 + 0.2 + 16666.52});
        exec("INSERT INTO buyers (full_name, id_number, phone, balance) VALUES (?,?,?,?)",
             {"نادر سليم", "0401", "0598000000", 120000.1});
        exec("INSERT INTO contracts (unit_id, tenant_id, start_date, end_date, rent_amount, "
             "deposit, status, currency_id) VALUES (3,1,'2026-01-01','2026-12-31',1500,3000,"
             "'active',1)");
        exec("INSERT INTO invoices (invoice_number, tenant_id, unit_id, contract_id, period, "
             "total_amount, paid_amount, balance, status, currency_id, due_date) VALUES "
             "('INV-2026-01-0001',1,3,1,'2026-01',1500,500.1,999.9,'partial',1,'2026-01-05')");
        exec("INSERT INTO invoice_items (invoice_id, description, type, quantity, unit_price, "
             "total) VALUES (1,'إيجار شهري','rent',1,1500,1500)");
        exec("INSERT INTO payments (invoice_id, tenant_id, amount, payment_method, payment_date, "
             "reference, currency_id) VALUES (1,1,500.1,'bank','2026-01-04','000123',1)");
        exec("INSERT INTO payments (buyer_id, unit_id, amount, payment_method, payment_date, "
             "currency_id) VALUES (1,2,20000,'cash','2026-03-01',2)");
        exec("INSERT INTO installments (buyer_id, unit_id, total_price, down_payment, "
             "installment_amount, due_date, paid_amount, status, cheque_number, bank_name, "
             "currency_id) VALUES (1,2,180000,20000,13333.33,'2026-04-01',0,'pending','00017',"
             "'بنك فلسطين',2)");
        exec("INSERT INTO cheques (cheque_number, type, amount, bank_name, issue_date, due_date, "
             "payer_name, status, buyer_id, currency_id) VALUES ('00017','received',13333.33,"
             "'بنك فلسطين','2026-03-01','2026-04-01','نادر سليم','pending',1,3)");
        exec("INSERT INTO maintenance_requests (unit_id, property_id, title, priority, status, "
             "cost, request_date) VALUES (3,1,'تسريب مياه','high','in_progress',250.75,"
             "'2026-02-10')");
        exec("INSERT INTO contractors (name, phone, trade, balance) VALUES "
             "('مؤسسة البناء','0597000111','سباكة',1200.5)");
        exec("INSERT INTO expenses (property_id, unit_id, category, description, amount, "
             "expense_date, vendor, currency_id, contractor_id) VALUES (1,3,'صيانة','قطع غيار',"
             "250.75,'2026-02-11','محل الأمل',1,1)");
        exec("INSERT INTO contractor_payments (contractor_id, amount, currency_id, payment_date, "
             "method, reference) VALUES (1,120.4,1,'2026-02-20','cheque','00088')");
        exec("INSERT INTO journal_entries (entry_date, description, reference) VALUES "
             "('2026-02-11','مصروف صيانة','0042')");
        const int expenseAccount =
            m_fixture->value("SELECT id FROM accounts WHERE type='expense' LIMIT 1").toInt();
        const int cashAccount =
            m_fixture->value("SELECT id FROM accounts WHERE type='asset' LIMIT 1").toInt();
        QVERIFY(expenseAccount > 0 && cashAccount > 0);
        exec("INSERT INTO journal_lines (entry_id, account_id, debit, credit, description) "
             "VALUES (1,?,250.75,0,'صيانة')",
             {expenseAccount});
        exec(
            "INSERT INTO journal_lines (entry_id, account_id, debit, credit) VALUES (1,?,0,250.75)",
            {cashAccount});
    }

    std::unique_ptr<TestDatabase> m_fixture;
};

QTEST_MAIN(TestXlsxExport)
#include "tst_xlsxexport.moc"
