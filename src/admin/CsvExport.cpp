#include "admin/CsvExport.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextStream>

QStringList CsvExport::tables()
{
    return {QStringLiteral("properties"),
            QStringLiteral("units"),
            QStringLiteral("tenants"),
            QStringLiteral("contracts"),
            QStringLiteral("payments"),
            QStringLiteral("invoices"),
            QStringLiteral("maintenance_requests"),
            QStringLiteral("journal_entries"),
            QStringLiteral("accounts"),
            QStringLiteral("buyers"),
            QStringLiteral("installments"),
            QStringLiteral("cheques")};
}

QString CsvExport::field(const QVariant& value)
{
    if (value.isNull())
        return {};
    QString text = value.toString();
    if (value.typeId() == QMetaType::QString && !text.isEmpty()) {
        const QChar first = text.at(0);
        if (first == QLatin1Char('=') || first == QLatin1Char('+') || first == QLatin1Char('-') ||
            first == QLatin1Char('@') || first == QLatin1Char('\t') || first == QLatin1Char('\r'))
            text.prepend(QLatin1Char('\''));
    }
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
        text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        text = QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

bool CsvExport::writeTable(const QSqlDatabase& db, const QString& table, const QString& filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    out.setGenerateByteOrderMark(true);

    // Table names come from tables() only; they cannot be bound.
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT * FROM ") + table))
        return false;

    const QSqlRecord record = query.record();
    QStringList fields;
    for (int i = 0; i < record.count(); ++i)
        fields << record.fieldName(i);
    out << fields.join(QLatin1Char(',')) << '\n';

    while (query.next()) {
        fields.clear();
        for (int i = 0; i < record.count(); ++i)
            fields << field(query.value(i));
        out << fields.join(QLatin1Char(',')) << '\n';
    }
    if (query.lastError().isValid())
        return false;
    out.flush();
    return out.status() == QTextStream::Ok && file.error() == QFileDevice::NoError;
}
