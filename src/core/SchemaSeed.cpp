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
    const auto abandon = [&]() {
        const bool failed = fail(query, error);
        query.finish();
        db.rollback();
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
        "INSERT OR IGNORE INTO currencies (code, name_ar, symbol, is_primary) SELECT ?, ?, ?, "
        "CASE WHEN ? = 1 AND NOT EXISTS (SELECT 1 FROM currencies WHERE is_primary = 1) "
        "THEN 1 ELSE 0 END"));
    for (const Currency& c : currencies) {
        query.addBindValue(QString::fromUtf8(c.code));
        query.addBindValue(QString::fromUtf8(c.name));
        query.addBindValue(QString::fromUtf8(c.symbol));
        query.addBindValue(c.primary);
        if (!query.exec())
            return abandon();
    }

    // Sub-accounts name their parent by the id it receives in an empty table.
    struct Account
    {
        const char* code;
        const char* name;
        const char* type;
        int parentId;
    };
    const Account accounts[] = {
        {"1000", "الأصول", "asset", 0},
        {"1100", "النقدية", "asset", 1},
        {"1200", "الذمم المدينة", "asset", 1},
        {"2000", "الخصوم", "liability", 0},
        {"2100", "الذمم الدائنة", "liability", 4},
        {"3000", "حقوق الملكية", "equity", 0},
        {"4000", "الإيرادات", "revenue", 0},
        {"4100", "إيرادات الإيجار", "revenue", 7},
        {"4200", "إيرادات الخدمات", "revenue", 7},
        {"4300", "إيرادات المبيعات", "revenue", 7},
        {"5000", "المصروفات", "expense", 0},
        {"5100", "مصروفات الصيانة", "expense", 11},
        {"5200", "مصروفات تشغيلية", "expense", 11},
    };
    // A parent is found by its code, which is the same row in an empty
    // table and the right one in a file that already has accounts.
    for (const Account& a : accounts) {
        if (a.parentId == 0) {
            query.prepare(QStringLiteral("INSERT OR IGNORE INTO accounts (code, name_ar, type, "
                                         "is_system) VALUES (?, ?, ?, ?)"));
        } else {
            query.prepare(QStringLiteral(
                "INSERT OR IGNORE INTO accounts (code, name_ar, type, parent_id, is_system) "
                "VALUES (?, ?, ?, (SELECT id FROM accounts WHERE code = ?), ?)"));
        }
        query.addBindValue(QString::fromUtf8(a.code));
        query.addBindValue(QString::fromUtf8(a.name));
        query.addBindValue(QString::fromUtf8(a.type));
        if (a.parentId != 0)
            query.addBindValue(QString::fromUtf8(accounts[a.parentId - 1].code));
        query.addBindValue(1);
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

    // Only a file created here is walked through the first-run setup; a file
    // an older version wrote never gets this row and is never asked.
    if (!query.exec(QStringLiteral(
            "INSERT OR IGNORE INTO settings (key, value) VALUES ('setup_state', 'pending')")))
        return abandon();

    if (!db.commit()) {
        if (error)
            *error = db.lastError();
        db.rollback();
        return false;
    }
    return true;
}
