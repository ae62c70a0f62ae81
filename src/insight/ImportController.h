#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

class Database;
class UnitModel;

// Tenants, buyers or units entered in bulk from rows pasted out of a
// spreadsheet or typed as comma-separated text, one record per line, in a
// fixed column order per target. The paste is written in one transaction;
// each line that cannot be stored is refused with its line number and the
// reason, and the rest go in.
class ImportController : public BackendObject
{
    Q_OBJECT
    // What the last import did: "table", "inserted", "skipped" (a recognised
    // header line), "refused", "refusedLines" (maps of "line" and "reason"),
    // "skippedLines" (the same) and "insertedIds" (the new rows' ids, in
    // line order).
    Q_PROPERTY(QVariantMap lastResult READ lastResult NOTIFY lastResultChanged)

public:
    ImportController(Database* db, UnitModel* units, QObject* parent = nullptr);

    QVariantMap lastResult() const { return m_result; }

    // `targetTable` is "tenants", "buyers" or "units". False when no row
    // went in (lastError says why) or the rows could not be saved.
    Q_INVOKABLE bool importRawCSV(const QString& rawText, const QString& targetTable);

    // The fields of one pasted line: split on tabs when it has any (as a
    // spreadsheet copies), else on commas; a field in double quotes may hold
    // the separator, and a doubled quote inside stands for one quote.
    static QStringList splitLine(const QString& line);
    // A number as people paste it: Arabic-Indic digits, "٫" or "." as the
    // decimal point and correctly placed thousands separators are read.
    static bool parseNumber(const QString& text, double* value);

    // --- Preview and undo ---
    // What importing the text would do, without keeping anything: the lines
    // are tried inside a transaction that is rolled back. "columns" (labels
    // of the target's fields), "rows" (the first `limit` non-empty lines,
    // each with "line", "fields", "header" and "problem"), "lines", "header"
    // (1 when the first line is a row of titles), "ready" and "problems".
    Q_INVOKABLE QVariantMap previewRawCSV(const QString& rawText, const QString& targetTable,
                                          int limit = 20);
    // True while the rows of the last import can still be taken back.
    Q_INVOKABLE bool canUndoLastImport() const;
    // Deletes exactly the rows the last import inserted, all or none, and
    // only while no other record refers to any of them.
    Q_INVOKABLE bool undoLastImport();

signals:
    void lastResultChanged();
    // Rows went into `targetTable`; the page's lists reload.
    void imported(const QString& targetTable, int count);
    // The rows of the last import into `targetTable` were taken back.
    void importUndone(const QString& targetTable, int count);

private:
    struct Outcome
    {
        int id = -1;
        QString reason;
    };

    Outcome insertPerson(const QString& table, const QStringList& fields);
    Outcome insertUnit(const QStringList& fields, bool tabSeparated);
    static bool isHeader(const QStringList& fields, const QString& table);

    Database* m_db;
    UnitModel* m_units;
    QVariantMap m_result;
};
