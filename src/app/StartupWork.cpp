#include "app/StartupWork.h"

#include "core/ChangeFeed.h"
#include "core/Database.h"
#include "core/LedgerHistory.h"
#include "core/PgSchema.h"
#include "core/Schema.h"
#include "finance/ChequeModel.h"
#include "finance/InstallmentModel.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <limits>
#include <memory>

namespace {

const QString kPreparingText =
    QStringLiteral("يُجهَّز ملف البيانات بعد التحديث، وتُرحَّل عمليات السنوات السابقة إلى الدفاتر "
                   "مرة واحدة… قد يستغرق ذلك دقيقة على مكتب كبير.");
const QString kRestoreText =
    QStringLiteral("تجري استعادة نسخة احتياطية على الخادم من جهاز آخر؛ يُفتح البرنامج حين تنتهي.");

// Waits, on a connection of its own, until no desk restores a backup on the
// server: the restoring desk holds the restore's lock whole, and its
// pg_restore holds every table it replaces until it is done.
void waitForRestore(const DatabaseSettings& books)
{
    const QString name = QStringLiteral("startup-restore-wait");
    {
        QString error;
        if (books.openConnection(name, &error)) {
            QSqlQuery query(QSqlDatabase::database(name, false));
            query.prepare(QStringLiteral("SELECT pg_advisory_lock_shared(?)"));
            query.addBindValue(PgSchema::kRestoreLock);
            query.exec();
            // The session goes with the connection, and the lock with it.
        }
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

StartupWork::StartupWork(const QString& databasePath, QObject* parent)
    : StartupWork(DatabaseSettings::sqliteFile(databasePath), parent)
{}

StartupWork::StartupWork(const DatabaseSettings& books, QObject* parent)
    : QObject(parent)
    , m_books(books)
{}

StartupWork::~StartupWork()
{
    delete m_window;
}

bool StartupWork::historyPending(const QString& databasePath)
{
    return historyPending(DatabaseSettings::sqliteFile(databasePath));
}

bool StartupWork::historyPending(const DatabaseSettings& books)
{
    return peek(books).historyPending;
}

bool StartupWork::restoreElsewhere(const DatabaseSettings& books)
{
    return peek(books).restoreElsewhere;
}

StartupWork::Peek StartupWork::peek(const DatabaseSettings& books)
{
    Peek found;
    const bool server = books.engine == DatabaseSettings::Engine::PostgreSQL;
    if (!server && QFileInfo(books.path).size() == 0)
        return found;
    const QString name = QStringLiteral("startup-peek");
    {
        QString error;
        if (books.openConnection(name, &error)) {
            QSqlDatabase connection = QSqlDatabase::database(name, false);
            // While another desk restores a backup, the settings read below
            // would wait for its end.
            found.restoreElsewhere = server && ChangeFeed::restoreHeldElsewhere(connection) == 1;
            QSqlQuery query(connection);
            query.prepare(QStringLiteral("SELECT value FROM settings WHERE key=?"));
            query.addBindValue(Schema::ledgerHistoryKey());
            // A file with no settings yet is new or not ours: nothing long.
            if (!found.restoreElsewhere && query.exec())
                found.historyPending =
                    !(query.next() && query.value(0).toString() == QLatin1String("done"));
        }
    }
    QSqlDatabase::removeDatabase(name);
    return found;
}

bool StartupWork::run(int showProgressAfterMs)
{
    m_clock.start();
    // While another desk restores a backup, every read of the books waits
    // for its end: the window says why at once, and the worker waits first.
    const Peek found = peek(m_books);
    m_waitingForRestore = found.restoreElsewhere;
    // A file whose history is still to be posted takes many seconds on a
    // large office: its window comes at once rather than after the pause
    // that keeps short starts from flashing one.
    const bool longWork = m_waitingForRestore || found.historyPending;
    std::atomic<bool> opened{false};
    // The worker's connection lives and dies on the worker's thread; steps
    // come back to this thread queued.
    std::unique_ptr<QThread> worker(QThread::create([this, &opened] {
        if (m_waitingForRestore) {
            waitForRestore(m_books);
            QMetaObject::invokeMethod(this, &StartupWork::restoreOver, Qt::QueuedConnection);
        }
        Database database;
        if (!database.initialize(m_books))
            return;
        opened = true;
        // Whether this work added rows (entries, register cheques).
        bool wrote = false;
        if (!LedgerHistory::isDone(&database)) {
            QString reason;
            const bool posted = LedgerHistory::postPastEvents(
                &database,
                [this](int done, int total) {
                    QMetaObject::invokeMethod(
                        this, [this, done, total] { step(done, total); }, Qt::QueuedConnection);
                },
                &reason);
            if (!posted)
                qCritical("Past events not posted: %s", qUtf8Printable(reason));
            wrote = posted;
        }
        // Sale cheques kept on instalments only, and tenant payments by
        // cheque without a register row, join the register once, after the
        // past events are posted (their collections post as they go).
        if (LedgerHistory::isDone(&database)) {
            InstallmentModel sales(&database);
            const int listed = sales.registerListedCheques();
            if (listed < 0)
                qCritical("Sale cheques not registered: %s", qUtf8Printable(sales.lastError()));
            ChequeModel backFill(&database);
            const int paid = backFill.registerPaymentCheques();
            if (paid < 0)
                qCritical("Payment cheques not registered: %s",
                          qUtf8Printable(backFill.lastError()));
            wrote = wrote || listed > 0 || paid > 0;
        }
        if (!database.isPostgres()) {
            // The rows just written join the text indexes here, with the
            // progress window up, rather than at the window's own opening
            // of the file (seconds on a large office).
            QSqlDatabase connection = database.connection();
            QSqlError error;
            if (wrote && !Schema::catchUpSearchIndexes(connection, &error))
                qCritical("Text indexes not brought up to date: %s", qUtf8Printable(error.text()));
            database.checkpointAndClose();
        }
    }));
    QEventLoop loop;
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer later;
    later.setSingleShot(true);
    connect(&later, &QTimer::timeout, this, &StartupWork::showWindow);
    if (longWork) {
        // Painted before the worker starts, so the first window's fonts and
        // style do not share the processor with the file's work.
        showWindow();
        QCoreApplication::processEvents();
    } else {
        later.start(showProgressAfterMs);
    }
    worker->start();
    // Built while the work begins, shown only if it is still going: the
    // first window of the process waits on the fonts and the style, which
    // would otherwise come on top of the delay.
    buildWindow();
    loop.exec();
    worker->wait();
    later.stop();
    // Steps still queued are shown before the window goes.
    QCoreApplication::sendPostedEvents(this);
    if (m_window)
        m_window->hide();
    return opened;
}

void StartupWork::buildWindow()
{
    if (m_window)
        return;
    m_window = new QProgressDialog;
    m_window->setWindowTitle(QStringLiteral("ساكانوفا"));
    m_window->setLabelText(m_waitingForRestore ? kRestoreText : kPreparingText);
    m_window->setCancelButton(nullptr);
    // Shown by showWindow() only, never by setValue() on its own.
    m_window->setMinimumDuration(std::numeric_limits<int>::max());
    m_window->reset();
    m_window->ensurePolished();
    m_window->adjustSize();
}

void StartupWork::showWindow()
{
    if (m_shown)
        return;
    buildWindow();
    m_window->setRange(0, m_total);
    m_window->setValue(m_done);
    m_window->show();
    m_shown = true;
    qInfo("Start-up progress window shown %lld ms after the work began", m_clock.elapsed());
    emit progressWindowShown();
}

void StartupWork::restoreOver()
{
    qInfo("The other desk's restore is over after %lld ms", m_clock.elapsed());
    m_waitingForRestore = false;
    if (m_window)
        m_window->setLabelText(kPreparingText);
}

void StartupWork::step(int done, int total)
{
    qInfo("Ledger history: %d/%d", done, total);
    m_done = done;
    m_total = total;
    if (m_window) {
        m_window->setRange(0, total);
        m_window->setValue(done);
    }
}
