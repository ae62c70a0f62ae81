#pragma once

#include <QString>

#include <functional>

class Database;

// Moves an office from its SQLite file to a PostgreSQL server: every row of
// every table the server has, ids kept, in one transaction on the server.
// Before it commits, the rows per table and the sum of every money column
// per table and currency are read on both sides; on any difference the
// transaction is rolled back and the server holds nothing of the office.
class OfficeMove
{
public:
    // Called after each table: tables done of total, and the table's name.
    using Progress = std::function<void(int done, int total, const QString& table)>;

    // Copies the file at `sqlitePath` to the open server connection `server`
    // (its schema brought up to date). Empty on success, otherwise the
    // reason in Arabic, with nothing kept on the server. Refused when the
    // server already holds an office.
    static QString run(const QString& sqlitePath, Database* server, const Progress& progress = {});

    // True when the server holds an office already: any invoice, tenant or
    // property. A server that cannot be read counts as holding one.
    static bool holdsOffice(Database* server);
};
