#include "core/SqlListModel.h"

#include "core/ListTotals.h"

#include <QRegularExpression>

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
    // of each half gathering and looking up every found row again. They
    // keep the order they were found in, so the sums are added in the same
    // order as before.
    QString with;
    QString source = m_def.baseTable;
    QString rowsWhere = where.sql;
    QVariantList params = where.params + where.params;
    const Search search = searchClause();
    if (!search.ids.isEmpty()) {
        const QString alias = m_def.baseTable.section(QLatin1Char(' '), -1);
        const QString columns = QStringLiteral("SELECT ") + totalsColumns(alias) +
                                QStringLiteral(" FROM ") + m_def.baseTable;
        QString found = columns + where.sql;
        params = where.params;
        if (onServer()) {
            // The server reads each part's rows with their columns at once,
            // a name matching thousands of rows in one pass over the table
            // instead of looking each found id up again; UNION drops a row
            // found twice, the key keeping rows apart. Its sums are exact
            // decimals, so the order the rows come in changes no figure.
            const Where plain = whereClause(SearchForm::Left);
            const QString joiner = plain.sql.isEmpty() ? QStringLiteral(" WHERE (")
                                                       : plain.sql + QStringLiteral(" AND (");
            QStringList selects;
            params.clear();
            qsizetype next = 0;
            for (const QString& part : search.parts) {
                selects << columns + joiner + part + QLatin1Char(')');
                params += plain.params;
                const qsizetype marks = part.count(QLatin1Char('?'));
                params += search.params.mid(next, marks);
                next += marks;
            }
            found = selects.join(QStringLiteral(" UNION "));
        }
        with = QStringLiteral("WITH list_found_ AS MATERIALIZED (") + found + QStringLiteral(") ");
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
