#include "TestDatabase.h"

#include "core/SqlReader.h"

#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include <sqlite3.h>

// The reader stands in for QtSql on every read the pages make, so what it
// returns is checked against what QSqlQuery returns for the same statement on
// the same connection: names, value types, NULLs, bound values and errors.
namespace {

struct QtResult
{
    QStringList names;
    QList<QVector<QVariant>> rows;
    QString error;
};

QtResult readWithQtSql(Database* db, const QString& sql, const QVariantList& params = {})
{
    QtResult result;
    QSqlQuery query(db->connection());
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        result.error = query.lastError().text();
        return result;
    }
    for (const QVariant& value : params)
        query.addBindValue(value);
    if (!query.exec()) {
        result.error = query.lastError().text();
        return result;
    }
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        result.names << record.fieldName(i);
    while (query.next()) {
        QVector<QVariant> row;
        for (int i = 0; i < record.count(); ++i)
            row << query.value(i);
        result.rows << row;
    }
    return result;
}

// Empty when both are the same value of the same type, else what differs.
QString difference(const QVariant& actual, const QVariant& expected)
{
    if (actual.typeId() != expected.typeId() || actual.isNull() != expected.isNull() ||
        actual != expected || actual.toString().isNull() != expected.toString().isNull()) {
        return QStringLiteral("%1 (%2, null %3) instead of %4 (%5, null %6)")
            .arg(actual.toString(), QString::fromLatin1(actual.typeName()))
            .arg(actual.toString().isNull())
            .arg(expected.toString(), QString::fromLatin1(expected.typeName()))
            .arg(expected.toString().isNull());
    }
    return {};
}

// Rows of every kind of value: Arabic text, large integers, NULLs, bytes.
QList<QVariantList> sampleRows()
{
    return {
        {1, QStringLiteral("شقة ٣ – الطابق الثاني"), 1234.5, 7, QStringLiteral("نص"),
         QByteArray("\x01\x00\x02", 3)},
        {2, QStringLiteral("Villa 12"), 0.1, Q_INT64_C(9007199254740993), 42, QByteArray()},
        {3, QStringLiteral(""), -0.5, Q_INT64_C(9223372036854775807), 2.75, QByteArray("", 0)},
        {4, QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
        {5, QStringLiteral("42"), 1e300, -42, QStringLiteral("١٢٣"), QByteArray("x")},
    };
}

} // namespace

class TestSqlReader : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        // A table without declared types keeps every value as it was bound.
        QVERIFY(db()->execNonQuery(
            QStringLiteral("CREATE TABLE samples (id INTEGER PRIMARY KEY, label TEXT, amount REAL, "
                           "quantity INTEGER, anything, data BLOB)")));
        const QString insert = QStringLiteral(
            "INSERT INTO samples (id, label, amount, quantity, anything, data) VALUES "
            "(?,?,?,?,?,?)");
        for (const QVariantList& row : sampleRows())
            QVERIFY(db()->execInsert(insert, row) > 0);
    }
    void cleanup() { m_fixture.reset(); }

    void rowsMatchQtSql_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("firstType"); // type of the first column in the first row

        QTest::newRow("every stored type")
            << QStringLiteral("SELECT * FROM samples ORDER BY id") << int(QMetaType::LongLong);
        QTest::newRow("arabic and empty text")
            << QStringLiteral("SELECT label, anything FROM samples WHERE id IN (1, 3, 5)")
            << int(QMetaType::QString);
        QTest::newRow("integers beyond a double's precision")
            << QStringLiteral("SELECT quantity, quantity - 1 AS less FROM samples WHERE id IN "
                              "(2, 3)")
            << int(QMetaType::LongLong);
        QTest::newRow("real values") << QStringLiteral("SELECT amount, amount * 2 AS doubled FROM "
                                                       "samples WHERE amount IS NOT NULL")
                                     << int(QMetaType::Double);
        QTest::newRow("nulls in every column")
            << QStringLiteral("SELECT label, amount, quantity, anything, data FROM samples "
                              "WHERE id = 4")
            << int(QMetaType::QString);
        QTest::newRow("aggregates and expressions")
            << QStringLiteral("SELECT COUNT(*), SUM(s.amount), TOTAL(s.quantity), MAX(s.label), "
                              "s.id + 0.5 FROM samples s")
            << int(QMetaType::LongLong);
        QTest::newRow("qualified and quoted names")
            << QStringLiteral("SELECT s.label, s.id AS \"s.row\", 1 AS \"odd\"\"name\", "
                              "coalesce(s.label, 'بدون') FROM samples s ORDER BY s.id")
            << int(QMetaType::QString);
        QTest::newRow("equal names")
            << QStringLiteral("SELECT 1 AS a, 'ب' AS a, NULL AS a") << int(QMetaType::LongLong);
        QTest::newRow("no rows") << QStringLiteral("SELECT * FROM samples WHERE id < 0")
                                 << int(QMetaType::UnknownType);
    }

    void rowsMatchQtSql()
    {
        QFETCH(QString, sql);
        QFETCH(int, firstType);
        const QtResult expected = readWithQtSql(db(), sql);
        QVERIFY2(expected.error.isEmpty(), qPrintable(expected.error));

        SqlReader::Rows rows;
        QString error;
        QVERIFY2(db()->readRows(sql, {}, rows, &error), qPrintable(error));
        QCOMPARE(rows.columns, expected.names);
        QCOMPARE(rows.rows.size(), expected.rows.size());
        if (!rows.rows.isEmpty())
            QCOMPARE(rows.rows.first().first().typeId(), firstType);
        for (int r = 0; r < rows.rows.size(); ++r) {
            QCOMPARE(rows.rows.at(r).size(), expected.names.size());
            for (int c = 0; c < expected.names.size(); ++c) {
                const QString diff = difference(rows.rows.at(r).at(c), expected.rows.at(r).at(c));
                QVERIFY2(
                    diff.isEmpty(),
                    qPrintable(
                        QStringLiteral("row %1, %2: %3").arg(r).arg(expected.names.at(c), diff)));
            }
        }

        // The record maps hold the same values under the same names, the
        // later of two equal names winning.
        const QVariantList maps = db()->execQuery(sql);
        QCOMPARE(maps.size(), expected.rows.size());
        for (int r = 0; r < maps.size(); ++r) {
            QVariantMap wanted;
            for (int c = 0; c < expected.names.size(); ++c)
                wanted.insert(expected.names.at(c), expected.rows.at(r).at(c));
            const QVariantMap row = maps.at(r).toMap();
            QCOMPARE(row.keys(), wanted.keys());
            for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
                const QString diff = difference(row.value(it.key()), it.value());
                QVERIFY2(diff.isEmpty(), qPrintable(it.key() + QStringLiteral(": ") + diff));
            }
        }
        if (!expected.rows.isEmpty()) {
            const QString diff = difference(db()->scalar(sql), expected.rows.first().first());
            QVERIFY2(diff.isEmpty(), qPrintable(diff));
        } else {
            QVERIFY(!db()->scalar(sql).isValid());
        }
    }

    void parametersBindAsQtSqlBindsThem_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("storedAs");

        QTest::newRow("int") << QVariant(17) << QStringLiteral("integer");
        QTest::newRow("big integer")
            << QVariant(Q_INT64_C(9007199254740993)) << QStringLiteral("integer");
        QTest::newRow("unsigned") << QVariant(4000000000u) << QStringLiteral("integer");
        QTest::newRow("bool") << QVariant(true) << QStringLiteral("integer");
        QTest::newRow("double") << QVariant(2.5) << QStringLiteral("real");
        QTest::newRow("whole double") << QVariant(3.0) << QStringLiteral("real");
        QTest::newRow("arabic text")
            << QVariant(QStringLiteral("محمود عبد الله")) << QStringLiteral("text");
        QTest::newRow("empty text") << QVariant(QStringLiteral("")) << QStringLiteral("text");
        QTest::newRow("null text") << QVariant(QString()) << QStringLiteral("null");
        QTest::newRow("no value") << QVariant() << QStringLiteral("null");
        QTest::newRow("null from a page") << QVariant::fromValue(nullptr) << QStringLiteral("null");
        QTest::newRow("typed null")
            << QVariant(QMetaType::fromType<QString>()) << QStringLiteral("null");
        QTest::newRow("date") << QVariant(QDate(2031, 2, 28)) << QStringLiteral("text");
        QTest::newRow("invalid date") << QVariant(QDate()) << QStringLiteral("null");
        QTest::newRow("date and time")
            << QVariant(QDateTime(QDate(2030, 1, 5), QTime(9, 30, 15, 250)))
            << QStringLiteral("text");
        QTest::newRow("bytes") << QVariant(QByteArray("\x00\xff", 2)) << QStringLiteral("blob");
        QTest::newRow("float") << QVariant(1.25f) << QStringLiteral("text");
        QTest::newRow("list of text")
            << QVariant(QStringList{QStringLiteral("أ")}) << QStringLiteral("text");
    }

    void parametersBindAsQtSqlBindsThem()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, storedAs);
        const QString sql = QStringLiteral("SELECT typeof(?) AS stored, ? AS back");
        const QtResult expected = readWithQtSql(db(), sql, {value, value});
        QVERIFY2(expected.error.isEmpty(), qPrintable(expected.error));
        QCOMPARE(expected.rows.size(), 1);

        const QVariantList rows = db()->execQuery(sql, {value, value});
        QCOMPARE(rows.size(), 1);
        const QVariantMap row = rows.first().toMap();
        QCOMPARE(row.value(QStringLiteral("stored")).toString(), storedAs);
        QCOMPARE(row.value(QStringLiteral("stored")), expected.rows.first().at(0));
        const QString diff =
            difference(row.value(QStringLiteral("back")), expected.rows.first().at(1));
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }

    void parametersAreBoundInOrder()
    {
        const QVariantMap row = db()->execQuery(QStringLiteral("SELECT ? AS a, ? AS b, ? AS c"),
                                                {QStringLiteral("أول"), 2, 3.5})
                                    .value(0)
                                    .toMap();
        QCOMPARE(row.value(QStringLiteral("a")).toString(), QStringLiteral("أول"));
        QCOMPARE(row.value(QStringLiteral("b")).toLongLong(), 2);
        QCOMPARE(row.value(QStringLiteral("c")).toDouble(), 3.5);

        // The kept statement takes new values each time, in their order.
        const QString sql =
            QStringLiteral("SELECT id FROM samples WHERE label = ? AND quantity = ?");
        QCOMPARE(db()->scalar(sql, {QStringLiteral("شقة ٣ – الطابق الثاني"), 7}).toInt(), 1);
        QVERIFY(!db()->scalar(sql, {7, QStringLiteral("شقة ٣ – الطابق الثاني")}).isValid());
        QCOMPARE(db()->scalar(sql, {QStringLiteral("42"), -42}).toInt(), 5);
    }

    void keptStatementFollowsSchemaChanges()
    {
        SqlReader reader;
        reader.attach(m_fixture->sqliteHandle());
        const QString sql = QStringLiteral("SELECT * FROM samples WHERE id = ?");
        SqlReader::Rows rows;
        QCOMPARE(reader.readRows(sql, {1}, rows), SqlReader::Status::Done);
        QCOMPARE(rows.columns.size(), 6);

        QVERIFY(db()->execNonQuery(
            QStringLiteral("ALTER TABLE samples ADD COLUMN floor_name TEXT DEFAULT 'الأرضي'")));
        QCOMPARE(reader.readRows(sql, {1}, rows), SqlReader::Status::Done);
        QCOMPARE(rows.columns.size(), 7);
        QCOMPARE(rows.columns.last(), QStringLiteral("floor_name"));
        QCOMPARE(rows.rows.value(0).value(6).toString(), QStringLiteral("الأرضي"));

        // Same number of columns, another name: the names are read again too.
        QVERIFY(
            db()->execNonQuery(QStringLiteral("ALTER TABLE samples RENAME COLUMN label TO title")));
        QVariantList maps;
        QCOMPARE(reader.readMaps(sql, {1}, maps), SqlReader::Status::Done);
        QCOMPARE(maps.size(), 1);
        QVERIFY(!maps.first().toMap().contains(QStringLiteral("label")));
        QCOMPARE(maps.first().toMap().value(QStringLiteral("title")).toString(),
                 QStringLiteral("شقة ٣ – الطابق الثاني"));
        QCOMPARE(reader.keptStatements(), 1);

        // A table dropped under a kept statement is an error, not a crash.
        QVERIFY(db()->execNonQuery(QStringLiteral("DROP TABLE samples")));
        QCOMPARE(reader.readRows(sql, {1}, rows), SqlReader::Status::Failed);
        QVERIFY2(reader.errorText().contains(QLatin1String("no such table")),
                 qPrintable(reader.errorText()));
        QVERIFY(rows.rows.isEmpty());
    }

    void failedReadReportsWhyAndReturnsNothing_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QVariantList>("params");
        QTest::addColumn<bool>("sameTextAsQtSql");

        QTest::newRow("missing table")
            << QStringLiteral("SELECT * FROM no_such_table") << QVariantList() << true;
        QTest::newRow("syntax") << QStringLiteral("SELEC id FROM samples") << QVariantList()
                                << true;
        QTest::newRow("too few values")
            << QStringLiteral("SELECT * FROM samples WHERE id = ? AND label = ?") << QVariantList{1}
            << true;
        QTest::newRow("too many values")
            << QStringLiteral("SELECT * FROM samples WHERE id = ?") << QVariantList{1, 2} << true;
        QTest::newRow("two statements")
            << QStringLiteral("SELECT 1; DELETE FROM samples") << QVariantList() << true;
        QTest::newRow("failure on the first row")
            << QStringLiteral("SELECT abs(-9223372036854775807 - 1) FROM samples") << QVariantList()
            << true;
        // QtSql stopped quietly here and returned the rows before the failure.
        QTest::newRow("failure after some rows")
            << QStringLiteral("SELECT id, CASE WHEN id < ? THEN id ELSE abs(-9223372036854775807 "
                              "- 1) END AS v FROM samples ORDER BY id")
            << QVariantList{3} << false;
    }

    void failedReadReportsWhyAndReturnsNothing()
    {
        QFETCH(QString, sql);
        QFETCH(QVariantList, params);
        QFETCH(bool, sameTextAsQtSql);
        QSignalSpy errors(db(), &Database::databaseError);

        QVERIFY(db()->execQuery(sql, params).isEmpty());
        QCOMPARE(errors.count(), 1);
        const QString text = errors.first().first().toString();
        QVERIFY(!text.isEmpty());
        if (sameTextAsQtSql)
            QCOMPARE(text, readWithQtSql(db(), sql, params).error);
        else
            QVERIFY2(text.contains(QLatin1String("integer overflow")), qPrintable(text));

        // A single value needs only the first row, so only an earlier failure stops it.
        if (sameTextAsQtSql) {
            QVERIFY(!db()->scalar(sql, params).isValid());
            QCOMPARE(errors.count(), 2);
        } else {
            QCOMPARE(db()->scalar(sql, params).toInt(), 1);
            QCOMPARE(errors.count(), 1);
        }
        const int announced = int(errors.count());

        // The list read fails the same way without announcing it.
        SqlReader::Rows rows;
        QString error;
        QVERIFY(!db()->readRows(sql, params, rows, &error));
        QCOMPARE(error, text);
        QVERIFY(rows.rows.isEmpty() && rows.columns.isEmpty());
        QCOMPARE(errors.count(), announced);

        // Nothing was deleted by a second statement, and the connection reads on.
        QCOMPARE(m_fixture->count(QStringLiteral("samples")), 5);
        QCOMPARE(db()->execQuery(QStringLiteral("SELECT id FROM samples")).size(), 5);
    }

    // Writes sent through execQuery still run, through QtSql.
    void writesThroughExecQueryStillRun()
    {
        QSignalSpy errors(db(), &Database::databaseError);
        const QVariantList returned = db()->execQuery(
            QStringLiteral("UPDATE samples SET label = ? WHERE id = 2 RETURNING id, label"),
            {QStringLiteral("فيلا ١٢")});
        QCOMPARE(returned.size(), 1);
        QCOMPARE(returned.first().toMap().value(QStringLiteral("label")).toString(),
                 QStringLiteral("فيلا ١٢"));
        QCOMPARE(
            m_fixture->value(QStringLiteral("SELECT label FROM samples WHERE id = 2")).toString(),
            QStringLiteral("فيلا ١٢"));
        QCOMPARE(errors.count(), 0);
    }

    // Writes kept prepared (postings, payments) store what QtSql stores,
    // fail as it fails without leaving the statement stuck, and never keep
    // the file from closing or the connection from opening again.
    void keptWritesStoreWhatQtSqlStoresAndLetTheFileClose()
    {
        QSignalSpy errors(db(), &Database::databaseError);
        const QString copy = QStringLiteral(
            "INSERT INTO samples (id, label, amount, quantity, anything, data) VALUES "
            "(?,?,?,?,?,?)");
        // The rows QtSql wrote, written again under id + 20.
        for (QVariantList row : sampleRows()) {
            const int id = row.first().toInt() + 20;
            row.first() = id;
            QCOMPARE(db()->execKept(copy, row), id);
        }
        const QString stored = QStringLiteral(
            "SELECT group_concat(quote(label)||typeof(amount)||quote(amount)||quote(quantity)||"
            "typeof(anything)||quote(anything)||quote(data), '|') FROM samples WHERE id BETWEEN ? "
            "AND ? ORDER BY id");
        QCOMPARE(m_fixture->value(stored, {21, 25}).toString(),
                 m_fixture->value(stored, {1, 5}).toString());

        // A refused write says what QtSql says, and the kept statement writes on.
        const QVariantList duplicate{21, QStringLiteral("مكرر"), 1.0, 1, 1, QVariant()};
        QCOMPARE(db()->execKept(copy, duplicate), -1);
        QCOMPARE(errors.count(), 1);
        QSqlQuery qt(db()->connection());
        QVERIFY(qt.prepare(copy));
        for (const QVariant& value : duplicate)
            qt.addBindValue(value);
        QVERIFY(!qt.exec());
        QCOMPARE(errors.first().first().toString(), qt.lastError().text());
        QVERIFY(db()->execKept(QStringLiteral("UPDATE samples SET label=? WHERE id=?"),
                               {QStringLiteral("فيلا ٢١"), 21}) >= 0);
        QCOMPARE(db()->execKept(copy, {26, QStringLiteral("مخزن"), 2.5, 3, QVariant(), QVariant()}),
                 26);

        // Kept writes let the file close, and write again once it is open.
        QVERIFY(db()->checkpointAndClose());
        QVERIFY(db()->reopen(false));
        QCOMPARE(db()->execKept(copy, {27, QStringLiteral("سطح"), 1.0, 1, QVariant(), QVariant()}),
                 27);
        QCOMPARE(
            m_fixture->value(QStringLiteral("SELECT label FROM samples WHERE id=21")).toString(),
            QStringLiteral("فيلا ٢١"));
        QCOMPARE(m_fixture->count(QStringLiteral("samples")), 12);
        QCOMPARE(errors.count(), 1);
    }

private:
    Database* db() const { return m_fixture->db(); }
    std::unique_ptr<TestDatabase> m_fixture;
};

QTEST_GUILESS_MAIN(TestSqlReader)
#include "tst_sqlreader.moc"
