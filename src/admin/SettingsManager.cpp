#include "admin/SettingsManager.h"

#include "core/Database.h"
#include "core/Money.h"
#include "core/Permissions.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
#include "core/TransactionGuard.h"

#include <QDate>

namespace {

const QString kLight = QStringLiteral("light");
const QString kDark = QStringLiteral("dark");
const QString kPending = QStringLiteral("pending");

// One setting written whole: its key and value, in that order.
QString settingUpsert(const Database* db)
{
    return SqlDialect::upsert(db->engine(), QStringLiteral("settings"),
                              {QStringLiteral("key"), QStringLiteral("value")},
                              {QStringLiteral("key")});
}

} // namespace

SettingsManager::SettingsManager(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
    const QVariantList primary =
        m_db->execQuery(QStringLiteral("SELECT code FROM currencies WHERE is_primary=1"));
    if (!primary.isEmpty())
        m_primaryCurrency = primary.first().toMap().value(QStringLiteral("code")).toString();
    // A new file is marked when its first rows are written; an office that
    // already keeps records (a copied or generated file, one restored from a
    // backup) is past its setup whatever the mark says.
    m_firstRun = m_primaryCurrency.isEmpty() ||
                 (storedValue("setup_state") == kPending && !officeHasRecords());

    m_themeMode = storedValue("theme_mode");
    if (m_themeMode.isEmpty())
        m_themeMode = kDark;
}

QString SettingsManager::storedValue(const char* key) const
{
    return m_db
        ->scalar(QStringLiteral("SELECT value FROM settings WHERE key=?"),
                 {QString::fromLatin1(key)})
        .toString();
}

bool SettingsManager::officeHasRecords() const
{
    return m_db
        ->scalar(QStringLiteral(
            "SELECT EXISTS (SELECT 1 FROM properties) OR EXISTS (SELECT 1 FROM tenants) OR "
            "EXISTS (SELECT 1 FROM buyers) OR EXISTS (SELECT 1 FROM expenses) OR "
            "EXISTS (SELECT 1 FROM journal_entries)"))
        .toBool();
}

QString SettingsManager::companyName() const
{
    return storedValue("company_name");
}

QString SettingsManager::companyPhone() const
{
    return storedValue("company_phone");
}

QString SettingsManager::companyAddress() const
{
    return storedValue("company_address");
}

QString SettingsManager::companyEmail() const
{
    return storedValue("company_email");
}

void SettingsManager::setPrimaryCurrency(const QString& code)
{
    clearError();
    if (!Permissions::allowed(Permissions::Action::Currencies))
        return void(refuse(Permissions::refusal()));
    TransactionGuard tx(m_db);
    if (!tx.isActive()) {
        refuseDatabase();
        return;
    }
    // An unknown code would leave no currency primary while the property
    // showed it, and the next start would ask for the setup again.
    if (!m_db->scalar(QStringLiteral("SELECT 1 FROM currencies WHERE code=?"), {code}).isValid()) {
        refuseMissing();
        return;
    }
    if (!m_db->execNonQuery(QStringLiteral("UPDATE currencies SET is_primary=0")) ||
        !m_db->execNonQuery(QStringLiteral("UPDATE currencies SET is_primary=1 WHERE code=?"),
                            {code}) ||
        !tx.commit()) {
        refuseDatabase();
        return;
    }

    m_primaryCurrency = code;
    emit settingsChanged();
}

void SettingsManager::setThemeMode(const QString& mode)
{
    clearError();
    const QString next = mode.trimmed().toLower() == kLight ? kLight : kDark;
    if (next == m_themeMode)
        return;
    if (!m_db->execNonQuery(settingUpsert(m_db), {QStringLiteral("theme_mode"), next}))
        refuseDatabase();
    // The interface follows the choice even when it could not be stored.
    m_themeMode = next;
    emit settingsChanged();
}

void SettingsManager::updateCompanyProfile(const QString& name, const QString& phone,
                                           const QString& addr, const QString& email)
{
    clearError();
    if (!Permissions::allowed(Permissions::Action::CompanyProfile))
        return void(refuse(Permissions::refusal()));
    // The four values are one profile: they are stored together or not at all.
    TransactionGuard tx(m_db);
    const QString sql = settingUpsert(m_db);
    if (!tx.isActive() || !m_db->execNonQuery(sql, {QStringLiteral("company_name"), name}) ||
        !m_db->execNonQuery(sql, {QStringLiteral("company_phone"), phone}) ||
        !m_db->execNonQuery(sql, {QStringLiteral("company_address"), addr}) ||
        !m_db->execNonQuery(sql, {QStringLiteral("company_email"), email}) || !tx.commit()) {
        refuseDatabase();
        return;
    }
    emit settingsChanged();
}

QVariantList SettingsManager::getCurrencies()
{
    return m_db->execQuery(QStringLiteral("SELECT * FROM currencies ORDER BY is_primary DESC"));
}

bool SettingsManager::updateExchangeRate(int fromId, int toId, double rate)
{
    clearError();
    if (!Permissions::allowed(Permissions::Action::ExchangeRates))
        return refuse(Permissions::refusal());
    // A zero, negative or non-numeric rate would turn every conversion of
    // that pair into nonsense.
    if (!Money::isPositive(rate))
        return refuse(Reasons::invalidRate());
    if (!m_db->execNonQuery(
            SqlDialect::upsert(m_db->engine(), QStringLiteral("exchange_rates"),
                               {QStringLiteral("from_currency_id"),
                                QStringLiteral("to_currency_id"), QStringLiteral("rate"),
                                QStringLiteral("date")},
                               {QStringLiteral("from_currency_id"),
                                QStringLiteral("to_currency_id"), QStringLiteral("date")}),
            {fromId, toId, rate, QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))}))
        return refuseDatabase();
    return true;
}

double SettingsManager::getExchangeRate(int fromId, int toId)
{
    if (fromId == toId)
        return 1.0;
    const QVariant rate =
        m_db->scalar(QStringLiteral("SELECT rate FROM exchange_rates WHERE from_currency_id=? AND "
                                    "to_currency_id=? ORDER BY date DESC LIMIT 1"),
                     {fromId, toId});
    return rate.isValid() ? rate.toDouble() : 1.0;
}

double SettingsManager::convertAmount(double amount, int fromCurrencyId, int toCurrencyId)
{
    return amount * getExchangeRate(fromCurrencyId, toCurrencyId);
}

bool SettingsManager::completeSetup()
{
    clearError();
    if (!Permissions::allowed(Permissions::Action::CompanyProfile))
        return refuse(Permissions::refusal());
    // The office cannot work without a primary currency: the setup stays
    // until one is chosen.
    if (m_primaryCurrency.isEmpty())
        return refuse(Reasons::requiredField(QStringLiteral("العملة الأساسية")));
    if (!m_db->execNonQuery(settingUpsert(m_db),
                            {QStringLiteral("setup_state"), QStringLiteral("done")}))
        return refuseDatabase();
    m_firstRun = false;
    emit settingsChanged();
    return true;
}
