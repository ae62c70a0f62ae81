#include "admin/ExportRun.h"

#include "admin/CsvExport.h"
#include "admin/ExportTables.h"
#include "admin/XlsxExport.h"

#include <QAtomicInteger>
#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

namespace {

QString writingStage(const QString& title)
{
    return title.isEmpty() ? QStringLiteral("جارٍ حفظ الملف…")
                           : QStringLiteral("جارٍ تصدير: ") + title + QStringLiteral("…");
}

} // namespace

ExportRun::ExportRun(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<ExportRun::Result>();
}

ExportRun::~ExportRun()
{
    if (m_worker)
        m_worker->wait();
}

ExportRun::Result ExportRun::write(Format format, const QSqlDatabase& db, const QString& target,
                                   const Progress& progress)
{
    Result result;
    result.target = target;
    if (format == Format::Workbook) {
        result.ok = XlsxExport::write(db, target, &result.error,
                                      [&progress](int done, int total, const QString& title) {
                                          if (progress)
                                              progress(double(done) / total, writingStage(title));
                                      });
        result.wroteSomething = result.ok;
        return result;
    }
    const QStringList tables = CsvExport::tables();
    for (int i = 0; i < tables.size(); ++i) {
        const QString& table = tables.at(i);
        if (progress) {
            const ExportTables::Table* definition = ExportTables::find(table);
            progress(double(i) / double(tables.size()),
                     writingStage(definition ? definition->sheetTitle : table));
        }
        if (!CsvExport::writeTable(db, table,
                                   target + QLatin1Char('/') + table + QStringLiteral(".csv")))
            result.failedTables << table;
    }
    result.wroteSomething = result.failedTables.size() < tables.size();
    result.ok = result.failedTables.isEmpty();
    if (!result.ok)
        result.error =
            QStringLiteral("Failed to export: ") + result.failedTables.join(QStringLiteral(", "));
    return result;
}

bool ExportRun::start(Format format, const DatabaseSettings& source, const QString& target)
{
    if (m_running)
        return false;
    if (m_worker)
        m_worker->wait(); // the last one has already told its result
    m_running = true;
    m_progress = 0;
    m_stage = writingStage(QString());
    emit runningChanged();
    emit progressChanged();

    static QAtomicInteger<quint64> runs;
    const QString connectionName = QStringLiteral("export-%1").arg(++runs);
    m_worker.reset(QThread::create([this, format, source, target, connectionName] {
        Result result;
        result.target = target;
        {
            QString error;
            const bool opened = source.openConnection(connectionName, &error);
            QSqlDatabase db = QSqlDatabase::database(connectionName, false);
            // Every table is read from one snapshot of the books.
            const bool snapshot =
                opened && db.transaction() &&
                (source.engine == DatabaseSettings::Engine::SQLite ||
                 QSqlQuery(db).exec(
                     QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY")));
            if (!snapshot) {
                result.error = QStringLiteral("Database not connected: ") +
                               (opened ? db.lastError().text() : error);
            } else {
                result = write(format, db, target, [this](double share, const QString& stage) {
                    QMetaObject::invokeMethod(this, [this, share, stage] {
                        m_progress = share;
                        m_stage = stage;
                        emit progressChanged();
                    });
                });
                db.rollback();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(connectionName);
        QMetaObject::invokeMethod(this, [this, result] {
            m_running = false;
            m_progress = result.ok ? 1 : m_progress;
            emit runningChanged();
            emit progressChanged();
            emit finished(result);
        });
    }));
    m_worker->start();
    return true;
}
