#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The reads of an earlier run (its printed table, e.g. the same office on
// SQLite), to set each read of this run beside: its time, how many times
// longer this run took, and whether that meets the bar a page's data is
// held to (at most three times the other's time, and 50 ms unless the
// other took longer than that itself).
class Comparison
{
public:
    struct Earlier
    {
        int rows = 0;
        double ms = 0;
        double cpuMs = 0;
    };

    // Reads the table lines of the earlier run's output. False, with the
    // reason, when the file cannot be read or holds no read.
    bool load(const QString& path, QString* error);
    bool isEmpty() const { return m_earlier.isEmpty(); }

    // The extra cells of a read's line ("| earlier ms (cpu) | times | verdict"),
    // and counts the verdict; empty cells when the earlier run had no such read.
    QString cells(const QString& name, int rows, double ms);
    static QString headerCells();
    static QString headerRule();
    // The reads over the bar and those the earlier run had not, in order.
    QString summary() const;

    // Whether `ms` meets the bar against the earlier run's `earlierMs`.
    static bool meets(double ms, double earlierMs);
    // One table line of a run's output, or false when the line is no read.
    static bool parseLine(const QString& line, QString* name, Earlier* earlier);

private:
    QHash<QString, Earlier> m_earlier;
    QStringList m_over;
    QStringList m_unmatched;
    int m_met = 0;
};
