#include "TestDatabase.h"

#include "admin/CsvExport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestCsvExport : public QObject
{
    Q_OBJECT

private slots:
    void fieldAsSpreadsheetsReadIt_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain Arabic text is bare")
            << QVariant(QStringLiteral("سامي الخطيب")) << QStringLiteral("سامي الخطيب");
        QTest::newRow("Arabic comma needs no quotes")
            << QVariant(QStringLiteral("الخطيب، سامي")) << QStringLiteral("الخطيب، سامي");
        QTest::newRow("comma is quoted")
            << QVariant(QStringLiteral("الخطيب, سامي")) << QStringLiteral("\"الخطيب, سامي\"");
        QTest::newRow("inner quote doubled") << QVariant(QStringLiteral("برج \"النخيل\""))
                                             << QStringLiteral("\"برج \"\"النخيل\"\"\"");
        QTest::newRow("line feed is quoted")
            << QVariant(QStringLiteral("سطر\nثان")) << QStringLiteral("\"سطر\nثان\"");
        QTest::newRow("NULL is nothing") << QVariant() << QString();
        QTest::newRow("formula defused")
            << QVariant(QStringLiteral("=SUM(A1:A9)")) << QStringLiteral("'=SUM(A1:A9)");
        QTest::newRow("plus sign defused")
            << QVariant(QStringLiteral("+970599123456")) << QStringLiteral("'+970599123456");
        QTest::newRow("minus in text defused")
            << QVariant(QStringLiteral("-2+3")) << QStringLiteral("'-2+3");
        QTest::newRow("at sign defused")
            << QVariant(QStringLiteral("@cmd")) << QStringLiteral("'@cmd");
        QTest::newRow("formula after spaces defused")
            << QVariant(QStringLiteral("   =HYPERLINK(\"x\")"))
            << QStringLiteral("\"'   =HYPERLINK(\"\"x\"\")\"");
        QTest::newRow("at sign after a space defused")
            << QVariant(QStringLiteral(" @cmd")) << QStringLiteral("' @cmd");
        QTest::newRow("spaces before a word stay as typed")
            << QVariant(QStringLiteral("  برج")) << QStringLiteral("  برج");
        QTest::newRow("leading tab defused")
            << QVariant(QStringLiteral("\t=1")) << QStringLiteral("'\t=1");
        QTest::newRow("leading carriage return defused and quoted")
            << QVariant(QStringLiteral("\r=1")) << QStringLiteral("\"'\r=1\"");
        QTest::newRow("defused formula with comma is also quoted")
            << QVariant(QStringLiteral("=1,2")) << QStringLiteral("\"'=1,2\"");
        QTest::newRow("negative number stays a number")
            << QVariant(-50.5) << QStringLiteral("-50.5");
        QTest::newRow("negative integer stays a number")
            << QVariant(qlonglong(-7)) << QStringLiteral("-7");
        QTest::newRow("whole amount") << QVariant(250000.0) << QStringLiteral("250000");
    }
    void fieldAsSpreadsheetsReadIt()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, written);
        QCOMPARE(CsvExport::field(value), written);
    }

    void tableWrittenWithHeaderInColumnOrder()
    {
        TestDatabase fixture;
        Database* db = fixture.db();
        QVERIFY(db->execInsert(
                    QStringLiteral("INSERT INTO properties (name, address) VALUES (?,?)"),
                    {QStringLiteral("برج النخيل"), QStringLiteral("رام الله, الماصيون")}) > 0);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("properties.csv"));
        QVERIFY(CsvExport::writeTable(db->connection(), QStringLiteral("properties"), path));

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 3); // header, one row, and the final line break
        QCOMPARE(lines.at(0), QStringLiteral("id,name,type,address,city,description,total_units,"
                                             "status,created_at,updated_at"));
        // Vocabulary words are written in Arabic.
        QVERIFY2(lines.at(1).startsWith(
                     QStringLiteral("1,برج النخيل,سكني,\"رام الله, الماصيون\",,,0,نشط,")),
                 qPrintable(lines.at(1)));
        QCOMPARE(lines.at(2), QString());
    }

    void unreadableTableIsReported()
    {
        TestDatabase fixture;
        QTemporaryDir dir;
        QVERIFY(!CsvExport::writeTable(fixture.db()->connection(), QStringLiteral("no_such_table"),
                                       dir.filePath(QStringLiteral("x.csv"))));
        QVERIFY(!CsvExport::writeTable(fixture.db()->connection(), QStringLiteral("units"),
                                       dir.filePath(QStringLiteral("missing/folder/units.csv"))));
    }
};

QTEST_MAIN(TestCsvExport)
#include "tst_csvexport.moc"
