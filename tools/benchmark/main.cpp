// Times what the pages ask of the back end on a copy of a generated office:
// every list, search, statement and report call (median of several runs)
// beside its floor, the same SQL stepped through the SQLite C API reading
// every column; then the rent run, one payment and one sale; and the peak
// memory while every paged list is scrolled to its end.
//
//   sakanova-benchmark --db office.db [--runs 5] [--full-lists] [--only reconcile]
//
// The original file is never written: everything runs on a copy.
//
// The same calls on a PostgreSQL server, the floor then being the same SQL
// sent through libpq on a connection of its own:
//
//   sakanova-benchmark --server HOST --port N --database NAME [--user NAME]
//                      [--move-from office.db] [--compare sqlite-run.txt] [--explain]
//
// --move-from first moves the office in the file into the (empty) server
// database with the application's own move, then stops; the file itself is
// only brought up to date. --compare sets each read beside the same read in
// the printed output of an earlier run (the office's file on SQLite): its
// time, how many times longer, and whether that is within the bar.
// --explain prints under each read the server's planning and running time
// of each of its statements (the same text summed), longest first.

#include "admin/AuditList.h"
#include "admin/AuditManager.h"
#include "admin/OfficeMove.h"
#include "comparison.h"
#include "core/Database.h"
#include "core/FreeMemory.h"
#include "core/LedgerHistory.h"
#include "core/LedgerPosting.h"
#include "core/SqlListModel.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"
#include "finance/AccountModel.h"
#include "finance/BuyerModel.h"
#include "finance/ChequeModel.h"
#include "finance/ExpenseModel.h"
#include "finance/FinanceLists.h"
#include "finance/InstallmentModel.h"
#include "insight/CashCalendar.h"
#include "insight/DashboardController.h"
#include "insight/NotificationController.h"
#include "insight/ReportCalls.h"
#include "insight/ReportController.h"
#include "rental/ContractModel.h"
#include "rental/InvoiceModel.h"
#include "rental/MaintenanceModel.h"
#include "rental/PaymentModel.h"
#include "rental/PropertyModel.h"
#include "rental/RentalLists.h"
#include "rental/TenantModel.h"
#include "rental/UnitModel.h"
#include "serverfloor.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <sqlite3.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace {

QTextStream out(stdout);

double medianOf(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

long statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Lets the peak resident size start again from the current size.
void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

sqlite3* handleOf(Database& db)
{
    const QVariant handle = db.connection().driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(handle.constData());
    return nullptr;
}

class Bench
{
public:
    Bench(Database* db, const QString& path, int runs)
        : m_runs(runs)
        , m_db(db)
    {
        if (db->isPostgres()) {
            m_server = std::make_unique<ServerFloor>(db->settings());
            if (!m_server->isOpen())
                QTextStream(stderr) << "no floor: " << m_server->errorText() << "\n";
            db->traceServerReads([this](const QString& sql, const QVariantList& params) {
                if (m_recording)
                    m_serverStatements.append({sql, params});
            });
            return;
        }
        m_traced = handleOf(*db);
        sqlite3_open_v2(path.toUtf8().constData(), &m_raw, SQLITE_OPEN_READONLY, nullptr);
        // The floor reads with the application's page cache.
        const QByteArray cache = "PRAGMA cache_size=-" + QByteArray::number(Database::kPageCacheKb);
        sqlite3_exec(m_raw, cache.constData(), nullptr, nullptr, nullptr);
    }
    ~Bench()
    {
        m_db->traceServerReads({});
        if (m_raw)
            sqlite3_close(m_raw);
    }

    // The connection the calls run on (null when the driver gives none).
    sqlite3* handle() const { return m_traced; }

    // Only the reads whose name contains `text` are timed (all when empty).
    void only(const QString& text) { m_only = text; }

    // Each read beside the same read of an earlier run.
    void compareWith(Comparison* comparison) { m_comparison = comparison; }
    // On a server, under each read where the server spent the time of each
    // of its statements (planning and running).
    void explainStatements(bool on) { m_explain = on; }

    static void header(const Comparison* comparison = nullptr)
    {
        out << QStringLiteral("| %1 | %2 | %3 | %4 | %5 |")
                   .arg(QStringLiteral("Call"), QStringLiteral("Rows"), QStringLiteral("ms"),
                        QStringLiteral("floor ms"), QStringLiteral("ratio"))
            << (comparison ? Comparison::headerCells() : QString()) << "\n";
        out << "|---|---:|---:|---:|---:|" << (comparison ? Comparison::headerRule() : QString())
            << "\n";
        out.flush();
    }

    // A read: `call` returns the number of rows it produced. The statements it
    // runs are recorded on its first run and replayed raw for the floor.
    void read(const QString& name, const std::function<int()>& call)
    {
        if (!m_only.isEmpty() && !name.contains(m_only))
            return;
        m_statements.clear();
        m_serverStatements.clear();
        if (m_traced)
            sqlite3_trace_v2(m_traced, SQLITE_TRACE_STMT, &Bench::trace, this);
        m_recording = true;
        int rows = call(); // warm-up, and the statements it runs
        m_recording = false;
        if (m_traced)
            sqlite3_trace_v2(m_traced, 0, nullptr, nullptr);

        std::vector<double> times;
        std::vector<double> cpu;
        for (int i = 0; i < m_runs; ++i) {
            QElapsedTimer timer;
            const double cpuBefore = cpuMs();
            timer.start();
            rows = call();
            times.push_back(timer.nsecsElapsed() / 1e6);
            cpu.push_back(cpuMs() - cpuBefore);
        }
        const double ms = medianOf(times);

        double floorMs = 0;
        if (m_server && !m_serverStatements.isEmpty()) {
            if (!m_server->run(m_serverStatements)) // warm-up
                QTextStream(stderr) << name << ": floor failed: " << m_server->errorText() << "\n";
            std::vector<double> floors;
            for (int i = 0; i < m_runs; ++i) {
                QElapsedTimer timer;
                timer.start();
                m_server->run(m_serverStatements);
                floors.push_back(timer.nsecsElapsed() / 1e6);
            }
            floorMs = medianOf(floors);
        } else if (!m_statements.isEmpty()) {
            stepAll(); // warm-up
            std::vector<double> floors;
            for (int i = 0; i < m_runs; ++i) {
                QElapsedTimer timer;
                timer.start();
                stepAll();
                floors.push_back(timer.nsecsElapsed() / 1e6);
            }
            floorMs = medianOf(floors);
        }
        const QString ratio =
            floorMs > 0 ? QString::number(ms / floorMs, 'f', 2) : QStringLiteral("-");
        out << QStringLiteral("| %1 | %2 | %3 (cpu %6) | %4 | %5 |")
                   .arg(name)
                   .arg(rows)
                   .arg(ms, 0, 'f', 2)
                   .arg(floorMs, 0, 'f', 2)
                   .arg(ratio)
                   .arg(medianOf(cpu), 0, 'f', 2)
            << (m_comparison ? m_comparison->cells(name, rows, ms) : QString()) << "\n";
        if (m_server && m_explain)
            explain();
        out.flush();
    }

    // A write, timed once; the processor time beside the wall time shows how
    // much of it was waiting for a shared machine.
    static void write(const QString& name, const std::function<int()>& call)
    {
        QElapsedTimer timer;
        const double cpuBefore = cpuMs();
        timer.start();
        const int result = call();
        const double wall = timer.nsecsElapsed() / 1e6;
        out << QStringLiteral("| %1 | %2 | %3 (cpu %4) | | |\n")
                   .arg(name)
                   .arg(result)
                   .arg(wall, 0, 'f', 2)
                   .arg(cpuMs() - cpuBefore, 0, 'f', 2);
        out.flush();
    }

    static double cpuMs()
    {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
    }

private:
    // The statements of the read just timed, the same text summed, longest
    // first.
    void explain()
    {
        struct Summed
        {
            QString sql;
            int count = 0;
            double planning = 0;
            double execution = 0;
        };
        QList<Summed> summed;
        const QList<ServerFloor::Spent> spent = m_server->explain(m_serverStatements);
        for (int i = 0; i < spent.size(); ++i) {
            const QString& sql = m_serverStatements.at(i).first;
            auto same = std::find_if(summed.begin(), summed.end(),
                                     [&](const Summed& s) { return s.sql == sql; });
            if (same == summed.end())
                same = summed.insert(summed.end(), Summed{sql});
            ++same->count;
            same->planning += spent.at(i).planningMs;
            same->execution += spent.at(i).executionMs;
        }
        std::sort(summed.begin(), summed.end(), [](const Summed& a, const Summed& b) {
            return a.planning + a.execution > b.planning + b.execution;
        });
        for (const Summed& s : std::as_const(summed).mid(0, 8)) {
            out << QStringLiteral("|   %1x plan %2 ms, run %3 ms: %4 | | | | |\n")
                       .arg(s.count)
                       .arg(s.planning, 0, 'f', 2)
                       .arg(s.execution, 0, 'f', 2)
                       .arg(s.sql.simplified().left(400));
        }
    }

    static int trace(unsigned type, void* context, void* statement, void*)
    {
        if (type != SQLITE_TRACE_STMT)
            return 0;
        auto* self = static_cast<Bench*>(context);
        char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(statement));
        if (sql) {
            self->m_statements.append(QByteArray(sql));
            sqlite3_free(sql);
        }
        return 0;
    }

    // Prepares and steps each recorded statement, reading every column as
    // its stored type, which is the least any caller has to do.
    void stepAll()
    {
        for (const QByteArray& sql : std::as_const(m_statements)) {
            sqlite3_stmt* stmt = nullptr;
            if (sqlite3_prepare_v2(m_raw, sql.constData(), int(sql.size()), &stmt, nullptr) !=
                SQLITE_OK)
                continue;
            volatile qint64 sink = 0;
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                const int columns = sqlite3_column_count(stmt);
                for (int c = 0; c < columns; ++c) {
                    switch (sqlite3_column_type(stmt, c)) {
                    case SQLITE_INTEGER:
                        sink = sink + sqlite3_column_int64(stmt, c);
                        break;
                    case SQLITE_FLOAT:
                        sink = sink + qint64(sqlite3_column_double(stmt, c));
                        break;
                    case SQLITE_TEXT:
                    case SQLITE_BLOB:
                        sqlite3_column_text(stmt, c);
                        sink = sink + sqlite3_column_bytes(stmt, c);
                        break;
                    default:
                        break;
                    }
                }
            }
            sqlite3_finalize(stmt);
        }
    }

    int m_runs;
    Database* m_db;
    QString m_only;
    Comparison* m_comparison = nullptr;
    bool m_explain = false;
    std::unique_ptr<ServerFloor> m_server;
    bool m_recording = false;
    QList<ServerFloor::Statement> m_serverStatements;
    sqlite3* m_traced = nullptr;
    sqlite3* m_raw = nullptr;
    QList<QByteArray> m_statements;
};

// With --statements, the time SQLite spent in each statement of a write,
// summed by statement text (triggers count in the statement that fired them),
// printed longest first under the write's own line.
class StatementProfile
{
public:
    explicit StatementProfile(sqlite3* handle)
        : m_handle(handle)
    {}

    void start()
    {
        m_spent.clear();
        if (m_handle)
            sqlite3_trace_v2(m_handle, SQLITE_TRACE_PROFILE, &StatementProfile::profile, this);
    }

    void print(int shown)
    {
        if (!m_handle)
            return;
        sqlite3_trace_v2(m_handle, 0, nullptr, nullptr);
        QList<QPair<QByteArray, Spent>> rows;
        for (auto it = m_spent.cbegin(); it != m_spent.cend(); ++it)
            rows.append({it.key(), it.value()});
        std::sort(rows.begin(), rows.end(),
                  [](const auto& a, const auto& b) { return a.second.ns > b.second.ns; });
        for (int i = 0; i < qMin(shown, int(rows.size())); ++i) {
            out << QStringLiteral("|   %1 ms, %2x: %3 | | | | |\n")
                       .arg(rows.at(i).second.ns / 1e6, 0, 'f', 2)
                       .arg(rows.at(i).second.count)
                       .arg(QString::fromUtf8(rows.at(i).first.left(150)).simplified());
        }
        out.flush();
    }

private:
    struct Spent
    {
        qint64 ns = 0;
        int count = 0;
    };

    static int profile(unsigned type, void* context, void* statement, void* elapsed)
    {
        if (type != SQLITE_TRACE_PROFILE)
            return 0;
        auto* self = static_cast<StatementProfile*>(context);
        Spent& spent =
            self->m_spent[QByteArray(sqlite3_sql(static_cast<sqlite3_stmt*>(statement)))];
        spent.ns += *static_cast<qint64*>(elapsed);
        ++spent.count;
        return 0;
    }

    sqlite3* m_handle;
    QHash<QByteArray, Spent> m_spent;
};

struct Lists
{
    QString name;
    std::unique_ptr<SqlListModel> model;
    std::unique_ptr<SqlListModel> searched; // with a typical search typed on the page
    std::unique_ptr<SqlListModel> filtered; // with a typical filter chosen on the page
};

// The first screenful as a ListView asks for it: the page, its count and
// totals, and every role of the rows on screen.
int firstScreen(SqlListModel& list)
{
    list.reload();
    const int shown = qMin(list.count(), 30);
    const QList<int> roles = list.roleNames().keys();
    for (int row = 0; row < shown; ++row) {
        for (int role : roles)
            list.data(list.index(row), role);
    }
    return list.count();
}

QVariant scalar(Database& db, const char* sql)
{
    return db.scalar(QString::fromUtf8(sql));
}

// Payments after the first (whose statements are prepared for the first
// time), each settling another open invoice, beside the same posting made
// again on its own inside a transaction: what the posting adds to a
// payment. Medians of `runs`.
void paymentShare(Database& db, PaymentModel& payments, int runs)
{
    const QVariantList open = db.execQuery(
        QStringLiteral("SELECT id, tenant_id, balance FROM invoices WHERE status='pending' AND "
                       "balance>0 AND currency_id=1 ORDER BY id DESC LIMIT ?"),
        {runs});
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    std::vector<double> paid, paidCpu, posted, postedCpu;
    const auto timed = [](std::vector<double>& wall, std::vector<double>& cpu,
                          const std::function<bool()>& call) {
        QElapsedTimer timer;
        const double cpuBefore = Bench::cpuMs();
        timer.start();
        const bool ok = call();
        wall.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back(Bench::cpuMs() - cpuBefore);
        return ok;
    };
    int lastPayment = 0;
    int failures = 0;
    for (const QVariant& value : open) {
        const QVariantMap invoice = value.toMap();
        const double amount = invoice.value(QStringLiteral("balance")).toDouble();
        if (!timed(paid, paidCpu, [&] {
                lastPayment =
                    payments.add(invoice.value(QStringLiteral("id")).toInt(),
                                 invoice.value(QStringLiteral("tenant_id")).toInt(), amount,
                                 QStringLiteral("cash"), today, QStringLiteral("BENCH-2"), 1);
                return lastPayment > 0;
            }))
            ++failures;
        // The entry the payment posted, written again on its own.
        LedgerPosting::Entry entry;
        entry.date = today;
        entry.description = QStringLiteral("دفعة BENCH-2");
        entry.referenceType = QStringLiteral("payment");
        entry.referenceId = lastPayment;
        entry.currencyId = 1;
        entry.lines = {{QStringLiteral("1100"), 0, amount, 0, {}},
                       {QStringLiteral("1200"), 0, 0, amount, {}}};
        // Inside a transaction, as in the payment; the commit is left out:
        // the payment commits once either way. Rolled back, so the books the
        // later writes run on still balance (the payment posted it already).
        TransactionGuard tx(&db);
        if (!timed(posted, postedCpu, [&] { return LedgerPosting(&db).post(entry) > 0; }))
            ++failures;
    }
    const double payment = medianOf(paid);
    const double paymentCpu = medianOf(paidCpu);
    const double posting = medianOf(posted);
    const double postingCpu = medianOf(postedCpu);
    out << QStringLiteral("| PaymentModel::add, later payments (median of %1%2) | | %3 (cpu %4) "
                          "| | |\n")
               .arg(paid.size())
               .arg(failures ? QStringLiteral(", %1 FAILED").arg(failures) : QString())
               .arg(payment, 0, 'f', 3)
               .arg(paymentCpu, 0, 'f', 3);
    out << QStringLiteral("| its posting alone, inside a transaction | | %1 (cpu %2) | | |\n")
               .arg(posting, 0, 'f', 3)
               .arg(postingCpu, 0, 'f', 3);
    out << QStringLiteral("| what the posting adds to a payment | | %1 % (cpu %2 %) | | |\n")
               .arg(100 * posting / qMax(0.001, payment - posting), 0, 'f', 1)
               .arg(100 * postingCpu / qMax(0.001, paymentCpu - postingCpu), 0, 'f', 1);
    out.flush();
}

// Brings the file up to date, then moves its office to the server with the
// application's own move (one transaction, counts and sums compared).
int moveOffice(const QString& file, const DatabaseSettings& server)
{
    QTextStream err(stderr);
    QElapsedTimer timer;
    timer.start();
    {
        Database source;
        if (!source.initialize(file) || !source.checkpointAndClose()) {
            err << "cannot bring the file up to date: " << source.initErrorText() << "\n";
            return 1;
        }
    }
    out << "File brought up to date in " << timer.restart() << " ms\n";
    out.flush();
    Database target;
    if (!target.initialize(server)) {
        err << "cannot open the server: " << target.initErrorText() << "\n";
        return 1;
    }
    const QString reason =
        OfficeMove::run(file, &target, [&](int done, int total, const QString& table) {
            out << "  moved " << table << " (" << done << "/" << total << ") at " << timer.elapsed()
                << " ms\n";
            out.flush();
        });
    if (!reason.isEmpty()) {
        err << "the move failed: " << reason << "\n";
        return 1;
    }
    out << "Office moved in " << timer.elapsed() << " ms\n";
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // As the program itself sets its allocator at start.
    FreeMemory::reuseFreedHeap();
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times the back end on a generated office."));
    parser.addHelpOption();
    const QCommandLineOption dbOption(QStringLiteral("db"), QStringLiteral("Generated database."),
                                      QStringLiteral("path"));
    const QCommandLineOption runsOption(QStringLiteral("runs"),
                                        QStringLiteral("Timed runs per call (median)."),
                                        QStringLiteral("n"), QStringLiteral("5"));
    const QCommandLineOption scrollOption(
        QStringLiteral("scroll-only"),
        QStringLiteral("Only scroll every paged list to its end and report the peak memory."));
    const QCommandLineOption fullOption(
        QStringLiteral("full-lists"),
        QStringLiteral("Also time the unpaged getAll calls of the long lists (slow, large)."));
    const QCommandLineOption writesOption(
        QStringLiteral("writes-only"),
        QStringLiteral("Only post the file's history and time the writes."));
    const QCommandLineOption inPlaceOption(
        QStringLiteral("in-place"),
        QStringLiteral("Work on the given file itself, not on a copy (for a copy made "
                       "beforehand, e.g. one whose history is already posted)."));
    const QCommandLineOption postOnlyOption(
        QStringLiteral("post-only"),
        QStringLiteral("Only post the office's history (on a server too), then stop."));
    const QCommandLineOption onlyOption(
        QStringLiteral("only"),
        QStringLiteral("Only time the reads whose name contains the text (e.g. reconcile), "
                       "then stop."),
        QStringLiteral("text"));
    const QCommandLineOption statementsOption(
        QStringLiteral("statements"),
        QStringLiteral("Under each write, the n statements it spent longest in."),
        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption registerOption(
        QStringLiteral("register-cheques"),
        QStringLiteral("After the history, register the cheques of instalments and of payments "
                       "as the first start does (one by one: slow on a large office)."));
    const QCommandLineOption serverOption(
        QStringLiteral("server"),
        QStringLiteral("Run on a PostgreSQL server instead: its host or socket folder."),
        QStringLiteral("host"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Server port."),
                                        QStringLiteral("n"), QStringLiteral("5432"));
    const QCommandLineOption databaseOption(
        QStringLiteral("database"), QStringLiteral("Server database."), QStringLiteral("name"));
    const QCommandLineOption userOption(QStringLiteral("user"), QStringLiteral("Server user."),
                                        QStringLiteral("name"));
    const QCommandLineOption moveOption(
        QStringLiteral("move-from"),
        QStringLiteral("Move the office in this SQLite file to the empty server database, "
                       "then stop."),
        QStringLiteral("path"));
    const QCommandLineOption qtSqlOption(
        QStringLiteral("qtsql-reads"),
        QStringLiteral("On the server, read through QtSql as the writes go instead of through "
                       "the kept statements."));
    const QCommandLineOption readsOption(
        QStringLiteral("reads-only"),
        QStringLiteral("Only time the reads (lists included), then stop: nothing is written."));
    const QCommandLineOption compareOption(
        QStringLiteral("compare"),
        QStringLiteral("Set each read beside the same read in this saved output of an earlier "
                       "run (e.g. the office's file on SQLite), with the times it took longer "
                       "and whether that is within the bar."),
        QStringLiteral("path"));
    const QCommandLineOption explainOption(
        QStringLiteral("explain"),
        QStringLiteral("On a server, under each read the time the server spent planning and "
                       "running each of its statements."));
    parser.addOptions({dbOption, runsOption, scrollOption, fullOption, writesOption, inPlaceOption,
                       postOnlyOption, onlyOption, statementsOption, registerOption, serverOption,
                       portOption, databaseOption, userOption, moveOption, qtSqlOption, readsOption,
                       compareOption, explainOption});
    parser.process(app);

    QTextStream err(stderr);
    Comparison comparison;
    if (parser.isSet(compareOption)) {
        QString reason;
        if (!comparison.load(parser.value(compareOption), &reason)) {
            err << "cannot compare with " << parser.value(compareOption) << ": " << reason << "\n";
            return 2;
        }
    }
    const bool onServer = parser.isSet(serverOption);
    DatabaseSettings settings;
    QString copy;
    QTemporaryDir dir;
    if (onServer) {
        settings.engine = DatabaseSettings::Engine::PostgreSQL;
        settings.host = parser.value(serverOption);
        settings.port = parser.value(portOption).toInt();
        settings.database = parser.value(databaseOption);
        settings.user = parser.value(userOption);
        if (settings.database.isEmpty()) {
            err << "give --database with --server\n";
            return 2;
        }
    } else {
        const QString source = parser.value(dbOption);
        const bool inPlace = parser.isSet(inPlaceOption);
        copy = inPlace ? source : dir.filePath(QStringLiteral("office.db"));
        if (source.isEmpty() || (!inPlace && !QFile::copy(source, copy))) {
            err << "give --db with a generated database\n";
            return 2;
        }
        settings = DatabaseSettings::sqliteFile(copy);
    }
    const int runs = qMax(1, parser.value(runsOption).toInt());
    const int shown = parser.value(statementsOption).toInt();

    if (onServer && parser.isSet(moveOption))
        return moveOffice(parser.value(moveOption), settings);

    Database db;
    QElapsedTimer opening;
    opening.start();
    if (!db.initialize(settings)) {
        err << "cannot open the database: " << db.initErrorText() << "\n";
        return 1;
    }
    out << "Database opened and brought up to date in " << opening.elapsed() << " ms\n";
    if (parser.isSet(qtSqlOption))
        db.keepServerReads(false);
    // A generated office is written like a file of the version before the
    // ledger was posted: its first start posts every past event. An office
    // on a server was moved there from a file that had posted it, unless
    // --post-only asks for its history (moved from an older file).
    if (!onServer || parser.isSet(postOnlyOption)) {
        StatementProfile profile(handleOf(db));
        if (shown > 0)
            profile.start();
        QElapsedTimer history;
        const double cpuBefore = Bench::cpuMs();
        history.start();
        int steps = 0;
        QString reason;
        const bool posted = LedgerHistory::postPastEvents(
            &db,
            [&](int done, int total) {
                ++steps;
                out << "  history step " << done << "/" << total << " at " << history.elapsed()
                    << " ms\n";
                out.flush();
            },
            &reason);
        out << "Ledger history " << (posted ? "posted" : "FAILED: ") << reason << " in "
            << history.elapsed() << " ms (cpu " << qRound(Bench::cpuMs() - cpuBefore) << " ms, "
            << steps << " progress steps, "
            << scalar(db, "SELECT COUNT(*) FROM journal_entries").toInt() << " entries, "
            << scalar(db, "SELECT COUNT(*) FROM journal_lines").toInt() << " lines)\n";
        if (shown > 0)
            profile.print(shown);
        out << "\n";
    }
    // Then, as the program's first start after the history: cheques kept on
    // instalments and tenant payments by cheque join the register.
    if (parser.isSet(registerOption)) {
        QElapsedTimer registering;
        registering.start();
        InstallmentModel sales(&db);
        ChequeModel backFill(&db);
        const int listed = sales.registerListedCheques();
        const int paid = backFill.registerPaymentCheques();
        out << "Cheques registered at the first start: " << listed << " from instalments, " << paid
            << " from payments, in " << registering.elapsed() << " ms\n\n";
    }
    if (parser.isSet(postOnlyOption))
        return db.checkpointAndClose() ? 0 : 1;

    PropertyModel properties(&db);
    UnitModel units(&db);
    TenantModel tenants(&db);
    ContractModel contracts(&db);
    InvoiceModel invoices(&db);
    PaymentModel payments(&db);
    MaintenanceModel maintenance(&db);
    ExpenseModel expenses(&db);
    AccountModel accounts(&db);
    ChequeModel cheques(&db);
    BuyerModel buyers(&db);
    InstallmentModel installments(&db);
    AuditManager audit(&db);

    // Rows the calls are about: a busy tenant, a property, an invoice, a buyer.
    const int tenantId = scalar(db, "SELECT tenant_id FROM invoices GROUP BY tenant_id "
                                    "ORDER BY COUNT(*) DESC LIMIT 1")
                             .toInt();
    const int propertyId = scalar(db, "SELECT MIN(id) FROM properties").toInt();
    const int invoiceId = scalar(db, "SELECT MAX(id) FROM invoices").toInt();
    const int buyerId = scalar(db, "SELECT MIN(id) FROM buyers").toInt();
    const QString tenantName = scalar(db, "SELECT full_name FROM tenants WHERE id=(SELECT "
                                          "tenant_id FROM invoices ORDER BY id DESC LIMIT 1)")
                                   .toString()
                                   .section(QLatin1Char(' '), 2);

    std::vector<Lists> lists;
    const auto list = [&](const QString& name, SqlListModel::Definition definition,
                          const QString& search, const QVariantMap& filter) {
        // Three copies, so the timed calls only reload.
        Lists l{name, std::make_unique<SqlListModel>(&db, definition),
                std::make_unique<SqlListModel>(&db, definition),
                std::make_unique<SqlListModel>(&db, definition)};
        l.searched->setSearchText(search);
        l.filtered->setFilters(filter);
        lists.push_back(std::move(l));
    };
    const QString lastMonthNumber =
        QStringLiteral("INV-") +
        QDate::currentDate().addMonths(-1).toString(QStringLiteral("yyyyMM")) +
        QStringLiteral("-0042");
    list(QStringLiteral("invoiceList"), RentalLists::invoices(), lastMonthNumber,
         {{QStringLiteral("status"), QStringLiteral("pending")}});
    list(QStringLiteral("paymentList"), RentalLists::payments(), tenantName,
         {{QStringLiteral("tenant_id"), tenantId}});
    list(QStringLiteral("expenseList"), FinanceLists::expenses(), QStringLiteral("كهرباء"),
         {{QStringLiteral("property_id"), propertyId}});
    list(QStringLiteral("chequeList"), FinanceLists::cheques(), QStringLiteral("البنك العربي"),
         {{QStringLiteral("status"), QStringLiteral("pending")}});
    list(QStringLiteral("maintenanceList"), RentalLists::maintenance(), QStringLiteral("المصعد"),
         {{QStringLiteral("status"), QStringLiteral("new")}});
    list(QStringLiteral("contractList"), RentalLists::contracts(), tenantName,
         {{QStringLiteral("status"), QStringLiteral("active")}});
    list(QStringLiteral("installmentList"), FinanceLists::installments(),
         QStringLiteral("بنك القدس"), {{QStringLiteral("buyer_id"), buyerId}});
    list(QStringLiteral("journalList"), FinanceLists::journal(db.engine()), QStringLiteral("صيانة"),
         {{QStringLiteral("reference_type"), QStringLiteral("expense")}});
    list(QStringLiteral("auditList"), AuditList::audit(), QStringLiteral("عملية 4242"),
         {{QStringLiteral("action"), QStringLiteral("payment")}});

    Bench bench(&db, copy, runs);
    bench.only(parser.value(onlyOption));
    bench.explainStatements(parser.isSet(explainOption));
    const Comparison* compared = comparison.isEmpty() ? nullptr : &comparison;
    if (compared)
        bench.compareWith(&comparison);
    const auto rows = [](const QVariantList& result) { return int(result.size()); };
    const bool scrollOnly = parser.isSet(scrollOption);
    const bool writesOnly = parser.isSet(writesOption);
    const bool readsOnly = parser.isSet(onlyOption) || parser.isSet(readsOption);
    if (writesOnly)
        lists.clear();
    if (!scrollOnly && !writesOnly) {
        out << "Reads (median of " << runs << " runs; floor = the same SQL through "
            << (db.isPostgres() ? "libpq, kept prepared" : "the SQLite C API") << ")\n\n";
        Bench::header(compared);
        for (Lists& l : lists) {
            SqlListModel& m = *l.model;
            bench.read(l.name + QStringLiteral(" first screen"), [&m] { return firstScreen(m); });
            bench.read(l.name + QStringLiteral(" count and totals"), [&m] {
                m.reload();
                return m.totalCount();
            });
            bench.read(l.name + QStringLiteral(" next screen"), [&m] {
                m.reload();
                m.fetchMore(QModelIndex());
                return m.count();
            });
            SqlListModel& searched = *l.searched;
            // The page shows the first screen of a search at once; the count
            // of matches follows from the list reader.
            bench.read(l.name + QStringLiteral(" search"),
                       [&searched] { return firstScreen(searched); });
            bench.read(l.name + QStringLiteral(" search count (reader)"), [&searched] {
                searched.reload();
                return searched.totalCount();
            });
            SqlListModel& filtered = *l.filtered;
            bench.read(l.name + QStringLiteral(" filter"), [&filtered] {
                firstScreen(filtered);
                return filtered.totalCount();
            });
        }

        bench.read(QStringLiteral("PropertyModel::getAll (cards)"),
                   [&] { return rows(properties.getAll()); });
        bench.read(QStringLiteral("PropertyModel::getStats"),
                   [&] { return int(!properties.getStats(propertyId).isEmpty()); });
        bench.read(QStringLiteral("UnitModel::getByProperty"),
                   [&] { return rows(units.getByProperty(propertyId)); });
        bench.read(QStringLiteral("UnitModel::getAvailable"),
                   [&] { return rows(units.getAvailable()); });
        bench.read(QStringLiteral("TenantModel::getAll (table)"),
                   [&] { return rows(tenants.getAll()); });
        bench.read(QStringLiteral("TenantModel::search"),
                   [&] { return rows(tenants.search(tenantName)); });
        bench.read(QStringLiteral("TenantModel::getStatement"),
                   [&] { return rows(tenants.getStatement(tenantId)); });
        bench.read(QStringLiteral("InvoiceModel::getItems"),
                   [&] { return rows(invoices.getItems(invoiceId)); });
        bench.read(QStringLiteral("InvoiceModel::getByTenant"),
                   [&] { return rows(invoices.getByTenant(tenantId)); });
        bench.read(QStringLiteral("PaymentModel::getRecent"),
                   [&] { return rows(payments.getRecent(10)); });
        bench.read(QStringLiteral("ContractModel::getExpiring(30)"),
                   [&] { return rows(contracts.getExpiring(30)); });
        bench.read(QStringLiteral("MaintenanceModel::getCount"),
                   [&] { return maintenance.getCount(QStringLiteral("new")); });
        bench.read(QStringLiteral("BuyerModel::getAll"), [&] { return rows(buyers.getAll()); });
        bench.read(QStringLiteral("BuyerModel::getStatement"),
                   [&] { return rows(buyers.getStatement(buyerId)); });
        bench.read(QStringLiteral("InstallmentModel::getByBuyer"),
                   [&] { return rows(installments.getByBuyer(buyerId)); });
        bench.read(QStringLiteral("InstallmentModel::getOverdue"),
                   [&] { return rows(installments.getOverdue()); });
        // The cheques page's boxes, read as the page opens.
        bench.read(QStringLiteral("ChequeModel::getRegisterTotals"),
                   [&] { return int(cheques.getRegisterTotals().size()); });
        // Not a page's data: no page reads every pending cheque at once.
        bench.read(QStringLiteral("ChequeModel::getPending (no page)"),
                   [&] { return rows(cheques.getPending()); });
        CashCalendar calendar(&db);
        bench.read(QStringLiteral("CashCalendar::upcoming(90)"), [&] {
            return rows(calendar.upcoming(90).value(QStringLiteral("currencies")).toList());
        });
        bench.read(QStringLiteral("ExpenseModel::getContractors"),
                   [&] { return rows(expenses.getContractors()); });
        bench.read(QStringLiteral("ExpenseModel::getTotal"),
                   [&] { return int(expenses.getTotal(propertyId) > 0); });
        bench.read(QStringLiteral("AccountModel::getAll"), [&] { return rows(accounts.getAll()); });
        bench.read(QStringLiteral("AccountModel::getBalanceSheet"),
                   [&] { return int(accounts.getBalanceSheet().size()); });
        // The accounting page: trial balance, reconciliation, and the ledger
        // of the busiest account (receivables) at its first, middle and last page.
        bench.read(QStringLiteral("AccountModel::trialBalance (whole history)"),
                   [&] { return rows(accounts.trialBalance().value("rows").toList()); });
        const QString firstOfYear =
            QDate::currentDate().toString(QStringLiteral("yyyy")) + QStringLiteral("-01-01");
        bench.read(QStringLiteral("AccountModel::trialBalance (this year)"), [&] {
            return rows(
                accounts.trialBalance(firstOfYear, QDate::currentDate().toString(Qt::ISODate))
                    .value("rows")
                    .toList());
        });
        bench.read(QStringLiteral("AccountModel::reconcile"),
                   [&] { return rows(accounts.reconcile()); });
        const int receivables = scalar(db, "SELECT id FROM accounts WHERE code='1200'").toInt();
        const int receivableLines =
            accounts.accountLedger(receivables, 0, 50).value("total").toInt();
        for (const auto& at :
             {std::make_pair("first", 0), std::make_pair("middle", receivableLines / 2),
              std::make_pair("last", -1)}) {
            bench.read(
                QStringLiteral("AccountModel::accountLedger 1200 (%1 lines), %2 page")
                    .arg(receivableLines)
                    .arg(QLatin1String(at.first)),
                [&] {
                    return rows(
                        accounts.accountLedger(receivables, at.second, 50).value("rows").toList());
                });
        }
        bench.read(QStringLiteral("AuditManager::getLogs(100)"),
                   [&] { return rows(audit.getLogs(100)); });

        // The dashboard, alerts and reports, with the reports page's default range
        // (this year so far) where a call takes one.
        DashboardController dashboard(&db);
        NotificationController notifications(&db);
        ReportController reports(&db);
        const QString yearStart =
            QDate::currentDate().toString(QStringLiteral("yyyy")) + QStringLiteral("-01-01");
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        const QString year = QDate::currentDate().toString(QStringLiteral("yyyy"));
        const int contractorId =
            scalar(db, "SELECT contractor_id FROM expenses WHERE contractor_id "
                       "IS NOT NULL GROUP BY contractor_id ORDER BY COUNT(*) "
                       "DESC LIMIT 1")
                .toInt();
        const int soldUnitId = scalar(db, "SELECT MIN(id) FROM units WHERE status='sold'").toInt();
        const int projectId =
            scalar(db, "SELECT property_id FROM cost_centers GROUP BY property_id "
                       "ORDER BY COUNT(*) DESC LIMIT 1")
                .toInt();
        const auto map = [](const QVariantMap& result) { return int(result.size()); };
        bench.read(QStringLiteral("DashboardController::getStats"),
                   [&] { return map(dashboard.getStats()); });
        bench.read(QStringLiteral("DashboardController::getRecentPayments"),
                   [&] { return rows(dashboard.getRecentPayments()); });
        bench.read(QStringLiteral("DashboardController::getRecentMaintenance"),
                   [&] { return rows(dashboard.getRecentMaintenance()); });
        bench.read(QStringLiteral("DashboardController::getExpiringContracts"),
                   [&] { return rows(dashboard.getExpiringContracts()); });
        bench.read(QStringLiteral("DashboardController::getOccupancyRate"),
                   [&] { return int(dashboard.getOccupancyRate()); });
        bench.read(QStringLiteral("DashboardController::getCollectionRate"),
                   [&] { return int(dashboard.getCollectionRate()); });
        bench.read(QStringLiteral("DashboardController::getMonthlyRevenue"),
                   [&] { return int(dashboard.getMonthlyRevenue() > 0); });
        bench.read(QStringLiteral("DashboardController::getMonthlyCollections"),
                   [&] { return rows(dashboard.getMonthlyCollections()); });
        // Not a page's data: the dashboard asks for the first 50 of each kind.
        bench.read(QStringLiteral("NotificationController::getActiveAlerts (all; no page)"),
                   [&] { return rows(notifications.getActiveAlerts()); });
        bench.read(QStringLiteral("NotificationController::getAlertCount"),
                   [&] { return notifications.getAlertCount(); });
        // What the dashboard asks for: the first 50 of each kind.
        bench.read(QStringLiteral("NotificationController::getActiveAlerts(50)"),
                   [&] { return rows(notifications.getActiveAlerts(50)); });
        bench.read(QStringLiteral("ReportController::getTenantStatement"),
                   [&] { return rows(reports.getTenantStatement(tenantId)); });
        bench.read(QStringLiteral("ReportController::getTenantStatement (range)"),
                   [&] { return rows(reports.getTenantStatement(tenantId, yearStart, today)); });
        bench.read(QStringLiteral("ReportController::getBuyerStatement"),
                   [&] { return rows(reports.getBuyerStatement(buyerId)); });
        bench.read(QStringLiteral("ReportController::getContractorStatement"),
                   [&] { return rows(reports.getContractorStatement(contractorId)); });
        bench.read(QStringLiteral("ReportController::getChequeReport (range)"),
                   [&] { return rows(reports.getChequeReport(QString(), yearStart, today)); });
        bench.read(QStringLiteral("ReportController::getOverdueInstallments"),
                   [&] { return rows(reports.getOverdueInstallments()); });
        bench.read(QStringLiteral("ReportController::getMonthlyReport"),
                   [&] { return rows(reports.getMonthlyReport(year)); });
        bench.read(QStringLiteral("ReportController::getPropertyProfitability"),
                   [&] { return map(reports.getPropertyProfitability(propertyId)); });
        bench.read(QStringLiteral("ReportController::getPropertyProfitability (range)"), [&] {
            return map(reports.getPropertyProfitability(propertyId, yearStart, today));
        });
        bench.read(QStringLiteral("ReportController::getUnitProfitability"),
                   [&] { return map(reports.getUnitProfitability(soldUnitId)); });
        bench.read(QStringLiteral("ReportController::getProjectDetailedFinancials"),
                   [&] { return map(reports.getProjectDetailedFinancials(projectId)); });
        bench.read(QStringLiteral("ReportController::getProjectDetailedFinancials (range)"), [&] {
            return map(reports.getProjectDetailedFinancials(projectId, yearStart, today));
        });
        bench.read(QStringLiteral("ReportController::getProjectCostCenters"),
                   [&] { return rows(reports.getProjectCostCenters(projectId)); });
        bench.read(QStringLiteral("ReportController::getProjectCostCenters (range)"), [&] {
            return rows(reports.getProjectCostCenters(projectId, yearStart, today));
        });
        // The whole tabs as the report reader reads them.
        bench.read(QStringLiteral("ReportCalls projects (tab)"), [&] {
            QString error;
            return int(
                ReportCalls::run(&db, QStringLiteral("projects"), {}, &error).toList().size());
        });
        // What the tab asks for when it opens: the year so far.
        bench.read(QStringLiteral("ReportCalls projects (tab, this year)"), [&] {
            QString error;
            return int(ReportCalls::run(&db, QStringLiteral("projects"), {yearStart, today}, &error)
                           .toList()
                           .size());
        });
        // Each page's data as one report-reader call.
        for (const auto& page :
             {std::make_pair("dashboard", QVariantList{50}),
              std::make_pair("analysisText", QVariantList()),
              std::make_pair("comparison", QVariantList()),
              std::make_pair("calendar", QVariantList{90}),
              std::make_pair("cheques", QVariantList{QString(), yearStart, today})}) {
            bench.read(QStringLiteral("ReportCalls %1 (page)").arg(QLatin1String(page.first)), [&] {
                QString error;
                const QVariant result =
                    ReportCalls::run(&db, QLatin1String(page.first), page.second, &error);
                return int(result.typeId() == QMetaType::QVariantList ? result.toList().size()
                                                                      : result.toMap().size());
            });
        }
        bench.read(QStringLiteral("ReportCalls costCentres (one card)"), [&] {
            QString error;
            return int(ReportCalls::run(&db, QStringLiteral("costCentres"), {projectId}, &error)
                           .toList()
                           .size());
        });
        bench.read(QStringLiteral("ReportController::getPropertyComparison"),
                   [&] { return rows(reports.getPropertyComparison()); });
        bench.read(QStringLiteral("ReportController::getProfitLoss"),
                   [&] { return map(reports.getProfitLoss()); });
        bench.read(QStringLiteral("ReportController::getProfitLoss (range)"),
                   [&] { return map(reports.getProfitLoss(yearStart, today)); });
        bench.read(QStringLiteral("ReportController::getBalanceSheet"),
                   [&] { return map(reports.getBalanceSheet()); });
        bench.read(QStringLiteral("ReportController::getAIInsights"),
                   [&] { return rows(reports.getAIInsights()); });
        bench.read(QStringLiteral("ReportController::getSmartAIAnalysis"),
                   [&] { return map(reports.getSmartAIAnalysis()); });

        if (parser.isSet(fullOption)) {
            bench.read(QStringLiteral("InvoiceModel::getAll (unpaged)"),
                       [&] { return rows(invoices.getAll()); });
            bench.read(QStringLiteral("PaymentModel::getAll (unpaged)"),
                       [&] { return rows(payments.getAll()); });
            bench.read(QStringLiteral("ExpenseModel::getAll (unpaged)"),
                       [&] { return rows(expenses.getAll()); });
        }
        if (compared)
            out << "\n" << comparison.summary();
    }

    if (readsOnly)
        return 0;

    // Scrolling every list to its end, reading every role of every row as
    // the delegates would, from the resident size before the first list.
    out << "\nScrolling every paged list to its end\n\n";
    resetPeak();
    const long before = statusKb("VmRSS");
    QElapsedTimer scrolling;
    scrolling.start();
    qint64 scrolled = 0;
    for (Lists& l : lists) {
        SqlListModel& m = *l.model;
        m.reload();
        const QList<int> roles = m.roleNames().keys();
        int row = 0;
        for (;;) {
            for (; row < m.count(); ++row) {
                for (int role : roles)
                    m.data(m.index(row), role);
            }
            if (!m.canFetchMore(QModelIndex()))
                break;
            m.fetchMore(QModelIndex());
        }
        scrolled += m.count();
    }
    out << "rows scrolled: " << scrolled << " in " << scrolling.elapsed() << " ms; resident "
        << before / 1024 << " MB before, peak " << statusKb("VmHWM") / 1024 << " MB\n";

    if (scrollOnly)
        return 0;

    out << "\nWrites (once each)\n\n";
    Bench::header();
    StatementProfile profile(bench.handle());
    const int shownStatements = shown;
    const auto write = [&](const QString& name, const std::function<int()>& call) {
        if (shownStatements > 0)
            profile.start();
        Bench::write(name, call);
        if (shownStatements > 0)
            profile.print(shownStatements);
    };
    const QString month = QDate::currentDate().toString(QStringLiteral("yyyy-MM"));
    write(QStringLiteral("InvoiceModel::generateAllRent ") + month,
          [&] { return invoices.generateAllRent(month); });
    // A digest of what the rent run wrote, to compare runs of two builds.
    {
        QCryptographicHash digest(QCryptographicHash::Sha1);
        const int since = db.scalar(QStringLiteral("SELECT COALESCE(MAX(id),0) FROM invoices "
                                                   "WHERE period < ?"),
                                    {month})
                              .toInt();
        QSqlQuery query(db.connection());
        query.prepare(QStringLiteral(
            "SELECT i.invoice_number, i.tenant_id, i.unit_id, i.contract_id, i.total_amount, "
            "i.balance, i.status, i.currency_id, i.due_date, it.description, it.type, "
            "it.quantity, it.unit_price, it.total FROM invoices i JOIN invoice_items it ON "
            "it.invoice_id=i.id WHERE i.id > ? ORDER BY i.id, it.id"));
        query.addBindValue(since);
        query.exec();
        int lines = 0;
        while (query.next()) {
            ++lines;
            for (int c = 0; c < 14; ++c)
                digest.addData(query.value(c).toString().toUtf8() + '|');
        }
        out << "| rent run digest (" << lines << " lines) | " << digest.result().toHex().left(16)
            << " | | | |\n";
    }
    out << "| journal entries after the writes so far | "
        << scalar(db, "SELECT COUNT(*) FROM journal_entries").toInt() << " | | | |\n";
    const QVariantMap open = SqlValue::firstRow(db.execQuery(
        QStringLiteral("SELECT id, tenant_id, balance FROM invoices WHERE status='pending' AND "
                       "balance>0 ORDER BY id DESC LIMIT 1")));
    write(QStringLiteral("PaymentModel::add"), [&] {
        return payments.add(open.value(QStringLiteral("id")).toInt(),
                            open.value(QStringLiteral("tenant_id")).toInt(),
                            open.value(QStringLiteral("balance")).toDouble(),
                            QStringLiteral("cash"), QDate::currentDate().toString(Qt::ISODate),
                            QStringLiteral("BENCH-1"), 1);
    });
    paymentShare(db, payments, qMax(runs, 9));
    const int unitId = scalar(db, "SELECT MIN(id) FROM units WHERE status='available'").toInt();
    write(QStringLiteral("InstallmentModel::sellUnit"), [&] {
        return installments.sellUnit(buyerId, unitId, 240000, 40000, 24,
                                     QDate::currentDate().toString(Qt::ISODate), 1,
                                     QStringLiteral("900001"), QStringLiteral("بنك فلسطين"));
    });
    out << "\npeak resident size of the whole run: " << statusKb("VmHWM") / 1024 << " MB\n";
    return 0;
}
