#include "core/SqlListModel.h"

#include "core/Database.h"
#include "core/Schema.h"

#include <QtDebug>

#include <utility>

namespace {

// Pages of values kept for rows that were shown recently; a ListView only
// ever shows a screenful or two, so this bounds memory however far it scrolls.
constexpr int kCachedPages = 12;

// A search finding at least this many rows reads its page in the list's
// order and stops when the page is full; a narrower one reads its few rows
// and sorts them.
constexpr int kBroadSearch = 2000;
// How many rows in order such a search reads before it gathers its rows
// instead: enough for a page when one row in thirty matches.
constexpr int kWalkWindow = 3000;

const QString kSortAlias = QStringLiteral("list_sort_value_");
const QString kKeyAlias = QStringLiteral("list_row_key_");

bool isNoFilter(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return true;
    const QString text = value.toString().trimmed();
    return text.isEmpty() || text == QLatin1String("0");
}

// Reads through the database's kept statements: a list asks for the same
// few statements over and over as it scrolls.
bool readRows(Database* db, const QString& sql, const QVariantList& params, SqlReader::Rows& rows)
{
    QString error;
    if (db->readRows(sql, params, rows, &error))
        return true;
    qWarning() << "list query failed:" << error;
    return false;
}

} // namespace

SqlListModel::SqlListModel(Database* db, Definition definition, QObject* parent)
    : QAbstractListModel(parent)
    , m_db(db)
    , m_def(std::move(definition))
    , m_sortColumn(m_def.defaultSort)
    , m_sortDescending(m_def.defaultDescending)
{
    // The roles are the row query's columns; SQLite names them at prepare
    // time, so an empty read is enough.
    SqlReader::Rows empty;
    if (readRows(m_db,
                 QStringLiteral("SELECT ") + m_def.columns + QLatin1Char(' ') + m_def.from +
                     QStringLiteral(" WHERE 0"),
                 {}, empty)) {
        m_columns = empty.columns;
        // Equal names resolve to the later column, as the record maps do.
        QHash<QString, int> byName;
        for (int i = 0; i < m_columns.size(); ++i)
            byName.insert(m_columns.at(i), i);
        for (const QString& name : std::as_const(m_columns))
            m_roleColumns << byName.value(name);
    }
}

QString SqlListModel::like(const QString& expression)
{
    return expression + QStringLiteral(" LIKE ? ESCAPE '\\'");
}

SqlListModel::TextSearch SqlListModel::indexedText(const QString& index, const QString& table,
                                                   const QString& key, const QStringList& columns)
{
    QStringList likes;
    for (const QString& column : columns)
        likes << like(column);
    const QString anyColumn =
        QLatin1Char('(') + likes.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    return {index,
            QStringLiteral("(%1 IN (SELECT rowid FROM %2 WHERE %2 MATCH ? UNION ALL SELECT id "
                           "FROM %3 WHERE id > %4) AND %5)")
                .arg(key, index, table, Schema::searchIndexMark(index), anyColumn),
            anyColumn};
}

QString SqlListModel::trigramQuery(const QString& text)
{
    // Each run of three characters as a quoted string, which the trigram
    // tokenizer reads as exactly that one trigram (case folded as the index
    // is). Rows holding all of them are the candidates; the LIKE check after
    // it drops rows that hold them apart or only differ in non-Latin case.
    const QList<uint> points = text.toUcs4();
    QStringList grams;
    for (qsizetype i = 0; i + 3 <= points.size(); ++i) {
        QString gram =
            QString::fromUcs4(reinterpret_cast<const char32_t*>(points.constData() + i), 3);
        gram.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        gram = QLatin1Char('"') + gram + QLatin1Char('"');
        if (!grams.contains(gram))
            grams << gram;
    }
    return grams.join(QStringLiteral(" AND "));
}

int SqlListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_keys.size());
}

QHash<int, QByteArray> SqlListModel::roleNames() const
{
    QHash<int, QByteArray> roles;
    for (int i = 0; i < m_columns.size(); ++i)
        roles.insert(Qt::UserRole + 1 + i, m_columns.at(i).toUtf8());
    return roles;
}

QVariant SqlListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_keys.size())
        return {};
    const int column = role - Qt::UserRole - 1;
    if (column < 0 || column >= m_columns.size())
        return {};
    const Row* row = rowAt(index.row());
    if (!row)
        return {};
    return row->value(m_roleColumns.at(column));
}

QVariantMap SqlListModel::get(int row) const
{
    QVariantMap map;
    if (row < 0 || row >= m_keys.size())
        return map;
    const Row* values = rowAt(row);
    if (!values)
        return map;
    for (int i = 0; i < m_columns.size(); ++i)
        map.insert(m_columns.at(i), values->value(i));
    return map;
}

bool SqlListModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !m_atEnd;
}

void SqlListModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid() || m_atEnd)
        return;
    // A list is first read when a view asks for it, so the lists no page
    // shows cost nothing at start-up.
    m_started = true;
    scheduleTotals();
    QVector<qint64> keys;
    QList<Row> rows;
    QVariant lastSort = m_lastSort;
    if (!readPage(m_pageSize, false, keys, rows, lastSort, m_keys.isEmpty())) {
        m_atEnd = true;
        return;
    }
    if (keys.size() < m_pageSize)
        m_atEnd = true;
    if (keys.isEmpty())
        return;

    const int first = int(m_keys.size());
    beginInsertRows(QModelIndex(), first, first + int(keys.size()) - 1);
    m_keys += keys;
    m_lastSort = lastSort;
    // Pages start at multiples of the page size, as every fetch but the
    // last one reads a whole page.
    if (first % m_pageSize == 0)
        cachePage(first / m_pageSize, std::move(rows));
    endInsertRows();
    emit countChanged();
}

void SqlListModel::setSearchText(const QString& text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    emit searchTextChanged();
    reload();
}

void SqlListModel::setFilters(const QVariantMap& filters)
{
    if (filters == m_filters)
        return;
    m_filters = filters;
    emit filtersChanged();
    reload();
}

void SqlListModel::setSortColumn(const QString& column)
{
    // Only the listed columns are accepted; anything else keeps the default
    // order rather than reaching the ORDER BY.
    const QString accepted = m_def.sortColumns.contains(column) ? column : m_def.defaultSort;
    if (accepted == m_sortColumn)
        return;
    m_sortColumn = accepted;
    emit sortChanged();
    reload();
}

void SqlListModel::setSortDescending(bool descending)
{
    if (descending == m_sortDescending)
        return;
    m_sortDescending = descending;
    emit sortChanged();
    reload();
}

void SqlListModel::setPageSize(int size)
{
    if (size < 1 || size == m_pageSize)
        return;
    m_pageSize = size;
    emit pageSizeChanged();
    reload();
}

void SqlListModel::reload()
{
    beginResetModel();
    m_keys.clear();
    m_lastSort = QVariant();
    m_atEnd = false;
    m_started = false;
    m_totalsKnown = false;
    m_broadKnown = false;
    m_pages.clear();
    m_pageOrder.clear();
    endResetModel();
    fetchMore(QModelIndex());
    emit countChanged();
}

void SqlListModel::refresh()
{
    if (!m_started)
        return; // never read yet: the first fetch reads it fresh
    const int loaded = int(m_keys.size());
    // A list read to its end stays complete, new rows included; otherwise
    // as many rows as were loaded are read again (-1: no limit).
    const int wanted = m_atEnd ? -1 : qMax(loaded, m_pageSize);
    QVector<qint64> keys;
    QList<Row> rows;
    QVariant lastSort;
    // Only keys and sort values: the values of whatever is on screen are read
    // again on demand, so a refresh deep into a long list stays small.
    if (!readPage(wanted, true, keys, rows, lastSort, true))
        return;

    m_pages.clear();
    m_pageOrder.clear();
    const int kept = qMin(loaded, int(keys.size()));
    if (keys.size() > loaded) {
        beginInsertRows(QModelIndex(), loaded, int(keys.size()) - 1);
        m_keys = keys;
        endInsertRows();
    } else if (keys.size() < loaded) {
        beginRemoveRows(QModelIndex(), int(keys.size()), loaded - 1);
        m_keys = keys;
        endRemoveRows();
    } else {
        m_keys = keys;
    }
    m_lastSort = lastSort;
    m_atEnd = wanted < 0 || keys.size() < wanted;
    if (kept > 0)
        emit dataChanged(index(0), index(kept - 1));
    m_totalsKnown = false;
    m_broadKnown = false;
    scheduleTotals();
    emit countChanged();
}

SqlListModel::Search SqlListModel::searchClause() const
{
    Search search;
    const QString text = m_searchText.trimmed();
    if (text.isEmpty() || (m_def.searchConditions.isEmpty() && m_def.textSearches.isEmpty()))
        return search;
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('%'), QStringLiteral("\\%"))
        .replace(QLatin1Char('_'), QStringLiteral("\\_"));
    const QString pattern = QLatin1Char('%') + escaped + QLatin1Char('%');
    const QString trigrams = trigramQuery(text);
    QStringList conditions;
    bool indexed = false;
    for (const TextSearch& textSearch : m_def.textSearches) {
        const bool useIndex = !trigrams.isEmpty() && hasTable(textSearch.index);
        indexed = indexed || useIndex;
        const QString& condition = useIndex ? textSearch.indexed : textSearch.scan;
        conditions << condition;
        const qsizetype marks = condition.count(QLatin1Char('?'));
        for (qsizetype i = 0; i < marks; ++i)
            search.params << (useIndex && i == 0 ? trigrams : pattern);
    }
    for (const QString& condition : m_def.searchConditions) {
        conditions << condition;
        const qsizetype marks = condition.count(QLatin1Char('?'));
        for (qsizetype i = 0; i < marks; ++i)
            search.params << pattern;
    }
    if (!indexed) {
        // A scan checks every condition on each row in one pass.
        search.any = conditions.join(QStringLiteral(" OR "));
        return search;
    }
    // With the text read from an index every condition is a look-up (the
    // lists with text indexes only have indexed name look-ups), so the rows
    // are gathered as one list of ids, each part through its own index. A
    // count and sums then read only those rows, or a narrow index over them.
    QStringList parts;
    for (const QString& condition : std::as_const(conditions))
        parts << QStringLiteral("SELECT ") + m_def.key + QStringLiteral(" FROM ") +
                     m_def.baseTable + QStringLiteral(" WHERE ") + condition;
    search.ids = parts.join(QStringLiteral(" UNION ALL "));
    // Read in the list's order instead, each row is checked on its own: the
    // index look-up gives a list of candidate ids once (no rows read) and
    // only the rows walked are checked with LIKE. The "+" keeps that look-up
    // from driving the loop, so the page ends once it is full.
    QStringList walked;
    for (qsizetype i = 0; i < conditions.size(); ++i)
        walked << (i < m_def.textSearches.size()
                       ? QStringLiteral("+(") + conditions.at(i) + QLatin1Char(')')
                       : conditions.at(i));
    search.any = walked.join(QStringLiteral(" OR "));
    return search;
}

bool SqlListModel::broadSearch() const
{
    if (m_broadKnown)
        return m_broad;
    const Search search = searchClause();
    m_broad = false;
    if (!search.ids.isEmpty()) {
        // The first rows of the list stream in without the whole of it
        // being gathered, so this stops as soon as the answer is clear.
        QVariantList params = search.params;
        params << kBroadSearch;
        SqlReader::Rows counted;
        m_broad = readRows(m_db,
                           QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM (") + search.ids +
                               QStringLiteral(") LIMIT ?)"),
                           params, counted) &&
                  !counted.rows.isEmpty() && counted.rows.first().value(0).toInt() >= kBroadSearch;
    }
    m_broadKnown = true;
    return m_broad;
}

SqlListModel::Where SqlListModel::whereClause(SearchForm form) const
{
    QStringList conditions;
    Where where;
    if (!m_def.baseWhere.isEmpty())
        conditions << m_def.baseWhere;

    for (auto it = m_filters.cbegin(); it != m_filters.cend(); ++it) {
        if (isNoFilter(it.value()))
            continue;
        if (it.key() == QLatin1String("date_from") && !m_def.dateColumn.isEmpty()) {
            conditions << m_def.dateColumn + QStringLiteral(" >= ?");
            where.params << it.value().toString();
        } else if (it.key() == QLatin1String("date_to") && !m_def.dateColumn.isEmpty()) {
            // A bare date bounds the whole day, also for timestamp columns.
            conditions << m_def.dateColumn + QStringLiteral(" < date(?, '+1 day')");
            where.params << it.value().toString();
        } else if (m_def.filterColumns.contains(it.key())) {
            // A column is compared for equality; a written condition takes the
            // value at its own "?".
            const QString column = m_def.filterColumns.value(it.key());
            conditions << (column.contains(QLatin1Char('?')) ? column
                                                             : column + QStringLiteral(" = ?"));
            where.params << it.value();
        }
    }

    const Search search = form == SearchForm::Left ? Search() : searchClause();
    if (!search.ids.isEmpty() && form == SearchForm::Gathered) {
        conditions << m_def.key + QStringLiteral(" IN (") + search.ids + QLatin1Char(')');
        where.params += search.params;
    } else if (!search.any.isEmpty()) {
        conditions << QLatin1Char('(') + search.any + QLatin1Char(')');
        where.params += search.params;
    }
    if (!conditions.isEmpty())
        where.sql = QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    return where;
}

bool SqlListModel::hasTable(const QString& name) const
{
    // Asked at each read rather than once: a restored older file gains its
    // indexes when it is opened again, and a file without them still lists.
    SqlReader::Rows found;
    return readRows(m_db, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name = ?"),
                    {name}, found) &&
           !found.rows.isEmpty() && found.rows.first().value(0).toInt() > 0;
}

QString SqlListModel::sortExpression() const
{
    return m_def.sortColumns.value(m_sortColumn, m_def.sortColumns.value(m_def.defaultSort));
}

QString SqlListModel::orderBy() const
{
    const QString direction = m_sortDescending ? QStringLiteral(" DESC") : QStringLiteral(" ASC");
    return QStringLiteral(" ORDER BY ") + sortExpression() + direction + QStringLiteral(", ") +
           m_def.key + direction;
}

QList<SqlListModel::Where> SqlListModel::afterClauses(const QVariant& sortValue) const
{
    // The rows after (sortValue, key) in the current order, as one or two
    // ranges read one after the other. Row values keep each range a search
    // on the sort column's index, so a page deep in the list costs what the
    // first one does. SQLite puts NULL first going up and last going down.
    const QString s = sortExpression();
    const QString& k = m_def.key;
    const qint64 key = m_keys.constLast();
    if (m_sortDescending) {
        if (sortValue.isNull())
            return {{QStringLiteral("%1 IS NULL AND %2 < ?").arg(s, k), {key}}};
        return {{QStringLiteral("(%1, %2) < (?, ?)").arg(s, k), {sortValue, key}},
                {QStringLiteral("%1 IS NULL").arg(s), {}}};
    }
    if (sortValue.isNull())
        return {{QStringLiteral("%1 IS NULL AND %2 > ?").arg(s, k), {key}},
                {QStringLiteral("%1 IS NOT NULL").arg(s), {}}};
    return {{QStringLiteral("(%1, %2) > (?, ?)").arg(s, k), {sortValue, key}}};
}

SqlListModel::Statement SqlListModel::firstPageStatement() const
{
    return pageStatement(Where(), m_pageSize, false,
                         broadSearch() && m_sortColumn == m_def.defaultSort);
}

SqlListModel::Statement SqlListModel::pageStatement(const Where& range, int limit, bool idsOnly,
                                                    bool windowed) const
{
    const Where where = whereClause(windowed ? SearchForm::Walked : SearchForm::Gathered);
    Statement statement{where.sql, where.params};
    const auto add = [](Statement& to, const QString& sql, const QVariantList& params) {
        to.sql += (to.sql.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ")) + sql;
        to.params += params;
    };
    if (!range.sql.isEmpty())
        add(statement, range.sql, range.params);
    if (!windowed && !searchClause().ids.isEmpty()) {
        // The gathered rows are put in order by their own table alone and
        // only the page's rows are joined to their names.
        Statement keys = statement;
        keys.params << limit;
        statement = Statement();
        add(statement,
            m_def.key + QStringLiteral(" IN (SELECT ") + m_def.key + QStringLiteral(" FROM ") +
                m_def.baseTable + keys.sql + orderBy() + QStringLiteral(" LIMIT ?)"),
            keys.params);
    }
    if (windowed) {
        // Only the next rows in the list's order, matching or not, so a
        // search whose rows lie far apart still reads a bounded number.
        const Where plain = whereClause(SearchForm::Left);
        Statement window{plain.sql, plain.params};
        if (!range.sql.isEmpty())
            add(window, range.sql, range.params);
        window.params << kWalkWindow;
        add(statement,
            m_def.key + QStringLiteral(" IN (SELECT ") + m_def.key + QStringLiteral(" FROM ") +
                m_def.baseTable + window.sql + orderBy() + QStringLiteral(" LIMIT ?)"),
            window.params);
    }
    statement.params << limit;
    statement.sql = QStringLiteral("SELECT ") +
                    (idsOnly ? QString() : m_def.columns + QStringLiteral(", ")) +
                    sortExpression() + QStringLiteral(" AS ") + kSortAlias + QStringLiteral(", ") +
                    m_def.key + QStringLiteral(" AS ") + kKeyAlias + QLatin1Char(' ') + m_def.from +
                    statement.sql + orderBy() + QStringLiteral(" LIMIT ?");
    return statement;
}

bool SqlListModel::readPage(int limit, bool idsOnly, QVector<qint64>& keys, QList<Row>& rows,
                            QVariant& lastSort, bool fromStart) const
{
    // The default orders all have an index to walk; another order would
    // sort the whole table to find its first rows.
    const bool broad = broadSearch() && m_sortColumn == m_def.defaultSort;
    const QList<Where> ranges = fromStart ? QList<Where>{Where()} : afterClauses(m_lastSort);
    const int valueCount = idsOnly ? 0 : int(m_columns.size());
    keys.reserve(qMax(limit, 0));
    for (const Where& range : ranges) {
        const int wanted = limit < 0 ? -1 : limit - int(keys.size());
        if (wanted == 0)
            break;
        // A broad search first reads the next rows in order; when too few of
        // them match, the page is read from the gathered ids instead.
        for (const bool windowed : {true, false}) {
            if (windowed && (!broad || wanted < 0))
                continue;
            const Statement statement = pageStatement(range, wanted, idsOnly, windowed);
            QVector<qint64> pageKeys;
            QList<Row> pageRows;
            QVariant pageLast;
            // Rows are taken as they are read: a refresh of a long list read
            // to its end keeps only the keys of its rows.
            QString error;
            const bool read = m_db->forEachRow(
                statement.sql, statement.params,
                [&](Row& row) {
                    // The sort value and the key follow the row's own columns.
                    pageKeys.append(row.at(valueCount + 1).toLongLong());
                    pageLast = row.at(valueCount);
                    if (!idsOnly) {
                        Row values = std::move(row);
                        values.resize(valueCount);
                        pageRows.append(std::move(values));
                    }
                },
                &error);
            if (!read) {
                qWarning() << "list query failed:" << error;
                return false;
            }
            if (windowed && pageKeys.size() < wanted)
                continue;
            if (!pageKeys.isEmpty())
                lastSort = pageLast;
            keys += pageKeys;
            rows += pageRows;
            break;
        }
    }
    return true;
}

SqlListModel::Statement SqlListModel::totalsStatement() const
{
    const Where where = whereClause();
    QStringList aggregates{QStringLiteral("COUNT(*)")};
    QStringList names = m_def.totalColumns.keys();
    names.sort();
    for (const QString& name : names)
        aggregates << QStringLiteral("TOTAL(") + m_def.totalColumns.value(name) + QLatin1Char(')');
    if (!m_def.currencyColumn.isEmpty())
        aggregates << QStringLiteral("MIN(COALESCE(%1,0)) IS NOT MAX(COALESCE(%1,0))")
                          .arg(m_def.currencyColumn);
    Statement statement;
    statement.sql = QStringLiteral("SELECT ") + aggregates.join(QStringLiteral(", ")) +
                    QStringLiteral(" FROM ") + m_def.baseTable + where.sql;
    statement.params = where.params;
    return statement;
}

int SqlListModel::totalCount() const
{
    loadTotals();
    return m_totalCount;
}

QVariantMap SqlListModel::totals() const
{
    loadTotals();
    return m_totals;
}

void SqlListModel::scheduleTotals()
{
    // Counting and summing a long list reads all of it, so it runs after the
    // first screenful has been handed to the view; reading totalCount or
    // totals before then works it out at once.
    if (m_totalsKnown || m_totalsQueued)
        return;
    m_totalsQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_totalsQueued = false;
            if (m_totalsKnown)
                return;
            loadTotals();
            emit totalsChanged();
        },
        Qt::QueuedConnection);
}

void SqlListModel::loadTotals() const
{
    if (m_totalsKnown)
        return;
    const Statement statement = totalsStatement();
    SqlReader::Rows result;
    int total = 0;
    QVariantMap totals;
    if (readRows(m_db, statement.sql, statement.params, result) && !result.rows.isEmpty()) {
        const Row& sums = result.rows.constFirst();
        total = sums.value(0).toInt();
        QStringList names = m_def.totalColumns.keys();
        names.sort();
        for (int i = 0; i < names.size(); ++i)
            totals.insert(names.at(i), sums.value(i + 1).toDouble());
        if (!m_def.currencyColumn.isEmpty())
            totals.insert(QStringLiteral("mixedCurrencies"),
                          sums.value(int(names.size()) + 1).toBool());
    }
    m_totalCount = total;
    m_totals = totals;
    m_totalsKnown = true;
}

void SqlListModel::cachePage(int page, QList<Row> rows) const
{
    m_pages.insert(page, std::move(rows));
    m_pageOrder.removeAll(page);
    m_pageOrder.append(page);
    while (m_pageOrder.size() > kCachedPages)
        m_pages.remove(m_pageOrder.takeFirst());
}

const SqlListModel::Row* SqlListModel::rowAt(int row) const
{
    const int page = row / m_pageSize;
    auto found = m_pages.constFind(page);
    if (found == m_pages.constEnd()) {
        // Read the page again by its keys; rows deleted since then come back
        // empty until the next refresh.
        const int first = page * m_pageSize;
        const int last = qMin(int(m_keys.size()), first + m_pageSize);
        QStringList marks;
        QVariantList params;
        for (int i = first; i < last; ++i) {
            marks << QStringLiteral("?");
            params << m_keys.at(i);
        }
        SqlReader::Rows stored;
        QHash<qint64, Row> byKey;
        if (!marks.isEmpty() &&
            readRows(m_db,
                     QStringLiteral("SELECT ") + m_def.columns + QStringLiteral(", ") + m_def.key +
                         QLatin1Char(' ') + m_def.from + QStringLiteral(" WHERE ") + m_def.key +
                         QStringLiteral(" IN (") + marks.join(QLatin1Char(',')) + QLatin1Char(')'),
                     params, stored)) {
            const int valueCount = int(m_columns.size());
            for (Row& values : stored.rows) {
                const qint64 key = values.at(valueCount).toLongLong();
                values.resize(valueCount);
                byKey.insert(key, std::move(values));
            }
        }
        QList<Row> rows;
        rows.reserve(last - first);
        for (int i = first; i < last; ++i)
            rows.append(byKey.value(m_keys.at(i), Row(int(m_columns.size()))));
        cachePage(page, std::move(rows));
        found = m_pages.constFind(page);
    } else if (m_pageOrder.constLast() != page) {
        m_pageOrder.removeAll(page);
        m_pageOrder.append(page);
    }
    const int offset = row - page * m_pageSize;
    if (offset >= found->size())
        return nullptr;
    return &found->at(offset);
}
