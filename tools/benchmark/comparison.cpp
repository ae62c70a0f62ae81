#include "comparison.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

namespace {

// A page's data is held to this whatever the earlier run took, unless that
// run took longer itself; and to this many times the earlier run's time.
constexpr double kPageMs = 50;
constexpr double kTimes = 3;

} // namespace

bool Comparison::parseLine(const QString& line, QString* name, Earlier* earlier)
{
    // "| name | rows | ms (cpu ms) | floor ms | ratio |": the reads' lines.
    static const QRegularExpression read(QStringLiteral(
        R"(^\| (.+?) \| (-?\d+) \| ([\d.]+) \(cpu ([\d.]+)\) \| [\d.]* \| [\d.-]* \|)"));
    const QRegularExpressionMatch match = read.match(line);
    if (!match.hasMatch())
        return false;
    *name = match.captured(1);
    earlier->rows = match.captured(2).toInt();
    earlier->ms = match.captured(3).toDouble();
    earlier->cpuMs = match.captured(4).toDouble();
    return true;
}

bool Comparison::load(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = file.errorString();
        return false;
    }
    QTextStream in(&file);
    // Writes are timed once under the same header: only the reads count,
    // and they come first, so the first line of a name is the read.
    while (!in.atEnd()) {
        QString name;
        Earlier earlier;
        if (parseLine(in.readLine(), &name, &earlier) && !m_earlier.contains(name))
            m_earlier.insert(name, earlier);
    }
    if (m_earlier.isEmpty()) {
        *error = QStringLiteral("no timed read in the file");
        return false;
    }
    return true;
}

bool Comparison::meets(double ms, double earlierMs)
{
    return ms <= kTimes * earlierMs && (ms <= kPageMs || earlierMs > kPageMs);
}

QString Comparison::headerCells()
{
    return QStringLiteral(" earlier ms (cpu) | times | bar |");
}

QString Comparison::headerRule()
{
    return QStringLiteral("---:|---:|---|");
}

QString Comparison::cells(const QString& name, int rows, double ms)
{
    const auto found = m_earlier.constFind(name);
    if (found == m_earlier.cend()) {
        m_unmatched << name;
        return QStringLiteral(" | | |");
    }
    const Earlier& earlier = *found;
    const bool met = meets(ms, earlier.ms);
    if (met)
        ++m_met;
    else
        m_over << name;
    // A different number of rows means the two runs did not read the same.
    const QString rowsNote =
        rows == earlier.rows ? QString() : QStringLiteral(", %1 rows").arg(earlier.rows);
    const QString times =
        earlier.ms > 0 ? QString::number(ms / earlier.ms, 'f', 1) : QStringLiteral("-");
    return QStringLiteral(" %1 (cpu %2%3) | %4 | %5 |")
        .arg(earlier.ms, 0, 'f', 2)
        .arg(earlier.cpuMs, 0, 'f', 2)
        .arg(rowsNote, times, met ? QStringLiteral("ok") : QStringLiteral("OVER"));
}

QString Comparison::summary() const
{
    QString text = QStringLiteral("Against the earlier run: %1 within the bar, %2 over")
                       .arg(m_met)
                       .arg(m_over.size());
    if (!m_over.isEmpty())
        text += QStringLiteral(": ") + m_over.join(QStringLiteral("; "));
    if (!m_unmatched.isEmpty())
        text +=
            QStringLiteral("\nNot in the earlier run: ") + m_unmatched.join(QStringLiteral("; "));
    return text + QLatin1Char('\n');
}
