#pragma once

#include "core/Database.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>

struct sqlite3;

// A fresh, fully initialised database in its own temporary directory. Tests
// make one per test function so no state leaks between cases, and nothing
// touches the real per-user data directory.
//
// With SAKANOVA_TEST_ENGINE=postgres in the environment the database is a
// fresh one on a PostgreSQL server instead (the cluster of
// tools/test.sh --postgres, or one started for the process), so the same
// tests prove the server's SQL. The temporary directory is there either way.
class TestDatabase
{
public:
    // The engine the environment names.
    TestDatabase();
    // A given engine, whatever the environment says (tests comparing the two).
    explicit TestDatabase(DatabaseSettings::Engine engine);
    ~TestDatabase();

    // The engine SAKANOVA_TEST_ENGINE names: PostgreSQL for "postgres",
    // SQLite otherwise.
    static DatabaseSettings::Engine engineFromEnvironment();
    static bool onPostgres()
    {
        return engineFromEnvironment() == DatabaseSettings::Engine::PostgreSQL;
    }
    DatabaseSettings::Engine engine() const { return m_settings.engine; }
    // Where this database lives: the file, or the server database.
    const DatabaseSettings& settings() const { return m_settings; }

    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    Database* db() const { return m_db.get(); }
    QString dir() const { return m_dir.path(); }
    QString filePath() const;
    bool isOpen() const { return m_opened; }

    // First column of the first row (invalid when none), for quick checks on
    // stored rows.
    QVariant value(const QString& sql, const QVariantList& params = {}) const;
    int count(const QString& table) const;
    // The open file's own SQLite connection (null on a server).
    sqlite3* sqliteHandle() const;
    // SQL naming the stored type of `expression` in SQLite's typeof() words
    // ('null', 'integer', 'real', 'text', 'blob'); on a server, the type of
    // the value in the same words.
    QString typeOf(const QString& expression) const;
    // Whether `table` has a column `column` (PRAGMA on a file, the catalogue
    // on a server).
    bool hasColumn(const QString& table, const QString& column) const;

    // Closes and reopens the same file (or server database), as a second
    // start of the application does.
    bool reopen();
    // Closes the file (its connection gone) until reopen().
    void close()
    {
        m_db.reset();
        m_opened = false;
    }

    // Puts a copy of `file` (a database written elsewhere, e.g. a generated
    // office) in place of this one and opens it. On a server: a fresh
    // database holding the file's office, moved there as an office moves.
    bool replaceWith(const QString& file);

    // Writes a database file the way an older version of the program left it.
    static bool writeLegacyFile(const QString& path, const QStringList& statements);

private:
    QTemporaryDir m_dir;
    DatabaseSettings m_settings;
    std::unique_ptr<Database> m_db;
    bool m_opened = false;
};
