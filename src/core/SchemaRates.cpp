#include "core/CurrencyRates.h"
#include "core/Schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

// Adds a column; true in `added` only when this call added it, so the
// one-time rewrite that goes with it runs once.
bool addColumn(QSqlQuery& query, const QString& statement, bool* added)
{
    *added = query.exec(statement);
    return *added ||
           query.lastError().databaseText().contains(QLatin1String("duplicate column name"));
}

} // namespace

bool Schema::migrateRates(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    const auto fail = [&] {
        if (error)
            *error = query.lastError();
        db.rollback();
        return false;
    };
    if (!db.transaction()) {
        if (error)
            *error = db.lastError();
        return false;
    }
    bool added = false;
    // Older versions stored 1.0 for a currency nobody had given a rate, and
    // their settings page showed 1.0 and saved it back when a clerk pressed
    // update. Such rows are kept but count as no rate; a rate recorded from
    // now on is a real one whatever its value.
    if (!addColumn(query,
                   QStringLiteral("ALTER TABLE exchange_rates ADD COLUMN placeholder INTEGER NOT "
                                  "NULL DEFAULT 0"),
                   &added))
        return fail();
    if (added && !query.exec(QStringLiteral("UPDATE exchange_rates SET placeholder=1 WHERE "
                                            "rate=1.0 AND from_currency_id<>to_currency_id")))
        return fail();

    // Every journal line keeps, beside its amount in the entry's currency,
    // the amount in the primary currency at the rate of the entry's day.
    bool debitAdded = false;
    bool creditAdded = false;
    if (!addColumn(query, QStringLiteral("ALTER TABLE journal_lines ADD COLUMN debit_primary REAL"),
                   &debitAdded) ||
        !addColumn(query,
                   QStringLiteral("ALTER TABLE journal_lines ADD COLUMN credit_primary REAL"),
                   &creditAdded))
        return fail();
    if ((debitAdded || creditAdded) &&
        (!query.exec(QStringLiteral(
             "UPDATE journal_lines SET debit_primary=debit, credit_primary=credit WHERE entry_id "
             "IN (SELECT id FROM journal_entries WHERE currency_id=(SELECT id FROM currencies "
             "WHERE is_primary=1 ORDER BY id LIMIT 1))")) ||
         !query.exec(CurrencyRates::fillJournalSql())))
        return fail();

    // Each currency's minor unit: two decimals unless the currency keeps
    // three (the dinars of Jordan, Kuwait, Bahrain, Iraq, Libya and Tunisia,
    // and the Omani rial). Rows already stored keep their amounts.
    bool decimalsAdded = false;
    if (!addColumn(
            query,
            QStringLiteral("ALTER TABLE currencies ADD COLUMN decimals INTEGER NOT NULL DEFAULT 2"),
            &decimalsAdded))
        return fail();
    if (decimalsAdded && !query.exec(threeDecimalCurrenciesSql()))
        return fail();
    if (!db.commit()) {
        if (error)
            *error = db.lastError();
        db.rollback();
        return false;
    }
    return true;
}

QString Schema::threeDecimalCurrenciesSql()
{
    return QStringLiteral("UPDATE currencies SET decimals=3 WHERE upper(code) IN "
                          "('JOD','KWD','BHD','IQD','LYD','TND','OMR')");
}
