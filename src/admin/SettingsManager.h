#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>

class Database;

// Application-wide preferences kept in the database: theme, company profile
// (printed on documents), primary currency and whether the office still has
// its first-run setup ahead (a new file until the setup ends), plus the
// simple exchange-rate lookups the settings page uses.
class SettingsManager : public BackendObject
{
    Q_OBJECT
    Q_PROPERTY(bool isFirstRun READ isFirstRun NOTIFY settingsChanged)
    Q_PROPERTY(QString primaryCurrency READ primaryCurrency NOTIFY settingsChanged)
    Q_PROPERTY(QString companyName READ companyName NOTIFY settingsChanged)
    Q_PROPERTY(QString companyPhone READ companyPhone NOTIFY settingsChanged)
    Q_PROPERTY(QString companyAddress READ companyAddress NOTIFY settingsChanged)
    Q_PROPERTY(QString companyEmail READ companyEmail NOTIFY settingsChanged)
    Q_PROPERTY(QString themeMode READ themeMode NOTIFY settingsChanged)

public:
    explicit SettingsManager(Database* db, QObject* parent = nullptr);

    bool isFirstRun() const { return m_firstRun; }
    QString primaryCurrency() const { return m_primaryCurrency; }
    // The company values are read from the database at every read, so they
    // always show what is stored.
    QString companyName() const;
    QString companyPhone() const;
    QString companyAddress() const;
    QString companyEmail() const;
    QString themeMode() const { return m_themeMode; }

    Q_INVOKABLE void setPrimaryCurrency(const QString& code);
    Q_INVOKABLE void setThemeMode(const QString& mode);
    Q_INVOKABLE void updateCompanyProfile(const QString& name, const QString& phone,
                                          const QString& addr, const QString& email);
    Q_INVOKABLE QVariantList getCurrencies();
    Q_INVOKABLE bool updateExchangeRate(int fromId, int toId, double rate);
    Q_INVOKABLE double getExchangeRate(int fromId, int toId);
    Q_INVOKABLE double convertAmount(double amount, int fromCurrencyId, int toCurrencyId);
    // Ends the first-run setup for good; refused while no currency is primary.
    Q_INVOKABLE bool completeSetup();

signals:
    void settingsChanged();

private:
    QString storedValue(const char* key) const;
    bool officeHasRecords() const;

    Database* m_db;
    bool m_firstRun = true;
    QString m_primaryCurrency;
    QString m_themeMode;
};
