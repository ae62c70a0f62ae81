#include "core/SqlValue.h"

#include <QDate>

QVariant SqlValue::idOrNull(int id)
{
    return id > 0 ? QVariant(id) : QVariant();
}

QVariant SqlValue::blankAsNull(const QString& text)
{
    return text.trimmed().isEmpty() ? QVariant() : QVariant(text);
}

QString SqlValue::textOrEmpty(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

QVariantMap SqlValue::firstRow(const QVariantList& rows)
{
    return rows.isEmpty() ? QVariantMap() : rows.first().toMap();
}

bool SqlValue::isIsoDate(const QString& text)
{
    const QString format = QStringLiteral("yyyy-MM-dd");
    const QDate date = QDate::fromString(text, format);
    return date.isValid() && date.toString(format) == text;
}

bool SqlValue::isIsoPeriod(const QString& text)
{
    return text.size() == 7 && isIsoDate(text + QStringLiteral("-01"));
}
