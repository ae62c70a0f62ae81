#pragma once

#include <QObject>
#include <QString>

class Database;

// Base of every back-end object published to QML. A refused or failed call
// keeps a short Arabic reason that the page shows; a call that succeeds
// leaves it empty. Public write calls start with clearError() and end every
// refusal through refuse() or refuseId().
class BackendObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)

public:
    explicit BackendObject(QObject* parent = nullptr);

    QString lastError() const { return m_lastError; }

signals:
    void lastErrorChanged();
    void errorOccurred(const QString& reason);

protected:
    void clearError();
    // Keep `reason` as the last error and announce it; return the call's
    // failure value so a refusal is one line: `return refuse(...)`.
    bool refuse(const QString& reason);
    int refuseId(const QString& reason);

    // Keeps the driver's text of every error `db` reports, so a failed write
    // can be refused with the matching reason (locked, disk full, ...).
    void watchDatabase(Database* db);
    // True when the database reported an error since the last clearError().
    bool databaseFailed() const { return !m_databaseError.isEmpty(); }
    bool refuseDatabase();
    int refuseDatabaseId();
    // A lookup that found no row: the record is gone, or the read failed.
    bool refuseMissing();
    int refuseMissingId();
    // A failed delete: rows still naming the record, or a database failure.
    bool refuseRemoval();

private:
    QString m_lastError;
    QString m_databaseError;
};
