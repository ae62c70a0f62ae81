#include "core/OpenInvoices.h"

namespace {

QString column(const QString& alias, const char* name)
{
    const QString bare = QString::fromLatin1(name);
    return alias.isEmpty() ? bare : alias + QLatin1Char('.') + bare;
}

} // namespace

QString OpenInvoices::notSettled(const QString& alias)
{
    const QString status = column(alias, "status");
    return QStringLiteral("(%1 < 'paid' OR (%1 > 'paid' AND %1 < 'void') OR %1 > 'void')")
        .arg(status);
}

QString OpenInvoices::owing(const QString& alias)
{
    return notSettled(alias) + QStringLiteral(" AND ") + column(alias, "balance") +
           QStringLiteral(" >= 0.0005");
}
