#include "admin/CsvExport.h"

#include "core/Money.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

using ExportTables::Column;
using ExportTables::Kind;

QStringList CsvExport::tables()
{
    QStringList names;
    for (const ExportTables::Table& table : ExportTables::tables())
        names << table.name;
    return names;
}

namespace {

bool startsLikeAFormula(const QString& text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char(' '))
            continue;
        return c == QLatin1Char('=') || c == QLatin1Char('+') || c == QLatin1Char('-') ||
               c == QLatin1Char('@') || c == QLatin1Char('\t') || c == QLatin1Char('\r');
    }
    return false;
}

QString quoted(QString text)
{
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
        text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        text = QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

} // namespace

QString CsvExport::field(const QVariant& value)
{
    if (value.isNull())
        return {};
    QString text = value.toString();
    if (value.typeId() == QMetaType::QString && startsLikeAFormula(text))
        text.prepend(QLatin1Char('\''));
    return quoted(text);
}

QString CsvExport::typedField(const Column& column, const QVariant& value, int decimals)
{
    if (value.isNull())
        return {};
    switch (column.kind) {
    case Kind::Amount:
        return QString::number(Money::roundTo(value.toDouble(), decimals), 'f',
                               Money::clampDecimals(decimals));
    case Kind::Real:
        return QString::number(value.toDouble(), 'g', 12);
    case Kind::Key:
    case Kind::Integer:
        return value.toString();
    case Kind::Label:
        return field(ExportTables::label(column, value.toString()));
    case Kind::Code: {
        // A number-like code written as the formula ="0599..." stays text
        // with its zeros in every spreadsheet; only digits, spaces and a
        // leading plus go into the formula.
        static const QRegularExpression numberLike(QStringLiteral("^\\+?[0-9][0-9 ]*$"));
        const QString text = value.toString();
        if (numberLike.match(text).hasMatch())
            return quoted(QStringLiteral("=\"") + text + QLatin1Char('"'));
        return field(text);
    }
    case Kind::Text:
    case Kind::Date:
    case Kind::Timestamp:
        break;
    }
    return field(value.toString());
}

bool CsvExport::writeTable(const QSqlDatabase& db, const QString& table, const QString& filePath)
{
    const ExportTables::Table* definition = ExportTables::find(table);
    if (!definition)
        return false;
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    out.setGenerateByteOrderMark(true);

    // Read before the table's rows: a server connection reading rows one by
    // one has no room for a second statement until they are all read.
    const ExportTables::Currencies currencies = ExportTables::readCurrencies(db);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(ExportTables::selectSql(*definition)))
        return false;

    const QList<Column>& columns = definition->columns;
    QStringList fields;
    for (const Column& column : columns)
        fields << column.name;
    out << fields.join(QLatin1Char(',')) << '\n';

    while (query.next()) {
        fields.clear();
        const int decimals = currencies.decimalsFor(
            definition->currencyColumn >= 0 ? query.value(definition->currencyColumn) : QVariant());
        for (int i = 0; i < columns.size(); ++i)
            fields << typedField(columns.at(i), query.value(i), decimals);
        out << fields.join(QLatin1Char(',')) << '\n';
    }
    if (query.lastError().isValid())
        return false;
    out.flush();
    return out.status() == QTextStream::Ok && file.error() == QFileDevice::NoError;
}
