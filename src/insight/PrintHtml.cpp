#include "insight/PrintHtml.h"

#include "core/Money.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace PrintHtml {

namespace {

const QChar kNoBreakSpace(0x00a0);

QString isolated(const QString& escaped)
{
    return QChar(kIsolateStart) + escaped + QChar(kIsolateEnd);
}

} // namespace

QString esc(const QString& text)
{
    return text.toHtmlEscaped();
}

QString isolate(const QString& text)
{
    return text.isEmpty() ? QString() : isolated(esc(text));
}

QString text(const QString& value)
{
    // A run starts and ends with a digit or a Latin letter and may hold the
    // marks that numbers, dates and codes are written with.
    // An amount followed by its currency symbol is one run, kept unbroken.
    static const QRegularExpression run(QStringLiteral(
        "[0-9A-Za-z](?:[0-9A-Za-z.,:/_#%+@\\-]*[0-9A-Za-z%])?(?:[ \\x{00a0}]\\p{Sc})?"));
    // Latin words one space apart ("Sakanova AI") are one run, so they
    // keep their order too.
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    QList<QPair<qsizetype, qsizetype>> runs;
    for (auto it = run.globalMatch(value); it.hasNext();) {
        const auto match = it.next();
        const qsizetype start = match.capturedStart();
        if (!runs.isEmpty() && runs.last().second + 1 == start &&
            (value.at(start - 1) == QLatin1Char(' ') || value.at(start - 1) == kNoBreakSpace) &&
            value.mid(runs.last().first, runs.last().second - runs.last().first).contains(latin) &&
            match.captured().contains(latin))
            runs.last().second = match.capturedEnd();
        else
            runs.append({start, match.capturedEnd()});
    }
    QString out;
    qsizetype done = 0;
    for (const auto& [start, end] : std::as_const(runs)) {
        out += esc(value.mid(done, start - done));
        QString piece = value.mid(start, end - start);
        if (piece.size() > 1 && piece.at(piece.size() - 1).category() == QChar::Symbol_Currency) {
            piece[piece.size() - 2] = kNoBreakSpace;
            out += QStringLiteral("<span style='white-space:nowrap'>") + isolated(esc(piece)) +
                   QStringLiteral("</span>");
        } else {
            out += isolated(esc(piece));
        }
        done = end;
    }
    return out + esc(value.mid(done));
}

QString grouped(double amount, int decimals)
{
    // The office reads Western digits with "," between thousands, as on
    // screen; the C locale would leave the groups out.
    QLocale locale(QLocale::English, QLocale::UnitedStates);
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    const int places = Money::clampDecimals(decimals);
    // Rounded first: -0.00 would print for a negative rounding residue.
    const double shown = Money::roundTo(std::isfinite(amount) ? amount : 0.0, places);
    return locale.toString(shown, 'f', places);
}

QString money(double amount, const QString& symbol, int decimals)
{
    QString number = grouped(amount, decimals);
    if (!symbol.isEmpty())
        number += kNoBreakSpace + symbol;
    return QStringLiteral("<span style='white-space:nowrap'>") + isolated(esc(number)) +
           QStringLiteral("</span>");
}

QString row(const QStringList& cells)
{
    QString html = QStringLiteral("<tr>");
    for (auto it = cells.crbegin(); it != cells.crend(); ++it)
        html += *it;
    return html + QStringLiteral("</tr>");
}

QString th(const QString& escaped)
{
    return QStringLiteral("<th>") + escaped + QStringLiteral("</th>");
}

QString td(const QString& escaped, bool keep)
{
    return (keep ? QStringLiteral("<td class='keep'>") : QStringLiteral("<td>")) + escaped +
           QStringLiteral("</td>");
}

QString cell(const QString& value)
{
    constexpr int kOneLine = 40;
    if (value.size() > kOneLine)
        return td(text(value));
    QString bound = value;
    bound.replace(QLatin1Char(' '), kNoBreakSpace);
    return td(text(bound), true);
}

QString table(const QStringList& headings, const QList<QStringList>& rows, const QString& cssClass)
{
    QStringList heads;
    for (const QString& heading : headings)
        heads << th(esc(heading));
    QString html = QStringLiteral("<table class='") + cssClass +
                   QStringLiteral("' width='100%' cellspacing='0' cellpadding='3'><thead>") +
                   row(heads) + QStringLiteral("</thead><tbody>");
    for (const QStringList& cells : rows)
        html += row(cells);
    return html + QStringLiteral("</tbody></table>");
}

QString figures(const QList<QPair<QString, QString>>& labelled)
{
    QList<QStringList> rows;
    for (const auto& [label, value] : labelled)
        rows << QStringList{QStringLiteral("<td class='label'>") + esc(label) +
                                QStringLiteral("</td>"),
                            td(value, true)};
    QString html = QStringLiteral("<table class='figures' width='100%' cellspacing='0' "
                                  "cellpadding='5'>");
    for (const QStringList& cells : rows)
        html += row(cells);
    return html + QStringLiteral("</table>");
}

QString head()
{
    return QStringLiteral(
        "<html><head><style>"
        "body { color: #1e293b; font-size: 10pt; }"
        "h1 { color: #9a7a35; font-size: 17pt; margin: 0; }"
        "h2 { color: #1e293b; font-size: 15pt; margin: 0; }"
        "p { margin: 2px 0; }"
        ".muted { color: #64748b; font-size: 9pt; }"
        "table.letterhead { border-bottom: 2px solid #C5A059; margin-bottom: 10px; }"
        "table.grid { border-collapse: collapse; margin-top: 6px; }"
        "table.grid th { background-color: #e2e8f0; color: #1e293b; border: 1px solid #94a3b8; "
        "font-size: 9.5pt; font-weight: bold; white-space: nowrap; }"
        "table.grid td { border: 1px solid #cbd5e1; font-size: 9.5pt; }"
        "table.grid tr.total td { background-color: #fdf6e3; font-weight: bold; }"
        "td.keep { white-space: nowrap; }"
        "table.figures { border-collapse: collapse; margin-top: 6px; }"
        "table.figures td { border: 1px solid #e2e8f0; font-size: 10.5pt; }"
        "td.label { background-color: #f8fafc; color: #475569; white-space: nowrap; }"
        "p.words { background-color: #fdf6e3; border: 1px solid #C5A059; padding: 6px; }"
        "</style></head><body>");
}

QString end()
{
    return QStringLiteral("</body></html>");
}

QString letterhead(const Company& company, const QString& title, const QStringList& meta)
{
    QString left = QStringLiteral("<h2>") + esc(title) + QStringLiteral("</h2>");
    for (const QString& line : meta)
        left += QStringLiteral("<p class='muted'>") + line + QStringLiteral("</p>");

    QString right;
    if (!company.name.trimmed().isEmpty())
        right += QStringLiteral("<h1>") + esc(company.name.trimmed()) + QStringLiteral("</h1>");
    for (const QString& line : {company.address, company.phone, company.email}) {
        if (!line.trimmed().isEmpty())
            right +=
                QStringLiteral("<p class='muted'>") + text(line.trimmed()) + QStringLiteral("</p>");
    }

    QStringList cells;
    if (company.logo)
        cells << QStringLiteral("<td width='70' valign='top'><img src='") +
                     QLatin1String(kLogoImage) + QStringLiteral("' width='60' height='60'></td>");
    cells << QStringLiteral("<td valign='top'>") + right + QStringLiteral("</td>");
    cells << QStringLiteral("<td valign='top' align='left'>") + left + QStringLiteral("</td>");
    return QStringLiteral("<table class='letterhead' width='100%' cellspacing='0' "
                          "cellpadding='4'>") +
           row(cells) + QStringLiteral("</table>");
}

QString footer(const Company& company)
{
    QString line = QStringLiteral("طبع بواسطة نظام ساكانوفا");
    if (!company.name.trimmed().isEmpty())
        line += QStringLiteral(" - ") + esc(company.name.trimmed());
    return QStringLiteral("<p class='muted' align='center'><br>") + line + QStringLiteral("</p>");
}

QString signatures(const QString& left)
{
    // One line in each cell (the circle stands in the line), so the block
    // is never split over two pages.
    return QStringLiteral("<br><table width='100%' cellspacing='0' cellpadding='6'>") +
           row({QStringLiteral("<td align='center' valign='middle' class='keep'>") + esc(left) +
                    QStringLiteral(": __________________</td>"),
                QStringLiteral("<td align='center' valign='middle' class='keep'>الختم الرسمي "
                               "<img src='") +
                    QLatin1String(kStampImage) +
                    QStringLiteral("' width='100' height='100' style='vertical-align: "
                                   "middle'></td>")}) +
           QStringLiteral("</table>");
}

} // namespace PrintHtml
