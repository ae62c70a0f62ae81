#pragma once

#include <QSet>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

class Database;
class UnitModel;

// The checks and the insert of one pasted row for one target table
// ("tenants", "buyers" or "units"): the same rules as a record typed into
// its dialog, plus the bounds a paste needs. Identity numbers, phones, unit
// numbers and numbers are read with Arabic-Indic and Persian digits turned
// into ASCII, and stored so.
class ImportRows
{
public:
    static constexpr int nameLimit = 200;
    static constexpr int codeLimit = 40;
    static constexpr int addressLimit = 500;

    ImportRows(Database* db, UnitModel* units, const QString& table);

    static bool isTarget(const QString& table);
    // The labels of the target's fields, in paste order.
    static QStringList columnLabels(const QString& table);
    // True for a row of column titles.
    static bool isHeader(const QStringList& fields, const QString& table);
    // A number as people paste it: Arabic-Indic digits, "٫" or "." as the
    // decimal point and correctly placed thousands separators are read.
    static bool parseNumber(const QString& text, double* value);

    // Why the row cannot go in, or an empty text. Also refuses a row that
    // repeats an identity number or unit number of an earlier row checked
    // by this object.
    QString check(const QStringList& fields, bool tabSeparated);
    // Checks and inserts the row; the new id, or -1 with `reason` set.
    int write(const QStringList& fields, bool tabSeparated, QString* reason);

private:
    struct Values
    {
        QString name, idNumber, phone, address; // people
        int propertyId = 0;                     // units
        QString number;
        QVariant area, salePrice, rent;
    };
    QString readPerson(const QStringList& fields, Values* values);
    QString readUnit(const QStringList& fields, bool tabSeparated, Values* values);
    QString read(const QStringList& fields, bool tabSeparated, Values* values);
    // What the stored rows say against the row: a taken identity number, a
    // missing property, a unit number already in it.
    QString storedProblem(const Values& values);
    // The identity or unit number the row takes; empty when none.
    QString key(const Values& values) const;

    // Statements of the people tables, prepared once for a whole paste.
    bool preparePeople();
    int insertedId();

    Database* m_db;
    UnitModel* m_units;
    QString m_table;
    QSqlQuery m_findPerson;
    QSqlQuery m_insertPerson;
    bool m_prepared = false;
    QSet<QString> m_seen; // identity or unit numbers already taken by this paste
};
