#pragma once

#include "core/DatabaseSettings.h"

#include <QList>
#include <QString>
#include <QStringList>

// The few spellings SQLite and PostgreSQL do not share. Everything else is
// written once, in SQL both accept (COALESCE, ON CONFLICT, RETURNING,
// explicit casts). Dates are kept as 'YYYY-MM-DD' text on both engines and
// times as 'YYYY-MM-DD HH:MM:SS' in UTC, so the helpers hand back text too.
namespace SqlDialect {

using Engine = DatabaseSettings::Engine;

// `count` parameter marks, "?, ?, ?", for a list of values or a row.
QString placeholders(int count);

// The current moment and day in UTC, as stored in created_at and its kin.
QString now(Engine engine);
QString today(Engine engine);
// The local day of a stored UTC moment `column` ('YYYY-MM-DD HH:MM:SS'):
// SQLite's localtime is the desk's zone, the server's the session's TimeZone.
QString localDay(Engine engine, const QString& column);
// The day `days` days after the day `date` (both SQL expressions; `days`
// may be negative or a `?`).
QString addDays(Engine engine, const QString& date, const QString& days);
// The values of `expression` over a group, joined by `separator` (a
// literal, without quotes).
QString stringAgg(Engine engine, const QString& expression, const QString& separator);
// A row written whole, replacing the row with the same `keys`; one `?` per
// column, in order.
QString upsert(Engine engine, const QString& table, const QStringList& columns,
               const QStringList& keys);
// A row added unless one with the same key is there already.
QString insertOrIgnore(Engine engine, const QString& table, const QStringList& columns);
// Whether text `haystack` holds `needle` as it is (case and all, no
// wildcards): SQLite's instr(), the server's strpos().
QString holds(Engine engine, const QString& haystack, const QString& needle);
// The larger of two values (SQLite's two-argument max(), the server's
// greatest()).
QString greatest(Engine engine, const QString& a, const QString& b);
// The join that reads the table on its left first: SQLite's planner keeps
// the order of a CROSS JOIN, the server's accepts no ON after one and
// chooses the order itself.
QString leadingJoin(Engine engine);
// `column` as a condition is to read it: SQLite's "+column" keeps its planner
// off the column's index when another condition is the selective one; the
// server plans by its statistics and has no such spelling.
QString unindexed(Engine engine, const QString& column);
// `column` is one of the ids bound as one value, written by idList(): a
// page's look-ups in one statement of one text, whatever their number.
QString inIds(Engine engine, const QString& column);
QString idList(Engine engine, const QList<int>& ids);
// An INSERT that hands back the new row's id as its one row and column.
// SQLite gives it through the connection instead and the text is unchanged.
QString returningId(Engine engine, const QString& insert);

} // namespace SqlDialect
