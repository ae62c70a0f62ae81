#include "core/SqlDialect.h"

namespace SqlDialect {

namespace {

bool isPg(Engine engine)
{
    return engine == Engine::PostgreSQL;
}

QString insertHead(const QString& table, const QStringList& columns)
{
    return table + QStringLiteral(" (") + columns.join(QStringLiteral(", ")) +
           QStringLiteral(") VALUES (") + placeholders(int(columns.size())) + QStringLiteral(")");
}

} // namespace

QString placeholders(int count)
{
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    return marks.join(QStringLiteral(", "));
}

QString now(Engine engine)
{
    return isPg(engine) ? QStringLiteral("to_char(timezone('UTC', now()), 'YYYY-MM-DD HH24:MI:SS')")
                        : QStringLiteral("datetime('now')");
}

QString today(Engine engine)
{
    return isPg(engine) ? QStringLiteral("to_char(timezone('UTC', now()), 'YYYY-MM-DD')")
                        : QStringLiteral("date('now')");
}

QString addDays(Engine engine, const QString& date, const QString& days)
{
    if (isPg(engine))
        return QStringLiteral("to_char(CAST(%1 AS date) + CAST(%2 AS integer), 'YYYY-MM-DD')")
            .arg(date, days);
    // SQLite reads "3 days" and "-3 days" alike.
    return QStringLiteral("date(%1, CAST(%2 AS INTEGER) || ' days')").arg(date, days);
}

QString stringAgg(Engine engine, const QString& expression, const QString& separator)
{
    QString quoted = separator;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    if (isPg(engine))
        return QStringLiteral("string_agg(CAST(%1 AS TEXT), '%2')").arg(expression, quoted);
    return QStringLiteral("GROUP_CONCAT(%1, '%2')").arg(expression, quoted);
}

QString upsert(Engine engine, const QString& table, const QStringList& columns,
               const QStringList& keys)
{
    if (!isPg(engine))
        return QStringLiteral("INSERT OR REPLACE INTO ") + insertHead(table, columns);
    QStringList updates;
    for (const QString& column : columns) {
        if (!keys.contains(column))
            updates << column + QStringLiteral("=EXCLUDED.") + column;
    }
    return QStringLiteral("INSERT INTO ") + insertHead(table, columns) +
           QStringLiteral(" ON CONFLICT (") + keys.join(QStringLiteral(", ")) +
           (updates.isEmpty()
                ? QStringLiteral(") DO NOTHING")
                : QStringLiteral(") DO UPDATE SET ") + updates.join(QStringLiteral(", ")));
}

QString insertOrIgnore(Engine engine, const QString& table, const QStringList& columns)
{
    if (isPg(engine))
        return QStringLiteral("INSERT INTO ") + insertHead(table, columns) +
               QStringLiteral(" ON CONFLICT DO NOTHING");
    return QStringLiteral("INSERT OR IGNORE INTO ") + insertHead(table, columns);
}

QString holds(Engine engine, const QString& haystack, const QString& needle)
{
    return (isPg(engine) ? QStringLiteral("strpos(%1,%2)>0") : QStringLiteral("instr(%1,%2)>0"))
        .arg(haystack, needle);
}

QString inIds(Engine engine, const QString& column)
{
    return column + (isPg(engine) ? QStringLiteral(" = ANY(CAST(? AS BIGINT[]))")
                                  : QStringLiteral(" IN (SELECT value FROM json_each(?))"));
}

QString idList(Engine engine, const QList<int>& ids)
{
    QStringList numbers;
    numbers.reserve(ids.size());
    for (int id : ids)
        numbers << QString::number(id);
    const QString joined = numbers.join(QLatin1Char(','));
    return isPg(engine) ? QLatin1Char('{') + joined + QLatin1Char('}')
                        : QLatin1Char('[') + joined + QLatin1Char(']');
}

QString greatest(Engine engine, const QString& a, const QString& b)
{
    return (isPg(engine) ? QStringLiteral("GREATEST(%1, %2)") : QStringLiteral("MAX(%1, %2)"))
        .arg(a, b);
}

QString localDay(Engine engine, const QString& column)
{
    return (isPg(engine) ? QStringLiteral("to_char(timezone('UTC', CAST(%1 AS timestamp)), "
                                          "'YYYY-MM-DD')")
                         : QStringLiteral("date(%1,'localtime')"))
        .arg(column);
}

QString leadingJoin(Engine engine)
{
    return isPg(engine) ? QStringLiteral("JOIN") : QStringLiteral("CROSS JOIN");
}

QString unindexed(Engine engine, const QString& column)
{
    return isPg(engine) ? column : QLatin1Char('+') + column;
}

QString returningId(Engine engine, const QString& insert)
{
    if (!isPg(engine))
        return insert;
    QString sql = insert.trimmed();
    while (sql.endsWith(QLatin1Char(';')))
        sql.chop(1);
    return sql + QStringLiteral(" RETURNING id");
}

} // namespace SqlDialect
