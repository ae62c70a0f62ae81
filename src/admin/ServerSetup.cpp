#include "admin/ServerSetup.h"

#include "admin/OfficeMove.h"
#include "core/Database.h"
#include "core/Desktop.h"
#include "core/Permissions.h"

#include <QAtomicInt>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

namespace {

QString engineName(DatabaseSettings::Engine engine)
{
    return engine == DatabaseSettings::Engine::PostgreSQL ? QStringLiteral("postgresql")
                                                          : QStringLiteral("sqlite");
}

bool sameChoice(const DatabaseSettings& a, const DatabaseSettings& b)
{
    if (a.engine != b.engine)
        return false;
    if (a.engine == DatabaseSettings::Engine::SQLite)
        return true;
    return a.host == b.host && a.port == b.port && a.database == b.database && a.user == b.user &&
           a.sslMode == b.sslMode && a.passwordFile == b.passwordFile;
}

} // namespace

ServerSetup::ServerSetup(const QString& dataDir, Database* db, Desktop* desktop, QObject* parent)
    : BackendObject(parent)
    , m_dataDir(dataDir)
    , m_db(db)
    , m_desktop(desktop)
{}

ServerSetup::~ServerSetup()
{
    if (m_test)
        m_test->wait();
    if (m_move)
        m_move->wait();
}

QString ServerSetup::passwordFile() const
{
    return m_dataDir + QStringLiteral("/server-password");
}

QVariantMap ServerSetup::saved() const
{
    const DatabaseSettings settings = DatabaseSettings::load(m_dataDir);
    return {
        {QStringLiteral("engine"), engineName(settings.engine)},
        {QStringLiteral("host"), settings.host},
        {QStringLiteral("port"), settings.port},
        {QStringLiteral("database"), settings.database},
        {QStringLiteral("user"), settings.user},
        {QStringLiteral("sslmode"), settings.sslMode},
        {QStringLiteral("hasPassword"), !settings.passwordFile.isEmpty()},
    };
}

bool ServerSetup::runningOnServer() const
{
    return m_db && m_db->isPostgres();
}

bool ServerSetup::restartNeeded() const
{
    const DatabaseSettings next = DatabaseSettings::load(m_dataDir);
    if (!m_db)
        return false;
    if (!m_db->isPostgres())
        return next.engine != DatabaseSettings::Engine::SQLite;
    return !sameChoice(next, m_db->settings());
}

DatabaseSettings ServerSetup::settingsFor(const QVariantMap& choice) const
{
    DatabaseSettings settings =
        DatabaseSettings::sqliteFile(m_dataDir + QStringLiteral("/sakanova.db"));
    if (choice.value(QStringLiteral("engine")).toString() != QLatin1String("postgresql"))
        return settings;
    settings.engine = DatabaseSettings::Engine::PostgreSQL;
    settings.host = choice.value(QStringLiteral("host")).toString().trimmed();
    settings.port = choice.value(QStringLiteral("port"), 5432).toInt();
    settings.database = choice.value(QStringLiteral("database")).toString().trimmed();
    settings.user = choice.value(QStringLiteral("user")).toString().trimmed();
    settings.sslMode = choice.value(QStringLiteral("sslmode"), settings.sslMode).toString();
    // A typed password goes in the program's own file; without one, a file
    // kept from before is used, or else ~/.pgpass as libpq reads it.
    if (!choice.value(QStringLiteral("password")).toString().isEmpty() ||
        QFile::exists(passwordFile()))
        settings.passwordFile = passwordFile();
    return settings;
}

QString ServerSetup::problemWith(const QVariantMap& choice) const
{
    return settingsFor(choice).problem();
}

QString ServerSetup::explain(const QString& error)
{
    struct Known
    {
        const char* words;
        const char* arabic;
    };
    static const Known known[] = {
        {"password authentication failed", "اسم المستخدم أو كلمة المرور غير صحيحة"},
        {"no password supplied", "الخادم يطلب كلمة مرور ولم تُكتب"},
        {"password file", "ملف كلمة المرور لا يصلح: يجب أن يقرأه صاحبه وحده"},
        {"could not translate host name", "اسم الخادم غير معروف على الشبكة"},
        {"Connection refused", "لا يستجيب خادم قاعدة البيانات على هذا العنوان والمنفذ"},
        {"No such file or directory", "لا يستجيب خادم قاعدة البيانات على هذا الحاسوب"},
        {"timeout expired", "انتهت مهلة الاتصال بالخادم دون رد"},
        {"No route to host", "لا طريق إلى الخادم على الشبكة"},
        {"SSL", "تعذر الاتصال المشفّر (TLS) بالخادم"},
        {"no pg_hba.conf entry", "الخادم لا يسمح لهذا الحاسوب أو هذا المستخدم بالدخول"},
        {"does not exist", "قاعدة البيانات أو المستخدم غير موجود على الخادم"},
        {"permission denied", "المستخدم لا يملك الصلاحية على قاعدة البيانات"},
        {"not installed", "برنامج الاتصال بخادم PostgreSQL غير مثبّت (الحزمة libqt6sql6-psql)"},
    };
    QString reason = QStringLiteral("تعذر الاتصال بالخادم");
    for (const Known& entry : known) {
        if (error.contains(QLatin1String(entry.words), Qt::CaseInsensitive)) {
            reason = QString::fromUtf8(entry.arabic);
            break;
        }
    }
    const QString detail = error.simplified();
    return detail.isEmpty() ? reason : reason + QStringLiteral(" (") + detail + QLatin1Char(')');
}

QString ServerSetup::probe(const DatabaseSettings& server)
{
    const QString problem = server.problem();
    if (!problem.isEmpty())
        return problem;
    QString error;
    static QAtomicInt serial;
    const QString name = QStringLiteral("server-probe-%1").arg(serial.fetchAndAddRelaxed(1) + 1);
    QString reason;
    if (!server.openConnection(name, &error)) {
        reason = explain(error);
    } else {
        // Trigram search sees Arabic letters only in a UTF-8 ctype.
        QSqlQuery query(QSqlDatabase::database(name, false));
        if (query.exec(QStringLiteral("SELECT datctype FROM pg_database WHERE datname = "
                                      "current_database()")) &&
            query.next()) {
            const QString ctype = query.value(0).toString();
            if (!ctype.contains(QLatin1String("UTF-8"), Qt::CaseInsensitive) &&
                !ctype.contains(QLatin1String("UTF8"), Qt::CaseInsensitive))
                reason = QStringLiteral("قاعدة البيانات أُنشئت بترتيب أحرف %1 لا يرى الحروف "
                                        "العربية في البحث؛ أنشئها من جديد بـ "
                                        "--lc-ctype=C.UTF-8")
                             .arg(ctype);
        } else {
            reason = explain(query.lastError().text());
        }
    }
    QSqlDatabase::removeDatabase(name);
    return reason;
}

bool ServerSetup::keepPassword(const QVariantMap& choice)
{
    const QString password = choice.value(QStringLiteral("password")).toString();
    if (password.isEmpty())
        return true;
    QString error;
    if (!DatabaseSettings::writePassword(passwordFile(), password, &error)) {
        qWarning("%s", qUtf8Printable(error));
        return refuse(QStringLiteral("تعذر حفظ كلمة المرور في مجلد البيانات"));
    }
    return true;
}

bool ServerSetup::testConnection(const QVariantMap& choice)
{
    clearError();
    if (m_testing)
        return refuse(QStringLiteral("يجري اختبار الاتصال الآن"));
    DatabaseSettings server = settingsFor(choice);
    if (server.engine != DatabaseSettings::Engine::PostgreSQL)
        return refuse(QStringLiteral("اختر الخادم المشترك أولاً"));
    const QString problem = server.problem();
    if (!problem.isEmpty())
        return refuse(problem);
    // The typed password is tried as it is, without being written anywhere.
    const QString password = choice.value(QStringLiteral("password")).toString();
    if (m_test)
        m_test->wait();
    m_testing = true;
    emit testingChanged();
    m_test.reset(QThread::create([this, server, password] {
        DatabaseSettings tried = server;
        QString reason;
        if (!password.isEmpty()) {
            tried.passwordFile = passwordFile() + QStringLiteral(".test");
            QString error;
            if (!DatabaseSettings::writePassword(tried.passwordFile, password, &error))
                reason = explain(error);
        }
        if (reason.isEmpty())
            reason = probe(tried);
        if (!password.isEmpty())
            QFile::remove(tried.passwordFile);
        QMetaObject::invokeMethod(
            this,
            [this, reason] {
                m_testing = false;
                emit testingChanged();
                emit connectionTested(reason.isEmpty(), reason.isEmpty()
                                                            ? QStringLiteral("نجح الاتصال بالخادم")
                                                            : reason);
            },
            Qt::QueuedConnection);
    }));
    m_test->start();
    return true;
}

bool ServerSetup::save(const QVariantMap& choice)
{
    clearError();
    // The same people who may put a backup in place of the books.
    if (!Permissions::allowed(Permissions::Action::RestoreBackup))
        return refuse(Permissions::refusal());
    const QString problem = problemWith(choice);
    if (!problem.isEmpty())
        return refuse(problem);
    if (!keepPassword(choice))
        return false;
    QString error;
    if (!settingsFor(choice).save(m_dataDir, &error)) {
        qWarning("%s", qUtf8Printable(error));
        return refuse(QStringLiteral("تعذر حفظ الإعداد في مجلد البيانات"));
    }
    emit savedChanged();
    return true;
}

bool ServerSetup::startMove(const QVariantMap& choice)
{
    clearError();
    if (!Permissions::allowed(Permissions::Action::RestoreBackup))
        return refuse(Permissions::refusal());
    if (m_moving)
        return refuse(QStringLiteral("يجري النقل الآن"));
    if (!m_db || m_db->isPostgres())
        return refuse(QStringLiteral("البيانات على الخادم بالفعل"));
    const DatabaseSettings server = settingsFor(choice);
    if (server.engine != DatabaseSettings::Engine::PostgreSQL)
        return refuse(QStringLiteral("اختر الخادم المشترك أولاً"));
    const QString problem = server.problem();
    if (!problem.isEmpty())
        return refuse(problem);
    if (!keepPassword(choice))
        return false;
    // Nothing is written here while the rows move, so the server gets all
    // of them; the pages keep reading.
    if (!m_db->reopen(true))
        return refuse(QStringLiteral("تعذر إيقاف الكتابة على ملف هذا الحاسوب قبل النقل"));
    if (m_move)
        m_move->wait();
    m_moving = true;
    m_moveProgress = 0;
    m_moveStage = QStringLiteral("جارٍ الاتصال بالخادم…");
    emit movingChanged();
    emit moveProgressChanged();

    const QString file = m_db->path();
    m_move.reset(QThread::create([this, server, file] {
        QString reason;
        {
            Database target;
            if (!target.initialize(server))
                reason = explain(target.initErrorText());
            else
                reason = OfficeMove::run(
                    file, &target, [this](int done, int total, const QString& table) {
                        QMetaObject::invokeMethod(
                            this,
                            [this, done, total, table] {
                                m_moveProgress = total > 0 ? double(done) / total : 0;
                                m_moveStage = QStringLiteral("نُقل الجدول %1 (%2 من %3)")
                                                  .arg(table)
                                                  .arg(done)
                                                  .arg(total);
                                emit moveProgressChanged();
                            },
                            Qt::QueuedConnection);
                    });
        }
        QMetaObject::invokeMethod(
            this,
            [this, server, reason] {
                QString message = reason;
                QString error;
                if (message.isEmpty() && !server.save(m_dataDir, &error))
                    message = QStringLiteral("نُقلت البيانات، لكن تعذر حفظ الإعداد: ") + error;
                // After a move this file only reads until the program starts
                // on the server; after a failure it takes writes again.
                if (!message.isEmpty())
                    m_db->reopen(false);
                m_moving = false;
                m_moveProgress = message.isEmpty() ? 1 : 0;
                m_moveStage.clear();
                emit moveProgressChanged();
                emit movingChanged();
                if (message.isEmpty())
                    emit savedChanged();
                emit moveFinished(message.isEmpty(),
                                  message.isEmpty()
                                      ? QStringLiteral("نُقلت بيانات المكتب كلها إلى الخادم "
                                                       "وتطابقت الأعداد والمجاميع؛ أعد تشغيل "
                                                       "البرنامج ليعمل على الخادم")
                                      : message);
            },
            Qt::QueuedConnection);
    }));
    m_move->start();
    return true;
}

bool ServerSetup::restartNow()
{
    clearError();
    if (!restartNeeded())
        return refuse(QStringLiteral("لا تغيير ينتظر إعادة التشغيل"));
    m_desktop->restartApplication();
    return true;
}
