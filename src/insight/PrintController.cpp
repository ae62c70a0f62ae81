#include "insight/PrintController.h"

#include "admin/SettingsManager.h"
#include "core/Desktop.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSet>
#include <QTextDocument>
#include <QTextOption>

namespace {

const char* const reportHead =
    "<html><head><style>body { font-family: 'Arial'; direction: rtl; margin: 20px; color: "
    "#1e293b; }header { text-align: center; border-bottom: 3px solid #C5A059; padding-bottom: "
    "10px; margin-bottom: 20px; }h1 { color: #C5A059; margin: 0; font-size: 24pt; }h2 { color: "
    "#334155; margin: 10px 0; font-size: 18pt; border-bottom: 1px solid #e2e8f0; display: "
    "inline-block; padding: 0 20px; }.summary-box { background: #f8fafc; border: 1px solid "
    "#cbd5e1; padding: 15px; border-radius: 8px; margin-bottom: 20px; }table { width: 100%; "
    "border-collapse: collapse; margin-top: 10px; table-layout: fixed; }th { background-color: "
    "#f1f5f9; color: #475569; border: 1px solid #cbd5e1; padding: 10px; font-size: 11pt; "
    "text-align: center; }td { border: 1px solid #cbd5e1; padding: 8px; font-size: 10pt; "
    "text-align: center; word-wrap: break-word; }tr:nth-child(even) { background-color: "
    "#fcfcfc; }footer { margin-top: 40px; text-align: center; font-size: 9pt; color: #94a3b8; "
    "border-top: 1px solid #e2e8f0; padding-top: 10px; }</style></head><body>";

const char* const statementHead =
    "<html><head><style>body { font-family: 'Arial'; direction: rtl; margin: 20px; color: "
    "#1e293b; }.header-table { width: 100%; border-bottom: 3px solid #C5A059; margin-bottom: "
    "20px; }h1 { color: #C5A059; margin: 0; font-size: 22pt; }.info-box { background: #f8fafc; "
    "border: 1px solid #e2e8f0; padding: 15px; border-radius: 8px; margin-bottom: 20px; width: "
    "100%; }.totals-grid { display: table; width: 100%; margin-bottom: 20px; }.total-item { "
    "display: table-cell; background: #fff; border: 1px solid #C5A059; padding: 10px; "
    "text-align: center; border-radius: 6px; }table.data { width: 100%; border-collapse: "
    "collapse; }table.data th { background: #1e293b; color: #fff; padding: 10px; border: 1px "
    "solid #1e293b; }table.data td { padding: 10px; border: 1px solid #e2e8f0; text-align: "
    "center; }.footer-sig { margin-top: 50px; width: 100%; }</style></head><body>";

// Identifiers that mean nothing on paper.
const QSet<QString>& hiddenColumns()
{
    static const QSet<QString> hidden{QStringLiteral("id"),          QStringLiteral("property_id"),
                                      QStringLiteral("tenant_id"),   QStringLiteral("unit_id"),
                                      QStringLiteral("currency_id"), QStringLiteral("buyer_id"),
                                      QStringLiteral("active")};
    return hidden;
}

QString esc(const QString& text)
{
    return text.toHtmlEscaped();
}

QString esc(const QVariant& value)
{
    return value.toString().toHtmlEscaped();
}

// One table row whose first cell stands on the right. The rich-text layout
// places table cells left to right whatever the direction, so the cells are
// written last first.
QString rowFromRight(const QStringList& cells)
{
    QString row = QStringLiteral("<tr>");
    for (auto it = cells.crbegin(); it != cells.crend(); ++it)
        row += *it;
    return row + QStringLiteral("</tr>");
}

QString printedBy(const QString& company)
{
    return QStringLiteral("طبع بواسطة نظام ساكانوفا - شركة ") + esc(company);
}

} // namespace

PrintController::PrintController(SettingsManager* settings, Desktop* desktop, QObject* parent)
    : BackendObject(parent)
    , m_settings(settings)
    , m_desktop(desktop)
{}

QString PrintController::label(const QString& key)
{
    static const QHash<QString, QString> labels{
        {QStringLiteral("id"), QStringLiteral("م")},
        {QStringLiteral("unit_number"), QStringLiteral("رقم الوحدة")},
        {QStringLiteral("property_name"), QStringLiteral("اسم العقار")},
        {QStringLiteral("status"), QStringLiteral("الحالة")},
        {QStringLiteral("amount"), QStringLiteral("المبلغ")},
        {QStringLiteral("full_name"), QStringLiteral("الاسم الكامل")},
        {QStringLiteral("buyer_name"), QStringLiteral("اسم المشتري")},
        {QStringLiteral("tenant_name"), QStringLiteral("اسم المستأجر")},
        {QStringLiteral("due_date"), QStringLiteral("تاريخ الاستحقاق")},
        {QStringLiteral("payment_date"), QStringLiteral("تاريخ الدفع")},
        {QStringLiteral("area"), QStringLiteral("المساحة")},
        {QStringLiteral("rooms"), QStringLiteral("الغرف")},
        {QStringLiteral("floor"), QStringLiteral("الطابق")},
        {QStringLiteral("price"), QStringLiteral("السعر")},
        {QStringLiteral("balance"), QStringLiteral("الرصيد")},
        {QStringLiteral("description"), QStringLiteral("الوصف")},
        {QStringLiteral("cheque_number"), QStringLiteral("رقم الشيك")},
        {QStringLiteral("bank"), QStringLiteral("البنك")},
        {QStringLiteral("created_at"), QStringLiteral("تاريخ الإضافة")},
        {QStringLiteral("available"), QStringLiteral("متاح")},
        {QStringLiteral("sold"), QStringLiteral("مباع")},
        {QStringLiteral("rented"), QStringLiteral("مؤجر")},
        {QStringLiteral("installment_amount"), QStringLiteral("قيمة القسط")},
        {QStringLiteral("paid_amount"), QStringLiteral("المبلغ المدفوع")},
    };
    return labels.value(key, key);
}

QString PrintController::fileNamePart(const QString& text)
{
    // Separators and the characters Windows refuses in names, plus controls.
    static const QRegularExpression refused(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f\\x7f]"));
    QString part = text;
    part.replace(refused, QStringLiteral(" "));
    part = part.simplified();
    part.replace(QLatin1Char(' '), QLatin1Char('_'));
    // A name of dots alone would point at a folder.
    if (part.count(QLatin1Char('.')) == part.size())
        part.clear();
    return part.left(80);
}

QString PrintController::reportHtml(const QString& title, const QVariantList& data,
                                    const QVariantMap& summary) const
{
    const QString company = m_settings ? m_settings->companyName() : QString();
    const QString address = m_settings ? m_settings->companyAddress() : QString();
    const QString phone = m_settings ? m_settings->companyPhone() : QString();

    QString html = QLatin1String(reportHead);
    html += QStringLiteral("<header><h1>") + esc(company) + QStringLiteral("</h1><p>") +
            esc(address) + QStringLiteral(" | ") + esc(phone) + QStringLiteral("</p><h2>") +
            esc(title) + QStringLiteral("</h2><p>تاريخ التقرير: ") +
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) +
            QStringLiteral("</p></header>");

    if (!summary.isEmpty()) {
        QStringList cells;
        for (auto it = summary.cbegin(); it != summary.cend(); ++it) {
            cells << QStringLiteral("<td style='border:none; text-align:right;'><b>") +
                         esc(it.key()) +
                         QStringLiteral(":</b> <span style='color:#C5A059; font-weight:bold;'>") +
                         esc(it.value()) + QStringLiteral("</span></td>");
        }
        html += QStringLiteral("<div class='summary-box'><table width='100%' style='border:none; "
                               "margin:0;'>") +
                rowFromRight(cells) + QStringLiteral("</table></div>");
    }

    if (!data.isEmpty()) {
        // The first row decides the columns.
        QStringList columns;
        const QVariantMap first = data.first().toMap();
        for (auto it = first.cbegin(); it != first.cend(); ++it) {
            if (!hiddenColumns().contains(it.key()))
                columns << it.key();
        }
        QStringList headings;
        for (const QString& column : std::as_const(columns))
            headings << QStringLiteral("<th>") + esc(label(column)) + QStringLiteral("</th>");
        html += QStringLiteral("<table width='100%'><thead>") + rowFromRight(headings) +
                QStringLiteral("</thead><tbody>");
        for (const QVariant& item : data) {
            const QVariantMap row = item.toMap();
            QStringList cells;
            for (const QString& column : std::as_const(columns)) {
                QString cell = row.value(column).toString();
                if (column == QLatin1String("status"))
                    cell = label(cell);
                cells << QStringLiteral("<td>") + esc(cell) + QStringLiteral("</td>");
            }
            html += rowFromRight(cells);
        }
        html += QStringLiteral("</tbody></table>");
    }

    // A paragraph inside, so the layout centres it as the footer's style asks.
    html += QStringLiteral("<footer><p>") + printedBy(company) + QStringLiteral("</p></footer>");
    html += QStringLiteral("</body></html>");
    return html;
}

QString PrintController::statementHtml(const QString& entityName, const QString& entityType,
                                       const QVariantList& transactions,
                                       const QVariantMap& totals) const
{
    const QString company = m_settings ? m_settings->companyName() : QString();
    const QString address = m_settings ? m_settings->companyAddress() : QString();
    const QString phone = m_settings ? m_settings->companyPhone() : QString();

    QString html = QLatin1String(statementHead);
    html += QStringLiteral("<table class='header-table' width='100%'>") +
            rowFromRight({QStringLiteral("<td style='text-align:right;'><h1>") + esc(company) +
                              QStringLiteral("</h1><p>") + esc(address) + QStringLiteral("<br>") +
                              esc(phone) + QStringLiteral("</p></td>"),
                          QStringLiteral("<td style='text-align:left; vertical-align:top;'><h2 "
                                         "style='margin:0;'>كشف حساب ") +
                              esc(entityType) + QStringLiteral("</h2><p>تاريخ: ") +
                              QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) +
                              QStringLiteral("</p></td>")}) +
            QStringLiteral("</table>");
    html += QStringLiteral("<div class='info-box'>اسم الحساب: <b>") + esc(entityName) +
            QStringLiteral("</b></div>");

    QStringList totalCells;
    for (auto it = totals.cbegin(); it != totals.cend(); ++it) {
        totalCells << QStringLiteral("<td style='background:#fdfaf3; border:1px solid #C5A059; "
                                     "padding:15px; text-align:center; border-radius:10px;'><div "
                                     "style='font-size:10pt; color:#64748b;'>") +
                          esc(it.key()) +
                          QStringLiteral("</div><div style='font-size:16pt; font-weight:bold; "
                                         "color:#1e293b;'>") +
                          esc(it.value()) + QStringLiteral("</div></td>");
    }
    html += QStringLiteral("<table width='100%' cellspacing='10'>") + rowFromRight(totalCells) +
            QStringLiteral("</table>");

    html +=
        QStringLiteral("<table class='data' width='100%'><thead>") +
        rowFromRight({QStringLiteral("<th>التاريخ</th>"), QStringLiteral("<th>البيان / الوصف</th>"),
                      QStringLiteral("<th>رقم المرجع</th>"), QStringLiteral("<th>المدفوع</th>"),
                      QStringLiteral("<th>المتبقي</th>")}) +
        QStringLiteral("</thead><tbody>");
    for (const QVariant& item : transactions) {
        const QVariantMap row = item.toMap();
        html += rowFromRight(
            {QStringLiteral("<td>") + esc(row.value(QStringLiteral("date"))) +
                 QStringLiteral("</td>"),
             QStringLiteral("<td style='text-align:right;'>") +
                 esc(row.value(QStringLiteral("description"))) + QStringLiteral("</td>"),
             QStringLiteral("<td>") + esc(row.value(QStringLiteral("reference"))) +
                 QStringLiteral("</td>"),
             QStringLiteral("<td style='color:#22c55e; font-weight:bold;'>") +
                 esc(row.value(QStringLiteral("amount"))) + QStringLiteral("</td>"),
             QStringLiteral("<td>") + esc(row.value(QStringLiteral("balance"))) +
                 QStringLiteral("</td>")});
    }
    html += QStringLiteral("</tbody></table>");

    html += QStringLiteral("<table class='footer-sig' width='100%'>") +
            rowFromRight({QStringLiteral("<td style='text-align:center;'>توقيع "
                                         "المحاسب<br><br>_________________</td>"),
                          QStringLiteral("<td style='text-align:center;'>الختم "
                                         "الرسمي<br><br><div style='width:100px; height:100px; "
                                         "border:2px dashed #cbd5e1; margin:auto; "
                                         "border-radius:50%;'></div></td>")}) +
            QStringLiteral("</table>");
    html += QStringLiteral("<p style='text-align:center; margin-top:30px; font-size:9pt; "
                           "color:#94a3b8;'>") +
            printedBy(company) + QStringLiteral("</p></body></html>");
    return html;
}

bool PrintController::printReport(const QString& title, const QString& type,
                                  const QVariantList& data, const QVariantMap& summary)
{
    Q_UNUSED(type)
    clearError();
    emit printStarted();
    QString stem = fileNamePart(title);
    if (stem.isEmpty())
        stem = QStringLiteral("تقرير");
    return output(reportHtml(title, data, summary), freePath(stem));
}

bool PrintController::printStatement(const QString& entityName, const QString& entityType,
                                     const QVariantList& transactions, const QVariantMap& totals)
{
    clearError();
    emit printStarted();
    return output(statementHtml(entityName, entityType, transactions, totals),
                  freePath(QStringLiteral("Statement_") + fileNamePart(entityName)));
}

QString PrintController::freePath(const QString& stem) const
{
    // The time to the second keeps prints of one day apart; a counter
    // separates two made within the same second.
    const QString base = m_desktop->documentsFolder() + QLatin1Char('/') + stem + QLatin1Char('_') +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    QString path = base + QStringLiteral(".pdf");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = base + QStringLiteral("_%1.pdf").arg(n);
    return path;
}

bool PrintController::failed(const QString& reason, const QString& path)
{
    refuse(reason);
    emit printError(reason);
    emit printFinished(false, path);
    return false;
}

bool PrintController::output(const QString& html, const QString& path)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return failed(QStringLiteral("تعذر إنشاء مجلد المستندات لحفظ الملف"), path);

    QTextDocument document;
    // Arabic pages: paragraphs and table columns run from the right.
    QTextOption option = document.defaultTextOption();
    option.setTextDirection(Qt::RightToLeft);
    document.setDefaultTextOption(option);
    document.setHtml(html);
    {
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        document.print(&writer);
    }

    const QFileInfo written(path);
    if (!written.exists() || written.size() == 0) {
        QFile::remove(path);
        return failed(QStringLiteral("تعذرت كتابة ملف PDF في مجلد المستندات"), path);
    }
    m_desktop->openPath(path);
    emit printFinished(true, path);
    return true;
}
