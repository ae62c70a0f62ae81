#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <QVector>

#include <functional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// Runs reads through the SQLite C API on the application's own connection.
// The pages repeat the same few hundred statements, so each SQL text is
// prepared once and kept (SQLite prepares a kept statement again by itself
// after a schema change), and values go straight into the containers the
// callers use, with the column names built once per statement.
//
// Results are what the Qt SQLite driver gives for the same statement:
// qlonglong for INTEGER, double for REAL, QString for TEXT, QByteArray for a
// BLOB and a null QString-typed value for NULL; names without double quotes.
// Parameters bind as that driver binds them, and a failure is worded as it
// words it.
class SqlReader
{
public:
    enum class Status
    {
        Done,
        Failed,  // errorText() says why; nothing was returned
        NotARead // the statement writes: it was not run, QtSql runs it
    };

    // Values in column order, the column names once.
    struct Rows
    {
        QStringList columns;
        QList<QVector<QVariant>> rows;
    };

    SqlReader() = default;
    ~SqlReader();
    SqlReader(const SqlReader&) = delete;
    SqlReader& operator=(const SqlReader&) = delete;

    // Statements are kept for `handle`; a different handle (the connection
    // was opened again) drops those kept for the old one first.
    void attach(sqlite3* handle);
    // Finalizes every kept statement, so the connection can be closed.
    void clear();

    Status readRows(const QString& sql, const QVariantList& params, Rows& result);
    // Hands each row to `onRow` (which may move the values out) without
    // keeping them, for long reads that keep only part of each row. On a
    // failure the rows already handed over are to be dropped. `onRow` runs
    // while the statement is stepped and must not read through this reader.
    Status forEachRow(const QString& sql, const QVariantList& params,
                      const std::function<void(QVector<QVariant>&)>& onRow,
                      QStringList* columns = nullptr);
    // One map per row, keyed by column name (of equal names the later column wins).
    Status readMaps(const QString& sql, const QVariantList& params, QVariantList& result);
    // The first column of the first row; invalid when there is no row.
    Status readValue(const QString& sql, const QVariantList& params, QVariant& value);
    // Runs a statement that writes, kept like the reads: for the writes made
    // over and over (postings, payments, a run's invoices), whose triggers
    // would otherwise be compiled again at every call. Any rows it returns
    // are dropped. `insertedId` gets the connection's last inserted rowid.
    Status write(const QString& sql, const QVariantList& params, qint64* insertedId = nullptr);

    QString errorText() const { return m_error; }
    int keptStatements() const { return int(m_cache.size()); }

private:
    struct Kept
    {
        sqlite3_stmt* stmt = nullptr;
        bool readOnly = true;
        int prepared = -1; // SQLite's re-prepare count the names below belong to
        QStringList columns;
        // A row map with every key and no values; each row copies its
        // shape and fills in the values of keyColumns, in key order (of
        // equal names the later column).
        QVariantMap emptyRow;
        std::vector<int> keyColumns;
        quint64 lastUse = 0;
    };

    // The kept statement for `sql` with `params` bound, or null (m_error set,
    // or NotARead for a statement that writes unless `writes` allows it).
    Kept* start(const QString& sql, const QVariantList& params, Status& status,
                bool writes = false);
    // Steps once; false at the end or on failure (then m_error is set).
    bool step(Kept& kept, Status& status);
    void finish(Kept& kept);
    void refreshNames(Kept& kept);
    bool bind(sqlite3_stmt* stmt, const QVariantList& params);
    void fail(const char* what);

    sqlite3* m_handle = nullptr;
    QHash<QString, Kept> m_cache;
    quint64 m_uses = 0;
    QString m_error;
};
