#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Desktop;
class SettingsManager;

// Turns rows a page has already gathered into a PDF in the documents
// folder: a tabular report or an account statement, under the company's
// header, then opens it in the desktop's viewer. Every value is escaped
// before it enters the HTML, so names print exactly as they were typed.
class PrintController : public BackendObject
{
    Q_OBJECT

public:
    PrintController(SettingsManager* settings, Desktop* desktop, QObject* parent = nullptr);

    // `type` is accepted for the callers' sake and not printed.
    Q_INVOKABLE bool printReport(const QString& title, const QString& type,
                                 const QVariantList& data, const QVariantMap& summary);
    Q_INVOKABLE bool printStatement(const QString& entityName, const QString& entityType,
                                    const QVariantList& transactions, const QVariantMap& totals);

    // The documents built by the two calls, exposed so the layout can be
    // checked without printing.
    QString reportHtml(const QString& title, const QVariantList& data,
                       const QVariantMap& summary) const;
    QString statementHtml(const QString& entityName, const QString& entityType,
                          const QVariantList& transactions, const QVariantMap& totals) const;

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
    // Lays the HTML out on A4 pages into `path`, checks the file and opens
    // it; reports a failure through printError and printFinished(false).
    bool output(const QString& html, const QString& path);
    // A path in the documents folder that no earlier print occupies.
    QString freePath(const QString& stem) const;
    bool failed(const QString& reason, const QString& path);

    SettingsManager* m_settings;
    Desktop* m_desktop;
};
