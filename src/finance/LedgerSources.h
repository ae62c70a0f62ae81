#pragma once

#include <QString>

class Database;

// What a journal entry came from, as the office reads it: "فاتورة INV-2026-03-0012",
// "دفعة على فاتورة ...", "بيع وحدة A-12", "قيد يدوي". An entry names its event by
// `reference_type` and the row by `reference_id`; the text looks the row up
// (its invoice number, unit number, cheque number) so it stays readable after
// the numbers are all that is left of the event.
class LedgerSources
{
public:
    explicit LedgerSources(Database* db)
        : m_db(db)
    {}

    QString describe(const QString& referenceType, int referenceId) const;

private:
    // The text of a known event kind without any reversal wording; empty
    // when the kind is unknown.
    QString eventText(const QString& kind, int id) const;
    // The first column of a one-row lookup as text, empty when there is none.
    QString lookup(const QString& sql, int id) const;

    Database* m_db;
};
