#include "TestDatabase.h"

#include "core/Names.h"
#include "core/Reasons.h"
#include "finance/BuyerModel.h"
#include "rental/PropertyModel.h"
#include "rental/TenantModel.h"

#include <QTest>

class TestNames : public QObject
{
    Q_OBJECT

private slots:
    void blankLookingNamesAreBlank_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("blank");
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("blanks and a tab") << QStringLiteral("  \t ") << true;
        QTest::newRow("zero-width space") << QStringLiteral("\u200B") << true;
        QTest::newRow("zero-width joiners") << QStringLiteral("\u200C\u200D\u200C") << true;
        QTest::newRow("direction marks") << QStringLiteral("\u200F\u200E\u202B\u202C") << true;
        QTest::newRow("byte-order mark and no-break space")
            << QStringLiteral("\uFEFF\u00A0") << true;
        QTest::newRow("control characters") << QStringLiteral("\u0001\u001F\u007F") << true;
        QTest::newRow("Hangul filler") << QStringLiteral("\u3164") << true;
        QTest::newRow("Arabic name") << QStringLiteral("سامي الخطيب") << false;
        QTest::newRow("Arabic name with a non-joiner inside")
            << QStringLiteral("\u200Fعبد\u200Cالله") << false;
        QTest::newRow("a single digit") << QStringLiteral("7") << false;
    }
    void blankLookingNamesAreBlank()
    {
        QFETCH(QString, name);
        QFETCH(bool, blank);
        QCOMPARE(Names::isBlank(name), blank);
        QCOMPARE(Names::problem(name) == Reasons::blankName(), blank);
    }

    void lengthIsBounded()
    {
        const QString longest(Names::kMaxLength, QChar(0x0633));
        QCOMPARE(Names::problem(longest), QString());
        QCOMPARE(Names::problem(QStringLiteral("  ") + longest + QStringLiteral("  ")), QString());
        QCOMPARE(Names::problem(longest + QChar(0x0645)), Reasons::nameTooLong(Names::kMaxLength));
    }

    // Every model that stores a name refuses the same names and stores nothing.
    void modelsRefuseBlankAndOverlongNames()
    {
        TestDatabase fixture;
        TenantModel tenants(fixture.db());
        PropertyModel properties(fixture.db());
        BuyerModel buyers(fixture.db());
        const QString invisible = QStringLiteral("\u200B\u200D");
        const QString overlong(Names::kMaxLength + 1, QChar(0x0644));

        for (const QString& name : {invisible, overlong}) {
            const QString reason = Names::problem(name);
            QCOMPARE(tenants.add(name, QString(), QString(), QString(), QString()), -1);
            QCOMPARE(tenants.lastError(), reason);
            QCOMPARE(properties.add(name, QStringLiteral("residential"), QString(), QString(),
                                    QString()),
                     -1);
            QCOMPARE(properties.lastError(), reason);
            QCOMPARE(buyers.add(name, QString(), QString(), QString(), QString()), -1);
            QCOMPARE(buyers.lastError(), reason);
        }
        QCOMPARE(fixture.count(QStringLiteral("tenants")), 0);
        QCOMPARE(fixture.count(QStringLiteral("properties")), 0);
        QCOMPARE(fixture.count(QStringLiteral("buyers")), 0);
        QVERIFY(tenants.add(QStringLiteral("ليلى حداد"), QString(), QString(), QString(),
                            QString()) > 0);
    }
};

QTEST_GUILESS_MAIN(TestNames)
#include "tst_names.moc"
