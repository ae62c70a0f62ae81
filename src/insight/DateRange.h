#pragma once

#include <QString>
#include <QVariantList>

// The "from"/"to" bounds of a report. A range applies only when both bounds
// are given; a bound that is given must be a real "yyyy-MM-dd" date, and the
// bounds are always bound as parameters, never written into the SQL text.
class DateRange
{
public:
    DateRange() = default; // all dates
    DateRange(const QString& from, const QString& to);

    // False when a non-empty bound is not a real date; such a range must not
    // be run.
    bool isValid() const { return m_valid; }
    bool applies() const { return m_valid && !m_from.isEmpty() && !m_to.isEmpty(); }
    QString from() const { return m_from; }
    QString to() const { return m_to; }

    // " AND <column> BETWEEN ? AND ?" with both bounds appended to `params`
    // when the range applies; otherwise empty and `params` is left alone.
    // `column` is always a literal of the calling query. Written through
    // SqlDialect::unindexed(), the bounds only filter what the query's other
    // condition (one property, one buyer) found, instead of steering SQLite
    // to the date index.
    QString clause(const QString& column, QVariantList& params) const;

    // Why a range that is not valid was refused, for the page to show.
    static QString invalidReason();

private:
    QString m_from;
    QString m_to;
    bool m_valid = true;
};
