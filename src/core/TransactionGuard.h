#pragma once

#include <QString>

class Database;

// All-or-nothing writes: begins a transaction when constructed and rolls it
// back when destroyed unless commit() was called. Inside another guard's scope
// it uses a savepoint instead, so a nested write can be undone on its own
// while the outer transaction decides the final outcome.
class TransactionGuard
{
public:
    explicit TransactionGuard(Database* db);
    ~TransactionGuard();

    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

    // False when the transaction (or savepoint) could not be started.
    bool isActive() const { return m_active; }
    bool commit();
    void rollback();

private:
    // Transaction statements bypass Database's query operations, so their
    // failures are announced through its error signal here; models listening
    // to it then give the matching reason (a locked database, a full disk, a
    // server out of reach).
    bool runPlain(const QString& sql);

    Database* m_db;
    QString m_savepoint;
    bool m_active = false;
    bool m_finished = false;
};
