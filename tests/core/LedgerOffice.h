#pragma once

#include "RentalRows.h"
#include "TestDatabase.h"

#include "finance/AccountModel.h"
#include "finance/ChequeModel.h"
#include "finance/ExpenseModel.h"
#include "finance/InstallmentModel.h"
#include "rental/InvoiceModel.h"
#include "rental/MaintenanceModel.h"
#include "rental/PaymentModel.h"

#include <QMap>
#include <QStringList>

#include <cmath>

// An office with every model that writes money, for the ledger tests.
namespace LedgerOffice {

inline QVariantMap item(const QString& description, double total, const QString& type)
{
    return {{"description", description},
            {"type", type},
            {"quantity", 1},
            {"unit_price", total},
            {"total", total}};
}

// The office every case starts from: a rented unit with its tenant and
// contract, a unit for sale with its buyer, a contractor.
struct Office
{
    TestDatabase t;
    InvoiceModel invoices{t.db()};
    PaymentModel payments{t.db()};
    InstallmentModel installments{t.db()};
    ExpenseModel expenses{t.db()};
    ChequeModel cheques{t.db()};
    MaintenanceModel maintenance{t.db()};
    AccountModel accounts{t.db()};
    int property = 0;
    int unit = 0;
    int tenant = 0;
    int saleUnit = 0;
    int buyer = 0;
    int contractor = 0;

    Office()
        : Office(TestDatabase::engineFromEnvironment())
    {}
    explicit Office(DatabaseSettings::Engine engine)
        : t(engine)
    {
        Database* db = t.db();
        property = RentalRows::property(db, QStringLiteral("برج النخيل"));
        unit = RentalRows::unit(db, property, QStringLiteral("A1"));
        tenant = RentalRows::tenant(db, QStringLiteral("سارة خليل"));
        RentalRows::contract(db, unit, tenant, 1200);
        saleUnit = db->execInsert(QStringLiteral("INSERT INTO units (property_id, "
                                                 "unit_number, status) VALUES (?,?,?)"),
                                  {property, QStringLiteral("B7"), QStringLiteral("available")});
        buyer = db->execInsert(QStringLiteral("INSERT INTO buyers (full_name) VALUES (?)"),
                               {QStringLiteral("مازن الخطيب")});
        contractor = RentalRows::contractor(db, QStringLiteral("ورشة الأمل للسباكة"));
    }

    double balance(const QString& code)
    {
        return t.value(QStringLiteral("SELECT balance FROM accounts WHERE code=?"), {code})
            .toDouble();
    }
    QMap<QString, double> balances()
    {
        QMap<QString, double> out;
        for (const QVariant& row :
             t.db()->execQuery(QStringLiteral("SELECT code, balance FROM accounts")))
            out.insert(row.toMap().value("code").toString(),
                       row.toMap().value("balance").toDouble());
        return out;
    }
    int lastId(const QString& table)
    {
        return t.value(QStringLiteral("SELECT MAX(id) FROM ") + table).toInt();
    }
    int openInvoice(double rent)
    {
        return invoices.createInvoice(tenant, unit, QStringLiteral("2026-03"),
                                      {item(QStringLiteral("إيجار آذار"), rent, "rent")}, 1);
    }
};

// "code:+1.00 code:-1.00" for each account that moved, by code.
inline QString moves(const QMap<QString, double>& before, const QMap<QString, double>& after)
{
    QStringList out;
    for (auto it = after.constBegin(); it != after.constEnd(); ++it) {
        const double delta = it.value() - before.value(it.key());
        if (std::fabs(delta) >= 0.005)
            out << QStringLiteral("%1:%2%3")
                       .arg(it.key(), delta > 0 ? QStringLiteral("+") : QString())
                       .arg(delta, 0, 'f', 2);
    }
    return out.join(' ');
}

// Entries whose lines do not balance to the cent, and the ledger's total
// debit minus credit.
inline int unbalancedEntries(TestDatabase& t)
{
    return t
        .value("SELECT COUNT(*) FROM (SELECT entry_id FROM journal_lines GROUP BY entry_id "
               "HAVING ABS(SUM(debit)-SUM(credit)) > 0.005) AS unbalanced")
        .toInt();
}

} // namespace LedgerOffice
