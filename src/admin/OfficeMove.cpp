#include "admin/OfficeMove.h"

#include "core/Database.h"
#include "core/LedgerDayBalance.h"
#include "core/ListTotals.h"
#include "core/TransactionGuard.h"

#include <QAtomicInt>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include <cmath>

namespace {

// Rows sent to the server in one INSERT.
constexpr int kBatch = 200;
// Two sums of one money column differ when they are half a cent apart: the
// file keeps amounts as floating point, the server as exact decimals.
constexpr double kSumTolerance = 0.005;

QString quoted(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

struct Table
{
    QString name;
    QStringList columns;      // copied: those both sides have
    QStringList moneyColumns; // NUMERIC on the server
    bool hasId = false;
    bool hasCurrency = false;
};

// A value as the server is to get it: floating point in its shortest exact
// spelling, so 0.1 arrives as 0.1 and not as 0.1000000000000000055.
QVariant forServer(const QVariant& value)
{
    if (value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    return value;
}

class Move
{
public:
    Move(QSqlDatabase source, Database* server, const OfficeMove::Progress& progress)
        : m_source(std::move(source))
        , m_server(server)
        , m_target(server->connection())
        , m_progress(progress)
    {}

    QString run();

private:
    bool readTables();
    QStringList orderedByReferences() const;
    bool copy(const Table& table);
    QString compare(const Table& table);
    // Per currency ("" for none): row count, then each money column's sum.
    bool figures(QSqlDatabase& db, const Table& table, QMap<QString, QVector<double>>* out);
    bool exec(QSqlQuery& query, const QString& sql, const QVariantList& params = {});

    QSqlDatabase m_source;
    Database* m_server;
    QSqlDatabase m_target;
    OfficeMove::Progress m_progress;
    QHash<QString, Table> m_tables;
    QString m_error;
};

bool Move::exec(QSqlQuery& query, const QString& sql, const QVariantList& params)
{
    // The server prepares no ALTER or TRUNCATE: text without parameters is
    // sent as it is.
    if (params.isEmpty()) {
        if (!query.exec(sql)) {
            m_error = query.lastError().text();
            return false;
        }
        return true;
    }
    if (!query.prepare(sql)) {
        m_error = query.lastError().text();
        return false;
    }
    for (const QVariant& value : params)
        query.addBindValue(value);
    if (!query.exec()) {
        m_error = query.lastError().text();
        return false;
    }
    return true;
}

bool Move::readTables()
{
    QSqlQuery server(m_target);
    if (!exec(server, QStringLiteral("SELECT table_name, column_name, data_type FROM "
                                     "information_schema.columns WHERE table_schema = "
                                     "current_schema() AND table_name <> 'schema_migrations' "
                                     "ORDER BY table_name, ordinal_position")))
        return false;
    QHash<QString, QHash<QString, QString>> serverColumns;
    QHash<QString, QStringList> serverOrder;
    while (server.next()) {
        const QString table = server.value(0).toString();
        serverColumns[table].insert(server.value(1).toString(), server.value(2).toString());
        serverOrder[table] << server.value(1).toString();
    }

    QSqlQuery source(m_source);
    if (!exec(source, QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'table' "
                                     "AND name NOT LIKE 'sqlite%'")))
        return false;
    QStringList sourceTables;
    QStringList virtualTables;
    while (source.next()) {
        sourceTables << source.value(0).toString();
        if (source.value(1).toString().startsWith(QLatin1String("CREATE VIRTUAL"),
                                                  Qt::CaseInsensitive))
            virtualTables << source.value(0).toString();
    }
    // What the file keeps about its own schema and search indexes, and the
    // lists' kept day totals and the ledger's balance per day (the server
    // counts its own from the moved rows; the lists' days are told in the
    // server's SQL).
    static const QStringList fileOnly = {
        QStringLiteral("schema_migrations"), QStringLiteral("search_index_marks"),
        QStringLiteral("list_totals"), QStringLiteral("ledger_day_balance")};
    for (const QString& name : std::as_const(sourceTables)) {
        if (fileOnly.contains(name))
            continue;
        if (!serverColumns.contains(name)) {
            // Text indexes and their own tables are built anew by the
            // server; any other table with rows would be left behind.
            bool searchIndex = false;
            for (const QString& index : std::as_const(virtualTables))
                searchIndex =
                    searchIndex || name == index || name.startsWith(index + QLatin1Char('_'));
            if (searchIndex)
                continue;
            QSqlQuery rows(m_source);
            if (exec(rows, QStringLiteral("SELECT COUNT(*) FROM ") + quoted(name)) && rows.next() &&
                rows.value(0).toLongLong() == 0)
                continue;
            m_error =
                QStringLiteral("في الملف صفوف في جدول «%1» ولا مكان لها على الخادم").arg(name);
            return false;
        }
        const QSqlRecord record = m_source.record(name);
        Table table;
        table.name = name;
        const auto& columns = serverColumns.value(name);
        for (const QString& column : serverOrder.value(name)) {
            if (record.indexOf(column) < 0)
                continue;
            table.columns << column;
            if (columns.value(column) == QLatin1String("numeric"))
                table.moneyColumns << column;
        }
        table.hasId = table.columns.contains(QStringLiteral("id"));
        table.hasCurrency = table.columns.contains(QStringLiteral("currency_id"));
        m_tables.insert(name, table);
    }
    return true;
}

// The tables in an order where every table comes after those it refers to,
// so that each row finds the rows it names already there.
QStringList Move::orderedByReferences() const
{
    QHash<QString, QSet<QString>> needs;
    QSqlQuery query(m_target);
    query.exec(QStringLiteral("SELECT conrelid::regclass::text, confrelid::regclass::text FROM "
                              "pg_constraint WHERE contype = 'f'"));
    while (query.next()) {
        const QString table = query.value(0).toString();
        const QString target = query.value(1).toString();
        if (table != target && m_tables.contains(table) && m_tables.contains(target))
            needs[table].insert(target);
    }
    QStringList left = m_tables.keys();
    left.sort();
    QStringList order;
    while (!left.isEmpty()) {
        bool placed = false;
        for (int i = 0; i < left.size(); ++i) {
            bool ready = true;
            for (const QString& target : needs.value(left[i]))
                ready = ready && order.contains(target);
            if (ready) {
                order << left.takeAt(i);
                placed = true;
                break;
            }
        }
        // A ring of references: the rest in name order, and the server says
        // which row it cannot take.
        if (!placed)
            order << left.takeFirst();
    }
    return order;
}

bool Move::copy(const Table& table)
{
    QSqlQuery read(m_source);
    read.setForwardOnly(true);
    QString select = QStringLiteral("SELECT ");
    for (int i = 0; i < table.columns.size(); ++i)
        select += (i ? QStringLiteral(", ") : QString()) + quoted(table.columns[i]);
    select += QStringLiteral(" FROM ") + quoted(table.name);
    if (table.hasId)
        select += QStringLiteral(" ORDER BY id");
    if (!exec(read, select))
        return false;

    QString row = QStringLiteral("(");
    for (int i = 0; i < table.columns.size(); ++i)
        row += i ? QStringLiteral(", ?") : QStringLiteral("?");
    row += QLatin1Char(')');
    QString insert = QStringLiteral("INSERT INTO ") + quoted(table.name) + QStringLiteral(" (");
    for (int i = 0; i < table.columns.size(); ++i)
        insert += (i ? QStringLiteral(", ") : QString()) + quoted(table.columns[i]);
    insert += QStringLiteral(") VALUES ");

    QSqlQuery write(m_target);
    QVariantList params;
    int rows = 0;
    const auto flush = [&] {
        if (rows == 0)
            return true;
        QString sql = insert;
        for (int i = 0; i < rows; ++i)
            sql += (i ? QStringLiteral(", ") : QString()) + row;
        const bool ok = exec(write, sql, params);
        params.clear();
        rows = 0;
        return ok;
    };
    while (read.next()) {
        for (int i = 0; i < table.columns.size(); ++i)
            params << forServer(read.value(i));
        if (++rows == kBatch && !flush())
            return false;
    }
    if (read.lastError().isValid()) {
        m_error = read.lastError().text();
        return false;
    }
    if (!flush())
        return false;
    if (table.hasId) {
        // New rows on the server go on after the highest id moved.
        QSqlQuery sequence(m_target);
        return exec(sequence,
                    QStringLiteral("SELECT setval(pg_get_serial_sequence(?, 'id'), "
                                   "COALESCE((SELECT MAX(id) FROM ") +
                        quoted(table.name) + QStringLiteral("), 0) + 1, false)"),
                    {table.name});
    }
    return true;
}

bool Move::figures(QSqlDatabase& db, const Table& table, QMap<QString, QVector<double>>* out)
{
    QString sql =
        QStringLiteral("SELECT ") +
        (table.hasCurrency ? QStringLiteral("CAST(currency_id AS TEXT)") : QStringLiteral("''")) +
        QStringLiteral(", COUNT(*)");
    for (const QString& column : table.moneyColumns)
        sql += QStringLiteral(", SUM(") + quoted(column) + QLatin1Char(')');
    sql += QStringLiteral(" FROM ") + quoted(table.name) + QStringLiteral(" GROUP BY 1");
    QSqlQuery query(db);
    if (!exec(query, sql))
        return false;
    while (query.next()) {
        QVector<double> values;
        for (int i = 1; i < 2 + table.moneyColumns.size(); ++i)
            values << query.value(i).toDouble();
        out->insert(query.value(0).toString(), values);
    }
    return true;
}

QString Move::compare(const Table& table)
{
    QMap<QString, QVector<double>> before;
    QMap<QString, QVector<double>> after;
    if (!figures(m_source, table, &before) || !figures(m_target, table, &after))
        return QStringLiteral("تعذّرت قراءة مجاميع جدول «%1»: %2").arg(table.name, m_error);
    if (before.keys() != after.keys())
        return QStringLiteral("جدول «%1»: العملات في الملف غيرها على الخادم").arg(table.name);
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const QVector<double>& there = after[it.key()];
        if (it.value()[0] != there[0])
            return QStringLiteral("جدول «%1»: %2 صفًا في الملف و%3 على الخادم")
                .arg(table.name)
                .arg(it.value()[0])
                .arg(there[0]);
        for (int i = 1; i < there.size(); ++i) {
            if (std::fabs(it.value()[i] - there[i]) > kSumTolerance)
                return QStringLiteral("جدول «%1»، عمود %2: المجموع %3 في الملف و%4 على الخادم")
                    .arg(table.name, table.moneyColumns[i - 1])
                    .arg(it.value()[i], 0, 'f', 2)
                    .arg(there[i], 0, 'f', 2);
        }
    }
    return {};
}

QString Move::run()
{
    if (!readTables())
        return QStringLiteral("تعذّرت قراءة الجداول: ") + m_error;
    const QStringList order = orderedByReferences();

    TransactionGuard guard(m_server);
    if (!guard.isActive())
        return QStringLiteral("تعذّر بدء معاملة على الخادم");
    QSqlQuery query(m_target);
    // The running totals are moved as they are, so the server's triggers
    // must not add each moved row to them a second time.
    QStringList all;
    for (const QString& name : order) {
        all << quoted(name);
        if (!exec(query, QStringLiteral("ALTER TABLE ") + quoted(name) +
                             QStringLiteral(" DISABLE TRIGGER USER")))
            return QStringLiteral("تعذّر إيقاف مشغّلات جدول «%1»: %2").arg(name, m_error);
    }
    // What a new server starts with (the first user, the currencies) makes
    // way for the office's own rows.
    if (!exec(query, QStringLiteral("TRUNCATE ") + all.join(QStringLiteral(", "))))
        return QStringLiteral("تعذّر إفراغ جداول الخادم: ") + m_error;
    for (int i = 0; i < order.size(); ++i) {
        if (!copy(m_tables.value(order[i])))
            return QStringLiteral("تعذّر نسخ جدول «%1»: %2").arg(order[i], m_error);
        if (m_progress)
            m_progress(i + 1, order.size(), order[i]);
    }
    for (const QString& name : order) {
        if (!exec(query, QStringLiteral("ALTER TABLE ") + quoted(name) +
                             QStringLiteral(" ENABLE TRIGGER USER")))
            return QStringLiteral("تعذّرت إعادة تشغيل مشغّلات جدول «%1»: %2").arg(name, m_error);
    }
    for (const QString& statement :
         ListTotals::recountStatements(DatabaseSettings::Engine::PostgreSQL)) {
        if (!exec(query, statement))
            return QStringLiteral("تعذّر عدّ مجاميع القوائم على الخادم: ") + m_error;
    }
    // The ledger's balance per day is counted from the moved day totals.
    for (const QString& statement : LedgerDayBalance::recountStatements()) {
        if (!exec(query, statement))
            return QStringLiteral("تعذّر عدّ توازن الدفتر اليومي على الخادم: ") + m_error;
    }
    for (const QString& name : order) {
        const QString difference = compare(m_tables.value(name));
        if (!difference.isEmpty())
            return difference;
    }
    if (!guard.commit())
        return QStringLiteral("لم يُثبّت الخادم النقل");
    // The server plans every read by its statistics of each table, and
    // tables filled in one go have none until its background worker gets to
    // them: every plan until then is a guess, on a large office a slow one.
    // Vacuuming too marks the new pages as seen by every session, so the
    // report indexes answer from the index alone from the first read. The
    // office is moved either way; a failure here only leaves that to the
    // worker.
    QSqlQuery analyze(m_target);
    if (!analyze.exec(QStringLiteral("VACUUM (ANALYZE)")))
        qWarning("Office moved, its statistics not yet read: %s",
                 qUtf8Printable(analyze.lastError().text()));
    return {};
}

} // namespace

bool OfficeMove::holdsOffice(Database* server)
{
    QSqlQuery query(server->connection());
    if (!query.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM invoices) + (SELECT COUNT(*) "
                                   "FROM tenants) + (SELECT COUNT(*) FROM properties)")) ||
        !query.next())
        return true;
    return query.value(0).toLongLong() > 0;
}

QString OfficeMove::run(const QString& sqlitePath, Database* server, const Progress& progress)
{
    if (!server || !server->isPostgres() || !server->connection().isOpen())
        return QStringLiteral("الخادم غير متصل");
    if (holdsOffice(server))
        return QStringLiteral("الخادم يحمل بيانات مكتب بالفعل (عقارات أو مستأجرون أو فواتير)؛ "
                              "لم يُنقل شيء");
    static QAtomicInt serial;
    const QString name = QStringLiteral("office-move-%1").arg(serial.fetchAndAddRelaxed(1) + 1);
    QString reason;
    {
        QSqlDatabase source = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        source.setDatabaseName(sqlitePath);
        source.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!source.open()) {
            reason =
                QStringLiteral("تعذّر فتح الملف %1: %2").arg(sqlitePath, source.lastError().text());
        } else {
            // One read transaction: the rows copied and the rows counted
            // afterwards are the same snapshot of the file.
            source.transaction();
            reason = Move(source, server, progress).run();
            source.rollback();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (reason.isEmpty())
        return {};
    qWarning("Office move refused: %s", qUtf8Printable(reason));
    return QStringLiteral("لم يُنقل شيء إلى الخادم، وبقي كما كان: ") + reason;
}
