#include "insight/PrintRenderer.h"

#include "insight/PrintHtml.h"
#include "insight/PrintPages.h"

#include <QFileInfo>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include <memory>

QImage PrintRenderer::logo()
{
    static const QImage image(QStringLiteral(":/assets/logo.ico"));
    return image;
}

QImage PrintRenderer::stampCircle()
{
    QImage image(400, 400, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(0x94, 0xa3, 0xb8), 8, Qt::DashLine);
    painter.setPen(pen);
    painter.drawEllipse(QRectF(8, 8, 384, 384));
    return image;
}

namespace {

void build(QTextDocument& document, const QString& html)
{
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans Arabic"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(10);
    document.setDefaultFont(font);
    document.addResource(QTextDocument::ImageResource, QUrl(QLatin1String(PrintHtml::kStampImage)),
                         PrintRenderer::stampCircle());
    if (!PrintRenderer::logo().isNull())
        document.addResource(QTextDocument::ImageResource,
                             QUrl(QLatin1String(PrintHtml::kLogoImage)), PrintRenderer::logo());
    document.setHtml(html);

    // The HTML importer leaves a block's direction to its text; an Arabic
    // paper runs from the right everywhere, table cells included.
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextCursor at(block);
        QTextBlockFormat format;
        format.setLayoutDirection(Qt::RightToLeft);
        at.mergeBlockFormat(format);
    }
    cursor.endEditBlock();
}

} // namespace

bool PrintRenderer::write(const QString& html, const QString& path, Orientation orientation)
{
    QPdfWriter writer(path);
    writer.setCreator(QStringLiteral("Sakanova"));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageOrientation(orientation == Orientation::Landscape ? QPageLayout::Landscape
                                                                    : QPageLayout::Portrait);
    // The layout keeps its own margins and puts the page number below them.
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);

    // Each break moves the rest of the paper on, so the pages are looked
    // at again after each one; a paper needs as many as it has pages.
    QString paper = html;
    auto document = std::make_unique<QTextDocument>();
    build(*document, paper);
    PrintPages::layOut(*document, writer);
    for (int breaks = 0; breaks < 500; ++breaks) {
        const PrintPages::Cut cut = PrintPages::firstCut(*document);
        const QString broken = cut.found() ? PrintPages::breakBefore(paper, cut) : paper;
        if (broken == paper)
            break;
        paper = broken;
        document = std::make_unique<QTextDocument>();
        build(*document, paper);
        PrintPages::layOut(*document, writer);
    }
    if (!PrintPages::paint(*document, writer))
        return false;
    const QFileInfo written(path);
    return written.exists() && written.size() > 0;
}
