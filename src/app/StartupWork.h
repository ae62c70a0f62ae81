#pragma once

#include "core/DatabaseSettings.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QProgressDialog;

// The work a start does on the books before the window opens: bringing the
// schema up to date (with the text index catch-up and the totals' counts an
// older file needs) and, once, posting an older office's past events and
// joining its older cheques to the register; on a file and on a server. On a
// large office that takes seconds, so it runs on a worker thread with its
// own connection while the window's thread keeps turning; a progress window
// appears when it is still going after a moment, and closes when it is done.
class StartupWork : public QObject
{
    Q_OBJECT

public:
    explicit StartupWork(const QString& databasePath, QObject* parent = nullptr);
    explicit StartupWork(const DatabaseSettings& books, QObject* parent = nullptr);
    ~StartupWork() override;

    // Does the work and returns when it is over. False when the file could
    // not be brought up to date (the caller's own opening then reports
    // why); a history posting that failed is logged and tried again at the
    // next start, and does not stop this one.
    bool run(int showProgressAfterMs = 100);

    // True when the file at `databasePath` has a past to post to the
    // ledger, read without changing it (a missing or new file has none).
    static bool historyPending(const QString& databasePath);
    // The same for the books `books` names (the file, or a server's).
    static bool historyPending(const DatabaseSettings& books);

    // True when another desk is restoring a backup on the books' server.
    static bool restoreElsewhere(const DatabaseSettings& books);

    bool progressShown() const { return m_shown; }
    // The last step reported: done of total (0 of 0 before any).
    int stepsDone() const { return m_done; }
    int stepsTotal() const { return m_total; }

signals:
    void progressWindowShown();

private:
    // What the start looks up first, on one short connection: whether
    // another desk restores a backup on the server, and if not, whether
    // the books' history is still to be posted.
    struct Peek
    {
        bool restoreElsewhere = false;
        bool historyPending = false;
    };
    static Peek peek(const DatabaseSettings& books);

    void buildWindow();
    void showWindow();
    void step(int done, int total);
    void restoreOver();

    DatabaseSettings m_books;
    QElapsedTimer m_clock;
    QProgressDialog* m_window = nullptr;
    bool m_shown = false;
    // Set before the worker starts, which reads it; cleared here after.
    bool m_waitingForRestore = false;
    int m_done = 0;
    int m_total = 0;
};
