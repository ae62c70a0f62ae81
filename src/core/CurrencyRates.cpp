#include "core/CurrencyRates.h"

#include "core/Database.h"
#include "core/Money.h"
#include "core/Reasons.h"

#include <QMap>

#include <algorithm>

CurrencyRates::CurrencyRates(Database* db, Read rates)
    : m_db(db)
{
    for (const QVariant& value :
         m_db->execQuery(QStringLiteral("SELECT id, code, is_primary, decimals FROM currencies"))) {
        const QVariantMap row = value.toMap();
        const int id = row.value(QStringLiteral("id")).toInt();
        m_codes.insert(id, row.value(QStringLiteral("code")).toString());
        m_decimals.insert(id, Money::clampDecimals(row.value(QStringLiteral("decimals")).toInt()));
        if (row.value(QStringLiteral("is_primary")).toInt() == 1 && m_primaryId == 0)
            m_primaryId = id;
    }
    if (rates == Read::Now)
        readRates();
}

void CurrencyRates::readRates() const
{
    m_ratesRead = true;
    if (m_primaryId == 0)
        return;
    // Per currency and day. A day's direct rate is looked for first, then
    // the inverse of the primary's rate in that currency.
    QHash<int, QMap<QString, double>> direct;
    QHash<int, QMap<QString, double>> inverse;
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT from_currency_id as f, to_currency_id as t, rate as r, date as d "
                       "FROM exchange_rates WHERE placeholder=0 AND rate>0 AND "
                       "from_currency_id<>to_currency_id AND (to_currency_id=? OR "
                       "from_currency_id=?)"),
        {m_primaryId, m_primaryId});
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        const int from = row.value(QStringLiteral("f")).toInt();
        const int to = row.value(QStringLiteral("t")).toInt();
        const double rate = row.value(QStringLiteral("r")).toDouble();
        const QString date = row.value(QStringLiteral("d")).toString().left(10);
        if (to == m_primaryId)
            direct[from].insert(date, rate);
        else
            inverse[to].insert(date, 1.0 / rate);
    }
    const auto keep = [](const QHash<int, QMap<QString, double>>& from,
                         QHash<int, QVector<Dated>>& into) {
        for (auto it = from.cbegin(); it != from.cend(); ++it) {
            QVector<Dated>& list = into[it.key()];
            for (auto day = it.value().cbegin(); day != it.value().cend(); ++day)
                list.append({day.key(), day.value()});
        }
    };
    keep(direct, m_rates);
    keep(inverse, m_inverse);
}

bool CurrencyRates::isPrimary(int currencyId) const
{
    return currencyId == m_primaryId && m_primaryId != 0;
}

int CurrencyRates::decimals(int currencyId) const
{
    const auto it = m_decimals.constFind(currencyId);
    if (it != m_decimals.cend())
        return it.value();
    return m_decimals.value(m_primaryId, 2);
}

namespace {

template <typename List> double lastOnOrBefore(const List& list, const QString& day)
{
    // The first rate dated after the day; the one before it holds.
    const auto after =
        std::upper_bound(list.cbegin(), list.cend(), day,
                         [](const QString& d, const auto& rate) { return d < rate.date; });
    return after == list.cbegin() ? 0 : std::prev(after)->rate;
}

} // namespace

double CurrencyRates::rateOn(int currencyId, const QString& date) const
{
    if (isPrimary(currencyId))
        return 1.0;
    if (!m_ratesRead)
        readRates();
    const QString day = date.left(10);
    const double direct = lastOnOrBefore(m_rates.value(currencyId), day);
    return direct > 0 ? direct : lastOnOrBefore(m_inverse.value(currencyId), day);
}

bool CurrencyRates::toPrimary(double amount, int currencyId, const QString& date, double* out)
{
    m_reason.clear();
    const double rate = rateOn(currencyId, date);
    if (rate <= 0) {
        const QString name = code(currencyId);
        m_reason =
            Reasons::noRate(name.isEmpty() ? QString::number(currencyId) : name, date.left(10));
        return false;
    }
    if (out)
        *out = amount * rate;
    return true;
}

const QString& CurrencyRates::fillJournalSql()
{
    // The rate of the line's currency on its entry's day, direct first,
    // then the inverse of the primary's rate in it.
    const QString rate = QStringLiteral(
        "COALESCE((SELECT er.rate FROM exchange_rates er WHERE er.placeholder=0 AND er.rate>0 AND "
        "er.from_currency_id=je.currency_id AND er.to_currency_id=(SELECT id FROM currencies "
        "WHERE is_primary=1 ORDER BY id LIMIT 1) AND er.date<=je.entry_date ORDER BY er.date DESC "
        "LIMIT 1), (SELECT 1.0/er.rate FROM exchange_rates er WHERE er.placeholder=0 AND "
        "er.rate>0 AND er.to_currency_id=je.currency_id AND er.from_currency_id=(SELECT id FROM "
        "currencies WHERE is_primary=1 ORDER BY id LIMIT 1) AND er.date<=je.entry_date ORDER BY "
        "er.date DESC LIMIT 1))");
    static const QString sql =
        QStringLiteral(
            "UPDATE journal_lines SET debit_primary=(SELECT ROUND(journal_lines.debit*") +
        rate +
        QStringLiteral(", 2) FROM journal_entries je WHERE je.id=journal_lines.entry_id), "
                       "credit_primary=(SELECT ROUND(journal_lines.credit*") +
        rate +
        QStringLiteral(", 2) FROM journal_entries je WHERE je.id=journal_lines.entry_id) WHERE "
                       "debit_primary IS NULL AND entry_id IN (SELECT id FROM journal_entries "
                       "WHERE currency_id<>(SELECT id FROM currencies WHERE is_primary=1 "
                       "ORDER BY id LIMIT 1))");
    return sql;
}

bool CurrencyRates::fillJournal(Database* db)
{
    return db->execNonQuery(fillJournalSql());
}
