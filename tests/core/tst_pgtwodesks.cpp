#include "PgCluster.h"

#include "core/ChangeFeed.h"
#include "core/Database.h"
#include "core/TransactionGuard.h"
#include "rental/PaymentModel.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int kTargets = 40;

// The rows a desk needs to take payments and sell units; the currency and
// the accounts are left alone when the server holds them already.
struct Office
{
    int tenant = 0;
    int firstInvoice = 0;
    int lastInvoice = 0;
    int firstUnit = 0;
    int buyers[2] = {0, 0};
};

bool seed(Database* db, Office* office)
{
    TransactionGuard tx(db);
    bool ok = tx.isActive() &&
              db->execNonQuery(QStringLiteral("INSERT INTO currencies (id, code, name_ar, symbol, "
                                              "is_primary, decimals) VALUES (1, 'SAR', 'ريال "
                                              "سعودي', 'ر.س', 1, 2) ON CONFLICT DO NOTHING"));
    const QList<QStringList> accounts = {{"1100", "النقدية", "asset"},
                                         {"1110", "البنك", "asset"},
                                         {"1200", "الذمم المدينة", "asset"},
                                         {"1300", "شيكات برسم التحصيل", "asset"},
                                         {"4300", "إيرادات المبيعات", "revenue"}};
    for (const QStringList& account : accounts)
        ok = ok && db->execNonQuery(QStringLiteral("INSERT INTO accounts (code, name_ar, type, "
                                                   "is_system) VALUES (?, ?, ?, 1) ON CONFLICT "
                                                   "DO NOTHING"),
                                    {account[0], account[1], account[2]});
    office->tenant =
        db->execInsert(QStringLiteral("INSERT INTO tenants (full_name, balance) VALUES (?, ?)"),
                       {QStringLiteral("خالد يوسف"), 100.0 * (kTargets + 1)});
    for (int i = 0; i <= kTargets; ++i) {
        const int id = db->execInsert(
            QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, period, total_amount, "
                           "balance, status, currency_id) VALUES (?, ?, '2026-03', 100, 100, "
                           "'pending', 1)"),
            {QStringLiteral("INV-سباق-%1").arg(i), office->tenant});
        ok = ok && id > 0;
        if (i == 0)
            office->firstInvoice = id;
        office->lastInvoice = id;
    }
    const int property = db->execInsert(QStringLiteral("INSERT INTO properties (name) VALUES (?)"),
                                        {QStringLiteral("برج السباق")});
    for (int i = 0; i < kTargets; ++i) {
        const int id = db->execInsert(
            QStringLiteral("INSERT INTO units (property_id, unit_number, currency_id) VALUES "
                           "(?, ?, 1)"),
            {property, QStringLiteral("و-%1").arg(i)});
        ok = ok && id == (i == 0 ? id : office->firstUnit + i);
        if (i == 0)
            office->firstUnit = id;
    }
    office->buyers[0] = db->execInsert(QStringLiteral("INSERT INTO buyers (full_name) VALUES (?)"),
                                       {QStringLiteral("ريم الأحمد")});
    office->buyers[1] = db->execInsert(QStringLiteral("INSERT INTO buyers (full_name) VALUES (?)"),
                                       {QStringLiteral("سامي النجار")});
    return ok && office->tenant > 0 && property > 0 && office->buyers[0] > 0 &&
           office->buyers[1] > 0 && tx.commit();
}

} // namespace

// Two desks of one office, two programs, on one server: both pay the same
// invoices and sell the same units at the same moment. The write lock keeps
// every check true until its write lands, so no invoice is paid beyond its
// total and no unit is sold twice; and the payments page of a third desk
// shows what another desk committed within a second.
class TestPgTwoDesks : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PgCluster> m_cluster;

    int value(Database* db, const char* sql, const QVariantList& params = {})
    {
        return db->scalar(QString::fromUtf8(sql), params).toInt();
    }

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<PgCluster>();
        QVERIFY2(m_cluster->isRunning(), qPrintable(m_cluster->errorText()));
    }

    void cleanupTestCase() { m_cluster.reset(); }

    void racingDesksNeverOverpayNorSellTwiceAndSeeEachOther()
    {
        const DatabaseSettings settings = m_cluster->newDatabase();
        Database db;
        QVERIFY2(db.initialize(settings), qPrintable(db.initErrorText()));
        Office office;
        QVERIFY(seed(&db, &office));

        // This desk's payments page: on the other desks' word its model
        // announces a change and the page reads its rows again.
        ChangeFeed feed(&db);
        PaymentModel payments(&db);
        QVariantList shown = payments.getAll();
        QVERIFY(shown.isEmpty());
        qint64 refreshedAt = 0;
        int refreshes = 0;
        QObject::connect(&payments, &PaymentModel::dataChanged, &payments, [&] {
            shown = payments.getAll();
            refreshedAt = QDateTime::currentMSecsSinceEpoch();
            ++refreshes;
        });
        feed.follow({QStringLiteral("payments")}, &payments,
                    [&payments] { emit payments.dataChanged(); });
        QVERIFY(feed.subscribe());

        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString go = folder.filePath(QStringLiteral("go"));
        const QString goLast = folder.filePath(QStringLiteral("go-last"));
        QList<QProcess*> desks;
        for (int d = 0; d < 2; ++d) {
            auto* desk = new QProcess(this);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("SAKANOVA_DESK_HOST"), settings.host);
            env.insert(QStringLiteral("SAKANOVA_DESK_PORT"), QString::number(settings.port));
            env.insert(QStringLiteral("SAKANOVA_DESK_DATABASE"), settings.database);
            env.insert(QStringLiteral("SAKANOVA_DESK_READY"),
                       folder.filePath(QStringLiteral("ready%1").arg(d)));
            env.insert(QStringLiteral("SAKANOVA_DESK_GO"), go);
            env.insert(QStringLiteral("SAKANOVA_DESK_GO_LAST"), goLast);
            env.insert(QStringLiteral("SAKANOVA_DESK_FIRST_INVOICE"),
                       QString::number(office.firstInvoice));
            env.insert(QStringLiteral("SAKANOVA_DESK_FIRST_UNIT"),
                       QString::number(office.firstUnit));
            env.insert(QStringLiteral("SAKANOVA_DESK_TENANT"), QString::number(office.tenant));
            env.insert(QStringLiteral("SAKANOVA_DESK_BUYER"), QString::number(office.buyers[d]));
            env.insert(QStringLiteral("SAKANOVA_DESK_COUNT"), QString::number(kTargets));
            if (d == 0)
                env.insert(QStringLiteral("SAKANOVA_DESK_LAST_INVOICE"),
                           QString::number(office.lastInvoice));
            desk->setProcessEnvironment(env);
            desk->setProcessChannelMode(QProcess::SeparateChannels);
            desk->setReadChannel(QProcess::StandardOutput);
            desk->start(QStringLiteral(SAKANOVA_TEST_DESK), {});
            QVERIFY(desk->waitForStarted());
            desks << desk;
        }
        const auto cleanup = qScopeGuard([&] {
            QFile::copy(go, goLast);
            for (QProcess* desk : desks) {
                if (!desk->waitForFinished(5000))
                    desk->kill();
                desk->waitForFinished();
            }
            qDeleteAll(desks);
        });
        for (int d = 0; d < 2; ++d)
            QTRY_VERIFY_WITH_TIMEOUT(
                QFile::exists(folder.filePath(QStringLiteral("ready%1").arg(d))), 60000);
        {
            QFile file(go);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }

        // What each desk says it managed, read as it comes.
        QHash<QString, qint64> managed[2];
        const auto readDesk = [&](int d) {
            while (desks[d]->canReadLine()) {
                const QString line = QString::fromUtf8(desks[d]->readLine()).trimmed();
                if (line.startsWith(QLatin1String("reason ")))
                    qWarning("desk %d: %s", d, qPrintable(line));
                const int space = line.indexOf(QLatin1Char(' '));
                if (space > 0)
                    managed[d].insert(line.left(space), line.mid(space + 1).toLongLong());
            }
            return managed[d].contains(QStringLiteral("sold"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(readDesk(0) && readDesk(1), 120000);
        QVERIFY2(!managed[0].contains("reason") && !managed[1].contains("reason"),
                 "a desk was refused for another reason than losing the race");

        // Each invoice was paid by exactly one desk, each unit sold by one.
        QCOMPARE(managed[0]["paid"] + managed[1]["paid"], kTargets);
        QCOMPARE(managed[0]["sold"] + managed[1]["sold"], kTargets);
        QCOMPARE(value(&db, "SELECT COUNT(*) FROM payments WHERE invoice_id IS NOT NULL"),
                 kTargets);
        QCOMPARE(value(&db, "SELECT COUNT(*) FROM invoices WHERE paid_amount > total_amount OR "
                            "balance < 0"),
                 0);
        QCOMPARE(value(&db, "SELECT COUNT(*) FROM invoices i WHERE paid_amount <> (SELECT "
                            "COALESCE(SUM(amount), 0) FROM payments WHERE invoice_id = i.id)"),
                 0);
        QCOMPARE(value(&db, "SELECT COUNT(*) FROM units WHERE status = 'sold'"), kTargets);
        QCOMPARE(value(&db, "SELECT COUNT(*) FROM installments"), 3 * kTargets);
        QCOMPARE(value(&db, "SELECT COUNT(*) FROM payments WHERE buyer_id IS NOT NULL"), kTargets);
        QCOMPARE(value(&db, "SELECT COUNT(*) FROM units u WHERE (SELECT COUNT(DISTINCT buyer_id) "
                            "FROM installments WHERE unit_id = u.id) <> 1 OR u.buyer_id <> (SELECT "
                            "MIN(buyer_id) FROM installments WHERE unit_id = u.id)"),
                 0);
        QCOMPARE(value(&db, "SELECT COUNT(*) FROM journal_entries WHERE reference_type = 'sale'"),
                 kTargets);

        // The race itself reached this desk's page.
        QTRY_VERIFY_WITH_TIMEOUT(refreshes > 0, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 2 * kTargets, 5000);

        // One more payment on one desk shows here within a second.
        QTest::qWait(2 * ChangeFeed::kGatherMs);
        refreshes = 0;
        {
            QFile file(goLast);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QTRY_VERIFY_WITH_TIMEOUT((readDesk(0), managed[0].contains("committed")), 30000);
        const qint64 committedAt = managed[0].value("committed");
        QVERIFY2(committedAt > 0, "the last payment was refused");
        QTRY_VERIFY_WITH_TIMEOUT(refreshes > 0, 5000);
        const qint64 latency = refreshedAt - committedAt;
        qInfo("a commit on the other desk refreshed this one's page after %lld ms", latency);
        QVERIFY2(latency < 1000, qPrintable(QString::number(latency)));
        QCOMPARE(shown.size(), 2 * kTargets + 1);
    }
};

QTEST_GUILESS_MAIN(TestPgTwoDesks)
#include "tst_pgtwodesks.moc"
