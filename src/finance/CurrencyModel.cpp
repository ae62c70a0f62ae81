#include "finance/CurrencyModel.h"

#include "core/CurrencyRates.h"
#include "core/Database.h"
#include "core/Money.h"
#include "core/Permissions.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"

#include <QDate>

CurrencyModel::CurrencyModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

QVariantList CurrencyModel::getAll()
{
    return m_db->execQuery(QStringLiteral("SELECT * FROM currencies ORDER BY is_primary DESC"));
}

QVariantMap CurrencyModel::getPrimary()
{
    const QVariantList rows =
        m_db->execQuery(QStringLiteral("SELECT * FROM currencies WHERE is_primary=1"));
    return SqlValue::firstRow(rows);
}

QString CurrencyModel::getSymbol(int id)
{
    const QVariantList rows =
        m_db->execQuery(QStringLiteral("SELECT symbol FROM currencies WHERE id=?"), {id});
    return rows.isEmpty() ? QString()
                          : rows.first().toMap().value(QStringLiteral("symbol")).toString();
}

QVariantList CurrencyModel::getExchangeRates()
{
    return m_db->execQuery(QStringLiteral(
        "SELECT er.*, c1.code as from_code, c1.name_ar as from_name, c2.code as to_code, "
        "c2.name_ar as to_name FROM exchange_rates er JOIN currencies c1 ON "
        "er.from_currency_id=c1.id JOIN currencies c2 ON er.to_currency_id=c2.id WHERE "
        "er.date=(SELECT MAX(date) FROM exchange_rates) ORDER BY er.id"));
}

bool CurrencyModel::setRate(int fromId, int toId, double rate)
{
    clearError();
    if (!Permissions::allowed(Permissions::Action::ExchangeRates))
        return refuse(Permissions::refusal());
    // A zero or negative rate would zero or flip every conversion made with it.
    if (!Money::isPositive(rate))
        return refuse(Reasons::invalidRate());
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    TransactionGuard tx(m_db);
    if (!tx.isActive() ||
        !m_db->execNonQuery(
            SqlDialect::upsert(m_db->engine(), QStringLiteral("exchange_rates"),
                               {QStringLiteral("from_currency_id"),
                                QStringLiteral("to_currency_id"), QStringLiteral("rate"),
                                QStringLiteral("date")},
                               {QStringLiteral("from_currency_id"),
                                QStringLiteral("to_currency_id"), QStringLiteral("date")}),
            {fromId, toId, rate, today}) ||
        !CurrencyRates::fillJournal(m_db) || !tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

bool CurrencyModel::recordRate(int currencyId, const QString& date, double rate)
{
    clearError();
    if (!Permissions::allowed(Permissions::Action::ExchangeRates))
        return refuse(Permissions::refusal());
    if (!Money::isPositive(rate))
        return refuse(Reasons::invalidRate());
    if (!SqlValue::isIsoDate(date))
        return refuse(Reasons::invalidDate());
    const int primary =
        m_db->scalar(QStringLiteral("SELECT id FROM currencies WHERE is_primary=1 ORDER BY id "
                                    "LIMIT 1"))
            .toInt();
    const bool known =
        m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM currencies WHERE id=?"), {currencyId})
            .toInt() == 1;
    if (!known || primary < 1)
        return refuse(Reasons::notFound());
    // The primary currency is worth 1 by definition; a row for it would
    // only be misread.
    if (currencyId == primary)
        return refuse(Reasons::invalidRate());
    TransactionGuard tx(m_db);
    if (!tx.isActive() ||
        !m_db->execNonQuery(
            SqlDialect::upsert(m_db->engine(), QStringLiteral("exchange_rates"),
                               {QStringLiteral("from_currency_id"),
                                QStringLiteral("to_currency_id"), QStringLiteral("rate"),
                                QStringLiteral("date")},
                               {QStringLiteral("from_currency_id"),
                                QStringLiteral("to_currency_id"), QStringLiteral("date")}),
            {currencyId, primary, rate, date}) ||
        !CurrencyRates::fillJournal(m_db) || !tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

QVariantList CurrencyModel::rateHistory(int currencyId, int limit)
{
    return m_db->execQuery(
        QStringLiteral("SELECT date, rate FROM exchange_rates WHERE from_currency_id=? AND "
                       "to_currency_id=(SELECT id FROM currencies WHERE is_primary=1 ORDER BY id "
                       "LIMIT 1) AND placeholder=0 ORDER BY date DESC LIMIT ?"),
        {currencyId, qBound(1, limit, 1000)});
}

QVariantMap CurrencyModel::rateOn(int currencyId, const QString& date)
{
    CurrencyRates rates(m_db);
    const double rate = rates.rateOn(currencyId, date);
    if (rate <= 0)
        return {};
    return {{QStringLiteral("date"), date}, {QStringLiteral("rate"), rate}};
}

QVariantList CurrencyModel::missingRates()
{
    CurrencyRates rates(m_db);
    // The earliest day each foreign currency is used on: its first journal
    // entry (looked up per currency at the front of its index, not by
    // grouping the whole journal), or the start of an active contract in it.
    const QVariantList used = m_db->execQuery(QStringLiteral(
        "SELECT c.id, c.code, c.name_ar, MIN(u.day) as first_date FROM currencies c JOIN (SELECT "
        "k.id AS currency_id, (SELECT MIN(entry_date) FROM journal_entries WHERE "
        "currency_id=k.id) as day FROM currencies k UNION ALL SELECT currency_id, "
        "MIN(start_date) FROM contracts WHERE status='active' GROUP BY currency_id) u ON "
        "u.currency_id=c.id WHERE c.is_primary=0 GROUP BY c.id HAVING MIN(u.day) IS NOT NULL "
        "ORDER BY c.id"));
    QVariantList missing;
    for (const QVariant& value : used) {
        QVariantMap row = value.toMap();
        const int id = row.value(QStringLiteral("id")).toInt();
        const QString first = row.value(QStringLiteral("first_date")).toString().left(10);
        if (first.isEmpty() || rates.rateOn(id, first) > 0)
            continue;
        rates.toPrimary(1, id, first, nullptr);
        row.insert(QStringLiteral("first_date"), first);
        row.insert(QStringLiteral("text"), rates.reason());
        missing.append(row);
    }
    return missing;
}
