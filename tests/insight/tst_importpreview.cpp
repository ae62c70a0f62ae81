#include "TableSnapshot.h"
#include "TestDatabase.h"

#include "insight/ImportController.h"
#include "rental/PropertyModel.h"
#include "rental/UnitModel.h"

#include <QSignalSpy>
#include <QTest>

// The importer's preview (a dry run that keeps nothing) and the undo of the
// last import (exactly its rows, only while nothing refers to them).
class TestImportPreview : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<UnitModel> m_units;
    std::unique_ptr<ImportController> m_import;

private slots:
    void init()
    {
        m_t = std::make_unique<TestDatabase>();
        m_units = std::make_unique<UnitModel>(m_t->db());
        m_import = std::make_unique<ImportController>(m_t->db(), m_units.get());
    }
    void cleanup()
    {
        m_import.reset();
        m_units.reset();
        m_t.reset();
    }

    void previewKeepsNothingAndReportsEachLine()
    {
        const QString before = tableSnapshot(m_t->db());
        const QVariantMap preview = m_import->previewRawCSV(
            QStringLiteral("name,id_number,phone\nأمل,55,0599\nأمل مكرر,55,0598\nقصير,1\n"),
            QStringLiteral("buyers"));
        QCOMPARE(tableSnapshot(m_t->db()), before);
        QCOMPARE(preview.value("lines").toInt(), 4);
        QCOMPARE(preview.value("header").toInt(), 1);
        QCOMPARE(preview.value("ready").toInt(), 1);
        // The repeated identity number within the paste is found too.
        QCOMPARE(preview.value("problems").toInt(), 2);
        const QVariantList rows = preview.value("rows").toList();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[1].toMap().value("fields").toStringList(),
                 (QStringList{"أمل", "55", "0599"}));
        QVERIFY(rows[1].toMap().value("problem").toString().isEmpty());
        QVERIFY(rows[2].toMap().value("problem").toString().contains("55"));
        QCOMPARE(rows[3].toMap().value("line").toInt(), 4);
        QVERIFY(!rows[3].toMap().value("problem").toString().isEmpty());
    }

    void previewShowsOnlyTheFirstRowsButCountsAll()
    {
        QString text;
        for (int i = 1; i <= 25; ++i)
            text += QStringLiteral("مستأجر %1\t%2\t059%3\n").arg(i).arg(1000 + i).arg(i);
        const QVariantMap preview = m_import->previewRawCSV(text, QStringLiteral("tenants"));
        QCOMPARE(preview.value("rows").toList().size(), 20);
        QCOMPARE(preview.value("lines").toInt(), 25);
        QCOMPARE(preview.value("ready").toInt(), 25);
        QCOMPARE(m_t->count("tenants"), 0);
    }

    void undoRemovesExactlyTheImportedRows()
    {
        m_t->db()->execInsert("INSERT INTO tenants (full_name) VALUES ('قائم')");
        QVERIFY(m_import->importRawCSV(QStringLiteral("سالم,11,0591\nريم,12,0592"),
                                       QStringLiteral("tenants")));
        QCOMPARE(m_t->count("tenants"), 3);
        QVERIFY(m_import->canUndoLastImport());
        QSignalSpy undone(m_import.get(), &ImportController::importUndone);
        QVERIFY(m_import->undoLastImport());
        QCOMPARE(undone.count(), 1);
        QCOMPARE(m_t->count("tenants"), 1);
        QCOMPARE(m_t->value("SELECT full_name FROM tenants").toString(), QStringLiteral("قائم"));
        // Only once.
        QVERIFY(!m_import->canUndoLastImport());
        QVERIFY(!m_import->undoLastImport());
        QVERIFY(!m_import->lastError().isEmpty());
    }

    void undoRefusedWhileAnImportedRowIsReferenced()
    {
        QVERIFY(m_import->importRawCSV(QStringLiteral("سالم,11,0591\nريم,12,0592"),
                                       QStringLiteral("buyers")));
        const int buyer = m_t->value("SELECT id FROM buyers WHERE id_number='12'").toInt();
        m_t->db()->execInsert(
            "INSERT INTO cheques (cheque_number, type, amount, due_date, buyer_id) "
            "VALUES ('9', 'received', 10, '2030-01-01', ?)",
            {buyer});
        const QString before = tableSnapshot(m_t->db());
        QVERIFY(!m_import->undoLastImport());
        QVERIFY(!m_import->lastError().isEmpty());
        QCOMPARE(tableSnapshot(m_t->db()), before);
        QVERIFY(m_import->canUndoLastImport());
    }

    void undoOfUnitsTakesTheirCostCentres()
    {
        PropertyModel properties(m_t->db());
        const int property = properties.add("برج", "residential", "", "", "");
        const int centresBefore = m_t->count("cost_centers");
        QVERIFY(
            m_import->importRawCSV(QStringLiteral("%1,A-1,100,5000\n%1,A-2,90,4000").arg(property),
                                   QStringLiteral("units")));
        QVERIFY(m_t->count("cost_centers") > centresBefore);
        QVERIFY(m_import->undoLastImport());
        QCOMPARE(m_t->count("units"), 0);
        QCOMPARE(m_t->value("SELECT COUNT(*) FROM cost_centers WHERE type='unit'").toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TestImportPreview)
#include "tst_importpreview.moc"
