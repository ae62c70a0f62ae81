// How long the window's thread is held by the work issue-sized offices make
// heavy: a backup, typing an invoice number and a tenant's name into the
// invoices and payments searches (checking the final list against the
// tables), and the list refresh after a payment. Each is run the way the window used to run
// it (everything on the calling thread) and the way it runs now (copy,
// counts and totals on their own threads, the search once per pause), and
// the longest stretch the event loop was kept from its events is printed.
//
//   sakanova-window-benchmark --db /tmp/office.db
//
// The file is worked on in place (a backup folder is made beside it), so
// give it a copy.

#include "admin/BackupManager.h"
#include "app/ThreadHoldMeter.h"
#include "core/Database.h"
#include "core/Desktop.h"
#include "core/ListReader.h"
#include "core/SqlListModel.h"
#include "rental/RentalLists.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

class NoDesktop : public Desktop
{
public:
    QString chooseFolder(const QString&, const QString&) override { return {}; }
    QString chooseFileToOpen(const QString&, const QString&, const QString&) override { return {}; }
    QString chooseFileToSave(const QString&, const QString&, const QString&) override { return {}; }
    bool openPath(const QString&) override { return true; }
    QString documentsFolder() const override { return QDir::tempPath(); }
    QString exportFolder() const override { return QDir::tempPath(); }
    void restartApplication() override {}
};

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

// Runs the event loop until `done` holds (or a minute passes); the longest
// hold of the thread meanwhile, `before` included.
double holdWhile(qint64 beforeNs, const std::function<bool()>& done)
{
    ThreadHoldMeter meter;
    QElapsedTimer limit;
    limit.start();
    // A tick keeps the loop waking, as the window's painting does.
    QTimer tick;
    tick.start(5);
    while (!done() && limit.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return qMax(ms(beforeNs), ms(meter.longestNs()));
}

void line(const char* what, double before, double after)
{
    std::printf("%-52s before %9.1f ms   after %9.1f ms\n", what, before, after);
    std::fflush(stdout);
}

// Typing `text` into a list's search. Before: every key reloads the list and
// counts it at once. After: the list searches once, when typing pauses, and
// counts on the reader's thread. `check` (when given) counts and sums the
// rows the search should find, straight from the tables, with every "?"
// bound to the text as a LIKE pattern; the list's count and `totalKey` sum
// must agree with it.
void typing(Database& db, ListReader& reader, const SqlListModel::Definition& definition,
            const QString& text, const char* label, const QString& check = QString(),
            const QString& totalKey = QString())
{
    double before = 0;
    {
        SqlListModel list(&db, definition);
        list.fetchMore(QModelIndex());
        list.totalCount();
        for (int i = 1; i <= text.size(); ++i) {
            QElapsedTimer key;
            key.start();
            list.setSearchText(text.left(i));
            list.totalCount();
            before = qMax(before, ms(key.nsecsElapsed()));
        }
    }
    SqlListModel list(&db, definition);
    list.setReader(&reader);
    list.fetchMore(QModelIndex());
    holdWhile(0, [&] { return !list.totalsPending(); });
    QElapsedTimer settle;
    settle.start();
    list.setSearchText(text);
    const qint64 first = settle.nsecsElapsed();
    const double after = holdWhile(first, [&] { return !list.totalsPending(); });
    line(label, before, after);
    std::printf("    %d rows found, first screen %d rows\n", list.totalCount(), list.count());
    if (check.isEmpty())
        return;
    const QString pattern = QLatin1Char('%') + text + QLatin1Char('%');
    const QVariantList expected =
        db.execQuery(check, QVariantList(check.count(QLatin1Char('?')), pattern));
    const QVariantMap want = expected.value(0).toMap();
    const int wantCount = want.value(QStringLiteral("n")).toInt();
    const double wantSum = want.value(QStringLiteral("total")).toDouble();
    const double gotSum = list.totals().value(totalKey).toDouble();
    const bool right = list.totalCount() == wantCount && std::abs(gotSum - wantSum) < 0.005 &&
                       list.count() == std::min(wantCount, list.count()) &&
                       (wantCount == 0 || list.count() > 0);
    std::printf("    final list %s: %d rows, %s %.2f (read straight: %d rows, %.2f)\n",
                right ? "right" : "WRONG", list.totalCount(), qPrintable(totalKey), gotSum,
                wantCount, wantSum);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption(
        {QStringLiteral("db"), QStringLiteral("office file (a copy)"), QStringLiteral("path")});
    parser.process(app);
    const QString path = QFileInfo(parser.value(QStringLiteral("db"))).absoluteFilePath();
    if (!QFileInfo::exists(path)) {
        std::fprintf(stderr, "--db must name an office file\n");
        return 2;
    }
    QElapsedTimer opening;
    opening.start();
    Database db;
    if (!db.initialize(path)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return 1;
    }
    std::printf("opened in %.0f ms (%.0f MB)\n", double(opening.elapsed()),
                double(QFileInfo(path).size()) / 1e6);

    // The backup: the window's thread used to copy and check it.
    const QString folder = QFileInfo(path).absolutePath() + QStringLiteral("/window-bench-backups");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    {
        const QString dataDir = QFileInfo(path).absolutePath() + QStringLiteral("/window-bench");
        QDir().mkpath(dataDir);
        QFile::remove(dataDir + QStringLiteral("/sakanova.db"));
        QFile::link(path, dataDir + QStringLiteral("/sakanova.db"));
        NoDesktop desktop;
        BackupManager backups(dataDir, &db, &desktop);
        backups.setBackupPath(folder);
        QElapsedTimer sync;
        sync.start();
        if (!backups.createBackup())
            std::printf("backup failed: %s\n", qPrintable(backups.lastError()));
        const double before = ms(sync.nsecsElapsed());
        QThread::sleep(1); // the next backup's name is a second later
        QElapsedTimer start;
        start.start();
        const bool started = backups.startBackup();
        const qint64 startNs = start.nsecsElapsed();
        const double after =
            started ? holdWhile(startNs, [&] { return !backups.backupRunning(); }) : -1;
        line("backup (copy and check)", before, after);
        std::printf(
            "    started backup %s: %s\n", started ? "ran" : "refused",
            qPrintable(backups.lastError().isEmpty() ? QStringLiteral("ok") : backups.lastError()));
        QDir(folder).removeRecursively();
        QDir(dataDir).removeRecursively();
    }

    ListReader reader(path);
    typing(db, reader, RentalLists::invoices(), QStringLiteral("INV-202611-0042"),
           "typing INV-202611-0042 into the invoices search");
    typing(db, reader, RentalLists::payments(), QStringLiteral("INV-202611-0042"),
           "typing INV-202611-0042 into the payments search");

    // A tenant's name: found through the tenants, not the lists' own text.
    const QString name = db.scalar(QStringLiteral("SELECT t.full_name FROM tenants t WHERE "
                                                  "EXISTS (SELECT 1 FROM invoices i WHERE "
                                                  "i.tenant_id=t.id) ORDER BY t.id LIMIT 1 "
                                                  "OFFSET 100"))
                             .toString();
    std::printf("tenant name typed: %s\n", qPrintable(name));
    typing(db, reader, RentalLists::invoices(), name,
           "typing a tenant name into the invoices search",
           QStringLiteral(
               "SELECT COUNT(*) AS n, TOTAL(i.balance) AS total FROM invoices i WHERE "
               "i.invoice_number LIKE ? OR i.period LIKE ? OR i.tenant_id IN (SELECT id FROM "
               "tenants WHERE full_name LIKE ?) OR i.unit_id IN (SELECT id FROM units WHERE "
               "unit_number LIKE ?) OR i.unit_id IN (SELECT u.id FROM units u JOIN properties p "
               "ON u.property_id=p.id WHERE p.name LIKE ?)"),
           QStringLiteral("balance"));
    typing(db, reader, RentalLists::payments(), name,
           "typing a tenant name into the payments search",
           QStringLiteral(
               "SELECT COUNT(*) AS n, TOTAL(p.amount) AS total FROM payments p WHERE p.reference "
               "LIKE ? OR p.notes LIKE ? OR p.tenant_id IN (SELECT id FROM tenants WHERE "
               "full_name LIKE ?) OR p.buyer_id IN (SELECT id FROM buyers WHERE full_name LIKE "
               "?) OR p.invoice_id IN (SELECT id FROM invoices WHERE invoice_number LIKE ?)"),
           QStringLiteral("amount"));

    // A payment with both lists open: both refresh and recount.
    {
        SqlListModel invoices(&db, RentalLists::invoices());
        SqlListModel payments(&db, RentalLists::payments());
        invoices.fetchMore(QModelIndex());
        payments.fetchMore(QModelIndex());
        invoices.totalCount();
        payments.totalCount();
        QElapsedTimer sync;
        sync.start();
        invoices.refresh();
        payments.refresh();
        invoices.totalCount();
        payments.totalCount();
        const double before = ms(sync.nsecsElapsed());

        invoices.setReader(&reader);
        payments.setReader(&reader);
        holdWhile(0, [&] { return !invoices.totalsPending() && !payments.totalsPending(); });
        QElapsedTimer async;
        async.start();
        invoices.refresh();
        payments.refresh();
        const qint64 refreshNs = async.nsecsElapsed();
        const double after = holdWhile(
            refreshNs, [&] { return !invoices.totalsPending() && !payments.totalsPending(); });
        line("invoice and payment lists after a payment", before, after);
    }
    return 0;
}
