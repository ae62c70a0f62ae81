#pragma once

#include <QImage>
#include <QString>

// Lays a printed paper's HTML out on A4 pages into a PDF file. Every block
// of the document is set right to left, so paragraphs, headings and table
// cells start on the right and mixed lines read as they do on screen; the
// stamp circle and the company's logo are attached as images. A wide paper
// is laid out on landscape pages.
class PrintRenderer
{
public:
    enum class Orientation
    {
        Portrait,
        Landscape
    };

    // False when the file could not be written.
    static bool write(const QString& html, const QString& path,
                      Orientation orientation = Orientation::Portrait);
    // The application's logo; a null image where it is not built in.
    static QImage logo();
    // A dashed circle where the office presses its stamp.
    static QImage stampCircle();
};
