#pragma once

#include "core/DatabaseSettings.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariantList>

struct pg_conn;

// The floor of a read on the server: the same statements sent through
// libpq on a connection of its own, each prepared once and kept, reading
// every value of every row as text (the least any caller has to do).
class ServerFloor
{
public:
    using Statement = QPair<QString, QVariantList>;

    explicit ServerFloor(const DatabaseSettings& settings);
    ~ServerFloor();
    ServerFloor(const ServerFloor&) = delete;
    ServerFloor& operator=(const ServerFloor&) = delete;

    bool isOpen() const { return m_handle != nullptr; }
    QString errorText() const { return m_error; }
    // Runs each statement once; false at the first the server refused.
    bool run(const QList<Statement>& statements);

    // Where the server spends a statement's time: planning it with its
    // parameters known, and running it.
    struct Spent
    {
        double planningMs = -1;
        double executionMs = -1;
    };
    // Each statement run once under EXPLAIN ANALYZE; a statement the server
    // refused gives -1 for both.
    QList<Spent> explain(const QList<Statement>& statements);

private:
    QString m_connection;
    pg_conn* m_handle = nullptr;
    QHash<QString, QByteArray> m_kept;
    QString m_error;
};
