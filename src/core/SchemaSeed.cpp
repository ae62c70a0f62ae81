#include "core/Schema.h"

#include "core/SchemaStep.h"

#include "core/PasswordHash.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using SchemaStep::fail;

// The rows of a new database: currencies, the chart of accounts, settings
// and the first administrator.
QString Schema::defaultAdminPassword()
{
    return QStringLiteral("vexil");
}

bool Schema::seedDefaultData(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM users")) || !query.next())
        return fail(query, error);
    if (query.value(0).toInt() > 0)
        return true;
    query.finish();

    // All seed rows or none: a half-seeded file would never be seeded again,
    // because the next start finds the administrator and stops here.
    if (!db.transaction()) {
        if (error)
            *error = db.lastError();
        return false;
    }
    if (!writeSeedRows(db, error)) {
        db.rollback();
        return false;
    }

    if (!db.commit()) {
        if (error)
            *error = db.lastError();
        db.rollback();
        return false;
    }
    return true;
}

bool Schema::writeSeedRows(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    const auto abandon = [&]() {
        const bool failed = fail(query, error);
        query.finish();
        return failed;
    };

    const QString adminHash = PasswordHash::hash(defaultAdminPassword());
    query.prepare(QStringLiteral(
        "INSERT INTO users (username, password_hash, full_name, role) VALUES (?, ?, ?, ?)"));
    query.addBindValue(QStringLiteral("admin"));
    query.addBindValue(adminHash);
    query.addBindValue(QStringLiteral("مدير عام"));
    query.addBindValue(QStringLiteral("admin"));
    if (adminHash.isEmpty() || !query.exec())
        return abandon();

    struct Currency
    {
        const char* code;
        const char* name;
        const char* symbol;
        int primary;
    };
    const Currency currencies[] = {
        {"ILS", "شيكل", "₪", 1},
        {"USD", "دولار", "$", 0},
        {"JOD", "دينار أردني", "د.ا", 0},
    };
    // The users table alone decides seeding, so a file whose users were
    // emptied still has these rows: a row already present is kept as it is,
    // and a second currency is never made primary.
    query.prepare(QStringLiteral(
        "INSERT INTO currencies (code, name_ar, symbol, is_primary) SELECT ?, ?, ?, "
        "CASE WHEN ? = 1 AND NOT EXISTS (SELECT 1 FROM currencies WHERE is_primary = 1) "
        "THEN 1 ELSE 0 END WHERE NOT EXISTS (SELECT 1 FROM currencies WHERE code = ?)"));
    for (const Currency& c : currencies) {
        query.addBindValue(QString::fromUtf8(c.code));
        query.addBindValue(QString::fromUtf8(c.name));
        query.addBindValue(QString::fromUtf8(c.symbol));
        query.addBindValue(c.primary);
        query.addBindValue(QString::fromUtf8(c.code));
        if (!query.exec())
            return abandon();
    }

    struct Account
    {
        const char* code;
        const char* name;
        const char* type;
        const char* parentCode;
    };
    const Account accounts[] = {
        {"1000", "الأصول", "asset", nullptr},
        {"1100", "النقدية", "asset", "1000"},
        {"1200", "الذمم المدينة", "asset", "1000"},
        {"2000", "الخصوم", "liability", nullptr},
        {"2100", "الذمم الدائنة", "liability", "2000"},
        {"3000", "حقوق الملكية", "equity", nullptr},
        {"4000", "الإيرادات", "revenue", nullptr},
        {"4100", "إيرادات الإيجار", "revenue", "4000"},
        {"4200", "إيرادات الخدمات", "revenue", "4000"},
        {"4300", "إيرادات المبيعات", "revenue", "4000"},
        {"5000", "المصروفات", "expense", nullptr},
        {"5100", "مصروفات الصيانة", "expense", "5000"},
        {"5200", "مصروفات تشغيلية", "expense", "5000"},
    };
    // A parent is found by its code, which is the same row in an empty
    // table and the right one in a file that already has accounts; a code
    // already present is left as it is.
    query.prepare(QStringLiteral(
        "INSERT INTO accounts (code, name_ar, type, parent_id, is_system) SELECT ?, ?, ?, "
        "(SELECT id FROM accounts WHERE code = ?), 1 WHERE NOT EXISTS (SELECT 1 FROM accounts "
        "WHERE code = ?)"));
    for (const Account& a : accounts) {
        const QString code = QString::fromUtf8(a.code);
        query.addBindValue(code);
        query.addBindValue(QString::fromUtf8(a.name));
        query.addBindValue(QString::fromUtf8(a.type));
        query.addBindValue(a.parentCode ? QVariant(QString::fromUtf8(a.parentCode))
                                        : QVariant(QMetaType(QMetaType::QString)));
        query.addBindValue(code);
        if (!query.exec())
            return abandon();
    }

    struct Service
    {
        const char* name;
        const char* type;
        double rate;
        const char* unitOfMeasure;
    };
    const Service services[] = {
        {"مياه", "usage", 5.0, "متر مكعب"}, {"كهرباء", "usage", 0.5, "كيلوواط"},
        {"تنظيف", "fixed", 100, "شهري"},    {"مصعد", "fixed", 50, "شهري"},
        {"حراسة", "fixed", 75, "شهري"},
    };
    query.prepare(
        QStringLiteral("INSERT INTO services (name, type, rate, unit_of_measure) SELECT ?, ?, ?, ? "
                       "WHERE NOT EXISTS (SELECT 1 FROM services WHERE name = ?)"));
    for (const Service& s : services) {
        query.addBindValue(QString::fromUtf8(s.name));
        query.addBindValue(QString::fromUtf8(s.type));
        query.addBindValue(s.rate);
        query.addBindValue(QString::fromUtf8(s.unitOfMeasure));
        query.addBindValue(QString::fromUtf8(s.name));
        if (!query.exec())
            return abandon();
    }

    // Only a database created here is walked through the first-run setup; a
    // file an older version wrote never gets this row and is never asked.
    if (!query.exec(QStringLiteral("INSERT INTO settings (key, value) SELECT 'setup_state', "
                                   "'pending' WHERE NOT EXISTS (SELECT 1 FROM settings WHERE "
                                   "key = 'setup_state')")))
        return abandon();
    query.finish();
    return true;
}
