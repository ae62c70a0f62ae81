#include "LedgerOffice.h"

#include "app/StartupWork.h"
#include "core/ChangeFeed.h"
#include "core/LedgerHistory.h"
#include "core/LedgerTotals.h"
#include "core/Schema.h"

#include <QApplication>
#include <QProgressDialog>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

using LedgerOffice::item;
using LedgerOffice::Office;

// The start's work on an older file, off the window's thread with a
// progress window, and the file it leaves behind.
class TestStartupWork : public QObject
{
    Q_OBJECT

private slots:
    void olderFileShowsProgressAndComesOutUpToDate()
    {
        // A file as an older version left it, its text index and day
        // totals behind.
        Office o(DatabaseSettings::Engine::SQLite);
        QVERIFY(o.invoices.generateAllRent("2026-01") > 0);
        const int invoice = o.openInvoice(650);
        QVERIFY(o.payments.add(invoice, o.tenant, 650, "cash", "2026-03-05", "REC-7781", 1) > 0);
        QVERIFY(o.expenses.add(o.property, 0, 0, "كهرباء", "", "إنارة المدخل", 85, "2026-02-11",
                               1) > 0);
        const QString postings = "SELECT reference_type || '#' || reference_id FROM "
                                 "journal_entries WHERE reference_type!='manual' ORDER BY 1";
        QStringList live;
        for (const QVariant& row : o.t.db()->execQuery(postings))
            live << row.toMap().values().value(0).toString();
        QCOMPARE(live.size(), 4);
        const QMap<QString, double> balances = o.balances();

        // Back to how the previous version left it: no postings, no day
        // totals, a text index behind its table.
        Database* db = o.t.db();
        QVERIFY(db->execNonQuery("DELETE FROM journal_lines"));
        QVERIFY(db->execNonQuery("DELETE FROM journal_entries"));
        QVERIFY(db->execNonQuery("UPDATE accounts SET balance=0"));
        for (const QString& trigger : LedgerTotals::triggerNames())
            QVERIFY(db->execNonQuery("DROP TRIGGER " + trigger));
        QVERIFY(db->execNonQuery("DROP TABLE ledger_day_totals"));
        QVERIFY(db->execNonQuery("UPDATE settings SET value='pending' WHERE key=?",
                                 {Schema::ledgerHistoryKey()}));
        QVERIFY(db->execNonQuery("DELETE FROM settings WHERE key IN "
                                 "('payment_cheques_registered','sale_cheques_registered')"));
        QVERIFY(db->execNonQuery(
            "UPDATE search_index_marks SET indexed_to=0 WHERE index_name='payments_search'"));
        QVERIFY(db->execNonQuery("INSERT INTO payments_search(payments_search) VALUES "
                                 "('delete-all')"));
        o.t.close();

        // A history still to post is long work: its window comes at once,
        // whatever pause a short start would wait first.
        QVERIFY(StartupWork::historyPending(o.t.filePath()));
        StartupWork work(o.t.filePath());
        int shown = 0;
        connect(&work, &StartupWork::progressWindowShown, this, [&shown] { ++shown; });
        QVERIFY(work.run(60000));
        QVERIFY(work.progressShown());
        QCOMPARE(shown, 1);
        QVERIFY(work.stepsTotal() > 0);
        QCOMPARE(work.stepsDone(), work.stepsTotal());
        const auto windows = QApplication::topLevelWidgets();
        QVERIFY(std::any_of(windows.begin(), windows.end(),
                            [](QWidget* w) { return qobject_cast<QProgressDialog*>(w); }));
        for (QWidget* w : windows) {
            if (qobject_cast<QProgressDialog*>(w))
                QVERIFY2(!w->isVisible(), "the progress window closes when the work is done");
        }

        // The posted entries are in the journal's text index before the
        // window's own opening of the file, which would otherwise add them.
        {
            QSqlDatabase file = QSqlDatabase::addDatabase("QSQLITE", "startup_marks");
            file.setDatabaseName(o.t.filePath());
            QVERIFY(file.open());
            QSqlQuery mark(file);
            QVERIFY(mark.exec("SELECT indexed_to - (SELECT MAX(id) FROM journal_entries) FROM "
                              "search_index_marks WHERE index_name='journal_search'"));
            QVERIFY(mark.next());
            QCOMPARE(mark.value(0).toInt(), 0);
        }
        QSqlDatabase::removeDatabase("startup_marks");

        QVERIFY(o.t.reopen());
        QVERIFY(LedgerHistory::isDone(o.t.db()));
        // The register's back-fills ran on the same worker, after the history.
        QCOMPARE(o.t.value("SELECT COUNT(*) FROM settings WHERE value='done' AND key IN "
                           "('payment_cheques_registered','sale_cheques_registered')")
                     .toInt(),
                 2);
        QStringList posted;
        for (const QVariant& row : o.t.db()->execQuery(postings))
            posted << row.toMap().values().value(0).toString();
        QCOMPARE(posted, live);
        QCOMPARE(LedgerOffice::moves(balances, o.balances()), QString());
        QCOMPARE(o.t.value("SELECT SUM(lines) FROM ledger_day_totals").toInt(),
                 o.t.count("journal_lines"));
        QCOMPARE(o.t.value("SELECT COUNT(*) FROM payments_search WHERE payments_search MATCH ?",
                           {QStringLiteral("778")})
                     .toInt(),
                 1);

        // The next start finds nothing to do and posts nothing.
        o.t.close();
        QVERIFY(!StartupWork::historyPending(o.t.filePath()));
        QVERIFY(!StartupWork::historyPending(o.t.filePath() + QStringLiteral(".none")));
        StartupWork again(o.t.filePath());
        QVERIFY(again.run(60000));
        QVERIFY(!again.progressShown());
        QCOMPARE(again.stepsTotal(), 0);
        QVERIFY(o.t.reopen());
        QCOMPARE(o.t.count("journal_entries"), live.size());
    }

    // Books whose past was never posted (an office moved to the server from
    // an older version, or such a file): the start posts it, joins the older
    // cheque payments to the register, and the next start does nothing.
    void unpostedHistoryIsPostedAtStart()
    {
        Office o;
        QVERIFY(o.invoices.generateAllRent("2026-01") > 0);
        const int cashed = o.openInvoice(700);
        QVERIFY(o.payments.add(cashed, o.tenant, 700, "cash", "2026-03-04", "REC-12", 1) > 0);
        const int byCheque = o.invoices.createInvoice(o.tenant, o.unit, QStringLiteral("2026-04"),
                                                      {item("إيجار نيسان", 450, "rent")}, 1);
        const int chequePayment =
            o.payments.add(byCheque, o.tenant, 450, "cheque", "2026-04-02", "CHQ-3309", 1);
        QVERIFY(chequePayment > 0);
        QVERIFY(o.expenses.add(o.property, 0, 0, "صيانة", "", "إصلاح المصعد", 120, "2026-02-20",
                               1) > 0);
        Database* db = o.t.db();
        const QString postings = "SELECT reference_type || '#' || reference_id AS ref FROM "
                                 "journal_entries WHERE reference_type<>'manual' ORDER BY 1";
        const auto posted = [&o, &postings] {
            QStringList out;
            for (const QVariant& row : o.t.db()->execQuery(postings))
                out << row.toMap().value("ref").toString();
            return out;
        };
        const QStringList live = posted();
        // The rent run's invoices, two more, their payments and the expense.
        QVERIFY2(live.size() >= 6, qPrintable(live.join(' ')));
        const QMap<QString, double> balances = o.balances();

        // Nothing posted, no register row for the cheque, the marks unset.
        QVERIFY(db->execNonQuery("DELETE FROM journal_lines"));
        QVERIFY(db->execNonQuery("DELETE FROM journal_entries"));
        QVERIFY(db->execNonQuery("UPDATE accounts SET balance=0"));
        QVERIFY(db->execNonQuery("DELETE FROM cheques WHERE payment_id=?", {chequePayment}));
        QVERIFY(db->execNonQuery("UPDATE settings SET value='pending' WHERE key=?",
                                 {Schema::ledgerHistoryKey()}));
        QVERIFY(db->execNonQuery("DELETE FROM settings WHERE key IN "
                                 "('payment_cheques_registered','sale_cheques_registered')"));
        o.t.close();

        QVERIFY(StartupWork::historyPending(o.t.settings()));
        StartupWork work(o.t.settings());
        QVERIFY(work.run(60000));
        QVERIFY(work.progressShown());
        QVERIFY(work.stepsTotal() > 0);
        QCOMPARE(work.stepsDone(), work.stepsTotal());

        QVERIFY(o.t.reopen());
        QVERIFY(LedgerHistory::isDone(o.t.db()));
        QCOMPARE(posted(), live);
        QCOMPARE(LedgerOffice::moves(balances, o.balances()), QString());
        QCOMPARE(LedgerOffice::unbalancedEntries(o.t), 0);
        QCOMPARE(o.t.value("SELECT SUM(lines) FROM ledger_day_totals").toInt(),
                 o.t.count("journal_lines"));
        QCOMPARE(o.t.value("SELECT COUNT(*) FROM cheques WHERE payment_id=? AND cheque_number=?",
                           {chequePayment, QStringLiteral("CHQ-3309")})
                     .toInt(),
                 1);
        QCOMPARE(o.t.value("SELECT COUNT(*) FROM settings WHERE value='done' AND key IN "
                           "('payment_cheques_registered','sale_cheques_registered')")
                     .toInt(),
                 2);

        // The next start (another desk's, on a server) finds it done.
        QVERIFY(!StartupWork::historyPending(o.t.settings()));
        o.t.close();
        StartupWork again(o.t.settings());
        QVERIFY(again.run(60000));
        QCOMPARE(again.stepsTotal(), 0);
        QVERIFY(o.t.reopen());
        QCOMPARE(posted(), live);
    }

    // pg_restore holds every table it replaces until it is done: a desk
    // that starts meanwhile waits for the restore's end with a window that
    // says why, instead of a window frozen on its first read.
    void startDuringAnotherDesksRestoreWaitsForItsEnd()
    {
        if (!TestDatabase::onPostgres())
            QSKIP("A file has no other desks");
        TestDatabase t;
        Database restoring;
        QVERIFY(restoring.initialize(t.settings()));
        QVERIFY(ChangeFeed::announceRestoreStarted(&restoring));
        QVERIFY(StartupWork::restoreElsewhere(t.settings()));
        t.close();

        QString shown;
        bool ended = false;
        QTimer::singleShot(500, this, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* window = qobject_cast<QProgressDialog*>(widget);
                if (window && window->isVisible())
                    shown = window->labelText();
            }
            ended = ChangeFeed::announceRestoreEnded(&restoring);
        });
        StartupWork work(t.settings());
        QVERIFY(work.run(60000));
        QVERIFY(ended);
        QVERIFY(work.progressShown());
        QCOMPARE(shown, QStringLiteral("تجري استعادة نسخة احتياطية على الخادم من جهاز آخر؛ "
                                       "يُفتح البرنامج حين تنتهي."));
        QVERIFY(!StartupWork::restoreElsewhere(t.settings()));
        QVERIFY(t.reopen());
    }
};

QTEST_MAIN(TestStartupWork)
#include "tst_startupwork.moc"
