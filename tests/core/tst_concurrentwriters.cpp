#include "TestDatabase.h"

#include "core/Database.h"
#include "core/TransactionGuard.h"
#include "finance/InstallmentModel.h"
#include "rental/PaymentModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

// Two programs writing to one database file at once. Each check a write
// makes (the invoice's open balance, the unit's status) must still hold when
// the write lands, so an invoice is never paid beyond its total and a unit is
// never sold twice. The writers are this same executable started as children.
namespace {

const char* kRoleVariable = "SAKANOVA_RACE_ROLE";
constexpr int kTargets = 100;

// Child side: waits for the start signal so both writers begin together,
// then tries to pay every invoice (or sell every unit) once.
int runWriter()
{
    const QString role = qEnvironmentVariable(kRoleVariable);
    const QString goFile = qEnvironmentVariable("SAKANOVA_RACE_GO");
    const int first = qEnvironmentVariableIntValue("SAKANOVA_RACE_FIRST");
    const int party = qEnvironmentVariableIntValue("SAKANOVA_RACE_PARTY");

    Database db;
    if (!db.initialize(qEnvironmentVariable("SAKANOVA_RACE_DB")))
        return 2;
    QFile ready(qEnvironmentVariable("SAKANOVA_RACE_READY"));
    if (!ready.open(QIODevice::WriteOnly))
        return 3;
    ready.close();
    while (!QFile::exists(goFile))
        QThread::msleep(1);

    if (role == QLatin1String("pay")) {
        PaymentModel payments(&db);
        for (int i = 0; i < kTargets; ++i)
            payments.add(first + i, party, 60, QStringLiteral("cash"), QStringLiteral("2025-03-01"),
                         QString(), 1);
    } else {
        InstallmentModel sales(&db);
        for (int i = 0; i < kTargets; ++i)
            sales.sellUnit(party, first + i, 1200, 300, 3, QStringLiteral("2025-03-01"), 1);
    }
    return 0;
}

} // namespace

class TestConcurrentWriters : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_t = std::make_unique<TestDatabase>(); }
    void cleanup() { m_t.reset(); }

    void regressionInvoicePaidTwiceByTwoWriters()
    {
        Database* db = m_t->db();
        const int tenant = db->execInsert("INSERT INTO tenants (full_name, balance) VALUES (?, ?)",
                                          {QStringLiteral("خالد يوسف"), 100.0 * kTargets});
        int first = 0;
        {
            TransactionGuard tx(db);
            for (int i = 0; i < kTargets; ++i) {
                const int id = db->execInsert(
                    "INSERT INTO invoices (invoice_number, tenant_id, period, total_amount, "
                    "balance, status, currency_id) VALUES (?, ?, '2025-03', 100, 100, "
                    "'pending', 1)",
                    {QStringLiteral("INV-RACE-%1").arg(i), tenant});
                QVERIFY(id > 0);
                if (i == 0)
                    first = id;
            }
            QVERIFY(tx.commit());
        }

        race("pay", first, {tenant, tenant});

        // 60 + 60 exceeds every total of 100: exactly one payment each.
        QCOMPARE(m_t->value("SELECT COUNT(*) FROM payments").toInt(), kTargets);
        QCOMPARE(m_t->value("SELECT COUNT(*) FROM invoices WHERE paid_amount > total_amount "
                            "OR balance < 0")
                     .toInt(),
                 0);
        QCOMPARE(m_t->value("SELECT COUNT(*) FROM invoices i WHERE paid_amount != (SELECT "
                            "COALESCE(SUM(amount),0) FROM payments WHERE invoice_id=i.id)")
                     .toInt(),
                 0);
        QCOMPARE(m_t->value("SELECT balance FROM tenants WHERE id=?", {tenant}).toDouble(),
                 m_t->value("SELECT SUM(balance) FROM invoices").toDouble());
    }

    void regressionUnitSoldToTwoBuyers()
    {
        Database* db = m_t->db();
        const int first = m_t->value("SELECT COALESCE(MAX(id),0)+1 FROM units").toInt();
        {
            TransactionGuard tx(db);
            const int property =
                db->execInsert("INSERT INTO properties (name) VALUES (?)", {"برج السباق"});
            for (int i = 0; i < kTargets; ++i) {
                const int unit = db->execInsert(
                    "INSERT INTO units (property_id, unit_number, currency_id) VALUES (?, ?, 1)",
                    {property, QString::number(i)});
                QCOMPARE(unit, first + i);
            }
            QVERIFY(tx.commit());
        }
        const int buyerA = db->execInsert("INSERT INTO buyers (full_name) VALUES ('ريم')");
        const int buyerB = db->execInsert("INSERT INTO buyers (full_name) VALUES ('سامي')");

        race("sell", first, {buyerA, buyerB});

        // Each unit: one buyer, one down payment, three instalments, one audit row.
        QCOMPARE(m_t->value("SELECT COUNT(*) FROM units WHERE status='sold'").toInt(), kTargets);
        QCOMPARE(m_t->value("SELECT COUNT(*) FROM payments").toInt(), kTargets);
        QCOMPARE(m_t->value("SELECT COUNT(*) FROM installments").toInt(), 3 * kTargets);
        QCOMPARE(m_t->value("SELECT COUNT(*) FROM units u WHERE (SELECT COUNT(DISTINCT buyer_id) "
                            "FROM installments WHERE unit_id=u.id) != 1 OR u.buyer_id != (SELECT "
                            "buyer_id FROM installments WHERE unit_id=u.id LIMIT 1)")
                     .toInt(),
                 0);
        QCOMPARE(m_t->value("SELECT COUNT(*) FROM audit_logs WHERE action=?", {"بيع وحدة"}).toInt(),
                 kTargets);
        for (const int buyer : {buyerA, buyerB}) {
            QCOMPARE(m_t->value("SELECT balance FROM buyers WHERE id=?", {buyer}).toDouble(),
                     m_t->value("SELECT COALESCE(SUM(installment_amount),0) FROM installments "
                                "WHERE buyer_id=?",
                                {buyer})
                         .toDouble());
        }
    }

private:
    // Starts one writer per party, lets them go at the same moment and waits
    // for both.
    void race(const char* role, int first, const QList<int>& parties)
    {
        const QString goFile = QDir(m_t->dir()).filePath(QStringLiteral("go"));
        QList<QProcess*> writers;
        for (const int party : parties) {
            auto* writer = new QProcess(this);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QString::fromLatin1(kRoleVariable), QString::fromLatin1(role));
            env.insert(QStringLiteral("SAKANOVA_RACE_DB"), m_t->filePath());
            env.insert(QStringLiteral("SAKANOVA_RACE_GO"), goFile);
            env.insert(QStringLiteral("SAKANOVA_RACE_FIRST"), QString::number(first));
            env.insert(QStringLiteral("SAKANOVA_RACE_PARTY"), QString::number(party));
            env.insert(QStringLiteral("SAKANOVA_RACE_READY"),
                       QDir(m_t->dir()).filePath(QStringLiteral("ready%1").arg(writers.size())));
            writer->setProcessEnvironment(env);
            writer->setProcessChannelMode(QProcess::ForwardedChannels);
            writer->start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(writer->waitForStarted());
            writers << writer;
        }
        // Both have opened the file (schema steps included) before the start.
        for (int i = 0; i < writers.size(); ++i)
            QTRY_VERIFY_WITH_TIMEOUT(
                QFile::exists(QDir(m_t->dir()).filePath(QStringLiteral("ready%1").arg(i))), 30000);
        QFile go(goFile);
        QVERIFY(go.open(QIODevice::WriteOnly));
        go.close();
        for (QProcess* writer : writers) {
            QVERIFY(writer->waitForFinished(120000));
            QCOMPARE(writer->exitStatus(), QProcess::NormalExit);
            QCOMPARE(writer->exitCode(), 0);
            delete writer;
        }
    }

    std::unique_ptr<TestDatabase> m_t;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kRoleVariable))
        return runWriter();
    TestConcurrentWriters test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_concurrentwriters.moc"
