#include "insight/DateRange.h"

#include "core/SqlValue.h"

DateRange::DateRange(const QString& from, const QString& to)
    : m_from(from.trimmed())
    , m_to(to.trimmed())
{
    m_valid = (m_from.isEmpty() || SqlValue::isIsoDate(m_from)) &&
              (m_to.isEmpty() || SqlValue::isIsoDate(m_to));
}

QString DateRange::clause(const QString& column, QVariantList& params) const
{
    if (!applies())
        return {};
    params << m_from << m_to;
    return QStringLiteral(" AND ") + column + QStringLiteral(" BETWEEN ? AND ?");
}

QString DateRange::invalidReason()
{
    return QStringLiteral("تاريخ غير صالح في نطاق التقرير؛ اكتب التاريخ بالشكل yyyy-MM-dd");
}
