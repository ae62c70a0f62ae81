#pragma once

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

// What the bulk export writes for each table: a fixed column list in a fixed
// order (so the headings do not depend on how old the database file is), an
// Arabic heading and a kind per column that says how a spreadsheet should
// hold the value.
namespace ExportTables {

enum class Kind
{
    Key,       // a row id or a reference to one: a whole number
    Integer,   // counts, floors, flags
    Real,      // areas, rates, readings
    Amount,    // money, in the row's own currency
    Text,      // names, notes
    Code,      // identity numbers, phones, cheque and unit numbers: text whose
               // leading zeros matter
    Date,      // "yyyy-MM-dd"
    Timestamp, // "yyyy-MM-dd HH:mm:ss"
    Label,     // a stored vocabulary word, shown in Arabic
};

using Words = QHash<QString, QString>;

struct Column
{
    QString name;    // the result column (the table's column name)
    QString heading; // Arabic heading
    Kind kind = Kind::Text;
    const Words* words = nullptr; // the Arabic words of a Label column
    QString expression;           // SQL for the value when it is not the column itself
};

struct Table
{
    QString name;       // table name, also the CSV file's name
    QString sheetTitle; // Arabic sheet name (at most 31 characters)
    QList<Column> columns;
    // Index of the column holding the row's currency id, or -1 when the
    // amounts are in the primary currency.
    int currencyColumn = -1;
};

// Every exported table, in the order files and sheets are written.
const QList<Table>& tables();
// The table named `name`, or nullptr.
const Table* find(const QString& name);

// "SELECT <columns> FROM <table> ORDER BY id" for `table`; only names from
// the fixed list above go into it.
QString selectSql(const Table& table);

// The Arabic word for a stored value of a Label column; the value itself
// when it is not one of the known words.
QString label(const Column& column, const QString& value);

// Currency symbols by currency id, and the primary currency's id (0 when
// none is marked).
struct Currencies
{
    QHash<int, QString> symbols;
    QHash<int, int> decimals;
    int primary = 0;
    // The symbol of `currencyId`, or of the primary currency when it is
    // empty or unknown.
    QString symbolFor(const QVariant& currencyId) const;
    // Its decimals the same way: two, or three for the dinar.
    int decimalsFor(const QVariant& currencyId) const;
};
Currencies readCurrencies(const QSqlDatabase& db);

} // namespace ExportTables
