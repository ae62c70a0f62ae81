#include "insight/PrintMoney.h"

#include "core/Database.h"
#include "core/Money.h"
#include "insight/PrintHtml.h"

#include <QStringList>
#include <QVariantMap>

PrintMoney::PrintMoney(Database* db)
{
    const QVariantList rows = db->execQuery(QStringLiteral(
        "SELECT id, symbol, name_ar, decimals, is_primary FROM currencies ORDER BY is_primary "
        "DESC, id"));
    for (const QVariant& item : rows) {
        const QVariantMap row = item.toMap();
        const int id = row.value(QStringLiteral("id")).toInt();
        m_currencies.insert(id,
                            {row.value(QStringLiteral("symbol")).toString(),
                             row.value(QStringLiteral("name_ar")).toString(),
                             Money::clampDecimals(row.value(QStringLiteral("decimals")).toInt())});
        // The first row is the primary one when any is marked.
        if (m_primary == 0)
            m_primary = id;
    }
}

int PrintMoney::shownId(const QVariant& currencyId) const
{
    const int id = currencyId.toInt();
    return m_currencies.contains(id) ? id : m_primary;
}

QString PrintMoney::symbol(const QVariant& currencyId) const
{
    return m_currencies.value(shownId(currencyId)).symbol;
}

QString PrintMoney::name(const QVariant& currencyId) const
{
    return m_currencies.value(shownId(currencyId)).name;
}

int PrintMoney::decimals(const QVariant& currencyId) const
{
    return m_currencies.value(shownId(currencyId)).decimals;
}

QString PrintMoney::format(double amount, const QVariant& currencyId) const
{
    return PrintHtml::money(amount, symbol(currencyId), decimals(currencyId));
}

QString PrintMoney::converted(const QVariantMap& total) const
{
    QString html = format(total.value(QStringLiteral("total")).toDouble(), m_primary);
    const QVariantList byCurrency = total.value(QStringLiteral("byCurrency")).toList();
    const bool onlyPrimary =
        byCurrency.isEmpty() ||
        (byCurrency.size() == 1 &&
         shownId(byCurrency.first().toMap().value(QStringLiteral("currency_id"))) == m_primary);
    if (!onlyPrimary) {
        QStringList parts;
        for (const QVariant& value : byCurrency) {
            const QVariantMap row = value.toMap();
            parts << format(row.value(QStringLiteral("total")).toDouble(),
                            row.value(QStringLiteral("currency_id")));
        }
        html += QStringLiteral("<br/><span class='muted'>") + parts.join(QStringLiteral(" + ")) +
                QStringLiteral("</span>");
    }
    const QStringList missing = total.value(QStringLiteral("missing")).toStringList();
    for (const QString& reason : missing)
        html += QStringLiteral("<br/><span class='muted'>⚠ ") + PrintHtml::text(reason) +
                QStringLiteral("</span>");
    return html;
}

void PrintMoney::Sums::add(int currencyId, double amount)
{
    if (!m_sums.contains(currencyId))
        m_order << currencyId;
    m_sums[currencyId] += amount;
}

QString PrintMoney::Sums::format(const PrintMoney& money) const
{
    if (m_order.isEmpty())
        return money.format(0, money.primaryId());
    QStringList parts;
    for (int id : m_order)
        parts << money.format(m_sums.value(id), id);
    return parts.join(QStringLiteral(" + "));
}
