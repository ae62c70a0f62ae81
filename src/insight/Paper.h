#pragma once

#include <QString>
#include <QStringList>

// One printed paper before it is laid out: its title, the lines under the
// title (already escaped), the body's HTML, and how it is printed.
struct Paper
{
    QString title;
    QStringList meta;
    QString body;
    bool landscape = false;
    // The accountant's signature and the stamp circle under the body.
    bool signatures = false;
    // The start of the file name.
    QString fileStem;
};
