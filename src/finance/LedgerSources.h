#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
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

    // Reads at once, one statement per kind of look-up, the rows describe()
    // will ask for these events (reference type and id each): a ledger page
    // looked each line's row up on its own, two round trips a line on a
    // server.
    void prepare(const QList<QPair<QString, int>>& events);

    QString describe(const QString& referenceType, int referenceId) const;

private:
    // The text of a known event kind without any reversal wording; empty
    // when the kind is unknown.
    QString eventText(const QString& kind, int id) const;
    // `column` of the row of `from` whose `key` is `id`, as text; empty when
    // there is none. Read by prepare() when it was asked for there.
    QString lookup(const QString& column, const QString& from, const QString& key, int id) const;

    Database* m_db;
    // While prepare() gathers: the ids each look-up will be asked for.
    mutable QHash<QString, QSet<int>>* m_wanted = nullptr;
    // What prepare() read: per look-up, each asked id's text.
    QHash<QString, QHash<int, QString>> m_read;
};
