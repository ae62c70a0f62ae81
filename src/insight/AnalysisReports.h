#pragma once

#include <QVariantList>
#include <QVariantMap>

class Database;

// Ready-to-show Arabic text about the state of the books: the insight cards
// of the dashboard and the reports page, and the Markdown analysis.
class AnalysisReports
{
public:
    explicit AnalysisReports(Database* db);

    QVariantList insightCards();
    QVariantMap smartAnalysis();

private:
    QString primarySymbol();

    Database* m_db;
};
