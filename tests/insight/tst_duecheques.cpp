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
        const QDate first(2025, 1, 1);
        for (int i = 1; i <= 400; ++i) {
            const QVariant status = i % 5 == 0   ? QVariant(QStringLiteral("cleared"))
                                    : i % 5 == 1 ? QVariant(QStringLiteral("bounced"))
                                    : i % 5 == 2 ? QVariant(QMetaType(QMetaType::QString))
                                                 : QVariant(QStringLiteral("pending"));
            const QVariant currency = i % 3 == 0   ? QVariant(3)
                                      : i % 3 == 1 ? QVariant(2)
                                      : i % 2 == 0 ? QVariant(QMetaType(QMetaType::Int))
                                                   : QVariant(1);
            const QVariant due = i % 17 == 0 ? QVariant(QMetaType(QMetaType::QString))
                                             : QVariant(first.addDays(2 * i).toString(Qt::ISODate));
            QVERIFY(m_t->db()->execNonQuery(
                QStringLiteral("INSERT INTO cheques (cheque_number, type, amount, status, "
                               "currency_id, due_date, payer_name) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                {QStringLiteral("شيك-%1").arg(i),
                 i % 4 == 0 ? QStringLiteral("issued") : QStringLiteral("received"),
                 i % 3 == 0 ? 250.125 : 1000 + i * 7.35, status, currency, due,
                 QStringLiteral("خالد يوسف")}));
        }
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
            QStringLiteral("UPDATE cheques SET due_date='2025-05-05' WHERE id%6=0"),
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
