#include "core/Database.h"
#include "finance/AccountModel.h"
#include "finance/BuyerModel.h"
#include "finance/InstallmentModel.h"
#include "rental/InvoiceModel.h"
#include "rental/PaymentModel.h"
#include "rental/PropertyModel.h"
#include "rental/TenantModel.h"
#include "rental/UnitModel.h"

#include <QCoreApplication>
#include <QDate>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>

// A writer process is killed with SIGKILL at random moments while it records
// invoices, payments, sales, instalment collections and journal entries
// through the models; after every kill the file must be intact and the books
// must still balance. SAKANOVA_CRASH_ROUNDS sets the number of kills for a
// long run (the default keeps the suite quick).

namespace {

const char* const kWriterArgument = "--writer";

QVariant firstValue(Database& db, const QString& sql)
{
    return db.scalar(sql);
}

// Child mode: writes until it is killed.
int runWriter(const QString& path, quint32 seed)
{
    Database db;
    if (!db.initialize(path))
        return 2;
    PropertyModel properties(&db);
    TenantModel tenants(&db);
    BuyerModel buyers(&db);
    UnitModel units(&db);
    InvoiceModel invoices(&db);
    PaymentModel payments(&db);
    InstallmentModel installments(&db);
    AccountModel accounts(&db);
    QRandomGenerator random(seed);

    int propertyId = firstValue(db, QStringLiteral("SELECT MIN(id) FROM properties")).toInt();
    if (propertyId < 1)
        propertyId =
            properties.add(QStringLiteral("برج الأمل"), QStringLiteral("residential"),
                           QStringLiteral("شارع الجامعة"), QStringLiteral("نابلس"), QString());
    if (propertyId < 1)
        return 3;
    const int cashAccount =
        firstValue(db, QStringLiteral("SELECT id FROM accounts WHERE code='1100'")).toInt();
    const int rentAccount =
        firstValue(db, QStringLiteral("SELECT id FROM accounts WHERE code='4100'")).toInt();
    const QString today = QDate::currentDate().toString(Qt::ISODate);

    std::printf("ready\n");
    std::fflush(stdout);

    for (;;) {
        const quint64 tag = random.generate64();
        switch (random.bounded(7)) {
        case 0:
            tenants.add(QStringLiteral("مستأجر %1").arg(tag % 100000), QString::number(tag),
                        QStringLiteral("0599%1").arg(tag % 1000000), QString(), QString());
            break;
        case 1: {
            const int tenantId =
                firstValue(db, QStringLiteral("SELECT id FROM tenants ORDER BY RANDOM() LIMIT 1"))
                    .toInt();
            if (tenantId < 1)
                break;
            const QString period = QStringLiteral("%1-%2")
                                       .arg(2000 + random.bounded(100))
                                       .arg(1 + random.bounded(12), 2, 10, QLatin1Char('0'));
            const double rent = 100 + random.bounded(200000) / 100.0;
            invoices.createInvoice(
                tenantId, 0, period,
                {QVariantMap{{QStringLiteral("description"), QStringLiteral("إيجار")},
                             {QStringLiteral("type"), QStringLiteral("rent")},
                             {QStringLiteral("quantity"), 1},
                             {QStringLiteral("unit_price"), rent},
                             {QStringLiteral("total"), rent}},
                 QVariantMap{{QStringLiteral("description"), QStringLiteral("مياه")},
                             {QStringLiteral("quantity"), 3},
                             {QStringLiteral("unit_price"), 5.5},
                             {QStringLiteral("total"), 16.5}}},
                1);
            break;
        }
        case 2:
        case 3: {
            const QVariantList open = db.execQuery(
                QStringLiteral("SELECT id, tenant_id, balance FROM invoices WHERE balance > 0 "
                               "AND status != 'void' ORDER BY RANDOM() LIMIT 1"));
            if (open.isEmpty())
                break;
            const QVariantMap invoice = open.first().toMap();
            const double balance = invoice.value(QStringLiteral("balance")).toDouble();
            const double amount =
                random.bounded(2) ? balance : std::max(0.01, std::floor(balance * 50) / 100);
            payments.add(invoice.value(QStringLiteral("id")).toInt(),
                         invoice.value(QStringLiteral("tenant_id")).toInt(), amount,
                         QStringLiteral("cash"), today, QString(), 1);
            break;
        }
        case 4: {
            const int buyerId = buyers.add(QStringLiteral("مشتري %1").arg(tag % 100000),
                                           QStringLiteral("B") + QString::number(tag), QString(),
                                           QString(), QString());
            const int unitId = units.add(propertyId, QStringLiteral("S-%1").arg(tag), 1, 120.5, 3,
                                         0, 0, 250000, 1);
            if (buyerId > 0 && unitId > 0)
                installments.sellUnit(buyerId, unitId, 240000.75, 40000, 1 + random.bounded(36),
                                      today, 1, QString::number(1000 + random.bounded(9000)),
                                      QStringLiteral("بنك فلسطين"));
            break;
        }
        case 5: {
            const QVariantList due = db.execQuery(QStringLiteral(
                "SELECT id, installment_amount - paid_amount AS owed FROM installments WHERE "
                "status != 'paid' ORDER BY RANDOM() LIMIT 1"));
            if (due.isEmpty())
                break;
            const QVariantMap row = due.first().toMap();
            const double owed = row.value(QStringLiteral("owed")).toDouble();
            installments.payInstallment(
                row.value(QStringLiteral("id")).toInt(),
                random.bounded(2) ? owed : std::max(0.01, std::floor(owed * 30) / 100));
            break;
        }
        default: {
            const double amount = 1 + random.bounded(500000) / 100.0;
            const double part = std::floor(amount * 40) / 100;
            accounts.createJournalEntry(today, QStringLiteral("قيد تحصيل"),
                                        QStringLiteral("manual"), 0,
                                        {QVariantMap{{QStringLiteral("account_id"), cashAccount},
                                                     {QStringLiteral("debit"), amount},
                                                     {QStringLiteral("credit"), 0}},
                                         QVariantMap{{QStringLiteral("account_id"), rentAccount},
                                                     {QStringLiteral("debit"), 0},
                                                     {QStringLiteral("credit"), part}},
                                         QVariantMap{{QStringLiteral("account_id"), rentAccount},
                                                     {QStringLiteral("debit"), 0},
                                                     {QStringLiteral("credit"), amount - part}}});
            break;
        }
        }
    }
}

} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT

private slots:
    void killedWriterLeavesIntactBalancedBooks()
    {
        bool ok = false;
        int rounds = qEnvironmentVariableIntValue("SAKANOVA_CRASH_ROUNDS", &ok);
        if (!ok || rounds < 1)
            rounds = 6;

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sakanova.db"));
        int killedWhileWriting = 0;
        for (int round = 0; round < rounds; ++round) {
            const quint32 seed = QRandomGenerator::global()->generate();
            const int delayMs = 20 + QRandomGenerator::global()->bounded(400);
            const QString context = QStringLiteral("round %1, seed %2, kill after %3 ms")
                                        .arg(round)
                                        .arg(seed)
                                        .arg(delayMs);

            QProcess writer;
            writer.start(QCoreApplication::applicationFilePath(),
                         {QString::fromLatin1(kWriterArgument), path, QString::number(seed)});
            QVERIFY2(writer.waitForStarted(), qPrintable(context));
            QVERIFY2(writer.waitForReadyRead(20000), qPrintable(context));
            QCOMPARE(writer.readLine().trimmed(), QByteArray("ready"));
            QThread::msleep(static_cast<unsigned long>(delayMs));
            QVERIFY2(writer.state() == QProcess::Running,
                     qPrintable(context + QLatin1Char(' ') +
                                QString::fromUtf8(writer.readAllStandardError())));
            ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
            QVERIFY(writer.waitForFinished(10000));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
            ++killedWhileWriting;

            checkBooks(path, context);
            if (QTest::currentTestFailed())
                return;
        }
        QCOMPARE(killedWhileWriting, rounds);

        // The kills interrupted real work of every kind, not an idle process.
        Database db;
        QVERIFY(db.initialize(path));
        for (const char* table : {"invoices", "payments", "installments", "journal_entries"}) {
            const int rows =
                db.scalar(QStringLiteral("SELECT COUNT(*) FROM ") + QLatin1String(table)).toInt();
            QVERIFY2(rows > 0, table);
        }
    }

private:
    // Opens the file as the next start of the program would and checks it.
    static void checkBooks(const QString& path, const QString& context)
    {
        Database db;
        QVERIFY2(db.initialize(path), qPrintable(context));
        QCOMPARE(db.scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));
        QVERIFY2(db.execQuery(QStringLiteral("PRAGMA foreign_key_check")).isEmpty(),
                 qPrintable(context));

        struct Invariant
        {
            const char* name;
            const char* sql; // counts the rows that break it
        };
        const Invariant invariants[] = {
            {"invoice paid equals its payments",
             "SELECT COUNT(*) FROM invoices i WHERE status != 'void' AND ABS(paid_amount - "
             "COALESCE((SELECT SUM(amount) FROM payments p WHERE p.invoice_id = i.id), 0)) > "
             "0.005"},
            {"invoice balance equals total less paid",
             "SELECT COUNT(*) FROM invoices WHERE status != 'void' AND "
             "ABS(balance - (total_amount - paid_amount)) > 0.005"},
            {"invoice total equals its lines",
             "SELECT COUNT(*) FROM invoices i WHERE ABS(total_amount - COALESCE((SELECT "
             "SUM(total) FROM invoice_items it WHERE it.invoice_id = i.id), 0)) > 0.005"},
            {"tenant balance equals open invoice balances",
             "SELECT COUNT(*) FROM tenants t WHERE ABS(balance - COALESCE((SELECT SUM(balance) "
             "FROM invoices i WHERE i.tenant_id = t.id AND status != 'void'), 0)) > 0.005"},
            {"buyer balance equals unpaid instalments",
             "SELECT COUNT(*) FROM buyers b WHERE ABS(balance - COALESCE((SELECT "
             "SUM(installment_amount - paid_amount) FROM installments s WHERE s.buyer_id = "
             "b.id), 0)) > 0.005"},
            {"every sold unit has its buyer and schedule",
             "SELECT COUNT(*) FROM units u WHERE status = 'sold' AND (buyer_id IS NULL OR NOT "
             "EXISTS (SELECT 1 FROM installments s WHERE s.unit_id = u.id))"},
            {"journal entries balance",
             "SELECT COUNT(*) FROM (SELECT entry_id FROM journal_lines GROUP BY entry_id "
             "HAVING ABS(SUM(debit) - SUM(credit)) > 0.01)"},
            {"no journal entry without lines",
             "SELECT COUNT(*) FROM journal_entries e WHERE NOT EXISTS (SELECT 1 FROM "
             "journal_lines l WHERE l.entry_id = e.id)"},
            {"receivables equal open invoices and unpaid instalments",
             "SELECT ABS((SELECT TOTAL(balance) FROM accounts WHERE code = '1200') - (SELECT "
             "TOTAL(balance) FROM invoices WHERE status != 'void') - (SELECT "
             "TOTAL(installment_amount - paid_amount) FROM installments)) > 0.01"},
            {"every payment is posted with it",
             "SELECT COUNT(*) FROM payments p WHERE NOT EXISTS (SELECT 1 FROM journal_entries e "
             "WHERE e.reference_type = 'payment' AND e.reference_id = p.id)"},
            {"every sold unit is posted with it",
             "SELECT COUNT(*) FROM units u WHERE status = 'sold' AND NOT EXISTS (SELECT 1 FROM "
             "journal_entries e WHERE e.reference_type = 'sale' AND e.reference_id = u.id)"},
            {"account balance equals its lines",
             "SELECT COUNT(*) FROM accounts a WHERE ABS(balance - COALESCE((SELECT SUM(debit - "
             "credit) FROM journal_lines l WHERE l.account_id = a.id), 0)) > 0.005"},
        };
        for (const Invariant& invariant : invariants) {
            const QVariant broken = db.scalar(QString::fromLatin1(invariant.sql));
            QVERIFY2(broken.isValid(), invariant.name);
            QVERIFY2(broken.toInt() == 0,
                     qPrintable(context + QStringLiteral(": ") + QLatin1String(invariant.name)));
        }
        const double debits =
            db.scalar(QStringLiteral("SELECT TOTAL(debit) FROM journal_lines")).toDouble();
        const double credits =
            db.scalar(QStringLiteral("SELECT TOTAL(credit) FROM journal_lines")).toDouble();
        QVERIFY2(std::abs(debits - credits) < 0.005, qPrintable(context));
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], kWriterArgument) == 0)
        return runWriter(QString::fromLocal8Bit(argv[2]), QString::fromLatin1(argv[3]).toUInt());
    QStandardPaths::setTestModeEnabled(true);
    TestCrashSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashsafety.moc"
