#include "admin/RestoreCheck.h"

#include "admin/BackupFile.h"
#include "admin/LoginThrottle.h"
#include "core/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <functional>

namespace {

// The tables, views and triggers of a file, and the columns of its tables.
struct Layout
{
    // "type name" -> the statement that created it.
    QMap<QString, QString> objects;
    QMap<QString, QStringList> columns;
};

// Tables SQLite keeps for itself: the AUTOINCREMENT counters and the
// planner's statistics.
bool isSqliteTable(const QString& name)
{
    return name == QLatin1String("sqlite_sequence") || name == QLatin1String("sqlite_stat1") ||
           name == QLatin1String("sqlite_stat4");
}

bool readLayout(QSqlDatabase& db, Layout& layout, QString& error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT type, name, sql FROM sqlite_master "
                                   "WHERE type IN ('table', 'view', 'trigger')"))) {
        error = query.lastError().text();
        return false;
    }
    QStringList tables;
    while (query.next()) {
        const QString type = query.value(0).toString();
        const QString name = query.value(1).toString();
        layout.objects.insert(type + QLatin1Char(' ') + name, query.value(2).toString());
        if (type == QLatin1String("table"))
            tables << name;
    }
    query.finish();
    for (const QString& table : std::as_const(tables)) {
        query.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?)"));
        query.addBindValue(table);
        if (!query.exec()) {
            error = query.lastError().text();
            return false;
        }
        QStringList names;
        while (query.next())
            names << query.value(0).toString();
        layout.columns.insert(table, names);
    }
    return true;
}

// Anything the candidate holds that the program does not create, or a
// program table without a column the program reads; empty when none.
QString strayObjects(const Layout& candidate, const Layout& reference)
{
    QStringList stray;
    for (auto it = candidate.objects.cbegin(); it != candidate.objects.cend(); ++it) {
        const QString type = it.key().section(QLatin1Char(' '), 0, 0);
        const QString name = it.key().section(QLatin1Char(' '), 1);
        if (type == QLatin1String("table") && isSqliteTable(name))
            continue;
        const auto own = reference.objects.constFind(it.key());
        if (own == reference.objects.cend()) {
            stray << type + QLatin1Char(' ') + name;
            continue;
        }
        // Triggers, views and virtual tables run code: they must be exactly
        // the program's. An ordinary table is judged by its columns below.
        const bool runsCode = type != QLatin1String("table") ||
                              own->startsWith(QLatin1String("CREATE VIRTUAL TABLE"));
        if (runsCode && own.value() != it.value())
            stray << type + QLatin1Char(' ') + name + QStringLiteral(" (altered)");
    }
    if (!stray.isEmpty())
        return QStringLiteral("holds objects this program does not create: ") +
               stray.join(QStringLiteral(", ")).left(300);

    QStringList missing;
    for (auto it = reference.columns.cbegin(); it != reference.columns.cend(); ++it) {
        if (isSqliteTable(it.key()))
            continue;
        const QStringList present = candidate.columns.value(it.key());
        for (const QString& column : it.value()) {
            if (!present.contains(column))
                missing << it.key() + QLatin1Char('.') + column;
        }
    }
    if (!missing.isEmpty())
        return QStringLiteral("lacks columns the program reads: ") +
               missing.join(QStringLiteral(", ")).left(300);
    return {};
}

// Runs `work` on a connection of its own to `path`, closed afterwards.
QString withConnection(const QString& path, const std::function<QString(QSqlDatabase&)>& work)
{
    static int opened = 0;
    const QString name = QStringLiteral("sakanova_restore_check_%1").arg(++opened);
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        result =
            db.open() ? work(db) : QStringLiteral("cannot be opened: ") + db.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

QString bringUpToDate(QSqlDatabase& db)
{
    QSqlError error;
    if (!Database::bringUpToDate(db, &error) || !LoginThrottle::createTable(db, &error))
        return QStringLiteral("cannot be brought up to date: ") + error.text();
    return {};
}

} // namespace

RestoreCheck::RestoreCheck(const QString& chosenFile, const QString& scratchParent)
    : m_chosen(chosenFile)
    , m_scratch(scratchParent + QStringLiteral("/restore-check-XXXXXX"))
{}

RestoreCheck::~RestoreCheck() = default;

QString RestoreCheck::scratch(const QString& name) const
{
    return m_scratch.filePath(name);
}

QString RestoreCheck::candidate() const
{
    return scratch(QStringLiteral("candidate.db"));
}

RestoreCheck::Outcome RestoreCheck::refuse(Outcome outcome, const QString& problem)
{
    m_problem = problem;
    return outcome;
}

RestoreCheck::Outcome RestoreCheck::run()
{
    const QFileInfo info(m_chosen);
    if (!info.isFile())
        return refuse(Outcome::Unfit, QStringLiteral("not a file"));
    // SQLite takes an empty file for an empty database that passes every check.
    if (info.size() == 0)
        return refuse(Outcome::Unfit, QStringLiteral("empty file"));
    if (!m_scratch.isValid())
        return refuse(Outcome::Unfit,
                      QStringLiteral("no scratch folder: ") + m_scratch.errorString());

    const QString wal = m_chosen + QStringLiteral("-wal");
    const bool hasLog = QFileInfo(wal).size() > 0;
    const QString recorded = BackupFile::recordedChecksum(m_chosen);
    m_hadChecksum = !recorded.isEmpty();
    if (m_hadChecksum) {
        if (BackupFile::checksumOf(m_chosen) != recorded)
            return refuse(Outcome::ChangedSinceMade,
                          QStringLiteral("checksum does not match the file"));
        // A backup is written whole, without a log; one beside it means the
        // file was opened and written to since.
        if (hasLog)
            return refuse(Outcome::ChangedSinceMade,
                          QStringLiteral("written to after it was made (a log lies beside it)"));
    }

    // The chosen file itself is only ever read as bytes: opening it with
    // SQLite would leave a log and an index file beside it.
    const QString received = scratch(QStringLiteral("received.db"));
    if (!QFile::copy(m_chosen, received) || (hasLog && !QFile::copy(wal, received + "-wal")))
        return refuse(Outcome::Unfit, QStringLiteral("cannot be copied to the scratch folder"));
    for (const QString& copy : {received, received + QStringLiteral("-wal")}) {
        if (QFileInfo::exists(copy))
            QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::ReadOwner |
                                            QFileDevice::WriteOwner);
    }

    // Checked, and written out afresh, on one connection: rows of the log
    // are in both the check and the copy.
    QString problem = withConnection(received, [this](QSqlDatabase& db) {
        QString found = BackupFile::problem(db);
        if (!found.isEmpty())
            return found;
        QSqlQuery vacuum(db);
        vacuum.prepare(QStringLiteral("VACUUM INTO ?"));
        vacuum.addBindValue(candidate());
        if (!vacuum.exec())
            return QStringLiteral("cannot be copied: ") + vacuum.lastError().text();
        return QString();
    });
    if (!problem.isEmpty())
        return refuse(Outcome::Unfit, problem);

    // What the program's own steps make of an empty file is the measure.
    Layout reference;
    problem = withConnection(scratch(QStringLiteral("reference.db")), [&](QSqlDatabase& db) {
        QString found = bringUpToDate(db);
        if (found.isEmpty() && !readLayout(db, reference, found))
            found = QStringLiteral("reference unreadable: ") + found;
        return found;
    });
    if (!problem.isEmpty())
        return refuse(Outcome::Unfit, problem);

    problem = withConnection(candidate(), [&](QSqlDatabase& db) {
        QString found = bringUpToDate(db);
        Layout layout;
        if (found.isEmpty() && !readLayout(db, layout, found))
            found = QStringLiteral("layout unreadable: ") + found;
        if (found.isEmpty())
            found = strayObjects(layout, reference);
        // A plain file with no log: until the restart it is read through a
        // read-only connection, which cannot set up a log's index file.
        QSqlQuery journal(db);
        if (found.isEmpty() && !journal.exec(QStringLiteral("PRAGMA journal_mode=DELETE")))
            found = QStringLiteral("journal cannot be folded in: ") + journal.lastError().text();
        return found;
    });
    if (!problem.isEmpty())
        return refuse(Outcome::Unfit, problem);
    // The last connection folds its log in on closing.
    if (QFileInfo(candidate() + QStringLiteral("-wal")).size() > 0)
        return refuse(Outcome::Unfit, QStringLiteral("the checked copy kept a log"));
    return Outcome::Fit;
}
