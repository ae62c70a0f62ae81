#include "LedgerOffice.h"

#include "app/StartupWork.h"
#include "core/LedgerHistory.h"
#include "core/LedgerTotals.h"
#include "core/Schema.h"

#include <QApplication>
#include <QProgressDialog>
#include <QTest>

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
        Office o;
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
};

QTEST_MAIN(TestStartupWork)
#include "tst_startupwork.moc"
