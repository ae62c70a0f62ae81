#include "TestDatabase.h"

#include "admin/AuditManager.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QTest>

class TestAuditManager : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fixture = std::make_unique<TestDatabase>(); }
    void cleanup() { m_fixture.reset(); }

    void omittedArgumentsAreEmptyNotNull()
    {
        AuditManager audit(db());
        audit.log(1, QStringLiteral("login"));
        const QVariantMap row = db()->getById(QStringLiteral("audit_logs"), 1);
        QCOMPARE(row.value(QStringLiteral("user_id")).toInt(), 1);
        QCOMPARE(row.value(QStringLiteral("action")).toString(), QStringLiteral("login"));
        QVERIFY(!row.value(QStringLiteral("table_name")).isNull());
        QCOMPARE(row.value(QStringLiteral("table_name")).toString(), QString());
        QVERIFY(!row.value(QStringLiteral("details")).isNull());
        QCOMPARE(row.value(QStringLiteral("details")).toString(), QString());
        QCOMPARE(row.value(QStringLiteral("record_id")).toInt(), 0);
        QVERIFY(!row.value(QStringLiteral("created_at")).toString().isEmpty());
    }

    void fullEntryIsStoredAsGiven()
    {
        AuditManager audit(db());
        audit.log(1, QStringLiteral("بيع وحدة"), QStringLiteral("units"), 12,
                  QStringLiteral("شقة 4ب - برج النخيل"));
        const QVariantList logs = audit.getLogs();
        QCOMPARE(logs.size(), 1);
        const QVariantMap row = logs.first().toMap();
        QCOMPARE(row.value(QStringLiteral("action")).toString(), QStringLiteral("بيع وحدة"));
        QCOMPARE(row.value(QStringLiteral("table_name")).toString(), QStringLiteral("units"));
        QCOMPARE(row.value(QStringLiteral("record_id")).toInt(), 12);
        QCOMPARE(row.value(QStringLiteral("details")).toString(),
                 QStringLiteral("شقة 4ب - برج النخيل"));
        QCOMPARE(row.value(QStringLiteral("username")).toString(), QStringLiteral("admin"));
    }

    void nullActionIsRejectedByTheTable()
    {
        AuditManager audit(db());
        QSignalSpy errors(db(), &Database::databaseError);
        audit.log(1, QString());
        QCOMPARE(errors.count(), 1);
        QVERIFY(audit.lastError().endsWith(QStringLiteral("لم يتم حفظ أي تغيير")));
        QCOMPARE(m_fixture->count(QStringLiteral("audit_logs")), 0);
    }

    void getLogsLimitsAndOrders()
    {
        AuditManager audit(db());
        for (int i = 1; i <= 104; ++i)
            audit.log(1, QStringLiteral("إضافة"), QStringLiteral("tenants"), i);
        // Written last but dated earlier: order follows the time, not the id.
        QVERIFY(db()->execNonQuery(
            QStringLiteral("INSERT INTO audit_logs (user_id, action, record_id, created_at) "
                           "VALUES (1, 'old', 0, ?)"),
            {QDateTime::currentDateTimeUtc().addDays(-1).toString(
                QStringLiteral("yyyy-MM-dd HH:mm:ss"))}));

        const QVariantList defaults = audit.getLogs();
        QCOMPARE(defaults.size(), 100);
        QCOMPARE(defaults.first().toMap().value(QStringLiteral("record_id")).toInt(), 104);
        QCOMPARE(defaults.last().toMap().value(QStringLiteral("record_id")).toInt(), 5);

        const QVariantList five = audit.getLogs(5);
        QCOMPARE(five.size(), 5);
        for (int i = 0; i < five.size(); ++i)
            QCOMPARE(five.at(i).toMap().value(QStringLiteral("record_id")).toInt(), 104 - i);

        const QVariantList all = audit.getLogs(-1);
        QCOMPARE(all.size(), 105);
        QCOMPARE(all.last().toMap().value(QStringLiteral("action")).toString(),
                 QStringLiteral("old"));
        QVERIFY(audit.getLogs(0).isEmpty());
    }

    void unknownOrMissingUserHasNullName()
    {
        AuditManager audit(db());
        audit.log(999, QStringLiteral("حذف"), QStringLiteral("tenants"), 3);
        // Sales write their audit rows without a user id.
        QVERIFY(db()->execNonQuery(QStringLiteral("INSERT INTO audit_logs (action, table_name, "
                                                  "record_id, details) VALUES (?,?,?,?)"),
                                   {QStringLiteral("بيع"), QStringLiteral("units"), 4, QString()}));
        const QVariantList logs = audit.getLogs();
        QCOMPARE(logs.size(), 2);
        for (const QVariant& item : logs) {
            const QVariantMap row = item.toMap();
            QVERIFY(row.contains(QStringLiteral("username")));
            QVERIFY(row.value(QStringLiteral("username")).isNull());
        }
    }

private:
    Database* db() const { return m_fixture->db(); }

    std::unique_ptr<TestDatabase> m_fixture;
};

QTEST_GUILESS_MAIN(TestAuditManager)
#include "tst_auditmanager.moc"
