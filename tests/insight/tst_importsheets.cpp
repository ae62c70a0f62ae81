#include "TableSnapshot.h"
#include "TestDatabase.h"

#include "core/Reasons.h"
#include "insight/ImportController.h"
#include "insight/PasteReader.h"
#include "rental/UnitModel.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

// Pastes as spreadsheets produce them: cells over several lines, Windows
// line ends, digits typed on an Arabic keyboard, and sizes past the bounds.
class TestImportSheets : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        m_units = std::make_unique<UnitModel>(db());
        m_import = std::make_unique<ImportController>(db(), m_units.get());
    }
    void cleanup()
    {
        m_import.reset();
        m_units.reset();
        m_fixture.reset();
    }

    void rowsReadAsTheSheetHoldsThem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("numbers");    // rows holding something
        QTest::addColumn<QStringList>("lastCells"); // last field of each such row
        QTest::newRow("quoted cell over two lines, tabs")
            << "سامي\t401\t\"البيرة\nقرب مدرسة البنات\"\nليلى\t402\tنابلس\n"
            << QList<int>{1, 2} << QStringList{"البيرة\nقرب مدرسة البنات", "نابلس"};
        QTest::newRow("CR LF rows and a CR LF inside a cell")
            << "سامي,401,\"البيرة\r\nقرب المدرسة\"\r\nليلى,402,نابلس\r\n"
            << QList<int>{1, 2} << QStringList{"البيرة\nقرب المدرسة", "نابلس"};
        QTest::newRow("blank rows keep their numbers")
            << "أ,1\n\n\t\t\nب,\"2\n3\n4\"\nج,5" << QList<int>{1, 4, 5}
            << QStringList{"1", "2\n3\n4", "5"};
        QTest::newRow("doubled quotes and a separator inside a cell")
            << "\"برج \"\"النخيل\"\", الطابق 2\",x" << QList<int>{1} << QStringList{"x"};
        QTest::newRow("quote that never closes stays on its own line")
            << "\"أنبوب 5,2\nب,3" << QList<int>{1, 2} << QStringList{"2", "3"};
        QTest::newRow("old Mac line ends")
            << "أ,1\rب,2\r" << QList<int>{1, 2} << QStringList{"1", "2"};
    }
    void rowsReadAsTheSheetHoldsThem()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, numbers);
        QFETCH(QStringList, lastCells);
        PasteReader reader(text);
        PasteReader::Row row;
        QList<int> seen;
        QStringList last;
        while (reader.next(&row)) {
            if (row.blank)
                continue;
            seen << row.number;
            last << row.fields.last();
        }
        QCOMPARE(seen, numbers);
        QCOMPARE(last, lastCells);
        QCOMPARE(PasteReader::countRows(text), numbers.size());
    }

    // The address with a line break is stored whole and the refused row
    // after it is named by its row in the sheet, not by its text line.
    void multiLineCellStoredWholeAndRowsNamedAsInTheSheet()
    {
        const QString text = QStringLiteral("سامي الخطيب\t401\t0599111111\t\"البيرة\r\n"
                                            "قرب مدرسة البنات\"\r\n"
                                            "ناقص\t402\r\n"
                                            "ليلى حداد\t403\t0599222222\t\"نابلس\nرفيديا\"\r\n"
                                            "\t\t\t\r\n"
                                            "بلا هاتف\r\n");
        QVERIFY(m_import->importRawCSV(text, QStringLiteral("tenants")));
        QCOMPARE(m_fixture->value("SELECT address FROM tenants WHERE id_number='401'").toString(),
                 QStringLiteral("البيرة\nقرب مدرسة البنات"));
        QCOMPARE(m_fixture->value("SELECT address FROM tenants WHERE id_number='403'").toString(),
                 QStringLiteral("نابلس\nرفيديا"));
        QList<int> refused;
        for (const QVariant& note :
             m_import->lastResult().value(QStringLiteral("refusedLines")).toList())
            refused << note.toMap().value(QStringLiteral("line")).toInt();
        QCOMPARE(refused, (QList<int>{2, 5}));

        const QVariantMap preview = m_import->previewRawCSV(text, QStringLiteral("buyers"));
        QCOMPARE(preview.value(QStringLiteral("lines")).toInt(), 4);
        QList<int> shown;
        for (const QVariant& row : preview.value(QStringLiteral("rows")).toList())
            shown << row.toMap().value(QStringLiteral("line")).toInt();
        QCOMPARE(shown, (QList<int>{1, 2, 3, 5}));
    }

    void digitsTypedInArabicAreStoredInLatin_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("idNumber");
        QTest::addColumn<QString>("phone");
        QTest::newRow("Arabic-Indic") << "سامي,٤٠١٠٠٠٠٠٢,٠٥٩٩١٢٣٤٥٦"
                                      << "401000002"
                                      << "0599123456";
        QTest::newRow("Persian") << "سامي,۴۰۱۰۰۰۰۰۲,۰۵۹۹۱۲۳۴۵۶"
                                 << "401000002"
                                 << "0599123456";
        QTest::newRow("mixed with spaces") << "سامي, ٤٠١000002 ,+٩٧٠ ٥٩٩"
                                           << "401000002"
                                           << "+970 599";
    }
    void digitsTypedInArabicAreStoredInLatin()
    {
        QFETCH(QString, line);
        QFETCH(QString, idNumber);
        QFETCH(QString, phone);
        QVERIFY(m_import->importRawCSV(line, QStringLiteral("tenants")));
        QCOMPARE(m_fixture->value("SELECT id_number FROM tenants").toString(), idNumber);
        QCOMPARE(m_fixture->value("SELECT phone FROM tenants").toString(), phone);
    }

    void duplicateTypedInOtherDigitsIsRefused()
    {
        db()->execInsert(QStringLiteral("INSERT INTO buyers (full_name, id_number) VALUES (?,?)"),
                         {QStringLiteral("مشترٍ سابق"), QStringLiteral("401000001")});
        const QString text = QStringLiteral("نادر,٤٠١٠٠٠٠٠١,0599\n" // stored already
                                            "ريم,۴۰۲,0598\n"        // in
                                            "سلمى,402,0597\n");     // repeats row 2
        QVERIFY(m_import->importRawCSV(text, QStringLiteral("buyers")));
        const QVariantList refused =
            m_import->lastResult().value(QStringLiteral("refusedLines")).toList();
        QCOMPARE(refused.size(), 2);
        QCOMPARE(refused.at(0).toMap().value("line").toInt(), 1);
        QVERIFY(refused.at(0).toMap().value("reason").toString().contains("401000001"));
        QCOMPARE(refused.at(1).toMap().value("line").toInt(), 3);
        QCOMPARE(m_fixture->count("buyers"), 2);

        // The preview finds both as well, without writing.
        const QVariantMap preview = m_import->previewRawCSV(
            QStringLiteral("أ,٤٠١٠٠٠٠٠١,1\nب,٩٩,2\nج,99,3"), QStringLiteral("buyers"));
        QCOMPARE(preview.value("ready").toInt(), 1);
        QCOMPARE(preview.value("problems").toInt(), 2);
        QCOMPARE(m_fixture->count("buyers"), 2);
    }

    void boundsAreRefusedWithTheirReasons_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("reason");
        QTest::newRow("price of 1e308") << "units"
                                        << "%1,H-1,1e308,1e308,1e308" << Reasons::invalidNumber();
        QTest::newRow("rent of a trillion")
            << "units"
            << "%1,H-2,100,5000,1000000000000" << Reasons::invalidNumber();
        QTest::newRow("name of 201 letters") << "tenants" << QString(201, QChar(u'س')) + ",1,0599"
                                             << Reasons::tooLong(QStringLiteral("الاسم"), 200);
        QTest::newRow("identity number of 41 digits")
            << "buyers"
            << "سامي," + QString(41, QLatin1Char('7')) + ",0599"
            << Reasons::tooLong(QStringLiteral("رقم الهوية"), 40);
        QTest::newRow("address of 501 letters") << "tenants"
                                                << "سامي,1,0599," + QString(501, QChar(u'ع'))
                                                << Reasons::tooLong(QStringLiteral("العنوان"), 500);
        QTest::newRow("a cell of 50000 characters")
            << "tenants"
            << "سامي,1,0599,\"" + QString(50000, QLatin1Char('x')) + "\""
            << Reasons::cellTooLarge(PasteReader::cellLimit);
    }
    void boundsAreRefusedWithTheirReasons()
    {
        QFETCH(QString, table);
        QFETCH(QString, line);
        QFETCH(QString, reason);
        const int property =
            db()->execInsert(QStringLiteral("INSERT INTO properties (name) VALUES ('برج')"));
        const QString before = tableSnapshot(db());
        const QString text = line.contains(QStringLiteral("%1")) ? line.arg(property) : line;
        QVERIFY(!m_import->importRawCSV(text, table));
        const QVariantList refused =
            m_import->lastResult().value(QStringLiteral("refusedLines")).toList();
        QCOMPARE(refused.size(), 1);
        QVERIFY2(refused.first().toMap().value("reason").toString().endsWith(reason),
                 qPrintable(refused.first().toMap().value("reason").toString()));
        QVERIFY(m_import->lastError().contains(reason));
        QCOMPARE(tableSnapshot(db()), before);
    }

    void pastePastItsBoundIsRefusedWhole()
    {
        QString text;
        text.reserve((ImportController::rowLimit + 1) * 6);
        for (int i = 0; i <= ImportController::rowLimit; ++i)
            text += QStringLiteral("س,,1\n");
        const QString reason =
            Reasons::pasteTooLarge(ImportController::rowLimit, ImportController::megabyteLimit);
        QVERIFY(!m_import->importRawCSV(text, QStringLiteral("tenants")));
        QCOMPARE(m_import->lastError(), reason);
        QCOMPARE(m_fixture->count("tenants"), 0);
        const QVariantMap preview = m_import->previewRawCSV(text, QStringLiteral("tenants"));
        QCOMPARE(m_import->lastError(), reason);
        QCOMPARE(preview.value("lines").toInt(), ImportController::rowLimit + 1);
    }

    // The import in slices: progress between them, one commit at the end,
    // the same result as the import in one go, and a cancel keeps nothing.
    void sliceImportReportsProgressAndCommitsOnce()
    {
        QString text = QStringLiteral("الاسم,رقم الهوية,الهاتف\n");
        for (int i = 1; i <= 3000; ++i)
            text += QStringLiteral("مستأجر %1,%2,059%1\n").arg(i).arg(700000 + i);
        text += QStringLiteral("مكرر,700001,0599\n");

        QSignalSpy progress(m_import.get(), &ImportController::progressChanged);
        QSignalSpy finished(m_import.get(), &ImportController::importFinished);
        QSignalSpy imported(m_import.get(), &ImportController::imported);
        QVERIFY(m_import->startImport(text, QStringLiteral("tenants")));
        QVERIFY(m_import->busy());
        QCOMPARE(m_import->progressTotal(), 3002);
        // A second import cannot start meanwhile, nor an undo.
        QVERIFY(!m_import->startImport(QStringLiteral("أ,1,2"), QStringLiteral("tenants")));
        QVERIFY(!m_import->importRawCSV(QStringLiteral("أ,1,2"), QStringLiteral("tenants")));
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.first().first().toBool(), true);
        QVERIFY(!m_import->busy());
        QVERIFY(progress.count() >= 2);
        QCOMPARE(m_import->progressDone(), 3002);
        QCOMPARE(imported.count(), 1);
        const QVariantMap result = m_import->lastResult();
        QCOMPARE(result.value("inserted").toInt(), 3000);
        QCOMPARE(result.value("skipped").toInt(), 1);
        QCOMPARE(result.value("refused").toInt(), 1);
        QCOMPARE(result.value("refusedLines").toList().first().toMap().value("line").toInt(), 3002);
        QCOMPARE(m_fixture->count("tenants"), 3000);
        QCOMPARE(m_import->insertedIds().size(), 3000);
        QVERIFY(m_import->undoLastImport());
        QCOMPARE(m_fixture->count("tenants"), 0);
    }

    void cancelledImportKeepsNothing()
    {
        QString text;
        for (int i = 1; i <= 20000; ++i)
            text += QStringLiteral("مستأجر %1\t%1\t0599\n").arg(i);
        const QString before = tableSnapshot(db());
        QSignalSpy finished(m_import.get(), &ImportController::importFinished);
        QVERIFY(m_import->startImport(text, QStringLiteral("tenants")));
        m_import->cancelImport();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), false);
        QVERIFY(!m_import->busy());
        QVERIFY(!m_import->lastError().isEmpty());
        QCOMPARE(tableSnapshot(db()), before);
        QVERIFY(!m_import->canUndoLastImport());
        // Nothing left running writes later.
        QTest::qWait(50);
        QCOMPARE(tableSnapshot(db()), before);
    }

private:
    Database* db() const { return m_fixture->db(); }

    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<UnitModel> m_units;
    std::unique_ptr<ImportController> m_import;
};

QTEST_MAIN(TestImportSheets)
#include "tst_importsheets.moc"
