#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

// Small conversions shared by the models between Qt values and what the
// tables store.
class SqlValue
{
public:
    // A row id that names no row (0 or negative) is stored as NULL, so
    // optional references pass their foreign-key checks.
    static QVariant idOrNull(int id);
    // Blank text stored as NULL: UNIQUE columns such as identity numbers
    // treat every '' as the same value but allow any number of NULLs.
    static QVariant blankAsNull(const QString& text);
    // A null QString binds as SQL NULL; columns that hold "no text" as ''
    // get an empty text instead.
    static QString textOrEmpty(const QString& text);
    // The first record map of a row list, or an empty map.
    static QVariantMap firstRow(const QVariantList& rows);
    // True for a real calendar date written exactly as "yyyy-MM-dd".
    static bool isIsoDate(const QString& text);
    // True for a real month written exactly as "yyyy-MM".
    static bool isIsoPeriod(const QString& text);
};
