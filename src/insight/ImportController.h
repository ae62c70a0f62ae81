#pragma once

#include "core/BackendObject.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <memory>

class Database;
class UnitModel;

// Tenants, buyers or units entered in bulk from rows pasted out of a
// spreadsheet or typed as comma-separated text, one record per row, in a
// fixed column order per target. The paste is written in one transaction;
// each row that cannot be stored is refused with its sheet row number and
// the reason, and the rest go in. A large paste is written in slices
// between the window's events, with progress, and still commits as one.
class ImportController : public BackendObject
{
    Q_OBJECT
    // What the last import did: "table", "inserted", "skipped" (a recognised
    // header line), "refused", "refusedLines" (maps of "line" and "reason",
    // the first `notesKept` of them) and "skippedLines" (the same).
    Q_PROPERTY(QVariantMap lastResult READ lastResult NOTIFY lastResultChanged)
    // True while an import started with startImport() is running.
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    // Rows read so far and rows in the paste, while busy.
    Q_PROPERTY(int progressDone READ progressDone NOTIFY progressChanged)
    Q_PROPERTY(int progressTotal READ progressTotal NOTIFY progressChanged)

public:
    // A paste holds at most a sheet's worth of rows and this many characters.
    static constexpr int rowLimit = 1048576;
    static constexpr int megabyteLimit = 256;
    static constexpr int notesKept = 1000;

    ImportController(Database* db, UnitModel* units, QObject* parent = nullptr);
    ~ImportController() override;

    QVariantMap lastResult() const { return m_result; }
    bool busy() const { return m_job != nullptr; }
    int progressDone() const { return m_done; }
    int progressTotal() const { return m_total; }
    // The ids of the rows the last import inserted, in row order.
    QList<int> insertedIds() const { return m_insertedIds; }

    // `targetTable` is "tenants", "buyers" or "units". False when no row
    // went in (lastError says why) or the rows could not be saved.
    Q_INVOKABLE bool importRawCSV(const QString& rawText, const QString& targetTable);
    // The same import in slices between the window's events: progress
    // through progressChanged(), the outcome through importFinished(). False
    // (with lastError) when it cannot start.
    Q_INVOKABLE bool startImport(const QString& rawText, const QString& targetTable);
    // Stops a running import; nothing of it is kept.
    Q_INVOKABLE void cancelImport();

    // The fields of one pasted line, by the rules of PasteReader.
    static QStringList splitLine(const QString& line);
    static bool parseNumber(const QString& text, double* value);

    // --- Preview and undo ---
    // What importing the text would do, checked on the first `limit` rows
    // only, so that a paste of any size previews at once: "columns" (labels
    // of the target's fields), "rows" (each with "line", "fields", "header"
    // and "problem"), "lines" (rows in the whole paste), "checked", "header"
    // (1 when the first row is a row of titles), "ready" and "problems"
    // (among the checked rows).
    Q_INVOKABLE QVariantMap previewRawCSV(const QString& rawText, const QString& targetTable,
                                          int limit = 20);
    // True while the rows of the last import can still be taken back.
    Q_INVOKABLE bool canUndoLastImport() const;
    // Deletes exactly the rows the last import inserted, all or none, and
    // only while no other record refers to any of them.
    Q_INVOKABLE bool undoLastImport();

signals:
    void lastResultChanged();
    void busyChanged();
    void progressChanged();
    // An import started with startImport() ended; `ok` as importRawCSV's.
    void importFinished(bool ok);
    // Rows went into `targetTable`; the page's lists reload.
    void imported(const QString& targetTable, int count);
    // The rows of the last import into `targetTable` were taken back.
    void importUndone(const QString& targetTable, int count);

private:
    struct Job;

    // Refuses a paste that cannot be imported at all; empty when it can.
    // `rows` receives the paste's row count when the text is not too long.
    static QString pasteProblem(const QString& rawText, const QString& targetTable, int* rows);
    bool begin(const QString& rawText, const QString& targetTable);
    // Works through rows for about `budgetMs` (all of them when negative);
    // true when the paste is done.
    bool step(int budgetMs);
    bool finish();
    void scheduleStep();

    Database* m_db;
    UnitModel* m_units;
    QVariantMap m_result;
    QList<int> m_insertedIds;
    std::unique_ptr<Job> m_job;
    int m_done = 0;
    int m_total = 0;
};
