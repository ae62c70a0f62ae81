#include "admin/BackupCopy.h"

#include "admin/BackupFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace {

// SQLite virtual-machine steps between two looks at how far the copy is.
constexpr int kStepsPerLook = 20000;
// Shortest time between two progress reports.
constexpr qint64 kReportEveryMs = 100;

struct Watch
{
    QString target;
    qint64 expectedBytes = 1;
    const BackupCopy::Progress* progress = nullptr;
    QElapsedTimer sinceReport;
};

int lookAtCopy(void* context)
{
    auto* watch = static_cast<Watch*>(context);
    if (watch->sinceReport.elapsed() < kReportEveryMs)
        return 0;
    watch->sinceReport.restart();
    // The copy grows as pages are written; its final size is about the
    // pages in use of the source.
    const double share = double(QFileInfo(watch->target).size()) / double(watch->expectedBytes);
    (*watch->progress)(BackupCopy::Stage::Copying, qBound(0.0, share, 1.0));
    return 0;
}

qint64 pragmaValue(sqlite3* handle, const char* pragma)
{
    sqlite3_stmt* stmt = nullptr;
    qint64 value = 0;
    if (sqlite3_prepare_v2(handle, pragma, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
}

QString copyInto(const QString& databaseFile, const QString& target,
                 const BackupCopy::Progress& progress)
{
    sqlite3* handle = nullptr;
    const QByteArray path = QFile::encodeName(databaseFile);
    // Read-only: the copy never changes the books, and a write-ahead-log
    // reader does not stop the window's connection from writing.
    if (sqlite3_open_v2(path.constData(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        const QString error = QString::fromUtf8(sqlite3_errmsg(handle));
        sqlite3_close(handle);
        return QStringLiteral("Database not connected: ") + error;
    }
    sqlite3_busy_timeout(handle, 5000);

    Watch watch;
    watch.target = target;
    watch.progress = &progress;
    watch.expectedBytes = qMax<qint64>(1, (pragmaValue(handle, "PRAGMA page_count") -
                                           pragmaValue(handle, "PRAGMA freelist_count")) *
                                              pragmaValue(handle, "PRAGMA page_size"));
    watch.sinceReport.start();
    if (progress)
        sqlite3_progress_handler(handle, kStepsPerLook, &lookAtCopy, &watch);

    QString error;
    sqlite3_stmt* stmt = nullptr;
    const QByteArray into = target.toUtf8();
    if (sqlite3_prepare_v2(handle, "VACUUM INTO ?", -1, &stmt, nullptr) != SQLITE_OK ||
        sqlite3_bind_text(stmt, 1, into.constData(), int(into.size()), SQLITE_TRANSIENT) !=
            SQLITE_OK ||
        sqlite3_step(stmt) != SQLITE_DONE)
        error =
            QStringLiteral("Failed to create backup: ") + QString::fromUtf8(sqlite3_errmsg(handle));
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
    return error;
}

} // namespace

QString BackupCopy::write(const QString& databaseFile, const QString& target,
                          const Progress& progress)
{
    if (!QFileInfo::exists(databaseFile))
        return QStringLiteral("Database file not found");
    const QString copyError = copyInto(databaseFile, target, progress);
    if (!copyError.isEmpty()) {
        QFile::remove(target);
        return copyError;
    }
    if (progress)
        progress(Stage::Checking, 0.0);
    const QString problem = BackupFile::problem(target);
    if (!problem.isEmpty()) {
        QFile::remove(target);
        return QStringLiteral("Backup verification failed: ") + problem;
    }
    // Written once the copy is known to be sound: a restore compares the
    // file with it and so notices any byte changed since.
    if (!BackupFile::writeChecksum(target)) {
        QFile::remove(target);
        return QStringLiteral("Failed to write the backup's checksum");
    }
    if (progress)
        progress(Stage::Checking, 1.0);
    return {};
}
