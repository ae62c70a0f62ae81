#include "core/SqlListModel.h"

#include "core/ListTotals.h"

#include <QRegularExpression>

#include <algorithm>

// The paged lists' count and footer statements: read from the kept day rows,
// or added up from the rows themselves (a search's found rows gathered once).

SqlListModel::Statement SqlListModel::keptTotalsStatement() const
{
    // The same rows the scan gives: a first row with the count, the sums,
    // whether currencies are mixed and the primary currency's converted
    // part, then one row per other currency and day.
    const ListTotals::Kept* kept = ListTotals::find(m_def.keptTotals);
    const auto keptSum = [this, kept](const QString& name, const QString& condition) {
        const QString n = QString::number(kept->sums.indexOf(name));
        const QString when = condition.isEmpty() ? QString()
                                                 : QStringLiteral("CASE WHEN ") + condition +
                                                       QStringLiteral(" THEN 0 ELSE ");
        const QString end = condition.isEmpty() ? QString() : QStringLiteral(" END");
        return QStringLiteral("COALESCE(SUM(") + when + QStringLiteral("c") + n + end +
               QStringLiteral("),0)/100.0+") + sumOf(when + QStringLiteral("r") + n + end);
    };
    QStringList aggregates{QStringLiteral("COALESCE(SUM(row_count),0)")};
    QStringList names = m_def.totalColumns.keys();
    names.sort();
    for (const QString& name : names)
        aggregates << keptSum(name, QString());
    // A day with no rows left has row_count 0 and names no currency.
    const QString currency =
        QStringLiteral("CASE WHEN row_count=0 THEN NULL WHEN currency_id=-1 THEN 0 ELSE "
                       "currency_id END");
    if (!m_def.currencyColumn.isEmpty())
        aggregates << differs(QStringLiteral("MIN(%1)").arg(currency),
                              QStringLiteral("MAX(%1)").arg(currency));
    const QVariant splitValue = keptSplitValue();
    const QString list = ListTotals::listCondition(*kept, splitValue.isValid());
    const QVariantList listValues = ListTotals::listValues(*kept, splitValue);
    Statement statement;
    statement.params << listValues;
    if (!convertsTotal()) {
        statement.sql = QStringLiteral("SELECT ") + aggregates.join(QStringLiteral(", ")) +
                        QStringLiteral(" FROM list_totals WHERE ") + list;
        return statement;
    }
    const QString otherCurrency =
        QStringLiteral("currency_id IN (SELECT id FROM currencies WHERE is_primary=0)");
    QStringList blanks;
    for (int i = 0; i < aggregates.size(); ++i)
        blanks << QStringLiteral("NULL");
    const QString n = QString::number(kept->sums.indexOf(m_def.convertedTotal));
    // The last column keeps the first row first, as in the scan below.
    statement.sql = QStringLiteral("SELECT ") + aggregates.join(QStringLiteral(", ")) +
                    QStringLiteral(", ") + keptSum(m_def.convertedTotal, otherCurrency) +
                    QStringLiteral(", NULL, NULL, 0 FROM list_totals WHERE ") + list +
                    QStringLiteral(" UNION ALL SELECT ") + blanks.join(QStringLiteral(", ")) +
                    QStringLiteral(", SUM(c") + n + QStringLiteral(")/100.0+SUM(r") + n +
                    QStringLiteral("), currency_id, day, 1 FROM list_totals WHERE ") + list +
                    QStringLiteral(" AND row_count<>0 AND ") + otherCurrency +
                    QStringLiteral(" GROUP BY currency_id, day ORDER BY ") +
                    QString::number(aggregates.size() + 4);
    statement.params << listValues;
    return statement;
}

QString SqlListModel::totalsColumns(const QString& alias) const
{
    // The columns of the list's own table that the count and sums read, as
    // "alias.column" in their expressions: a search's found rows are copied
    // with these alone rather than whole, and the key keeps them apart.
    QStringList read{m_def.key};
    QStringList expressions = m_def.totalColumns.values();
    expressions << m_def.currencyColumn << m_def.convertedDay;
    const QRegularExpression column(QStringLiteral("\\b") + QRegularExpression::escape(alias) +
                                    QStringLiteral("\\.([A-Za-z_][A-Za-z0-9_]*)"));
    for (const QString& expression : std::as_const(expressions)) {
        auto found = column.globalMatch(expression);
        while (found.hasNext()) {
            const QString name = alias + QLatin1Char('.') + found.next().captured(1);
            if (!read.contains(name))
                read << name;
        }
    }
    return read.join(QStringLiteral(", "));
}

SqlListModel::Statement SqlListModel::foundRows(const Search& search, const QString& alias) const
{
    // A name held by thousands of rows, looked up by a key whose index also
    // holds every column the footer reads (see sumsIndexedBy), reads its
    // rows from that index alone. The other parts' rows are gathered as
    // before, leaving out the rows those look-ups found: no row is counted
    // twice, and the many rows of a family name are neither looked up again
    // in the table one by one nor sorted to drop repeats. The sums may then
    // add the rows in another order than the table's; the amounts being
    // whole cents (or mills), that changes no figure.
    const QString read = totalsColumns(alias);
    const QString columns =
        QStringLiteral("SELECT ") + read + QStringLiteral(" FROM ") + m_def.baseTable;
    // The covered parts come after the UNION that needs the key to keep rows
    // apart, so they leave it out: the server's index holds the sums' columns
    // but not the key, and reading it sent every found row to the table.
    const QString keyless = QStringLiteral("SELECT NULL") + read.mid(m_def.key.size()) +
                            QStringLiteral(" FROM ") + m_def.baseTable;
    const Where plain = whereClause(SearchForm::Left);
    const QString joiner =
        plain.sql.isEmpty() ? QStringLiteral(" WHERE (") : plain.sql + QStringLiteral(" AND (");
    QList<Statement> covered;
    QList<Statement> rest;
    qsizetype next = 0;
    for (const QString& condition : search.parts) {
        const qsizetype marks = condition.count(QLatin1Char('?'));
        const Statement part{condition, search.params.mid(next, marks)};
        next += marks;
        const bool fromIndex =
            std::any_of(m_def.searchConditions.cbegin(), m_def.searchConditions.cend(),
                        [&](const QString& defined) { return searchSql(defined) == condition; }) &&
            std::any_of(m_def.sumsIndexedBy.cbegin(), m_def.sumsIndexedBy.cend(),
                        [&](const QString& key) {
                            return condition.startsWith(key + QStringLiteral(" IN ("));
                        });
        (fromIndex ? covered : rest) << part;
    }
    // "... AND (<the covered parts>) IS NOT TRUE": NULL is no match, so a
    // row with no tenant, say, is not taken for one a look-up found.
    const auto leaveOut = [](const QList<Statement>& parts, Statement& select) {
        if (parts.isEmpty())
            return;
        QStringList any;
        for (const Statement& part : parts) {
            any << QLatin1Char('(') + part.sql + QLatin1Char(')');
            select.params += part.params;
        }
        select.sql += QStringLiteral(" AND (") + any.join(QStringLiteral(" OR ")) +
                      QStringLiteral(") IS NOT TRUE");
    };
    QStringList selects;
    Statement found;
    if (!rest.isEmpty() && onServer()) {
        // The server reads each part's rows with their columns at once,
        // a name matching thousands of rows in one pass over the table
        // instead of looking each found id up again; UNION drops a row
        // found twice, the key keeping rows apart. Its sums are exact
        // decimals, so the order the rows come in changes no figure.
        for (const Statement& part : std::as_const(rest)) {
            Statement select{columns + joiner + part.sql + QLatin1Char(')'),
                             plain.params + part.params};
            leaveOut(covered, select);
            selects << select.sql;
            found.params += select.params;
        }
    } else if (!rest.isEmpty()) {
        // The file looks the found ids up in id order, the table's own,
        // and adds the rows up in that order.
        QStringList ids;
        Statement select{columns + joiner + m_def.key + QStringLiteral(" IN ("), plain.params};
        for (const Statement& part : std::as_const(rest)) {
            ids << QStringLiteral("SELECT ") + m_def.key + QStringLiteral(" FROM ") +
                       m_def.baseTable + QStringLiteral(" WHERE ") + part.sql;
            select.params += part.params;
        }
        select.sql += ids.join(QStringLiteral(" UNION ALL ")) + QStringLiteral("))");
        leaveOut(covered, select);
        selects << select.sql;
        found.params += select.params;
    }
    QString sql = selects.join(QStringLiteral(" UNION "));
    // After the rest, so that the UNION above does not take these rows in.
    for (qsizetype i = 0; i < covered.size(); ++i) {
        Statement select{keyless + joiner + covered.at(i).sql + QLatin1Char(')'),
                         plain.params + covered.at(i).params};
        leaveOut(covered.mid(0, i), select);
        sql += (sql.isEmpty() ? QString() : QStringLiteral(" UNION ALL ")) + select.sql;
        found.params += select.params;
    }
    found.sql = sql;
    return found;
}

QString SqlListModel::groupedFoundTotals(const QString& alias, const QStringList& names) const
{
    // The server adds a search's found rows up in one pass: one group for
    // the primary currency (and rows naming none), one per other currency
    // and day, and the first row summed from the groups. Copying thousands
    // of found rows aside to read them twice cost it more than the
    // grouping; its sums are exact decimals, so no figure changes.
    const QString other =
        m_def.currencyColumn + QStringLiteral(" IN (SELECT id FROM currencies WHERE is_primary=0)");
    const QString amount = m_def.totalColumns.value(m_def.convertedTotal);
    QStringList grouped{QStringLiteral("CASE WHEN ") + other + QStringLiteral(" THEN ") +
                            m_def.currencyColumn + QStringLiteral(" END AS list_currency_"),
                        QStringLiteral("CASE WHEN ") + other + QStringLiteral(" THEN ") +
                            m_def.convertedDay + QStringLiteral(" END AS list_day_"),
                        QStringLiteral("COUNT(*) AS list_count_")};
    QStringList first{QStringLiteral("COALESCE(SUM(list_count_),0)")};
    QStringList blanks{QStringLiteral("NULL")};
    QString convertedSum;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString column = QStringLiteral("list_sum_") + QString::number(i);
        grouped << sumOf(m_def.totalColumns.value(names.at(i))) + QStringLiteral(" AS ") + column;
        first << sumOf(column);
        blanks << QStringLiteral("NULL");
        if (names.at(i) == m_def.convertedTotal)
            convertedSum = column;
    }
    grouped << QStringLiteral("MIN(COALESCE(%1,0)) AS list_low_, MAX(COALESCE(%1,0)) AS "
                              "list_high_")
                   .arg(m_def.currencyColumn)
            << sumOf(QStringLiteral("CASE WHEN ") + other + QStringLiteral(" THEN 0 ELSE ") +
                     amount + QStringLiteral(" END")) +
                   QStringLiteral(" AS list_own_");
    first << differs(QStringLiteral("MIN(list_low_)"), QStringLiteral("MAX(list_high_)"))
          << sumOf(QStringLiteral("list_own_"));
    blanks << QStringLiteral("NULL");
    return QStringLiteral(", list_groups_ AS MATERIALIZED (SELECT ") +
           grouped.join(QStringLiteral(", ")) + QStringLiteral(" FROM list_found_ ") + alias +
           QStringLiteral(" GROUP BY 1, 2) SELECT ") + first.join(QStringLiteral(", ")) +
           QStringLiteral(", NULL, NULL, 0 FROM list_groups_ UNION ALL SELECT ") +
           blanks.join(QStringLiteral(", ")) + QStringLiteral(", ") + convertedSum +
           QStringLiteral(", list_currency_, list_day_, 1 FROM list_groups_ WHERE list_currency_ "
                          "IS NOT NULL ORDER BY ") +
           QString::number(first.size() + 3);
}

SqlListModel::Statement SqlListModel::scannedTotalsStatement() const
{
    const Where where = whereClause();
    QStringList aggregates{QStringLiteral("COUNT(*)")};
    QStringList names = m_def.totalColumns.keys();
    names.sort();
    for (const QString& name : names)
        aggregates << sumOf(m_def.totalColumns.value(name));
    if (!m_def.currencyColumn.isEmpty())
        aggregates << differs(QStringLiteral("MIN(COALESCE(%1,0))").arg(m_def.currencyColumn),
                              QStringLiteral("MAX(COALESCE(%1,0))").arg(m_def.currencyColumn));
    Statement statement;
    if (!convertsTotal()) {
        statement.sql = QStringLiteral("SELECT ") + aggregates.join(QStringLiteral(", ")) +
                        QStringLiteral(" FROM ") + m_def.baseTable + where.sql;
        statement.params = where.params;
        // The server checks the condition every row meets (the journal's
        // "has lines") on the rows a search found, after it found them:
        // checked inside the search it spreads a few thousand look-ups
        // over parallel workers, whose start costs many times the work.
        const QString base = QStringLiteral(" WHERE ") + m_def.baseWhere + QStringLiteral(" AND ");
        if (onServer() && !m_def.baseWhere.isEmpty() && !m_def.baseWhere.contains('?') &&
            !m_searchText.trimmed().isEmpty() && where.sql.startsWith(base)) {
            const QString alias = m_def.baseTable.section(QLatin1Char(' '), -1);
            statement.sql = QStringLiteral("SELECT ") + aggregates.join(QStringLiteral(", ")) +
                            QStringLiteral(" FROM (SELECT ") + alias + QStringLiteral(".* FROM ") +
                            m_def.baseTable + QStringLiteral(" WHERE ") +
                            where.sql.mid(base.size()) + QStringLiteral(" OFFSET 0) AS ") + alias +
                            QStringLiteral(" WHERE ") + m_def.baseWhere;
        }
        return statement;
    }
    // The converted total: the primary currency's rows (and those naming
    // none) summed in the first row, the other currencies' rows per
    // currency and day in the rows after it, whose count is left empty.
    const QString amount = m_def.totalColumns.value(m_def.convertedTotal);
    const QString otherCurrency =
        m_def.currencyColumn + QStringLiteral(" IN (SELECT id FROM currencies WHERE "
                                              "is_primary=0)");
    QStringList blanks;
    for (int i = 0; i < aggregates.size(); ++i)
        blanks << QStringLiteral("NULL");
    const QString whereSql = where.sql.trimmed();
    QString otherRows = whereSql.isEmpty()
                            ? QStringLiteral(" WHERE ") + otherCurrency
                            : QStringLiteral(" WHERE (") + whereSql.mid(int(qstrlen("WHERE "))) +
                                  QStringLiteral(") AND ") + otherCurrency;
    // A search's rows are gathered once and both halves read them, instead
    // of each half gathering and looking up every found row again.
    QString with;
    QString source = m_def.baseTable;
    QString rowsWhere = where.sql;
    QVariantList params = where.params + where.params;
    const Search search = searchClause();
    if (!search.ids.isEmpty()) {
        const QString alias = m_def.baseTable.section(QLatin1Char(' '), -1);
        const Statement found = foundRows(search, alias);
        if (onServer()) {
            statement.sql = QStringLiteral("WITH list_found_ AS (") + found.sql +
                            QStringLiteral(") ") + groupedFoundTotals(alias, names);
            statement.params = found.params;
            return statement;
        }
        with =
            QStringLiteral("WITH list_found_ AS MATERIALIZED (") + found.sql + QStringLiteral(") ");
        params = found.params;
        source = QStringLiteral("list_found_ ") + alias;
        rowsWhere.clear();
        otherRows = QStringLiteral(" WHERE ") + otherCurrency;
    }
    // The last column only keeps the first row first: the server runs the
    // two halves side by side on a long table and hands back whichever
    // finishes first.
    statement.sql = with + QStringLiteral("SELECT ") + aggregates.join(QStringLiteral(", ")) +
                    QStringLiteral(", ") +
                    sumOf(QStringLiteral("CASE WHEN ") + otherCurrency +
                          QStringLiteral(" THEN 0 ELSE ") + amount + QStringLiteral(" END")) +
                    QStringLiteral(", NULL, NULL, 0 FROM ") + source + rowsWhere +
                    QStringLiteral(" UNION ALL SELECT ") + blanks.join(QStringLiteral(", ")) +
                    QStringLiteral(", ") + sumOf(amount) + QStringLiteral(", ") +
                    m_def.currencyColumn + QStringLiteral(", ") + m_def.convertedDay +
                    QStringLiteral(", 1 FROM ") + source + otherRows +
                    QStringLiteral(" GROUP BY ") + QString::number(aggregates.size() + 2) +
                    QStringLiteral(", ") + QString::number(aggregates.size() + 3) +
                    QStringLiteral(" ORDER BY ") + QString::number(aggregates.size() + 4);
    statement.params = params;
    return statement;
}
