#pragma once

#include "admin/LoginThrottle.h"
#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <memory>

class Database;

// The one signed-in user of the running application: sign-in and sign-out
// (recorded in app_log), the list of accounts, adding and removing accounts
// and changing the signed-in user's password. Passwords are stored only as
// Argon2id strings; at construction the built-in "admin" account is put in
// order and plain-text passwords left by an older database are hashed.
// Repeated failed sign-ins for one name make that name wait (LoginThrottle);
// the wait counts down in loginWaitSeconds / loginWaitMessage.
class AuthController : public BackendObject
{
    Q_OBJECT
    Q_PROPERTY(bool isLoggedIn READ isLoggedIn NOTIFY authChanged)
    Q_PROPERTY(QString currentUser READ currentUser NOTIFY authChanged)
    Q_PROPERTY(QString currentRole READ currentRole NOTIFY authChanged)
    Q_PROPERTY(int currentUserId READ currentUserId NOTIFY authChanged)
    Q_PROPERTY(bool defaultPasswordInUse READ defaultPasswordInUse NOTIFY authChanged)
    // Signed in as "admin" with the built-in password: the login page asks
    // for a new one before the office is shown.
    Q_PROPERTY(bool mustChangePassword READ mustChangePassword NOTIFY authChanged)
    Q_PROPERTY(int loginWaitSeconds READ loginWaitSeconds NOTIFY loginWaitChanged)
    Q_PROPERTY(QString loginWaitMessage READ loginWaitMessage NOTIFY loginWaitChanged)
    // A sign-in or password change started off the window's thread is
    // checking or hashing its password.
    Q_PROPERTY(bool checkingPassword READ checkingPassword NOTIFY checkingPasswordChanged)

public:
    static constexpr int kMinPasswordLength = 8;

    explicit AuthController(Database* db, QObject* parent = nullptr);
    ~AuthController() override;

    bool isLoggedIn() const { return m_loggedIn; }
    // The display name (full_name), not the user name.
    QString currentUser() const { return m_fullName; }
    QString currentRole() const { return m_role; }
    int currentUserId() const { return m_userId; }
    // True while "admin" still signs in with the built-in default password,
    // so the login page may offer it as a hint.
    bool defaultPasswordInUse() const { return m_defaultPasswordInUse; }
    bool mustChangePassword() const;
    // Seconds before the name of the last refused sign-in may be tried
    // again, and the sentence saying so; 0 and empty when it may be tried now.
    int loginWaitSeconds() const { return m_loginWaitSeconds; }
    QString loginWaitMessage() const;

    // Whether the signed-in user may do the action of that name (see
    // Permissions), so pages hide what the role may not do.
    Q_INVOKABLE bool can(const QString& action) const;
    Q_INVOKABLE bool login(const QString& username, const QString& password);
    // The same sign-in with the password checked on a thread of its own;
    // loginFinished tells the result. Ignored while one is being checked.
    Q_INVOKABLE void startLogin(const QString& username, const QString& password);
    bool checkingPassword() const { return m_checking; }
    Q_INVOKABLE void logout();
    Q_INVOKABLE bool changePassword(const QString& oldPass, const QString& newPass);
    // The same password changes with the hashing on a thread of its own:
    // false with lastError when refused at once, otherwise passwordSaved
    // tells the result. One at a time, sign-in included.
    Q_INVOKABLE bool startChangePassword(const QString& oldPass, const QString& newPass);
    Q_INVOKABLE bool startRegisterUser(const QString& username, const QString& password,
                                       const QString& role);
    Q_INVOKABLE bool startResetPassword(const QString& username, const QString& newPassword);
    Q_INVOKABLE QVariantList getUsers();
    Q_INVOKABLE bool registerUser(const QString& username, const QString& password,
                                  const QString& role);
    Q_INVOKABLE bool removeUser(const QString& username);

    static QString adminUserName();
    // "حاول مرة أخرى بعد ..." with the wait in words.
    static QString waitMessage(int seconds);

    // Tests move its clock instead of waiting.
    LoginThrottle& loginThrottle() { return m_throttle; }

    // Run before the password check of a sign-in: what the window can let go
    // (its script heap, compiled pages nobody shows) is given back first, so
    // the check's 64 MiB lands on a smaller working set. Set by the
    // composition root, which knows the window.
    void setBeforePasswordCheck(std::function<void()> release)
    {
        m_beforePasswordCheck = std::move(release);
    }

    // --- Password administration ---
    // An administrator sets a new password for another account (one who
    // forgot theirs); the signed-in user changes their own with
    // changePassword, which asks for the current one.
    Q_INVOKABLE bool resetPassword(const QString& username, const QString& newPassword);

signals:
    void authChanged();
    void loginFailed(const QString& reason);
    void loginWaitChanged();
    void loginFinished(bool ok);
    void passwordSaved(bool ok);
    void checkingPasswordChanged();

private:
    // Returns the state of the admin password when it is already known from
    // what was written, so no extra verification is needed.
    enum class AdminPassword
    {
        Default,
        Other,
        Unknown
    };
    AdminPassword ensureDefaultAdmin();
    AdminPassword hashPlainTextPasswords();
    // Whether the stored admin hash is the default password's: remembered
    // beside a digest of the hash it was found for, so a start checks it
    // (64 MiB, tens of milliseconds) only after the password changed.
    bool storedAdminHashIsDefault(const QString& stored);
    // Gives back what can be given back before a password check.
    void makeRoomForPasswordCheck();
    bool isAdminSignedIn() const;
    // Tells the database who acts now, for the audit trail and the lock
    // while the default password must be replaced.
    void followActingUser();
    bool refuseLogin(const QString& reason);
    // One sign-in: what is read before the password check, and its result.
    struct SignIn
    {
        QString name;
        QString pass;
        QVariantMap row;
        QString hash; // the stored hash, or the dummy one for an unknown name
        bool known = false;
        bool refused = false; // refused before the check (the name waits)
        bool match = false;
        QString rehashed; // a new hash when the stored one is weaker than today's
    };
    SignIn beginSignIn(const QString& username, const QString& password);
    // The memory-hard part, safe on another thread.
    static void checkPassword(SignIn& attempt);
    bool finishSignIn(const SignIn& attempt);
    // A password being changed, set or reset: what is read and checked
    // before the hashing, and its result.
    struct PasswordChange
    {
        enum class Kind
        {
            Change,
            Register,
            Reset
        };
        Kind kind = Kind::Change;
        QString currentHash; // a change: the stored hash the current password must match
        QString current;
        bool currentMatches = true;
        QString replacement; // trimmed
        QString name;
        QString role;
        QVariant id;
        QString hashed;
    };
    bool prepareChange(const QString& oldPass, const QString& newPass, PasswordChange& change);
    bool prepareRegister(const QString& username, const QString& password, const QString& role,
                         PasswordChange& change);
    bool prepareReset(const QString& username, const QString& newPassword, PasswordChange& change);
    // The memory-hard part, safe on another thread.
    static void hashNewPassword(PasswordChange& change);
    bool savePasswordChange(const PasswordChange& change);
    // On the calling thread, for the direct calls.
    bool hashAndSave(PasswordChange& change);
    bool startPasswordChange(PasswordChange change);
    // Runs `work` on a thread of its own, then `done` on this object's.
    void runPasswordWork(std::function<void()> work, std::function<void()> done);
    // Follows the throttle's wait for `name` and keeps a one-second tick
    // running while there is one, so the page counts down.
    void updateLoginWait(const QString& name);

    Database* m_db;
    bool m_loggedIn = false;
    QString m_username;
    QString m_role;
    QString m_fullName;
    int m_userId = -1;
    bool m_defaultPasswordInUse = false;
    LoginThrottle m_throttle;
    QString m_waitName;
    int m_loginWaitSeconds = 0;
    QTimer m_waitTick;
    std::function<void()> m_beforePasswordCheck;
    bool m_checking = false;
    std::unique_ptr<QThread> m_check;
};
