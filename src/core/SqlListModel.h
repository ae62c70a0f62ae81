#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <QVector>

#include "core/SqlReader.h"

class Database;
class ListReader;

// A long list read a screenful at a time, for ListView. Search, filters, sort,
// the row count and the money totals are all worked out by SQL; the model keeps
// only the row ids of what has been loaded plus a few recently shown pages of
// values, so scrolling to the end of half a million rows stays small.
//
// Pages follow one another by key (the sort value and the row id of the last
// loaded row), so a row written between two fetches never shows twice and
// never pushes a row out of the list.
//
// QML API: searchText, filters (map), sortColumn, sortDescending, count (rows
// loaded), totalCount (rows matching), totals (map of sums plus
// "mixedCurrencies", and "converted" where the list has one), reload(), refresh(), get(row). Roles
// are the column names of the row query, so a delegate reads model.invoice_number and the like. A
// list is read when a view first asks for rows; totalCount and totals follow in the next turn of
// the event loop (totalsChanged), so the first screenful is not held up by counting a long list;
// reading them earlier counts at once. Given a ListReader (setReader), the count and totals are
// read on its thread instead: totalsPending is true until they arrive, a new search or filter
// zeroes them at once (an older search's figures are never shown) and
// supersedes the older count, and reading them never waits.
// Changing the search, filters or sort starts again from the top.
//
// The lists AppContext publishes. Filter keys ("", 0 or a missing key means no
// filter, unknown keys are ignored); date_from / date_to bound the main date;
// sort columns are the only values sortColumn accepts (others keep the
// default):
//
// invoiceList (rows as InvoiceModel::getAll; newest first by created_at)
//   filters: status, tenant_id, unit_id, contract_id, period, currency_id,
//            property_id, date_from/date_to on created_at
//   search:  invoice_number, period, tenant name, unit number, property name
//   sort:    created_at, invoice_number, period, due_date, total_amount, balance,
//            status
//   totals:  total_amount, paid_amount, balance
// paymentList (as PaymentModel::getAll; newest first by payment_date)
//   filters: tenant_id, buyer_id, invoice_id, unit_id, payment_method,
//            currency_id, date_from/date_to on payment_date
//   search:  reference, notes, tenant name, buyer name, invoice number
//   sort:    payment_date, amount, created_at
//   totals:  amount
// expenseList (as ExpenseModel::getAll; newest first by expense_date)
//   filters: property_id, unit_id, category, contractor_id, currency_id,
//            date_from/date_to on expense_date
//   search:  description, vendor, category, property name, contractor name
//   sort:    expense_date, amount, category
//   totals:  amount
// chequeList (as ChequeModel::getAll; latest due date first)
//   filters: status, type, tenant_id, buyer_id, currency_id,
//            date_from/date_to on due_date
//   search:  cheque_number, bank_name, payer_name, payee_name
//   sort:    due_date, amount, issue_date, status
//   totals:  amount
// maintenanceList (as MaintenanceModel::getAll; newest first by created_at)
//   filters: status, priority, unit_id, property_id,
//            date_from/date_to on request_date
//   search:  title, description, assigned_to, unit number, property name
//   sort:    created_at, request_date, priority, status, cost
//   totals:  cost
// contractList (as ContractModel::getAll; newest first by created_at)
//   filters: status, tenant_id, unit_id, property_id, currency_id,
//            date_from/date_to on start_date
//   search:  tenant name, unit number, property name, notes
//   sort:    created_at, start_date, end_date, rent_amount, status
//   totals:  rent_amount
// installmentList (as InstallmentModel::getAll; earliest due date first)
//   filters: status, buyer_id, unit_id, property_id, currency_id,
//            date_from/date_to on due_date
//   search:  buyer name, unit number, property name, cheque_number, bank_name
//   sort:    due_date, installment_amount, paid_amount, status
//   totals:  installment_amount, paid_amount
// tenantList (as TenantModel::getAll, with "balances"; by name)
//   search:  full_name, phone, id_number
//   sort:    full_name
// buyerList (as BuyerModel::getAll, with "balances"; by name)
//   search:  full_name, phone, id_number
//   sort:    full_name
// journalList (as AccountModel::getJournalEntries; latest entry_date first)
//   filters: reference_type, reference_id, cost_center_id, contractor_id,
//            date_from/date_to on entry_date
//   search:  description, reference_type
//   sort:    entry_date, created_at
// auditList (as AuditManager::getLogs; newest first)
//   filters: user_id, action, table_name, record_id,
//            date_from/date_to on created_at
//   search:  action, table_name, details, username
//   sort:    created_at
//
// A search of three characters or more over a long table's own text columns
// (invoices, payments, cheques, journal entries, audit rows, and invoice numbers from the
// payments) reads a trigram index; shorter texts scan. Both give the rows LIKE gives.
//
// On a PostgreSQL server the same definitions are read with the server's
// spellings: every search is ILIKE (served by the pg_trgm indexes, and
// folding the case of every alphabet rather than Latin letters only; a text
// of three characters or more gathers the ids each part finds through its
// own index: the row's own columns, each name looked up), NULL
// sort values sit where the server puts them (last going up, first going
// down), and the count and footer always add up the rows themselves.
class SqlListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(QVariantMap filters READ filters WRITE setFilters NOTIFY filtersChanged)
    Q_PROPERTY(QString sortColumn READ sortColumn WRITE setSortColumn NOTIFY sortChanged)
    Q_PROPERTY(bool sortDescending READ sortDescending WRITE setSortDescending NOTIFY sortChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int totalCount READ totalCount NOTIFY totalsChanged)
    Q_PROPERTY(QVariantMap totals READ totals NOTIFY totalsChanged)
    // The count and totals are being worked out on the reader's thread.
    Q_PROPERTY(bool totalsPending READ totalsPending NOTIFY totalsChanged)
    Q_PROPERTY(int pageSize READ pageSize WRITE setPageSize NOTIFY pageSizeChanged)

public:
    // A search condition a trigram index can answer, and the plain scan that
    // finds the same rows when it cannot: a text under three letters holds no
    // run of three to look up, and a file may lack the index.
    struct TextSearch
    {
        QString index;   // the trigram index table the indexed form reads
        QString indexed; // first "?" takes the index query, every other "?" the LIKE pattern
        QString scan;    // every "?" takes the LIKE pattern
    };

    // How one list reads its rows. Every SQL fragment is fixed text written
    // here in the program; user values only ever reach SQL as bound values.
    struct Definition
    {
        QString columns;   // select list of the row query, e.g. "i.*, t.full_name as tenant_name"
        QString from;      // FROM and joins of the row query
        QString baseTable; // FROM of the count and totals query ("invoices i"), no joins
        QString key;       // the row id, e.g. "i.id"; ties in the sort are ordered by it
        QString baseWhere; // condition every row meets, or empty
        // Conditions ORed together for a search; every "?" in them
        // receives the LIKE pattern. They may only use the base table's
        // alias (use "col IN (SELECT id FROM ... WHERE name LIKE ?)" for
        // joined names), as the count query has no joins.
        QStringList searchConditions;
        // More conditions ORed into a search, each read through a trigram
        // index where it can be; the same alias rule holds.
        QList<TextSearch> textSearches;
        // filter key -> column compared with "=", or a condition with one "?"
        QHash<QString, QString> filterColumns;
        QString dateColumn;                  // bounded by date_from / date_to
        QHash<QString, QString> sortColumns; // accepted sortColumn -> SQL expression
        QString defaultSort;                 // a key of sortColumns
        bool defaultDescending = true;
        QHash<QString, QString> totalColumns; // totals key -> expression summed
        QString currencyColumn;               // compared for mixedCurrencies, or empty
        // The totals key also given converted to the primary currency at
        // each row's day (totals.converted, with its per-currency amounts
        // and the rates it waits for; see ConvertedTotal::toMap), and the
        // row's day as SQL. Needs currencyColumn.
        QString convertedTotal;
        QString convertedDay;
        // The same day in the server's spelling, where it differs.
        QString serverConvertedDay;
        // The list's per-day totals kept in list_totals (see ListTotals), read
        // for the count and footer while no search or filter is set (or only
        // the filter they are split by); their
        // summed columns are totalColumns' keys and their day convertedDay.
        QString keptTotals;
        // Columns (as "p.tenant_id") that each lead an index holding every
        // column the count and sums read, the row id included: a search's
        // name looked up by one of them is counted and summed from that
        // index, without reading the table.
        QStringList sumsIndexedBy;
    };

    // A statement with its bound values, for callers that time or trace the
    // SQL a list runs.
    struct Statement
    {
        QString sql;
        QVariantList params;
    };

    SqlListModel(Database* db, Definition definition, QObject* parent = nullptr);

    // A LIKE condition that escapes the search text's own % and _ with '\'.
    static QString like(const QString& expression);
    // `columns` of `table` (its row id written `key` in the list's query)
    // holding the search text, read through `index`, a trigram index over
    // those columns, plus the rows added since it was last brought up to
    // date. Found rows are checked with LIKE, so the rows are exactly the
    // ones the LIKE scan gives.
    static TextSearch indexedText(const QString& index, const QString& table, const QString& key,
                                  const QStringList& columns);
    // The index query for a search text: every run of three characters it
    // holds, all required. Empty for a text of fewer than three characters.
    static QString trigramQuery(const QString& text);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    QString searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    QVariantMap filters() const { return m_filters; }
    void setFilters(const QVariantMap& filters);
    QString sortColumn() const { return m_sortColumn; }
    void setSortColumn(const QString& column);
    bool sortDescending() const { return m_sortDescending; }
    void setSortDescending(bool descending);
    int count() const { return int(m_keys.size()); }
    int totalCount() const;
    QVariantMap totals() const;
    bool totalsPending() const { return m_totalsRequested; }
    // Reads the count and totals on `reader`'s thread from now on (null:
    // on the window's connection, as before).
    void setReader(ListReader* reader);
    ListReader* reader() const { return m_reader; }
    int pageSize() const { return m_pageSize; }
    void setPageSize(int size);

    // Starts again from the first screenful and recounts.
    Q_INVOKABLE void reload();
    // Reads the loaded rows again after a write, keeping as many rows loaded
    // as before so the view stays where it was.
    Q_INVOKABLE void refresh();
    // The row as a record map (empty when out of range).
    Q_INVOKABLE QVariantMap get(int row) const;

    // The statements the first screenful and the totals run with the current
    // search, filters and sort.
    Statement firstPageStatement() const;
    Statement totalsStatement() const;
    // The same figures added up from the rows themselves, whatever is kept.
    Statement scannedTotalsStatement() const;
    QString totalsColumns(const QString& alias) const;

signals:
    void searchTextChanged();
    void filtersChanged();
    void sortChanged();
    void countChanged();
    void totalsChanged();
    void pageSizeChanged();

private:
    using Row = QVector<QVariant>;

    struct Where
    {
        QString sql; // " WHERE ..." or empty
        QVariantList params;
    };

    // The search condition with its values. `any` ORs the conditions
    // together, to check row by row; an indexed search also gives `ids`, a
    // query for the matching row ids (the same values, in the same order).
    struct Search
    {
        QString ids;
        QString any;
        QVariantList params;
        // For an indexed search: every condition checked on the row itself
        // (no index), for walking a few rows in order, with its values.
        QString scanned;
        QVariantList scanParams;
        QString trigrams; // the index query
        // The conditions `ids` gathers by, in order, taking `params` in turn.
        QStringList parts;
    };
    Search searchClause() const;
    // A search condition as the current text reads it on this engine.
    QString searchSql(const QString& sql) const;
    // The search finds many rows, so its pages are best read in sort order.
    bool broadSearch() const;
    enum class SearchForm
    {
        Gathered, // an indexed search as its list of ids
        Walked,   // checked on each row read in the list's order
        Left,     // no search at all
        Found,    // the ids a narrow search found on a server (m_foundIds)
    };
    Where whereClause(SearchForm form = SearchForm::Gathered) const;
    // The next `limit` rows in `range`; `windowed` reads them from the next
    // rows in order only (a broad search).
    Statement pageStatement(const Where& range, int limit, bool idsOnly, bool windowed) const;
    bool hasTable(const QString& name) const;
    bool onServer() const;
    // The value bound to a LIMIT: `limit`, or no limit for a negative one.
    QVariant limitValue(int limit) const;
    // A sum that is 0 over no rows, in the engine's spelling.
    QString sumOf(const QString& expression) const;
    // "a IS NOT b" for any two values, NULL included.
    QString differs(const QString& a, const QString& b) const;
    // Rewrites the definition's fragments for the engine the list reads.
    static void adaptToServer(Definition& definition);
    bool readRows(const QString& sql, const QVariantList& params, SqlReader::Rows& rows) const;
    QString sortExpression() const;
    QString orderBy() const;
    // Rows without a sort value come before the others in the current order.
    bool nullsFirst() const;
    // Conditions for the rows after (sortValue, last key), read in turn.
    QList<Where> afterClauses(const QVariant& sortValue) const;
    // Runs the row query for the next `limit` rows after the last loaded
    // one; with `idsOnly` it reads just the key and sort value.
    bool readPage(int limit, bool idsOnly, QVector<qint64>& keys, QList<Row>& rows,
                  QVariant& lastSort, bool fromStart) const;
    void scheduleTotals();
    void loadTotals() const;
    void requestTotals();
    // Takes the count and sums from the totals statement's one row.
    void takeTotals(const SqlReader::Rows& result) const;
    // The rows an indexed search finds, each once, with the columns the
    // count and sums read (`alias` being the base table's).
    Statement foundRows(const Search& search, const QString& alias) const;
    // The server's count and footer of those rows (named list_found_), summed
    // in one pass; `names` are the totals' keys in their order.
    QString groupedFoundTotals(const QString& alias, const QStringList& names) const;
    // The kept per-day totals answer for the list as it is filtered now.
    bool readsKeptTotals() const;
    // The value of the filter the kept totals are split by, when it is set.
    QVariant keptSplitValue() const;
    Statement keptTotalsStatement() const;
    bool convertsTotal() const
    {
        return !m_def.convertedTotal.isEmpty() && !m_def.currencyColumn.isEmpty() &&
               !m_def.convertedDay.isEmpty() && m_def.totalColumns.contains(m_def.convertedTotal);
    }
    // Forgets the count and totals; `zero` also drops the figures shown.
    void forgetTotals(bool zero);
    const Row* rowAt(int row) const;
    void cachePage(int page, QList<Row> rows) const;

    Database* m_db;
    ListReader* m_reader = nullptr;
    bool m_totalsRequested = false;
    Definition m_def;
    QStringList m_columns;      // role names in column order of the row query
    QVector<int> m_roleColumns; // role's column -> column read (the later of equal names)
    QString m_searchText;
    QVariantMap m_filters;
    QString m_sortColumn;
    bool m_sortDescending = true;
    int m_pageSize = 100;

    QVector<qint64> m_keys; // every loaded row, in order
    QVariant m_lastSort;    // sort value of the last loaded row
    bool m_atEnd = false;
    bool m_started = false; // a page has been read since the last reload
    bool m_totalsQueued = false;
    mutable bool m_totalsKnown = false;
    mutable bool m_broadKnown = false;
    mutable bool m_broad = false;
    // On a server, the ids a narrow search found while checking how broad
    // it is, as an array literal: its pages read them instead of searching
    // again. Known only with m_broadKnown.
    mutable bool m_foundKnown = false;
    mutable QString m_foundIds;
    mutable int m_totalCount = 0;
    mutable QVariantMap m_totals;

    // Values of recently shown pages (page number -> rows), least recently
    // used first in m_pageOrder.
    mutable QHash<int, QList<Row>> m_pages;
    mutable QList<int> m_pageOrder;
};
