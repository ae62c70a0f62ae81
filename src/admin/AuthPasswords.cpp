// The accounts and their passwords: changing one's own, an administrator
// adding, removing and resetting accounts. Each change that hashes a password
// can run its hashing off the window's thread (the start* calls).
#include "admin/AuthController.h"

#include "core/Database.h"
#include "core/PasswordHash.h"
#include "core/Reasons.h"
#include "core/Schema.h"

#include <memory>

namespace {

const QString kAdminOnly = QStringLiteral("هذه العملية متاحة لمدير النظام فقط");
const QString kNameAndPasswordRequired = QStringLiteral("اسم المستخدم وكلمة المرور مطلوبان");
const QString kUnknownRole = QStringLiteral("الصلاحية غير معروفة");
const QString kDuplicateUser = QStringLiteral("اسم المستخدم موجود مسبقاً");
const QString kProtectedAdmin = QStringLiteral("لا يمكن حذف حساب المدير الافتراضي");
const QString kNoSuchUser = QStringLiteral("المستخدم غير موجود");
const QString kNotSignedIn = QStringLiteral("لم يسجّل أي مستخدم دخوله");
const QString kEmptyNewPassword = QStringLiteral("كلمة المرور الجديدة فارغة");
const QString kShortPassword = QStringLiteral("كلمة المرور قصيرة: يجب ألا تقل عن %1 أحرف")
                                   .arg(AuthController::kMinPasswordLength);
const QString kWrongOldPassword = QStringLiteral("كلمة المرور الحالية غير صحيحة");
const QString kNotSaved = QStringLiteral("تعذّر الحفظ في قاعدة البيانات، لم يتم حفظ أي تغيير");
const QString kPasswordBusy =
    QStringLiteral("كلمة مرور أخرى قيد المعالجة، انتظر لحظة ثم أعد المحاولة");

} // namespace

void AuthController::hashNewPassword(PasswordChange& change)
{
    if (!change.currentHash.isEmpty())
        change.currentMatches = PasswordHash::verify(change.currentHash, change.current);
    if (change.currentMatches)
        change.hashed = PasswordHash::hash(change.replacement);
}

bool AuthController::savePasswordChange(const PasswordChange& change)
{
    if (!change.currentMatches)
        return refuse(kWrongOldPassword);
    // A reset has always named the database as the reason.
    const QString notSaved =
        change.kind == PasswordChange::Kind::Reset ? Reasons::database() : kNotSaved;
    if (change.hashed.isEmpty())
        return refuse(notSaved);

    if (change.kind == PasswordChange::Kind::Register) {
        const int id = m_db->execInsert(
            QStringLiteral(
                "INSERT INTO users (username, password_hash, role, full_name) VALUES (?,?,?,?)"),
            {change.name, change.hashed, change.role, change.name});
        return id > 0 || refuse(kNotSaved);
    }
    if (!m_db->execNonQuery(QStringLiteral("UPDATE users SET password_hash=? WHERE id=?"),
                            {change.hashed, change.id}))
        return refuse(notSaved);

    if (change.name == adminUserName()) {
        const bool isDefault = change.replacement == Schema::defaultAdminPassword();
        if (isDefault != m_defaultPasswordInUse) {
            m_defaultPasswordInUse = isDefault;
            // The signed-in admin's own change also lifts (or sets) the lock
            // that waits for a password of their own.
            if (change.kind == PasswordChange::Kind::Change && m_loggedIn &&
                m_userId == change.id.toInt())
                followActingUser();
            emit authChanged();
        }
    }
    return true;
}

bool AuthController::hashAndSave(PasswordChange& change)
{
    hashNewPassword(change);
    return savePasswordChange(change);
}

bool AuthController::changePassword(const QString& oldPass, const QString& newPass)
{
    PasswordChange change;
    return prepareChange(oldPass, newPass, change) && hashAndSave(change);
}

bool AuthController::registerUser(const QString& username, const QString& password,
                                  const QString& role)
{
    PasswordChange change;
    return prepareRegister(username, password, role, change) && hashAndSave(change);
}

bool AuthController::resetPassword(const QString& username, const QString& newPassword)
{
    PasswordChange change;
    return prepareReset(username, newPassword, change) && hashAndSave(change);
}

bool AuthController::startChangePassword(const QString& oldPass, const QString& newPass)
{
    PasswordChange change;
    return prepareChange(oldPass, newPass, change) && startPasswordChange(std::move(change));
}

bool AuthController::startRegisterUser(const QString& username, const QString& password,
                                       const QString& role)
{
    PasswordChange change;
    return prepareRegister(username, password, role, change) &&
           startPasswordChange(std::move(change));
}

bool AuthController::startResetPassword(const QString& username, const QString& newPassword)
{
    PasswordChange change;
    return prepareReset(username, newPassword, change) && startPasswordChange(std::move(change));
}

bool AuthController::startPasswordChange(PasswordChange change)
{
    // One password at a time: the caller was told it started, and only
    // that one answers through passwordSaved.
    if (m_checking)
        return refuse(kPasswordBusy);
    auto pending = std::make_shared<PasswordChange>(std::move(change));
    runPasswordWork([pending] { hashNewPassword(*pending); },
                    [this, pending] {
                        clearError();
                        emit passwordSaved(savePasswordChange(*pending));
                    });
    return true;
}

bool AuthController::prepareChange(const QString& oldPass, const QString& newPass,
                                   PasswordChange& change)
{
    clearError();
    if (!m_loggedIn || m_userId <= 0)
        return refuse(kNotSignedIn);
    // Sign-in trims what is typed, so a password is stored trimmed too;
    // otherwise blanks around it would lock the user out.
    const QString replacement = newPass.trimmed();
    if (replacement.isEmpty())
        return refuse(kEmptyNewPassword);
    if (replacement.size() < kMinPasswordLength)
        return refuse(kShortPassword);

    const QVariant stored =
        m_db->scalar(QStringLiteral("SELECT password_hash FROM users WHERE id=?"), {m_userId});
    if (!stored.isValid())
        return refuse(kNoSuchUser);
    change.kind = PasswordChange::Kind::Change;
    // A stored value that is no hash matches no password.
    change.currentHash = stored.toString();
    change.currentMatches = false;
    change.current = oldPass;
    change.replacement = replacement;
    change.id = m_userId;
    change.name = m_username;
    return true;
}

bool AuthController::prepareRegister(const QString& username, const QString& password,
                                     const QString& role, PasswordChange& change)
{
    clearError();
    if (!isAdminSignedIn())
        return refuse(kAdminOnly);
    // Stored the way sign-in reads them (trimmed), so the new account can
    // actually sign in.
    const QString name = username.trimmed();
    const QString pass = password.trimmed();
    if (name.isEmpty() || pass.isEmpty())
        return refuse(kNameAndPasswordRequired);
    if (pass.size() < kMinPasswordLength)
        return refuse(kShortPassword);
    if (role != QLatin1String("admin") && role != QLatin1String("user"))
        return refuse(kUnknownRole);
    if (m_db->scalar(QStringLiteral("SELECT id FROM users WHERE username=?"), {name}).isValid())
        return refuse(kDuplicateUser);
    change.kind = PasswordChange::Kind::Register;
    change.name = name;
    change.role = role;
    change.replacement = pass;
    return true;
}

bool AuthController::prepareReset(const QString& username, const QString& newPassword,
                                  PasswordChange& change)
{
    clearError();
    if (!isAdminSignedIn())
        return refuse(QStringLiteral("تغيير كلمة مرور مستخدم آخر من صلاحية مدير النظام فقط"));
    if (username == m_username)
        return refuse(
            QStringLiteral("لتغيير كلمة مرورك استخدم «تغيير كلمة المرور» مع كلمة المرور الحالية"));
    // Stored trimmed, as sign-in reads it.
    const QString replacement = newPassword.trimmed();
    if (replacement.isEmpty())
        return refuse(QStringLiteral("أدخل كلمة المرور الجديدة"));
    if (replacement.size() < kMinPasswordLength)
        return refuse(kShortPassword);
    const QVariant id =
        m_db->scalar(QStringLiteral("SELECT id FROM users WHERE username=?"), {username});
    if (!id.isValid() || id.isNull())
        return refuse(kNoSuchUser);
    change.kind = PasswordChange::Kind::Reset;
    change.name = username;
    change.id = id;
    change.replacement = replacement;
    return true;
}

bool AuthController::removeUser(const QString& username)
{
    clearError();
    if (!isAdminSignedIn())
        return refuse(kAdminOnly);
    if (username == adminUserName())
        return refuse(kProtectedAdmin);
    // RETURNING tells a removed row from a name that matched nothing, which
    // is a refusal rather than a success.
    const QVariantList removed = m_db->execQuery(
        QStringLiteral("DELETE FROM users WHERE username=? RETURNING id"), {username});
    if (removed.isEmpty()) {
        const bool exists =
            m_db->scalar(QStringLiteral("SELECT id FROM users WHERE username=?"), {username})
                .isValid();
        return refuse(exists ? kNotSaved : kNoSuchUser);
    }
    return true;
}
