#pragma once

#include <QList>
#include <QPagedPaintDevice>
#include <QString>

class QTextDocument;

// Lays a paper out on the pages of a paged device and paints them, the way
// QTextDocument::print does (two-centimetre margins, the page number at the
// foot), with one difference an office notices: a table row is never cut
// by a page break. Qt moves a row on to the next page only when none of its
// cells has a line left on the current one, so a description wrapped over
// several lines would start at the foot of one page and end on the next.
// Such a table is closed before the row and opened again, heading row and
// all, at the top of the next page.
class PrintPages
{
public:
    struct Cut
    {
        int table = -1; // the table's place among the paper's tables
        int row = -1;   // the row, heading rows counted
        // Each column's share of the table's width as laid out, so the
        // pages after the break keep the same columns.
        QList<double> widths;
        bool found() const { return table >= 0; }
    };

    // Lays `document` out on the device's pages.
    static void layOut(QTextDocument& document, QPagedPaintDevice& device);
    // The first row a page break cuts, of those that fit on a page.
    static Cut firstCut(const QTextDocument& document);
    // `html` with the given table broken before the given row, the rest on
    // a new page under the same heading rows.
    static QString breakBefore(const QString& html, const Cut& cut);
    // Paints a laid-out document; false when painting failed.
    static bool paint(QTextDocument& document, QPagedPaintDevice& device);
};
