#include "core/SqlListModel.h"

#include "core/ListTotals.h"

#include "core/Database.h"
#include "core/Schema.h"
#include "core/SqlDialect.h"

#include <QSet>
#include <QtDebug>

#include <algorithm>

// The SQL side of the paged lists: searches, filters, sort order and the
// statements of a page and of the totals.

namespace {

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

const QString kLike = QStringLiteral(" LIKE ? ESCAPE '\\'");
const QString kServerLike = QStringLiteral(" ILIKE ? ESCAPE '\\'");

// Whether the text reads the same in any letter case (Arabic, digits).
bool caseless(const QString& text)
{
    const QList<uint> points = text.toUcs4();
    return std::all_of(points.cbegin(), points.cend(), [](uint point) {
        return QChar::toLower(point) == point && QChar::toUpper(point) == point;
    });
}

} // namespace

QString SqlListModel::searchSql(const QString& sql) const
{
    // A text without letters of two cases finds with the server's plain
    // LIKE what it finds with ILIKE, which first folds the case of every
    // row's text: several times slower on Arabic, where nothing folds.
    // Its trigram indexes serve both.
    if (onServer() && caseless(m_searchText.trimmed()))
        return QString(sql).replace(kServerLike, kLike);
    return sql;
}

QString SqlListModel::like(const QString& expression)
{
    return expression + kLike;
}

void SqlListModel::adaptToServer(Definition& definition)
{
    // The server's LIKE tells capitals from small letters where SQLite's
    // does not for Latin ones; ILIKE is what its trigram indexes serve.
    const auto adapt = [](QString& sql) { sql.replace(kLike, kServerLike); };
    for (QString& condition : definition.searchConditions)
        adapt(condition);
    for (TextSearch& search : definition.textSearches) {
        adapt(search.indexed);
        adapt(search.scan);
    }
    for (auto it = definition.filterColumns.begin(); it != definition.filterColumns.end(); ++it)
        adapt(it.value());
    if (!definition.serverConvertedDay.isEmpty())
        definition.convertedDay = definition.serverConvertedDay;
}

bool SqlListModel::onServer() const
{
    return m_db->isPostgres();
}

QVariant SqlListModel::limitValue(int limit) const
{
    // SQLite reads LIMIT -1 as none, the server LIMIT NULL.
    if (limit < 0 && onServer())
        return QVariant(QMetaType::fromType<qlonglong>());
    return limit;
}

QString SqlListModel::sumOf(const QString& expression) const
{
    return onServer() ? QStringLiteral("COALESCE(SUM(") + expression + QStringLiteral("),0)")
                      : QStringLiteral("TOTAL(") + expression + QLatin1Char(')');
}

QString SqlListModel::differs(const QString& a, const QString& b) const
{
    return a + (onServer() ? QStringLiteral(" IS DISTINCT FROM ") : QStringLiteral(" IS NOT ")) + b;
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
    // The server's trigram indexes sit on the columns themselves: its
    // ILIKE on them is the indexed form. Its planner reads an OR through
    // several indexes only when every part has one, and a name looked up
    // in another table has none, so there each part is gathered on its
    // own. A text under three letters holds no trigram and scans.
    const bool server = onServer();
    for (const TextSearch& textSearch : m_def.textSearches) {
        const bool useIndex = !trigrams.isEmpty() && (server || hasTable(textSearch.index));
        indexed = indexed || useIndex;
        const QString condition =
            useIndex && !server ? textSearch.indexed : searchSql(textSearch.scan);
        conditions << condition;
        const qsizetype marks = condition.count(QLatin1Char('?'));
        for (qsizetype i = 0; i < marks; ++i)
            search.params << (useIndex && !server && i == 0 ? trigrams : pattern);
    }
    // On the server a list's own text columns are searched as one part,
    // which their trigram index answers as a whole.
    QStringList ownColumns;
    for (const QString& defined : m_def.searchConditions) {
        const QString condition = searchSql(defined);
        if (server && !trigrams.isEmpty() && !condition.contains(QLatin1String(" IN (")))
            ownColumns << condition;
        else
            conditions << condition;
    }
    if (!ownColumns.isEmpty()) {
        conditions.insert(m_def.textSearches.size(), QLatin1Char('(') +
                                                         ownColumns.join(QStringLiteral(" OR ")) +
                                                         QLatin1Char(')'));
        indexed = true;
    }
    if (server && !trigrams.isEmpty() && !m_def.searchConditions.isEmpty())
        indexed = true;
    // One part alone is read through its index as it stands; gathering its
    // ids first would only add a join back to the table.
    if (server && conditions.size() < 2)
        indexed = false;
    for (qsizetype c = m_def.textSearches.size(); c < conditions.size(); ++c) {
        const qsizetype marks = conditions.at(c).count(QLatin1Char('?'));
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
    search.parts = conditions;
    // Read in the list's order instead, each row is checked on its own: the
    // index look-up gives a list of candidate ids once (no rows read) and
    // only the rows walked are checked with LIKE. The "+" keeps that look-up
    // from driving the loop, so the page ends once it is full.
    QStringList walked;
    for (qsizetype i = 0; i < conditions.size(); ++i)
        walked << (i < m_def.textSearches.size() && !server
                       ? QStringLiteral("+(") + conditions.at(i) + QLatin1Char(')')
                       : conditions.at(i));
    search.any = walked.join(QStringLiteral(" OR "));
    // A text nearly every row holds ("INV") would gather most of the table
    // as candidates before the first row is walked; checking each walked
    // row's own text costs only the rows the page reads.
    QStringList scanned;
    for (const TextSearch& textSearch : m_def.textSearches) {
        scanned << searchSql(textSearch.scan);
        const qsizetype marks = textSearch.scan.count(QLatin1Char('?'));
        for (qsizetype i = 0; i < marks; ++i)
            search.scanParams << pattern;
    }
    for (const QString& condition : m_def.searchConditions) {
        scanned << searchSql(condition);
        const qsizetype marks = condition.count(QLatin1Char('?'));
        for (qsizetype i = 0; i < marks; ++i)
            search.scanParams << pattern;
    }
    search.scanned = scanned.join(QStringLiteral(" OR "));
    search.trigrams = trigrams;
    return search;
}

bool SqlListModel::broadSearch() const
{
    if (m_broadKnown)
        return m_broad;
    const Search search = searchClause();
    m_broad = false;
    m_foundKnown = false;
    m_foundIds.clear();
    // The index's own candidates first: reading up to the threshold of them
    // stops early, where gathering the matching rows would read them all.
    if (!search.ids.isEmpty()) {
        int candidates = 0;
        for (const TextSearch& textSearch : m_def.textSearches) {
            if (!hasTable(textSearch.index))
                continue;
            SqlReader::Rows counted;
            if (readRows(QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM %1 WHERE %1 MATCH ? "
                                        "LIMIT ?) AS candidates_")
                             .arg(textSearch.index),
                         {search.trigrams, kBroadSearch}, counted) &&
                !counted.rows.isEmpty())
                candidates += counted.rows.first().value(0).toInt();
        }
        if (candidates >= kBroadSearch) {
            m_broad = true;
            m_broadKnown = true;
            return m_broad;
        }
    }
    if (!search.ids.isEmpty() && onServer()) {
        // A server gathers every match through its trigram indexes before
        // the first one is handed back, so the ids of a narrow search cost
        // what their count does; the pages then read them by key.
        QVariantList params = search.params;
        params << kBroadSearch;
        SqlReader::Rows found;
        if (readRows(QStringLiteral("SELECT * FROM (") + search.ids +
                         QStringLiteral(") AS found_ LIMIT ?"),
                     params, found)) {
            m_broad = found.rows.size() >= kBroadSearch;
            if (!m_broad) {
                QSet<qint64> seen;
                QStringList ids;
                for (const auto& row : std::as_const(found.rows)) {
                    const qint64 id = row.value(0).toLongLong();
                    if (!seen.contains(id)) {
                        seen.insert(id);
                        ids << QString::number(id);
                    }
                }
                m_foundIds = QLatin1Char('{') + ids.join(QLatin1Char(',')) + QLatin1Char('}');
                m_foundKnown = true;
            }
        }
    } else if (!search.ids.isEmpty()) {
        // The first rows of the list stream in without the whole of it
        // being gathered, so this stops as soon as the answer is clear.
        QVariantList params = search.params;
        params << kBroadSearch;
        SqlReader::Rows counted;
        m_broad = readRows(QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM (") + search.ids +
                               QStringLiteral(") AS found_ LIMIT ?) AS first_found_"),
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
            conditions << m_def.dateColumn + QStringLiteral(" < ") +
                              (onServer() ? SqlDialect::addDays(m_db->engine(), QStringLiteral("?"),
                                                                QStringLiteral("1"))
                                          : QStringLiteral("date(?, '+1 day')"));
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
    if (form == SearchForm::Found) {
        conditions << m_def.key + QStringLiteral(" = ANY(CAST(? AS BIGINT[]))");
        where.params << m_foundIds;
    } else if (!search.ids.isEmpty() && form == SearchForm::Gathered) {
        conditions << m_def.key + QStringLiteral(" IN (") + search.ids + QLatin1Char(')');
        where.params += search.params;
    } else if (!search.scanned.isEmpty() && form == SearchForm::Walked) {
        conditions << QLatin1Char('(') + search.scanned + QLatin1Char(')');
        where.params += search.scanParams;
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
    // The server has none of the files' text index tables: its trigram
    // indexes serve the plain search.
    if (onServer())
        return false;
    // Asked at each read rather than once: a restored older file gains its
    // indexes when it is opened again, and a file without them still lists.
    SqlReader::Rows found;
    return readRows(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name = ?"), {name},
                    found) &&
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

bool SqlListModel::nullsFirst() const
{
    // SQLite counts NULL below every value, the server above.
    return m_sortDescending == onServer();
}

QList<SqlListModel::Where> SqlListModel::afterClauses(const QVariant& sortValue) const
{
    // The rows after (sortValue, key) in the current order, as one or two
    // ranges read one after the other. Row values keep each range a search
    // on the sort column's index, so a page deep in the list costs what the
    // first one does. The rows without a sort value come first or last.
    const QString s = sortExpression();
    const QString& k = m_def.key;
    const qint64 key = m_keys.constLast();
    const QString after = m_sortDescending ? QStringLiteral("<") : QStringLiteral(">");
    if (nullsFirst()) {
        if (sortValue.isNull())
            return {{QStringLiteral("%1 IS NULL AND %2 %3 ?").arg(s, k, after), {key}},
                    {QStringLiteral("%1 IS NOT NULL").arg(s), {}}};
        return {{QStringLiteral("(%1, %2) %3 (?, ?)").arg(s, k, after), {sortValue, key}}};
    }
    if (sortValue.isNull())
        return {{QStringLiteral("%1 IS NULL AND %2 %3 ?").arg(s, k, after), {key}}};
    return {{QStringLiteral("(%1, %2) %3 (?, ?)").arg(s, k, after), {sortValue, key}},
            {QStringLiteral("%1 IS NULL").arg(s), {}}};
}

SqlListModel::Statement SqlListModel::firstPageStatement() const
{
    return pageStatement(Where(), m_pageSize, false,
                         broadSearch() && m_sortColumn == m_def.defaultSort);
}

SqlListModel::Statement SqlListModel::pageStatement(const Where& range, int limit, bool idsOnly,
                                                    bool windowed) const
{
    const bool found = !windowed && m_broadKnown && m_foundKnown;
    const Where where = whereClause(windowed ? SearchForm::Walked
                                    : found  ? SearchForm::Found
                                             : SearchForm::Gathered);
    Statement statement{where.sql, where.params};
    const auto add = [](Statement& to, const QString& sql, const QVariantList& params) {
        to.sql += (to.sql.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ")) + sql;
        to.params += params;
    };
    if (!range.sql.isEmpty())
        add(statement, range.sql, range.params);
    if (!windowed && !searchClause().ids.isEmpty()) {
        // The gathered rows are put in order by their own table alone and
        // only the page's rows are joined to their names. The server would
        // rather walk the sort column's index and check each row against
        // the gathered ids, far down a long table for a few rows; OFFSET 0
        // has it gather them first, under the table's own alias.
        Statement keys = statement;
        keys.params << limitValue(limit);
        statement = Statement();
        const QString alias = m_def.baseTable.section(QLatin1Char(' '), -1);
        const QString gathered =
            onServer() ? QStringLiteral("(SELECT ") + alias + QStringLiteral(".* FROM ") +
                             m_def.baseTable + keys.sql + QStringLiteral(" OFFSET 0) AS ") + alias
                       : m_def.baseTable + keys.sql;
        add(statement,
            m_def.key + QStringLiteral(" IN (SELECT ") + m_def.key + QStringLiteral(" FROM ") +
                gathered + orderBy() + QStringLiteral(" LIMIT ?)"),
            keys.params);
    }
    if (windowed && onServer()) {
        // The server walks the sort column's index checking each row until
        // the page is full: a broad search fills it soon.
    } else if (windowed) {
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
    statement.params << limitValue(limit);
    statement.sql = QStringLiteral("SELECT ") +
                    (idsOnly ? QString() : m_def.columns + QStringLiteral(", ")) +
                    sortExpression() + QStringLiteral(" AS ") + kSortAlias + QStringLiteral(", ") +
                    m_def.key + QStringLiteral(" AS ") + kKeyAlias + QLatin1Char(' ') + m_def.from +
                    statement.sql + orderBy() + QStringLiteral(" LIMIT ?");
    return statement;
}

SqlListModel::Statement SqlListModel::totalsStatement() const
{
    return readsKeptTotals() ? keptTotalsStatement() : scannedTotalsStatement();
}

QVariant SqlListModel::keptSplitValue() const
{
    const ListTotals::Kept* kept = ListTotals::find(m_def.keptTotals);
    if (!kept || kept->splitFilter.isEmpty())
        return {};
    const QVariant value = m_filters.value(kept->splitFilter);
    return isNoFilter(value) ? QVariant() : value;
}

bool SqlListModel::readsKeptTotals() const
{
    if (m_def.keptTotals.isEmpty() || !m_searchText.trimmed().isEmpty())
        return false;
    const ListTotals::Kept* kept = ListTotals::find(m_def.keptTotals);
    if (!kept)
        return false;
    // The one filter the kept rows are split by is read from them as well.
    for (auto it = m_filters.cbegin(); it != m_filters.cend(); ++it) {
        const bool known =
            m_def.filterColumns.contains(it.key()) ||
            (!m_def.dateColumn.isEmpty() &&
             (it.key() == QLatin1String("date_from") || it.key() == QLatin1String("date_to")));
        const bool split = !kept->splitFilter.isEmpty() && it.key() == kept->splitFilter &&
                           m_def.filterColumns.contains(it.key());
        if (known && !split && !isNoFilter(it.value()))
            return false;
    }
    for (const QString& name : m_def.totalColumns.keys())
        if (!kept->sums.contains(name))
            return false;
    // Every server has them since its migrations made them; a file gains
    // them when it is opened.
    return onServer() || hasTable(QStringLiteral("list_totals"));
}
