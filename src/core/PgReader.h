#pragma once

#include "core/SqlReader.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <functional>
#include <vector>

class QSqlDatabase;
struct pg_conn;
struct pg_result;

// Runs reads on a PostgreSQL server through libpq, on the connection QtSql
// opened (so a read sees the rows of the write transaction under way).
// Each SQL text is prepared once per connection and kept; each run is then
// one round trip with its parameters as text, where QtSql prepares, runs
// and drops the statement again every time.
//
// Results are what Qt's PostgreSQL driver gives for the same statement: int
// for smallint and integer, double for real, double
// precision and numeric, QDate / QTime / QDateTime for days and times,
// QByteArray for bytea and QString for the rest; NULL is a null value of
// the column's type. Booleans and bigints come back as qlonglong (1 and 0
// for booleans), as the SQLite file gives them. Parameters go as text, a
// boolean as 1 or 0 as the file binds it.
class PgReader
{
public:
    PgReader() = default;
    ~PgReader();
    PgReader(const PgReader&) = delete;
    PgReader& operator=(const PgReader&) = delete;

    // Statements are kept for `handle`; a different handle (the connection
    // was opened again) forgets those kept for the old one.
    void attach(pg_conn* handle);
    // Forgets every kept statement (the connection is about to close, so
    // the server drops them with it).
    void clear();

    SqlReader::Status readRows(const QString& sql, const QVariantList& params,
                               SqlReader::Rows& result);
    SqlReader::Status forEachRow(const QString& sql, const QVariantList& params,
                                 const std::function<void(QVector<QVariant>&)>& onRow);
    // One map per row, keyed by column name (of equal names the later column wins).
    SqlReader::Status readMaps(const QString& sql, const QVariantList& params,
                               QVariantList& result);
    // The first column of the first row; invalid when there is no row.
    SqlReader::Status readValue(const QString& sql, const QVariantList& params, QVariant& value);

    QString errorText() const { return m_error; }
    int keptStatements() const { return int(m_kept.size()); }

    // The statement with its `?` markers numbered $1, $2, … as the server
    // wants them; a `?` inside quotes or a comment is left alone.
    static QByteArray numbered(const QString& sql);
    // A parameter as text for the server; false for NULL.
    static bool parameterText(const QVariant& value, QByteArray* text);
    // True when the statement only reads (it starts with SELECT, or WITH
    // without a data-changing part).
    static bool isRead(const QString& sql);
    // The libpq connection under an open QtSql connection, or null when it
    // is closed or not on a server.
    static pg_conn* connectionOf(const QSqlDatabase& db);

private:
    struct Kept
    {
        QByteArray name;
        quint64 lastUse = 0;
    };

    // Runs `sql`; the result (owned by the caller) or null with m_error set.
    pg_result* run(const QString& sql, const QVariantList& params, SqlReader::Status& status);
    pg_result* execute(const Kept& kept, const QVariantList& params);
    Kept* prepare(const QString& sql);
    // Drops the least used half of the kept statements.
    void trim();
    void fail(pg_result* result);

    pg_conn* m_handle = nullptr;
    QHash<QString, Kept> m_kept;
    quint64 m_uses = 0;
    quint64 m_serial = 0;
    QString m_error;
};
