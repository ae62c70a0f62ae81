#include "insight/PrintPages.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>

#include <cmath>
#include <functional>

// The resolution the text layout scales format lengths from (margins,
// paddings); exported by QtGui for exactly this conversion.
Q_GUI_EXPORT int qt_defaultDpiY();

namespace {

constexpr double kMarginCm = 2.0;

struct RowSpan
{
    double top = 0; // top of the row's first line, in device units
    double bottom = 0;
};

RowSpan spanOf(const QTextDocument& document, QTextTable* table, int row)
{
    auto* layout = document.documentLayout();
    RowSpan span{1e300, -1e300};
    for (int column = 0; column < table->columns(); ++column) {
        const QTextTableCell cell = table->cellAt(row, column);
        if (!cell.isValid() || cell.row() != row || cell.column() != column)
            continue;
        const int end = cell.lastCursorPosition().position();
        for (QTextBlock block = cell.firstCursorPosition().block();
             block.isValid() && block.position() <= end; block = block.next()) {
            const QTextLayout* lines = block.layout();
            const double origin =
                layout->blockBoundingRect(block).top() - lines->boundingRect().top();
            for (int i = 0; i < lines->lineCount(); ++i) {
                const QTextLine line = lines->lineAt(i);
                span.top = std::min(span.top, origin + line.y());
                span.bottom = std::max(span.bottom, origin + line.y() + line.height());
            }
        }
    }
    return span;
}

QList<double> columnShares(QTextTable* table)
{
    // A laid-out line is as wide as its cell leaves room for, whatever the
    // length of its text.
    QList<double> widths;
    double total = 0;
    for (int column = 0; column < table->columns(); ++column) {
        const QTextTableCell cell = table->cellAt(0, column);
        const QTextLayout* lines =
            cell.isValid() ? cell.firstCursorPosition().block().layout() : nullptr;
        const double width = lines && lines->lineCount() > 0 ? lines->lineAt(0).width() : 0;
        widths << width;
        total += width;
    }
    for (double& width : widths)
        width = total > 0 ? width / total : 0;
    return widths;
}

// The heading cells of `head` with their columns' shares of the width.
QString withWidths(QString head, const QList<double>& widths)
{
    static const QRegularExpression cell(QStringLiteral("<th(?=[\\s>])(?![^>]*width=)"));
    qsizetype from = 0;
    for (double width : widths) {
        const auto match = cell.match(head, from);
        if (!match.hasMatch())
            break;
        const QString attribute = QStringLiteral(" width='%1%'").arg(qRound(width * 100));
        head.insert(match.capturedEnd(), attribute);
        from = match.capturedEnd() + attribute.size();
    }
    return head;
}

// Tables in the order their markup opens them.
void forEachTable(QTextFrame* frame, const std::function<bool(QTextTable*)>& visit)
{
    for (QTextFrame* child : frame->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(child); table && !visit(table))
            return;
        forEachTable(child, visit);
    }
}

} // namespace

void PrintPages::layOut(QTextDocument& document, QPagedPaintDevice& device)
{
    document.documentLayout()->setPaintDevice(&device);
    QTextFrameFormat frame = document.rootFrame()->frameFormat();
    frame.setMargin(int((kMarginCm / 2.54) * qt_defaultDpiY()));
    document.rootFrame()->setFrameFormat(frame);
    document.setPageSize(QSizeF(device.width(), device.height()));
}

PrintPages::Cut PrintPages::firstCut(const QTextDocument& document)
{
    const double page = document.pageSize().height();
    const double body =
        page - 2 * (kMarginCm / 2.54) * document.documentLayout()->paintDevice()->logicalDpiY();
    Cut cut;
    int index = 0;
    bool stop = false;
    forEachTable(document.rootFrame(), [&](QTextTable* table) {
        for (int row = 0; row < table->rows() && !stop; ++row) {
            const RowSpan span = spanOf(document, table, row);
            if (span.top > span.bottom)
                continue;
            const bool cutHere =
                std::floor(span.top / page) != std::floor((span.bottom - 0.5) / page);
            // A row taller than a page is cut wherever it stands.
            if (cutHere && span.bottom - span.top < body) {
                cut = {index, row, columnShares(table)};
                stop = true;
            }
        }
        ++index;
        return !stop;
    });
    return cut;
}

QString PrintPages::breakBefore(const QString& html, const Cut& cut)
{
    static const QRegularExpression tag(QStringLiteral("<(/?)(table|thead|tbody|tr)\\b[^>]*>"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QString pageBreak = QStringLiteral(" style='page-break-before:always'");
    struct Open
    {
        int index = 0;
        qsizetype start = 0;
        QString openingTag;
        qsizetype headStart = -1;
        qsizetype headEnd = -1;
        QString head;
        int headRows = 0;
        bool inHead = false;
        bool inBody = false;
        int rows = 0;
    };
    QList<Open> open;
    int tables = 0;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();
        if (name == QLatin1String("table")) {
            if (!closing) {
                Open table;
                table.index = tables++;
                table.start = m.capturedStart();
                table.openingTag = m.captured(0);
                open.append(table);
            } else if (!open.isEmpty()) {
                open.removeLast();
            }
            continue;
        }
        if (open.isEmpty() || open.last().index != cut.table)
            continue;
        Open& table = open.last();
        if (name == QLatin1String("thead")) {
            table.inHead = !closing;
            if (!closing)
                table.headStart = m.capturedStart();
            else if (table.headStart >= 0) {
                table.headEnd = m.capturedEnd();
                table.head = html.mid(table.headStart, table.headEnd - table.headStart);
            }
        } else if (name == QLatin1String("tbody")) {
            table.inBody = !closing;
        } else if (name == QLatin1String("tr") && !closing) {
            table.headRows += table.inHead;
            if (table.rows++ != cut.row)
                continue;
            QString opening = table.openingTag;
            if (cut.row <= table.headRows) {
                // Nothing of the body would stay behind: the whole table
                // starts on the next page, once.
                if (opening.contains(pageBreak))
                    return html;
                opening.insert(opening.size() - 1, pageBreak);
                return html.left(table.start) + opening +
                       html.mid(table.start + table.openingTag.size());
            }
            opening.insert(opening.size() - 1, pageBreak);
            // Both parts get the columns as laid out whole; each would
            // otherwise size them to its own rows.
            const QString head = withWidths(table.head, cut.widths);
            const QString reopen = (table.inBody ? QStringLiteral("</tbody>") : QString()) +
                                   QStringLiteral("</table>") + opening + head +
                                   (table.inBody ? QStringLiteral("<tbody>") : QString());
            if (table.headEnd < 0)
                return html.left(m.capturedStart()) + reopen + html.mid(m.capturedStart());
            return html.left(table.headStart) + head +
                   html.mid(table.headEnd, m.capturedStart() - table.headEnd) + reopen +
                   html.mid(m.capturedStart());
        }
    }
    return html;
}

bool PrintPages::paint(QTextDocument& document, QPagedPaintDevice& device)
{
    QPainter painter(&device);
    if (!painter.isActive())
        return false;
    const QSizeF page = document.pageSize();
    const double dpi = device.logicalDpiY();
    const double margin = (kMarginCm / 2.54) * dpi;
    const QFont numberFont = document.defaultFont();
    const double ascent = QFontMetricsF(numberFont, &device).ascent();
    const int pages = document.pageCount();
    for (int index = 0; index < pages; ++index) {
        if (index > 0 && !device.newPage())
            return false;
        painter.save();
        const QRectF view(0, index * page.height(), page.width(), page.height());
        painter.translate(0, -view.top());
        painter.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = view;
        context.palette.setColor(QPalette::Text, Qt::black);
        document.documentLayout()->draw(&painter, context);
        painter.setClipping(false);
        painter.setFont(numberFont);
        const QString number = QString::number(index + 1);
        const double width = painter.fontMetrics().horizontalAdvance(number);
        painter.drawText(QPointF(page.width() - margin - width,
                                 view.bottom() - margin + ascent + 5.0 * dpi / 72.0),
                         number);
        painter.restore();
    }
    return painter.end();
}
