#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Database;
class Desktop;
class SettingsManager;
struct Paper;

// Prints the papers of the office into PDF files in the documents folder and
// opens them in the desktop's viewer: the reports page's tabs, the tenant's
// and the buyer's statements, invoices and payment receipts, and tables a
// page has gathered itself. Every paper runs right to left under the
// company's letterhead; every value is escaped before it enters the HTML, so
// names print exactly as they were typed.
class PrintController : public BackendObject
{
    Q_OBJECT

public:
    // Without a database only the papers built from a page's own rows
    // (printReport, printStatement) can be printed.
    PrintController(SettingsManager* settings, Desktop* desktop, Database* db = nullptr,
                    QObject* parent = nullptr);

    // `type` is accepted for the callers' sake and not printed.
    Q_INVOKABLE bool printReport(const QString& title, const QString& type,
                                 const QVariantList& data, const QVariantMap& summary);
    // The same report, saved to be passed on: its folder is opened rather
    // than the file, so the user can attach or copy it.
    Q_INVOKABLE bool exportReport(const QString& title, const QString& type,
                                  const QVariantList& data, const QVariantMap& summary);
    Q_INVOKABLE bool printStatement(const QString& entityName, const QString& entityType,
                                    const QVariantList& transactions, const QVariantMap& totals);

    // Tab `tab` of the reports page (0 analysis ... 5 cheques) over the
    // range "yyyy-MM-dd" to "yyyy-MM-dd" (empty bounds: all dates). Shared,
    // the file's folder is opened instead of the file.
    Q_INVOKABLE bool printReportTab(int tab, const QString& from, const QString& to,
                                    bool share = false);
    Q_INVOKABLE bool printTenantStatement(int tenantId);
    Q_INVOKABLE bool printBuyerStatement(int buyerId);
    Q_INVOKABLE bool printInvoice(int invoiceId);
    // Several invoices in one file, each on its own page (a rent run).
    Q_INVOKABLE bool printInvoices(const QVariantList& invoiceIds);
    // Every rent invoice of `period` ("yyyy-MM") in one file: what a rent
    // run wrote, to hand out.
    Q_INVOKABLE bool printRentRun(const QString& period);
    // The receipt ("سند قبض") of one payment.
    Q_INVOKABLE bool printReceipt(int paymentId);

    // The documents built by the calls, exposed so the layout can be checked
    // without printing.
    QString reportHtml(const QString& title, const QVariantList& data,
                       const QVariantMap& summary) const;
    QString statementHtml(const QString& entityName, const QString& entityType,
                          const QVariantList& transactions, const QVariantMap& totals) const;
    QString paperHtml(const Paper& paper) const;

    // Arabic heading for a column key (or a status word); the key itself
    // when it has none.
    static QString label(const QString& key);
    // `text` made fit for a file name: white space collapsed to "_",
    // characters that file systems refuse replaced, length capped.
    static QString fileNamePart(const QString& text);

signals:
    void printStarted();
    void printFinished(bool success, const QString& filePath);
    void printError(const QString& message);

private:
    enum class Show
    {
        File,
        Folder
    };

    // Prints `paper` (refused when it has no title: the record is gone).
    bool printPaper(const Paper& paper, Show show = Show::File);
    // Lays the HTML out into `path`, checks the file and opens it (or its
    // folder); reports a failure through printError and
    // printFinished(false).
    bool output(const QString& html, const QString& path, Show show = Show::File,
                bool landscape = false);
    QString reportPath(const QString& title) const;
    // A path in the documents folder that no earlier print occupies.
    QString freePath(const QString& stem) const;
    bool failed(const QString& reason, const QString& path);
    bool needsDatabase();

    SettingsManager* m_settings;
    Desktop* m_desktop;
    Database* m_db;
};
