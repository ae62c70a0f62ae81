#pragma once

#include "admin/ExportTables.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

// The CSV files of the bulk export, as spreadsheet programs read them: UTF-8
// with a byte-order mark, a header line of column names, one line per row.
class CsvExport
{
public:
    // The exported tables, in the order they are written.
    static QStringList tables();

    // One value as it appears in a file. Text that a spreadsheet would run
    // as a formula (leading "=", "+", "-", "@", tab or carriage return, also
    // after spaces) gets a leading "'"; numbers are written as they are. A
    // value holding a comma, a double quote or a line break is quoted, inner
    // quotes doubled.
    static QString field(const QVariant& value);

    // One value of `column` as it appears in a file: amounts in `decimals`
    // places (the row currency's: the cent, or the mill for a dinar row),
    // vocabulary words in Arabic, and identity numbers and phones written so
    // that a spreadsheet keeps them as text with their leading zeros.
    static QString typedField(const ExportTables::Column& column, const QVariant& value,
                              int decimals = 2);

    // Writes every row of `table` to `filePath`, replacing its content.
    // False when the file cannot be written or the table cannot be read.
    static bool writeTable(const QSqlDatabase& db, const QString& table, const QString& filePath);
};
