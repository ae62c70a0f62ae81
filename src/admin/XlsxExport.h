#pragma once

#include <QSqlDatabase>
#include <QString>

#include <functional>

// The bulk export as one spreadsheet workbook: a sheet per exported table,
// laid out right to left, Arabic headings in a frozen first row, and cells
// typed as a clerk expects them (amounts as numbers in their currency's
// format, dates as dates, identity numbers and phones as text).
class XlsxExport
{
public:
    // Writes the workbook to `filePath`, replacing any file there. On failure
    // no file is left and `error` (when given) holds an English diagnostic.
    // `step` (when given) is told before each sheet's table is read, with
    // the table's Arabic title, and once more, with an empty title, before
    // the workbook is packed: done of total.
    using Step = std::function<void(int done, int total, const QString& title)>;
    static bool write(const QSqlDatabase& db, const QString& filePath, QString* error = nullptr,
                      const Step& step = {});

    // A sheet holds at most this many rows below its heading; a longer
    // table continues on further sheets.
    static int rowsPerSheet();
};
