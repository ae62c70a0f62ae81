#include "finance/CurrencyModel.h"

#include "core/Database.h"
#include "core/Money.h"
#include "core/Permissions.h"
#include "core/Reasons.h"
#include "core/SqlValue.h"

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
    if (!m_db->execNonQuery(
            QStringLiteral("INSERT OR REPLACE INTO exchange_rates (from_currency_id,to_currency_id,"
                           "rate,date) VALUES (?,?,?,?)"),
            {fromId, toId, rate, today}))
        return refuseDatabase();
    emit dataChanged();
    return true;
}
