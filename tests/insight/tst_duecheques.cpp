// The pending cheques due per day, as kept by the file, against the same
// figures added up from the cheques themselves.
#include "TestDatabase.h"

#include "insight/DueCheques.h"

#include <QtTest>

namespace {

// Every row as "currency|day|count|amount in mills", sorted.
QString rowsOf(const std::function<bool(const DueCheques::RowHandler&)>& read)
{
    QStringList rows;
    const bool ok = read([&rows](QVector<QVariant>& row) {
        rows << QStringLiteral("%1|%2|%3|%4")
                    .arg(row.at(0).isNull() ? QStringLiteral("-") : row.at(0).toString(),
                         row.at(1).toString(), row.at(3).toString())
                    .arg(qRound64(row.at(2).toDouble() * 1000));
    });
    if (!ok)
        return QStringLiteral("read failed");
    rows.sort();
    return rows.join(QLatin1Char('\n'));
}

} // namespace

class TestDueCheques : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_t = std::make_unique<TestDatabase>();
        // Received and issued cheques over two years in three currencies
        // and none, pending, cleared, bounced or without a status, some
        // without a due day; a dinar amount keeps its third decimal.
        QVERIFY(m_t->db()->execNonQuery(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<400) "
            "INSERT INTO cheques (cheque_number, type, amount, status, currency_id, due_date, "
            "payer_name) SELECT 'شيك-'||i, CASE WHEN i%4=0 THEN 'issued' ELSE 'received' END, "
            "CASE WHEN i%3=0 THEN 250.125 ELSE 1000+i*7.35 END, CASE i%5 WHEN 0 THEN 'cleared' "
            "WHEN 1 THEN 'bounced' WHEN 2 THEN NULL ELSE 'pending' END, CASE i%3 WHEN 0 THEN 3 "
            "WHEN 1 THEN 2 ELSE CASE WHEN i%2=0 THEN NULL ELSE 1 END END, CASE WHEN i%17=0 "
            "THEN NULL ELSE date('2025-01-01', '+'||(i*2)||' days') END, 'خالد يوسف' FROM n")));
    }
    void cleanup() { m_t.reset(); }

    // After every kind of change the kept days give what the scan gives,
    // for each type and span, and the count up to a day agrees.
    void keptDaysEqualTheScan_data()
    {
        QTest::addColumn<QStringList>("changes");
        QTest::newRow("as written") << QStringList();
        QTest::newRow("cheques cashed and returned")
            << QStringList{QStringLiteral("UPDATE cheques SET status='cleared' WHERE id%3=0"),
                           QStringLiteral("UPDATE cheques SET status='bounced' WHERE id%7=0")};
        QTest::newRow("cheques back to pending, retyped and redated") << QStringList{
            QStringLiteral("UPDATE cheques SET status='pending' WHERE status IS NULL"),
            QStringLiteral("UPDATE cheques SET type='issued' WHERE id%10=1"),
            QStringLiteral("UPDATE cheques SET due_date=date(due_date,'+40 days') "
                           "WHERE id%6=0"),
            QStringLiteral("UPDATE cheques SET due_date=NULL WHERE id%11=0"),
            QStringLiteral("UPDATE cheques SET due_date='2025-03-03' WHERE due_date "
                           "IS NULL")};
        QTest::newRow("amounts and currencies change, cheques removed")
            << QStringList{QStringLiteral("UPDATE cheques SET amount=amount+0.25, "
                                          "currency_id=2 WHERE id%9=0"),
                           QStringLiteral("UPDATE cheques SET currency_id=NULL WHERE id%13=0"),
                           QStringLiteral("DELETE FROM cheques WHERE id%8=0")};
    }
    void keptDaysEqualTheScan()
    {
        QFETCH(QStringList, changes);
        Database* db = m_t->db();
        for (const QString& change : changes)
            QVERIFY2(db->execNonQuery(change), qPrintable(change));
        const QList<QPair<QString, QString>> spans = {
            {QString(), QStringLiteral("2026-12-31")},
            {QStringLiteral("2025-02-01"), QStringLiteral("2025-06-30")},
            {QStringLiteral("2025-03-03"), QStringLiteral("2025-03-03")},
        };
        for (const QString& type :
             {QString(), QStringLiteral("received"), QStringLiteral("issued")}) {
            for (const auto& [from, to] : spans) {
                const QString kept = rowsOf([&](const DueCheques::RowHandler& onRow) {
                    return DueCheques::forEachDay(db, type, from, to, onRow);
                });
                const QString scanned = rowsOf([&](const DueCheques::RowHandler& onRow) {
                    return DueCheques::forEachDayScanned(db, type, from, to, onRow);
                });
                if (from.isEmpty())
                    QVERIFY2(!scanned.isEmpty(), qPrintable(type));
                QCOMPARE(kept, scanned);
            }
        }
        for (const QString& to : {QStringLiteral("2024-12-31"), QStringLiteral("2025-04-10"),
                                  QStringLiteral("2026-12-31")})
            QCOMPARE(DueCheques::countUpTo(db, to),
                     m_t->value(QStringLiteral("SELECT COUNT(*) FROM cheques WHERE "
                                               "status='pending' AND due_date <= ?"),
                                {to})
                         .toLongLong());
    }

private:
    std::unique_ptr<TestDatabase> m_t;
};

QTEST_GUILESS_MAIN(TestDueCheques)
#include "tst_duecheques.moc"
