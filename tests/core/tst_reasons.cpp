#include "core/Reasons.h"

#include <QTest>

// The driver's error text picks the sentence a page shows after a failed write.
class TestReasons : public QObject
{
    Q_OBJECT

private slots:
    void databaseFailures_data()
    {
        QTest::addColumn<QString>("driverText");
        QTest::addColumn<QString>("expected");
        QTest::newRow("locked") << "database is locked Unable to fetch row"
                                << Reasons::databaseLocked();
        QTest::newRow("disk full")
            << "database or disk is full Unable to fetch row" << Reasons::diskFull();
        // A column named full_name is not a full disk.
        QTest::newRow("missing name")
            << "NOT NULL constraint failed: tenants.full_name" << Reasons::database();
        QTest::newRow("duplicate")
            << "UNIQUE constraint failed: units.property_id" << Reasons::duplicateNumber();
        QTest::newRow("unknown row named")
            << "FOREIGN KEY constraint failed" << Reasons::missingReference();
        // The same refusals in the server's words.
        QTest::newRow("server lock wait over")
            << "ERROR:  canceling statement due to lock timeout" << Reasons::databaseLocked();
        QTest::newRow("server disk full")
            << "ERROR:  could not extend file \"base/16384/2619\": No space left on device"
            << Reasons::diskFull();
        QTest::newRow("server duplicate")
            << "ERROR:  duplicate key value violates unique constraint \"units_property_id_key\""
            << Reasons::duplicateNumber();
        QTest::newRow("server unknown row named")
            << "ERROR:  insert or update on table \"units\" violates foreign key constraint"
            << Reasons::missingReference();
        QTest::newRow("no text") << "" << Reasons::database();
        // A shared server out of reach is said as such, not as a failed save.
        QTest::newRow("server out of reach")
            << "server unreachable: no connection to the server" << Reasons::serverUnreachable();
    }
    void databaseFailures()
    {
        QFETCH(QString, driverText);
        QFETCH(QString, expected);
        QCOMPARE(Reasons::database(driverText), expected);
        QVERIFY(expected.endsWith(QStringLiteral("لم يتم حفظ أي تغيير")));
    }

    void removalOfARecordStillInUse()
    {
        QCOMPARE(Reasons::removal(QStringLiteral("FOREIGN KEY constraint failed")),
                 Reasons::stillReferenced());
        QCOMPARE(Reasons::removal(QStringLiteral("database is locked")), Reasons::databaseLocked());
    }
};

QTEST_GUILESS_MAIN(TestReasons)
#include "tst_reasons.moc"
