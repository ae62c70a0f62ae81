#pragma once

#include <QString>
#include <QStringList>

// Rows of text pasted out of a spreadsheet, read by the spreadsheet's own
// rules: fields separated by tabs when the row's first line has any (as a
// spreadsheet copies), else by commas; a field that starts with a double
// quote may hold separators, line breaks and doubled quotes; rows end at
// LF, CR LF or CR outside quotes. Rows are numbered as the sheet numbers
// them: one per record, blank ones included, however many lines a cell
// spans.
class PasteReader
{
public:
    // A cell longer than this is not kept whole; the row says so.
    static constexpr int cellLimit = 32767;

    struct Row
    {
        int number = 0; // the sheet's row number, from 1
        QStringList fields;
        bool tabSeparated = false;
        bool blank = false;       // nothing but white space
        bool cellTooLong = false; // a cell ran past cellLimit
    };

    explicit PasteReader(const QString& text);

    // The next row; false at the end of the text.
    bool next(Row* row);
    // Characters read so far, for progress.
    qsizetype position() const { return m_pos; }

    // How many rows hold something, without keeping any field: cheap
    // enough to run over a paste of a million rows.
    static int countRows(const QString& text);
    // True when the text holds anything but white space (without copying it).
    static bool hasContent(const QString& text);

    // Arabic-Indic and Persian digits and the Arabic decimal and thousands
    // marks as their ASCII counterparts.
    static QString asciiDigits(const QString& text);

private:
    bool readRow(Row* row, bool quoting);

    const QString& m_text;
    qsizetype m_pos = 0;
    int m_number = 0;
};
