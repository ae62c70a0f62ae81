#include "admin/AuthController.h"

#include "core/Database.h"
#include "core/PasswordHash.h"
#include "core/Permissions.h"
#include "core/Reasons.h"
#include "core/Schema.h"
#include "core/SqlDialect.h"
#include "core/TransactionGuard.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QVariantMap>

#include <utility>

namespace {

const QString kWrongCredentials = QStringLiteral("اسم المستخدم أو كلمة المرور غير صحيحة");
const QString kAccountDisabled = QStringLiteral("الحساب معطل");
// The settings row remembering whether the stored admin hash is the default
// password's (see storedAdminHashIsDefault).
const QString kAdminPasswordCheckKey = QStringLiteral("admin_password_check");

} // namespace

AuthController::AuthController(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
    , m_throttle(db)
{
    m_waitTick.setInterval(1000);
    connect(&m_waitTick, &QTimer::timeout, this, [this] { updateLoginWait(m_waitName); });
    AdminPassword admin = ensureDefaultAdmin();
    const AdminPassword migrated = hashPlainTextPasswords();
    if (migrated != AdminPassword::Unknown)
        admin = migrated;
    if (admin == AdminPassword::Unknown) {
        // Known at start for the login page's hint; afterwards the flag
        // follows every change made through this controller.
        const QString stored =
            m_db->scalar(QStringLiteral("SELECT password_hash FROM users WHERE username=?"),
                         {adminUserName()})
                .toString();
        admin = storedAdminHashIsDefault(stored) ? AdminPassword::Default : AdminPassword::Other;
    }
    m_defaultPasswordInUse = admin == AdminPassword::Default;
}

bool AuthController::storedAdminHashIsDefault(const QString& stored)
{
    // "<sha-256 of the stored hash>:1" when it is the default password's,
    // ":0" when not. Only the hint on the login page follows it; signing in
    // decides from the password typed.
    const QString digest = QString::fromLatin1(
        QCryptographicHash::hash(stored.toLatin1(), QCryptographicHash::Sha256).toHex());
    const QString remembered =
        m_db->scalar(QStringLiteral("SELECT value FROM settings WHERE key=?"),
                     {kAdminPasswordCheckKey})
            .toString();
    if (remembered.startsWith(digest + QLatin1Char(':')))
        return remembered.endsWith(QLatin1String(":1"));
    const bool isDefault = PasswordHash::verify(stored, Schema::defaultAdminPassword());
    m_db->execNonQuery(
        SqlDialect::upsert(m_db->engine(), QStringLiteral("settings"),
                           {QStringLiteral("key"), QStringLiteral("value")},
                           {QStringLiteral("key")}),
        {kAdminPasswordCheckKey, digest + (isDefault ? QLatin1String(":1") : QLatin1String(":0"))});
    return isDefault;
}

void AuthController::makeRoomForPasswordCheck()
{
    if (m_beforePasswordCheck)
        m_beforePasswordCheck();
    // Pages of the connection's cache nobody uses now are read again later;
    // a server keeps its cache to itself.
    if (!m_db->isPostgres())
        m_db->execNonQuery(QStringLiteral("PRAGMA shrink_memory"));
}

AuthController::~AuthController()
{
    if (m_check)
        m_check->wait();
    if (m_loggedIn)
        Permissions::setCurrentRole(QString());
}

bool AuthController::can(const QString& action) const
{
    return m_loggedIn && Permissions::allows(m_role, action);
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
    // A server's users table never had that column.
    bool hasLegacyColumn = false;
    const QVariantList columns = m_db->isPostgres()
                                     ? QVariantList()
                                     : m_db->execQuery(QStringLiteral("PRAGMA table_info(users)"));
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
    // A server has no such setting: its old row versions go with VACUUM.
    const bool file = !m_db->isPostgres();
    const int secureDelete =
        file ? m_db->scalar(QStringLiteral("PRAGMA secure_delete")).toInt() : 0;
    if (file)
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
    if (done && file)
        m_db->execNonQuery(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    if (file)
        m_db->execNonQuery(secureDelete == 1 ? QStringLiteral("PRAGMA secure_delete=ON")
                                             : QStringLiteral("PRAGMA secure_delete=OFF"));
    if (!done) {
        qCritical() << "Could not replace plain-text passwords by their hashes";
        return AdminPassword::Unknown;
    }
    return admin;
}

bool AuthController::mustChangePassword() const
{
    return m_loggedIn && m_username == adminUserName() && m_defaultPasswordInUse;
}

bool AuthController::isAdminSignedIn() const
{
    return m_loggedIn && m_role == QLatin1String("admin");
}

QString AuthController::waitMessage(int seconds)
{
    // Arabic counts: one, two (dual), three to ten (plural), eleven and up.
    const auto count = [](int n, const char* one, const char* two, const char* few,
                          const char* many) {
        if (n == 1)
            return QString::fromUtf8(one);
        if (n == 2)
            return QString::fromUtf8(two);
        return QString::number(n) + QLatin1Char(' ') + QString::fromUtf8(n <= 10 ? few : many);
    };
    const QString wait =
        seconds > 60 ? count((seconds + 59) / 60, "دقيقة واحدة", "دقيقتين", "دقائق", "دقيقة")
                     : count(seconds, "ثانية واحدة", "ثانيتين", "ثوانٍ", "ثانية");
    return QStringLiteral("محاولات دخول خاطئة كثيرة. حاول مرة أخرى بعد ") + wait;
}

QString AuthController::loginWaitMessage() const
{
    return m_loginWaitSeconds > 0 ? waitMessage(m_loginWaitSeconds) : QString();
}

void AuthController::updateLoginWait(const QString& name)
{
    const qint64 waitMs = m_throttle.waitFor(name);
    const int seconds = static_cast<int>((waitMs + 999) / 1000);
    m_waitName = seconds > 0 ? name : QString();
    if (seconds > 0 && !m_waitTick.isActive())
        m_waitTick.start();
    else if (seconds == 0)
        m_waitTick.stop();
    if (seconds != m_loginWaitSeconds) {
        m_loginWaitSeconds = seconds;
        emit loginWaitChanged();
    }
}

bool AuthController::refuseLogin(const QString& reason)
{
    emit loginFailed(reason);
    return refuse(reason);
}

AuthController::SignIn AuthController::beginSignIn(const QString& username, const QString& password)
{
    clearError();
    SignIn attempt;
    attempt.name = username.trimmed();
    attempt.pass = password.trimmed();
    qDebug() << "Login attempt - username:" << attempt.name;

    // A name that is waiting is refused before any password is looked at,
    // so guesses made during the wait tell nothing.
    updateLoginWait(attempt.name);
    if (m_loginWaitSeconds > 0) {
        qDebug() << "Login refused: too many failed attempts";
        refuseLogin(loginWaitMessage());
        attempt.refused = true;
        return attempt;
    }

    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT id, username, password_hash, active, role, full_name FROM users "
                       "WHERE username=?"),
        {attempt.name});
    attempt.row = rows.isEmpty() ? QVariantMap() : rows.first().toMap();
    const QString stored = attempt.row.value(QStringLiteral("password_hash")).toString();
    attempt.known = !rows.isEmpty() && PasswordHash::isHash(stored);
    // An unknown name costs the same work as a wrong password, so the time
    // taken does not tell which names exist.
    attempt.hash = attempt.known ? stored : PasswordHash::dummyHash();
    makeRoomForPasswordCheck();
    return attempt;
}

void AuthController::checkPassword(SignIn& attempt)
{
    attempt.match = PasswordHash::verify(attempt.hash, attempt.pass) && attempt.known;
    if (attempt.match && PasswordHash::needsRehash(attempt.hash))
        attempt.rehashed = PasswordHash::hash(attempt.pass);
}

bool AuthController::login(const QString& username, const QString& password)
{
    SignIn attempt = beginSignIn(username, password);
    if (attempt.refused)
        return false;
    checkPassword(attempt);
    return finishSignIn(attempt);
}

void AuthController::startLogin(const QString& username, const QString& password)
{
    if (m_checking)
        return;
    auto attempt = std::make_shared<SignIn>(beginSignIn(username, password));
    if (attempt->refused) {
        emit loginFinished(false);
        return;
    }
    runPasswordWork([attempt] { checkPassword(*attempt); },
                    [this, attempt] { emit loginFinished(finishSignIn(*attempt)); });
}

void AuthController::runPasswordWork(std::function<void()> work, std::function<void()> done)
{
    // Argon2 takes a few hundred milliseconds of memory-hard hashing: on a
    // thread of its own the window keeps painting meanwhile.
    if (m_check)
        m_check->wait();
    m_checking = true;
    emit checkingPasswordChanged();
    m_check.reset(QThread::create([this, work = std::move(work), done = std::move(done)] {
        work();
        QMetaObject::invokeMethod(
            this,
            [this, done] {
                m_checking = false;
                done();
                emit checkingPasswordChanged();
            },
            Qt::QueuedConnection);
    }));
    m_check->start();
}

bool AuthController::finishSignIn(const SignIn& attempt)
{
    const QString& name = attempt.name;
    const QVariantMap& row = attempt.row;
    if (!attempt.known) {
        qDebug() << "Login failed: user not found:" << name;
        m_throttle.recordFailure(name);
        updateLoginWait(name);
        return refuseLogin(kWrongCredentials);
    }

    const int active = row.value(QStringLiteral("active")).toInt();
    qDebug() << "User found - active:" << active << "password_match:" << attempt.match;

    if (!attempt.match) {
        qDebug() << "Login failed: password mismatch";
        m_throttle.recordFailure(name);
        updateLoginWait(name);
        return refuseLogin(kWrongCredentials);
    }
    // Tested after the password, so the reason reveals nothing to someone
    // who does not know it.
    if (active != 1) {
        qDebug() << "Login failed: user is not active";
        return refuseLogin(kAccountDisabled);
    }
    m_throttle.recordSuccess(name);
    updateLoginWait(name);

    const int id = row.value(QStringLiteral("id")).toInt();
    if (!attempt.rehashed.isEmpty())
        m_db->execNonQuery(QStringLiteral("UPDATE users SET password_hash=? WHERE id=?"),
                           {attempt.rehashed, id});

    m_userId = id;
    m_username = row.value(QStringLiteral("username")).toString();
    m_fullName = row.value(QStringLiteral("full_name")).toString();
    m_role = row.value(QStringLiteral("role")).toString();
    m_loggedIn = true;
    Permissions::setCurrentRole(m_role);
    if (m_username == adminUserName())
        m_defaultPasswordInUse = attempt.pass == Schema::defaultAdminPassword();
    followActingUser();

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
    Permissions::setCurrentRole(QString());
    m_db->setActingUser(0);
    m_username.clear();
    m_fullName.clear();
    m_role.clear();
    m_userId = -1;
    emit authChanged();
}

void AuthController::followActingUser()
{
    // Writes that are not audited are writes nobody can account for; the
    // sign-in still goes ahead, and the run log says why.
    if (!m_db->setActingUser(m_userId, mustChangePassword()))
        qWarning() << "Audit trail: the signed-in user could not be recorded";
}

QVariantList AuthController::getUsers()
{
    return m_db->execQuery(QStringLiteral(
        "SELECT id, username, full_name, role, active, "
        "(SELECT MAX(created_at) FROM app_log WHERE action='login' AND user_id = users.id) "
        "as last_login FROM users ORDER BY id"));
}
