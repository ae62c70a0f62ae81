#pragma once

#include "core/BackendObject.h"
#include "core/DatabaseSettings.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <memory>

class Database;
class Desktop;
class QThread;

// Where this computer opens the office's books, for the first-run setup and
// the settings page: the SQLite file here (the default) or a shared
// PostgreSQL server. The choice is kept in the data folder and takes effect
// at the next start. The connection test and the move of this computer's
// file to the server run on threads of their own.
//
// The maps handed to and from QML hold engine ("sqlite" or "postgresql"),
// host, port, database, user, sslmode and password (never read back; empty
// keeps the password file as it is).
class ServerSetup : public BackendObject
{
    Q_OBJECT
    // The settings the next start uses.
    Q_PROPERTY(QVariantMap saved READ saved NOTIFY savedChanged)
    // True when this run has its books on a server.
    Q_PROPERTY(bool runningOnServer READ runningOnServer CONSTANT)
    // The saved choice differs from what this run opened: a restart applies it.
    Q_PROPERTY(bool restartNeeded READ restartNeeded NOTIFY savedChanged)
    Q_PROPERTY(bool testing READ testing NOTIFY testingChanged)
    Q_PROPERTY(bool moving READ moving NOTIFY movingChanged)
    Q_PROPERTY(double moveProgress READ moveProgress NOTIFY moveProgressChanged)
    Q_PROPERTY(QString moveStage READ moveStage NOTIFY moveProgressChanged)

public:
    ServerSetup(const QString& dataDir, Database* db, Desktop* desktop, QObject* parent = nullptr);
    // Waits for a running test or move to end.
    ~ServerSetup() override;

    QVariantMap saved() const;
    bool runningOnServer() const;
    bool restartNeeded() const;
    bool testing() const { return m_testing; }
    bool moving() const { return m_moving; }
    double moveProgress() const { return m_moveProgress; }
    QString moveStage() const { return m_moveStage; }

    // Why `choice` cannot be used, in Arabic; empty when it can.
    Q_INVOKABLE QString problemWith(const QVariantMap& choice) const;
    // Tries to reach the server of `choice` and returns at once; the
    // answer comes through connectionTested. False (with the reason) when
    // the test cannot start.
    Q_INVOKABLE bool testConnection(const QVariantMap& choice);
    // Keeps `choice` for the next start (the password in a file only this
    // user may read). Administrators only.
    Q_INVOKABLE bool save(const QVariantMap& choice);
    // Copies this computer's file to the server of `choice` and, when all
    // of it arrived, keeps `choice` for the next start. Returns at once;
    // the end comes through moveFinished. Administrators only, from a run
    // on the SQLite file.
    Q_INVOKABLE bool startMove(const QVariantMap& choice);
    // Closes the program and starts it on the saved choice.
    Q_INVOKABLE bool restartNow();

    // The settings a map from QML stands for; the password file is the one
    // in the data folder when `choice` has a password or one was kept.
    DatabaseSettings settingsFor(const QVariantMap& choice) const;
    // The password file the program writes in the data folder.
    QString passwordFile() const;

    // The server's words for a failed connection, in Arabic for the user.
    static QString explain(const QString& error);
    // Opens a connection to `server` and closes it again: empty when it
    // worked, otherwise why not, in Arabic. Blocks; call it off the window.
    static QString probe(const DatabaseSettings& server);

signals:
    void savedChanged();
    void testingChanged();
    void movingChanged();
    void moveProgressChanged();
    // ok, and the Arabic sentence to show either way.
    void connectionTested(bool ok, const QString& message);
    void moveFinished(bool ok, const QString& message);

private:
    bool keepPassword(const QVariantMap& choice);

    QString m_dataDir;
    Database* m_db;
    Desktop* m_desktop;
    std::unique_ptr<QThread> m_test;
    std::unique_ptr<QThread> m_move;
    bool m_testing = false;
    bool m_moving = false;
    double m_moveProgress = 0;
    QString m_moveStage;
};
