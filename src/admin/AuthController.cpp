#include "admin/AuthController.h"

#include "core/Database.h"
#include "core/PasswordHash.h"
#include "core/Reasons.h"
#include "core/Schema.h"
#include "core/TransactionGuard.h"

#include <QDebug>
#include <QVariantMap>

#include <utility>

namespace {

const QString kWrongCredentials = QStringLiteral("اسم المستخدم أو كلمة المرور غير صحيحة");
const QString kAccountDisabled = QStringLiteral("الحساب معطل");

} // namespace

AuthController::AuthController(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    AdminPassword admin = ensureDefaultAdmin();
    const AdminPassword migrated = hashPlainTextPasswords();
    if (migrated != AdminPassword::Unknown)
        admin = migrated;
    if (admin == AdminPassword::Unknown) {
        // One verification per start; afterwards the flag follows every
        // change made through this controller.
        const QString stored =
            m_db->scalar(QStringLiteral("SELECT password_hash FROM users WHERE username=?"),
                         {adminUserName()})
                .toString();
        admin = PasswordHash::verify(stored, Schema::defaultAdminPassword())
                    ? AdminPassword::Default
                    : AdminPassword::Other;
    }
    m_defaultPasswordInUse = admin == AdminPassword::Default;
}

QString AuthController::adminUserName()
{
    return QStringLiteral("admin");
}

AuthController::AdminPassword AuthController::ensureDefaultAdmin()
{
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT id, username, password_hash FROM users WHERE username=?"),
        {adminUserName()});

    if (rows.isEmpty()) {
        qDebug() << "No admin user found, creating default admin...";
        m_db->execInsert(QStringLiteral("INSERT INTO users (username, password_hash, full_name, "
                                        "role, active) VALUES (?, ?, ?, ?, 1)"),
                         {adminUserName(), PasswordHash::hash(Schema::defaultAdminPassword()),
                          QStringLiteral("مدير عام"), QStringLiteral("admin")});
        return AdminPassword::Default;
    }

    const QVariantMap row = rows.first().toMap();
    const int id = row.value(QStringLiteral("id")).toInt();
    const QString stored = row.value(QStringLiteral("password_hash")).toString();
    qDebug() << "Admin user found, id:" << id;

    // A password the administrator chose is kept; only a missing one is
    // replaced, so the account can always be reached.
    if (stored.isEmpty()) {
        qDebug() << "Admin password is empty, resetting it to the default password...";
        m_db->execNonQuery(QStringLiteral("UPDATE users SET password_hash=?, active=1 WHERE id=?"),
                           {PasswordHash::hash(Schema::defaultAdminPassword()), id});
        return AdminPassword::Default;
    }
    m_db->execNonQuery(QStringLiteral("UPDATE users SET active=1 WHERE id=?"), {id});
    return AdminPassword::Unknown;
}

AuthController::AdminPassword AuthController::hashPlainTextPasswords()
{
    // Older databases kept passwords in clear, first in a `password` column
    // and then copied unchanged into password_hash by the schema migration.
    bool hasLegacyColumn = false;
    const QVariantList columns = m_db->execQuery(QStringLiteral("PRAGMA table_info(users)"));
    for (const QVariant& column : columns)
        hasLegacyColumn =
            hasLegacyColumn ||
            column.toMap().value(QStringLiteral("name")).toString() == QLatin1String("password");
    const bool legacyColumnHasText =
        hasLegacyColumn &&
        m_db
                ->scalar(QStringLiteral(
                    "SELECT COUNT(*) FROM users WHERE password IS NOT NULL AND password != ''"))
                .toInt() > 0;

    AdminPassword admin = AdminPassword::Unknown;
    QList<std::pair<int, QString>> hashes;
    const QVariantList rows =
        m_db->execQuery(QStringLiteral("SELECT id, username, password_hash FROM users"));
    for (const QVariant& item : rows) {
        const QVariantMap row = item.toMap();
        const QString stored = row.value(QStringLiteral("password_hash")).toString();
        if (stored.isEmpty() || PasswordHash::isHash(stored))
            continue;
        const QString hashed = PasswordHash::hash(stored);
        if (hashed.isEmpty()) {
            qCritical() << "Could not hash a stored password; plain-text passwords are kept";
            return AdminPassword::Unknown;
        }
        hashes.append({row.value(QStringLiteral("id")).toInt(), hashed});
        if (row.value(QStringLiteral("username")).toString() == adminUserName())
            admin = stored == Schema::defaultAdminPassword() ? AdminPassword::Default
                                                             : AdminPassword::Other;
    }
    if (hashes.isEmpty() && !legacyColumnHasText)
        return AdminPassword::Unknown;

    qDebug() << "Replacing" << hashes.size() << "plain-text password(s) by their hashes";
    // secure_delete zeroes the space the old values occupied, so the plain
    // text does not survive in free parts of the pages.
    const int secureDelete = m_db->scalar(QStringLiteral("PRAGMA secure_delete")).toInt();
    m_db->execNonQuery(QStringLiteral("PRAGMA secure_delete=ON"));
    bool done = false;
    {
        TransactionGuard tx(m_db);
        bool ok = tx.isActive();
        for (const auto& [id, hashed] : std::as_const(hashes)) {
            if (!ok)
                break;
            ok = m_db->execNonQuery(QStringLiteral("UPDATE users SET password_hash=? WHERE id=?"),
                                    {hashed, id});
        }
        if (ok && legacyColumnHasText)
            ok = m_db->execNonQuery(QStringLiteral("UPDATE users SET password='' WHERE password "
                                                   "IS NOT NULL AND password != ''"));
        done = ok && tx.commit();
    }
    // Earlier page images in the write-ahead log still hold the plain text
    // until the log is written back and emptied.
    if (done)
        m_db->execNonQuery(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    m_db->execNonQuery(secureDelete == 1 ? QStringLiteral("PRAGMA secure_delete=ON")
                                         : QStringLiteral("PRAGMA secure_delete=OFF"));
    if (!done) {
        qCritical() << "Could not replace plain-text passwords by their hashes";
        return AdminPassword::Unknown;
    }
    return admin;
}

bool AuthController::isAdminSignedIn() const
{
    return m_loggedIn && m_role == QLatin1String("admin");
}

bool AuthController::login(const QString& username, const QString& password)
{
    const QString name = username.trimmed();
    const QString pass = password.trimmed();
    qDebug() << "Login attempt - username:" << name;

    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT id, username, password_hash, active, role, full_name FROM users "
                       "WHERE username=?"),
        {name});
    if (rows.isEmpty()) {
        qDebug() << "Login failed: user not found:" << name;
        emit loginFailed(kWrongCredentials);
        return false;
    }

    const QVariantMap row = rows.first().toMap();
    const QString stored = row.value(QStringLiteral("password_hash")).toString();
    const int active = row.value(QStringLiteral("active")).toInt();
    const bool match = PasswordHash::verify(stored, pass);
    qDebug() << "User found - active:" << active << "password_match:" << match;

    if (!match) {
        qDebug() << "Login failed: password mismatch";
        emit loginFailed(kWrongCredentials);
        return false;
    }
    // Tested after the password, so the reason reveals nothing to someone
    // who does not know it.
    if (active != 1) {
        qDebug() << "Login failed: user is not active";
        emit loginFailed(kAccountDisabled);
        return false;
    }

    const int id = row.value(QStringLiteral("id")).toInt();
    if (PasswordHash::needsRehash(stored)) {
        const QString rehashed = PasswordHash::hash(pass);
        if (!rehashed.isEmpty())
            m_db->execNonQuery(QStringLiteral("UPDATE users SET password_hash=? WHERE id=?"),
                               {rehashed, id});
    }

    m_userId = id;
    m_username = row.value(QStringLiteral("username")).toString();
    m_fullName = row.value(QStringLiteral("full_name")).toString();
    m_role = row.value(QStringLiteral("role")).toString();
    m_loggedIn = true;
    if (m_username == adminUserName())
        m_defaultPasswordInUse = pass == Schema::defaultAdminPassword();

    m_db->execInsert(
        QStringLiteral("INSERT INTO app_log (action,details,user_id) VALUES (?,?,?)"),
        {QStringLiteral("login"), QStringLiteral("تسجيل دخول: ") + m_username, m_userId});
    emit authChanged();
    return true;
}

void AuthController::logout()
{
    m_db->execInsert(
        QStringLiteral("INSERT INTO app_log (action,details,user_id) VALUES (?,?,?)"),
        {QStringLiteral("logout"), QStringLiteral("تسجيل خروج: ") + m_username, m_userId});
    m_loggedIn = false;
    m_username.clear();
    m_fullName.clear();
    m_role.clear();
    m_userId = -1;
    emit authChanged();
}

bool AuthController::changePassword(const QString& oldPass, const QString& newPass)
{
    if (!m_loggedIn || m_userId <= 0)
        return false;
    // Sign-in trims what is typed, so a password is stored trimmed too;
    // otherwise blanks around it would lock the user out.
    const QString replacement = newPass.trimmed();
    if (replacement.isEmpty())
        return false;

    const QVariant stored =
        m_db->scalar(QStringLiteral("SELECT password_hash FROM users WHERE id=?"), {m_userId});
    if (!stored.isValid() || !PasswordHash::verify(stored.toString(), oldPass))
        return false;

    const QString hashed = PasswordHash::hash(replacement);
    if (hashed.isEmpty())
        return false;
    if (!m_db->execNonQuery(QStringLiteral("UPDATE users SET password_hash=? WHERE id=?"),
                            {hashed, m_userId}))
        return false;

    if (m_username == adminUserName()) {
        const bool isDefault = replacement == Schema::defaultAdminPassword();
        if (isDefault != m_defaultPasswordInUse) {
            m_defaultPasswordInUse = isDefault;
            emit authChanged();
        }
    }
    return true;
}

QVariantList AuthController::getUsers()
{
    return m_db->execQuery(QStringLiteral(
        "SELECT id, username, full_name, role, active, "
        "(SELECT MAX(created_at) FROM app_log WHERE action='login' AND user_id = users.id) "
        "as last_login FROM users ORDER BY id"));
}

bool AuthController::registerUser(const QString& username, const QString& password,
                                  const QString& role)
{
    if (!isAdminSignedIn())
        return false;
    // Stored the way sign-in reads them (trimmed), so the new account can
    // actually sign in.
    const QString name = username.trimmed();
    const QString pass = password.trimmed();
    if (name.isEmpty() || pass.isEmpty())
        return false;
    if (role != QLatin1String("admin") && role != QLatin1String("user"))
        return false;

    const QString hashed = PasswordHash::hash(pass);
    if (hashed.isEmpty())
        return false;
    const int id = m_db->execInsert(
        QStringLiteral(
            "INSERT INTO users (username, password_hash, role, full_name) VALUES (?,?,?,?)"),
        {name, hashed, role, name});
    return id > 0;
}

bool AuthController::removeUser(const QString& username)
{
    if (!isAdminSignedIn() || username == adminUserName())
        return false;
    return m_db->execNonQuery(QStringLiteral("DELETE FROM users WHERE username=?"), {username});
}

// --- Password administration ---

bool AuthController::resetPassword(const QString& username, const QString& newPassword)
{
    clearError();
    if (!isAdminSignedIn())
        return refuse(QStringLiteral("تغيير كلمة مرور مستخدم آخر من صلاحية مدير النظام فقط"));
    if (username == m_username)
        return refuse(QStringLiteral("لتغيير كلمة مرورك استخدم «تغيير كلمة المرور» مع كلمة المرور الحالية"));
    // Stored trimmed, as sign-in reads it.
    const QString replacement = newPassword.trimmed();
    if (replacement.isEmpty())
        return refuse(QStringLiteral("أدخل كلمة المرور الجديدة"));
    const QVariant id =
        m_db->scalar(QStringLiteral("SELECT id FROM users WHERE username=?"), {username});
    if (!id.isValid() || id.isNull())
        return refuse(QStringLiteral("المستخدم غير موجود"));
    const QString hashed = PasswordHash::hash(replacement);
    if (hashed.isEmpty() ||
        !m_db->execNonQuery(QStringLiteral("UPDATE users SET password_hash=? WHERE id=?"),
                            {hashed, id}))
        return refuse(Reasons::database());

    if (username == adminUserName()) {
        const bool isDefault = replacement == Schema::defaultAdminPassword();
        if (isDefault != m_defaultPasswordInUse) {
            m_defaultPasswordInUse = isDefault;
            emit authChanged();
        }
    }
    return true;
}
