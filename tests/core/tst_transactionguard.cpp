#include "TestDatabase.h"

#include "core/PgSchema.h"
#include "core/TransactionGuard.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

class TestTransactionGuard : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fixture = std::make_unique<TestDatabase>(); }
    void cleanup() { m_fixture.reset(); }

    void rollsBackWhenNotCommitted()
    {
        {
            TransactionGuard tx(db());
            QVERIFY(tx.isActive());
            QVERIFY(addProperty(QStringLiteral("برج الأمل")) > 0);
            QCOMPARE(properties(), 1);
        }
        QCOMPARE(properties(), 0);
        QCOMPARE(db()->transactionDepth(), 0);
    }

    void keepsRowsOnCommit()
    {
        {
            TransactionGuard tx(db());
            addProperty(QStringLiteral("برج الأمل"));
            QVERIFY(tx.commit());
            QVERIFY(!tx.commit());
        }
        QCOMPARE(properties(), 1);
    }

    void innerRollbackKeepsOuterWork()
    {
        {
            TransactionGuard outer(db());
            addProperty(QStringLiteral("الخارجي"));
            {
                TransactionGuard inner(db());
                QVERIFY(inner.isActive());
                QCOMPARE(db()->transactionDepth(), 2);
                addProperty(QStringLiteral("الداخلي"));
            }
            QCOMPARE(db()->transactionDepth(), 1);
            QVERIFY(outer.commit());
        }
        QCOMPARE(properties(), 1);
        QCOMPARE(m_fixture->value(QStringLiteral("SELECT name FROM properties")).toString(),
                 QStringLiteral("الخارجي"));
    }

    void outerRollbackUndoesCommittedInnerWork()
    {
        {
            TransactionGuard outer(db());
            {
                TransactionGuard inner(db());
                addProperty(QStringLiteral("الداخلي"));
                QVERIFY(inner.commit());
            }
        }
        QCOMPARE(properties(), 0);
        // A new transaction can start afterwards.
        TransactionGuard again(db());
        QVERIFY(again.isActive());
    }

    // The outermost guard holds the write lock from its start, so what a
    // write checks inside it cannot be changed by another connection first.
    void outerGuardHoldsTheWriteLock()
    {
        if (db()->isPostgres()) {
            // Another desk on the server: the write lock is the office's
            // advisory lock, which it cannot take while the guard is open.
            Database other;
            QVERIFY(other.initialize(db()->settings()));
            const QString tryLock = QStringLiteral("SELECT pg_try_advisory_lock(?)");
            {
                TransactionGuard tx(db());
                QVERIFY(tx.isActive());
                QCOMPARE(other.scalar(tryLock, {PgSchema::kWriteLock}).toBool(), false);
            }
            QCOMPARE(other.scalar(tryLock, {PgSchema::kWriteLock}).toBool(), true);
            QVERIFY(other.execNonQuery(QStringLiteral("SELECT pg_advisory_unlock(?)"),
                                       {PgSchema::kWriteLock}));
            return;
        }
        const QString name = QStringLiteral("second_writer");
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            other.setDatabaseName(m_fixture->filePath());
            other.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
            QVERIFY(other.open());
            QSqlQuery query(other);
            {
                TransactionGuard tx(db());
                QVERIFY(tx.isActive());
                QVERIFY(!query.exec(QStringLiteral("BEGIN IMMEDIATE")));
            }
            QVERIFY(query.exec(QStringLiteral("BEGIN IMMEDIATE")));
            QVERIFY(query.exec(QStringLiteral("ROLLBACK")));
            other.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

private:
    Database* db() const { return m_fixture->db(); }
    int addProperty(const QString& name)
    {
        return db()->execInsert(QStringLiteral("INSERT INTO properties (name) VALUES (?)"), {name});
    }
    int properties() const { return m_fixture->count(QStringLiteral("properties")); }

    std::unique_ptr<TestDatabase> m_fixture;
};

QTEST_GUILESS_MAIN(TestTransactionGuard)
#include "tst_transactionguard.moc"
