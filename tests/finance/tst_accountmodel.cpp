#include "TestDatabase.h"
#include "finance/AccountModel.h"

#include <QSignalSpy>
#include <QTest>

namespace {
// Seeded chart: 2 cash (asset), 5 payables (liability), 6 equity,
// 8 rental revenue, 12 maintenance expenses.
QVariantMap line(int account, double debit, double credit)
{
    return {{"account_id", account}, {"debit", debit}, {"credit", credit}, {"description", "قيد"}};
}
} // namespace

class TestAccountModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_t = std::make_unique<TestDatabase>();
        m_model = std::make_unique<AccountModel>(m_t->db());
    }
    void cleanup()
    {
        m_model.reset();
        m_t.reset();
    }

    void balancedEntryIsPostedWithinTolerance_data()
    {
        QTest::addColumn<double>("credit");
        QTest::addColumn<bool>("accepted");
        // A shekel entry is kept in cents: 99.995 typed is stored as 100.00.
        QTest::addColumn<double>("stored");
        QTest::newRow("equal") << 100.0 << true << 100.0;
        QTest::newRow("0.005 apart") << 99.995 << true << 100.0;
        QTest::newRow("0.004 apart, stored to the cent") << 99.996 << true << 100.0;
        QTest::newRow("0.02 apart") << 99.98 << false << 0.0;
    }
    void balancedEntryIsPostedWithinTolerance()
    {
        QFETCH(double, credit);
        QFETCH(bool, accepted);
        QFETCH(double, stored);
        QSignalSpy changed(m_model.get(), &AccountModel::dataChanged);
        const int id = m_model->createJournalEntry("2025-04-10", "إيجار نيسان", "manual", 0,
                                                   {line(2, 100, 0), line(8, 0, credit)});
        QCOMPARE(id > 0, accepted);
        QCOMPARE(changed.count(), accepted ? 1 : 0);
        QCOMPARE(m_t->count("journal_entries"), accepted ? 1 : 0);
        QCOMPARE(m_t->count("journal_lines"), accepted ? 2 : 0);
        QCOMPARE(balance(2), accepted ? 100.0 : 0.0);
        QCOMPARE(balance(8), -stored);
    }

    void entriesListTheirLinesAsText()
    {
        m_model->createJournalEntry("2025-04-10", "إيجار", "manual", 0,
                                    {line(2, 250, 0), line(8, 0, 250)});
        m_model->createJournalEntry("2025-05-02", "صيانة", "manual", 7,
                                    {line(12, 40.5, 0), line(2, 0, 40.5)});
        // An entry without lines would stand in the journal with nothing in it.
        QCOMPARE(m_model->createJournalEntry("2025-06-01", "بلا بنود", "manual", 0, {}), -1);
        QVERIFY(!m_model->lastError().isEmpty());
        const QVariantList all = m_model->getJournalEntries();
        QCOMPARE(all.size(), 2);
        QCOMPARE(all[0].toMap()["description"].toString(), "صيانة");
        QCOMPARE(all[0].toMap()["reference_id"].toInt(), 7);
        // Account, debit and credit of each line; the amounts as the engine
        // writes a number (250.0 in a file, 250 on a server).
        QStringList lines;
        for (const QString& item : all[1].toMap()["lines"].toString().split(',')) {
            const QStringList parts = item.split(':');
            QCOMPARE(parts.size(), 3);
            lines << parts[0] + ':' + QString::number(parts[1].toDouble()) + ':' +
                         QString::number(parts[2].toDouble());
        }
        QCOMPARE(lines.join(','), "النقدية:250:0,إيرادات الإيجار:0:250");
        QCOMPARE(m_model->getJournalEntries("2025-04-01", "2025-04-30").size(), 1);
        QCOMPARE(m_model->getJournalEntries("2025-05-01").size(), 2); // one-sided: everything
    }

    void typedReferenceIsStoredWithTheEntry()
    {
        const int withRef = m_model->createJournalEntry(
            "2025-04-10", "سند قبض", "manual", 0, {line(2, 80, 0), line(8, 0, 80)}, "  سند 42 ");
        const int without = m_model->createJournalEntry("2025-04-11", "بلا مرجع", "manual", 0,
                                                        {line(2, 5, 0), line(8, 0, 5)});
        QVERIFY(withRef > 0 && without > 0);
        QCOMPARE(
            m_t->value("SELECT reference FROM journal_entries WHERE id=?", {withRef}).toString(),
            QStringLiteral("سند 42"));
        QVERIFY(m_t->value("SELECT reference FROM journal_entries WHERE id=?", {without}).isNull());
        QCOMPARE(m_model->getJournalEntries()[1].toMap()["reference"].toString(), "سند 42");
    }

    void regressionBadLineRollsBackWholeEntry()
    {
        QSignalSpy changed(m_model.get(), &AccountModel::dataChanged);
        QCOMPARE(m_model->createJournalEntry("2025-04-10", "حساب مفقود", "manual", 0,
                                             {line(2, 100, 0), line(999, 0, 100)}),
                 -1);
        QVariantMap noAccount = line(8, 0, 100);
        noAccount.remove("account_id");
        QCOMPARE(m_model->createJournalEntry("2025-04-10", "بلا حساب", "manual", 0,
                                             {line(2, 100, 0), noAccount}),
                 -1);
        QCOMPARE(m_t->count("journal_entries"), 0);
        QCOMPARE(m_t->count("journal_lines"), 0);
        QCOMPARE(balance(2), 0.0);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m_t->db()->transactionDepth(), 0);
    }

    void regressionMissingAmountIsStoredAsZero()
    {
        QVariantMap debitOnly = line(12, 60, 0);
        debitOnly.remove("credit");
        QVERIFY(m_model->createJournalEntry("2025-03-03", "صيانة", "manual", 0,
                                            {debitOnly, line(2, 0, 60)}) > 0);
        QCOMPARE(m_t->value("SELECT credit FROM journal_lines WHERE account_id=12").toDouble(),
                 0.0);
        QCOMPARE(m_model->getProfitLoss("2025-03-01", "2025-03-31")["expenses"].toDouble(), 60.0);
    }

    void profitLossAndBalanceSheet()
    {
        m_model->createJournalEntry("2025-04-10", "إيجار", "manual", 0,
                                    {line(2, 500, 0), line(8, 0, 500)});
        m_model->createJournalEntry("2025-04-20", "صيانة", "manual", 0,
                                    {line(12, 120, 0), line(5, 0, 120)});
        m_model->createJournalEntry("2025-05-01", "رأس مال", "manual", 0,
                                    {line(2, 300, 0), line(6, 0, 300)});
        const QVariantMap april = m_model->getProfitLoss("2025-04-01", "2025-04-30");
        QCOMPARE(april["revenue"].toDouble(), 500.0);
        QCOMPARE(april["expenses"].toDouble(), 120.0);
        QCOMPARE(april["net_profit"].toDouble(), 380.0);
        const QVariantMap june = m_model->getProfitLoss("2025-06-01", "2025-06-30");
        QCOMPARE(june["revenue"].toDouble(), 0.0);
        QCOMPARE(june["net_profit"].toDouble(), 0.0);

        m_t->db()->execNonQuery(
            "UPDATE accounts SET balance=-50 WHERE id=3"); // receivables in credit
        const QVariantMap sheet = m_model->getBalanceSheet();
        QCOMPARE(sheet["assets"].toDouble(), 750.0);
        QCOMPARE(sheet["liabilities"].toDouble(), 120.0);
        QCOMPARE(sheet["equity"].toDouble(), 300.0);
        // Revenue less expenses to date closes the sheet; the 50 set by hand
        // with no entry behind it is what stays unexplained.
        QCOMPARE(sheet["profit"].toDouble(), 380.0);
        QCOMPARE(sheet["difference"].toDouble(), -50.0);
    }

    void addAccount()
    {
        QSignalSpy changed(m_model.get(), &AccountModel::dataChanged);
        const int id = m_model->add("1400", "تأمينات مستردة", "asset", 1);
        QVERIFY(id > 0);
        QCOMPARE(m_t->db()->getById("accounts", id)["parent_id"].toInt(), 1);
        QVERIFY(m_t->db()
                    ->getById("accounts", m_model->add("7000", "أخرى", "expense", 0))["parent_id"]
                    .isNull());
        QCOMPARE(m_model->add("1400", "مكرر", "asset", 0), -1);
        // The cheques account the ledger adds already holds its code.
        QCOMPARE(m_model->add("1300", "مكرر", "asset", 0), -1);
        QCOMPARE(changed.count(), 0);
        // 1000, 1100, 1110 (bank), 1200, 1300, then the new one.
        QCOMPARE(m_model->getAll()[5].toMap()["code"].toString(), "1400");
    }

private:
    double balance(int account) const
    {
        return m_t->value("SELECT balance FROM accounts WHERE id=?", {account}).toDouble();
    }

    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<AccountModel> m_model;
};

QTEST_GUILESS_MAIN(TestAccountModel)
#include "tst_accountmodel.moc"
