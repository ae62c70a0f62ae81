#pragma once

#include <QList>
#include <QString>

class QQmlError;

// The plain-text run log "app.log" in the data directory. One file object for
// the whole process, appended to on every run; each line is flushed as soon as
// it is written so the log is complete up to the last line if the process dies.
class AppLog
{
public:
    // Opens the log (write-only, append, text). False when it cannot be opened.
    static bool open(const QString& dataDir);
    static bool isOpen();
    static void writeLine(const QString& line);
    static void writeQmlErrors(const QList<QQmlError>& errors);
    static void close();
};
