#include "insight/PrintController.h"

#include "admin/SettingsManager.h"
#include "core/Desktop.h"
#include "insight/DateRange.h"
#include "insight/PaperPrints.h"
#include "insight/PrintHtml.h"
#include "insight/PrintRenderer.h"
#include "insight/ReportPrints.h"
#include "insight/StatementPrints.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

using namespace PrintHtml;

namespace {

// Identifiers that mean nothing on paper.
const QSet<QString>& hiddenColumns()
{
    static const QSet<QString> hidden{QStringLiteral("id"),          QStringLiteral("property_id"),
                                      QStringLiteral("tenant_id"),   QStringLiteral("unit_id"),
                                      QStringLiteral("currency_id"), QStringLiteral("buyer_id"),
                                      QStringLiteral("active")};
    return hidden;
}

} // namespace

PrintController::PrintController(SettingsManager* settings, Desktop* desktop, Database* db,
                                 QObject* parent)
    : BackendObject(parent)
    , m_settings(settings)
    , m_desktop(desktop)
    , m_db(db)
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

QString PrintController::paperHtml(const Paper& paper) const
{
    Company company;
    if (m_settings) {
        company.name = m_settings->companyName();
        company.address = m_settings->companyAddress();
        company.phone = m_settings->companyPhone();
        company.email = m_settings->companyEmail();
    }
    company.logo = !PrintRenderer::logo().isNull();
    QString html = head() + letterhead(company, paper.title, paper.meta) + paper.body;
    if (paper.signatures)
        html += signatures();
    return html + footer(company) + end();
}

QString PrintController::reportHtml(const QString& title, const QVariantList& data,
                                    const QVariantMap& summary) const
{
    Paper paper;
    paper.title = title;
    paper.meta << QStringLiteral("تاريخ التقرير: ") + isolate(QDateTime::currentDateTime().toString(
                                                          QStringLiteral("yyyy-MM-dd HH:mm")));
    if (!summary.isEmpty()) {
        QList<QPair<QString, QString>> lines;
        for (auto it = summary.cbegin(); it != summary.cend(); ++it)
            lines << qMakePair(it.key(), text(it.value().toString()));
        paper.body += figures(lines);
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
            headings << label(column);
        QList<QStringList> rows;
        for (const QVariant& item : data) {
            const QVariantMap row = item.toMap();
            QStringList cells;
            for (const QString& column : std::as_const(columns)) {
                QString cell = row.value(column).toString();
                if (column == QLatin1String("status"))
                    cell = label(cell);
                cells << td(text(cell));
            }
            rows << cells;
        }
        paper.body += table(headings, rows);
    }
    return paperHtml(paper);
}

QString PrintController::statementHtml(const QString& entityName, const QString& entityType,
                                       const QVariantList& transactions,
                                       const QVariantMap& totals) const
{
    Paper paper;
    paper.title = QStringLiteral("كشف حساب ") + entityType;
    paper.meta << QStringLiteral("تاريخ: ") +
                      isolate(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    paper.signatures = true;
    paper.body = QStringLiteral("<p style='font-size:12pt'>اسم الحساب: <b>") + text(entityName) +
                 QStringLiteral("</b></p>");
    QList<QPair<QString, QString>> lines;
    for (auto it = totals.cbegin(); it != totals.cend(); ++it)
        lines << qMakePair(it.key(), text(it.value().toString()));
    if (!lines.isEmpty())
        paper.body += figures(lines);
    QList<QStringList> rows;
    for (const QVariant& item : transactions) {
        const QVariantMap row = item.toMap();
        const auto field = [&](const char* key) {
            return text(row.value(QLatin1String(key)).toString());
        };
        rows << QStringList{td(field("date"), true), td(field("description")),
                            td(field("reference")), td(field("amount"), true),
                            td(field("balance"), true)};
    }
    paper.body +=
        table({QStringLiteral("التاريخ"), QStringLiteral("البيان / الوصف"),
               QStringLiteral("رقم المرجع"), QStringLiteral("المدفوع"), QStringLiteral("المتبقي")},
              rows);
    return paperHtml(paper);
}

bool PrintController::printReport(const QString& title, const QString& type,
                                  const QVariantList& data, const QVariantMap& summary)
{
    Q_UNUSED(type)
    clearError();
    emit printStarted();
    return output(reportHtml(title, data, summary), reportPath(title));
}

bool PrintController::exportReport(const QString& title, const QString& type,
                                   const QVariantList& data, const QVariantMap& summary)
{
    Q_UNUSED(type)
    clearError();
    emit printStarted();
    return output(reportHtml(title, data, summary), reportPath(title), Show::Folder);
}

bool PrintController::printStatement(const QString& entityName, const QString& entityType,
                                     const QVariantList& transactions, const QVariantMap& totals)
{
    clearError();
    emit printStarted();
    return output(statementHtml(entityName, entityType, transactions, totals),
                  freePath(QStringLiteral("Statement_") + fileNamePart(entityName)));
}

bool PrintController::needsDatabase()
{
    if (m_db)
        return true;
    return failed(QStringLiteral("لا يمكن قراءة البيانات للطباعة"), QString());
}

bool PrintController::printReportTab(int tab, const QString& from, const QString& to, bool share)
{
    clearError();
    emit printStarted();
    if (!needsDatabase())
        return false;
    if (ReportPrints::title(tab).isEmpty())
        return failed(QStringLiteral("لا يوجد تقرير بهذا الرقم"), QString());
    const DateRange range(from, to);
    if (!range.isValid())
        return failed(DateRange::invalidReason(), QString());
    return printPaper(ReportPrints(m_db).paper(tab, range), share ? Show::Folder : Show::File);
}

bool PrintController::printTenantStatement(int tenantId)
{
    clearError();
    emit printStarted();
    return needsDatabase() && printPaper(StatementPrints(m_db).tenant(tenantId));
}

bool PrintController::printBuyerStatement(int buyerId)
{
    clearError();
    emit printStarted();
    return needsDatabase() && printPaper(StatementPrints(m_db).buyer(buyerId));
}

bool PrintController::printInvoice(int invoiceId)
{
    clearError();
    emit printStarted();
    return needsDatabase() && printPaper(PaperPrints(m_db).invoice(invoiceId));
}

bool PrintController::printInvoices(const QVariantList& invoiceIds)
{
    clearError();
    emit printStarted();
    QList<int> ids;
    for (const QVariant& id : invoiceIds)
        ids << id.toInt();
    return needsDatabase() && printPaper(PaperPrints(m_db).invoices(ids));
}

bool PrintController::printRentRun(const QString& period)
{
    clearError();
    emit printStarted();
    if (!needsDatabase())
        return false;
    const PaperPrints papers(m_db);
    return printPaper(papers.invoices(papers.rentInvoiceIds(period)));
}

bool PrintController::printReceipt(int paymentId)
{
    clearError();
    emit printStarted();
    return needsDatabase() && printPaper(PaperPrints(m_db).receipt(paymentId));
}

bool PrintController::printPaper(const Paper& paper, Show show)
{
    if (paper.title.isEmpty())
        return failed(QStringLiteral("السجل المطلوب غير موجود، لم تتم الطباعة"), QString());
    QString stem = fileNamePart(paper.fileStem);
    if (stem.isEmpty())
        stem = QStringLiteral("مستند");
    return output(paperHtml(paper), freePath(stem), show, paper.landscape);
}

QString PrintController::reportPath(const QString& title) const
{
    QString stem = fileNamePart(title);
    if (stem.isEmpty())
        stem = QStringLiteral("تقرير");
    return freePath(stem);
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

bool PrintController::output(const QString& html, const QString& path, Show show, bool landscape)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return failed(QStringLiteral("تعذر إنشاء مجلد المستندات لحفظ الملف"), path);
    if (!PrintRenderer::write(html, path,
                              landscape ? PrintRenderer::Orientation::Landscape
                                        : PrintRenderer::Orientation::Portrait)) {
        QFile::remove(path);
        return failed(QStringLiteral("تعذرت كتابة ملف PDF في مجلد المستندات"), path);
    }
    m_desktop->openPath(show == Show::Folder ? QFileInfo(path).absolutePath() : path);
    emit printFinished(true, path);
    return true;
}
