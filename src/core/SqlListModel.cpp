#include "core/SqlListModel.h"

#include "core/ConvertedTotal.h"
#include "core/CurrencyRates.h"
#include "core/Database.h"
#include "core/ListReader.h"
#include "core/Schema.h"

#include <QtDebug>

#include <utility>

namespace {

// Pages of values kept for rows that were shown recently; a ListView only
// ever shows a screenful or two, so this bounds memory however far it scrolls.
constexpr int kCachedPages = 12;

} // namespace

// Reads through the database's kept statements: a list asks for the same
// few statements over and over as it scrolls.
bool SqlListModel::readRows(const QString& sql, const QVariantList& params,
                            SqlReader::Rows& rows) const
{
    QString error;
    if (m_db->readRows(sql, params, rows, &error))
        return true;
    qWarning() << "list query failed:" << error;
    return false;
}

SqlListModel::SqlListModel(Database* db, Definition definition, QObject* parent)
    : QAbstractListModel(parent)
    , m_db(db)
    , m_def(std::move(definition))
    , m_sortColumn(m_def.defaultSort)
    , m_sortDescending(m_def.defaultDescending)
{
    if (onServer())
        adaptToServer(m_def);
    // The roles are the row query's columns, named at prepare time, so an
    // empty read is enough.
    SqlReader::Rows empty;
    if (readRows(QStringLiteral("SELECT ") + m_def.columns + QLatin1Char(' ') + m_def.from +
                     QStringLiteral(" WHERE 1=0"),
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
    forgetTotals(true);
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
    // A search is checked again: rows written since may have made it
    // broad, or be among those it finds.
    m_broadKnown = false;
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
    forgetTotals(false);
    scheduleTotals();
    emit countChanged();
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
            // On a server the walk has no window: fewer rows are the end.
            if (windowed && pageKeys.size() < wanted && !onServer())
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

int SqlListModel::totalCount() const
{
    if (!m_reader)
        loadTotals();
    return m_totalCount;
}

QVariantMap SqlListModel::totals() const
{
    if (!m_reader)
        loadTotals();
    return m_totals;
}

void SqlListModel::setReader(ListReader* reader)
{
    if (m_reader && m_reader != reader)
        m_reader->cancel(quintptr(this));
    m_reader = reader;
    m_totalsRequested = false;
}

void SqlListModel::forgetTotals(bool zero)
{
    const bool shown = m_totalsKnown || m_totalsRequested;
    m_totalsKnown = false;
    if (m_reader && m_totalsRequested) {
        m_reader->cancel(quintptr(this));
        m_totalsRequested = false;
    }
    // The new figures' request (which every reload makes at once) tells
    // the view, pending: a zero that looks final is never shown.
    if (zero && m_reader && shown) {
        m_totalCount = 0;
        m_totals.clear();
    }
}

void SqlListModel::requestTotals()
{
    const Statement statement = totalsStatement();
    m_totalsRequested = true;
    emit totalsChanged();
    m_reader->request(quintptr(this), this, statement.sql, statement.params,
                      [this](bool ok, const SqlReader::Rows& result, const QString& error) {
                          if (!ok)
                              qWarning() << "list totals failed:" << error;
                          takeTotals(ok ? result : SqlReader::Rows());
                          m_totalsRequested = false;
                          emit totalsChanged();
                      });
}

void SqlListModel::scheduleTotals()
{
    if (m_reader) {
        if (!m_totalsKnown && !m_totalsRequested)
            requestTotals();
        return;
    }
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
    if (!readRows(statement.sql, statement.params, result))
        result = SqlReader::Rows();
    takeTotals(result);
}

void SqlListModel::takeTotals(const SqlReader::Rows& result) const
{
    int total = 0;
    QVariantMap totals;
    if (!result.rows.isEmpty()) {
        const Row& sums = result.rows.constFirst();
        total = sums.value(0).toInt();
        QStringList names = m_def.totalColumns.keys();
        names.sort();
        for (int i = 0; i < names.size(); ++i)
            totals.insert(names.at(i), sums.value(i + 1).toDouble());
        if (!m_def.currencyColumn.isEmpty())
            totals.insert(QStringLiteral("mixedCurrencies"),
                          sums.value(int(names.size()) + 1).toBool());
        if (convertsTotal()) {
            // The rates as they are now, read on this connection: a small table.
            const CurrencyRates rates(m_db);
            ConvertedTotal converted(&rates);
            const int amount = int(names.size()) + 2;
            for (const Row& row : result.rows) {
                const double value = row.value(amount).toDouble();
                // The first row sums the primary currency's rows; a list
                // with none of them leaves it out of the breakdown.
                if (&row == &sums) {
                    if (value != 0)
                        converted.add(0, QString(), value);
                    continue;
                }
                converted.add(row.value(amount + 1).toInt(), row.value(amount + 2).toString(),
                              value);
            }
            totals.insert(QStringLiteral("converted"), converted.toMap());
        }
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
            readRows(QStringLiteral("SELECT ") + m_def.columns + QStringLiteral(", ") + m_def.key +
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
