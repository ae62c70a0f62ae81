#include "insight/ArabicWords.h"

#include <QTest>

// The amounts a receipt writes out in words.
class TestArabicWords : public QObject
{
    Q_OBJECT

private slots:
    void numbers_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("words");
        QTest::newRow("zero") << qint64(0) << QStringLiteral("صفر");
        QTest::newRow("one") << qint64(1) << QStringLiteral("واحد");
        QTest::newRow("two") << qint64(2) << QStringLiteral("اثنان");
        QTest::newRow("ten") << qint64(10) << QStringLiteral("عشرة");
        QTest::newRow("eleven") << qint64(11) << QStringLiteral("أحد عشر");
        QTest::newRow("twelve") << qint64(12) << QStringLiteral("اثنا عشر");
        QTest::newRow("twenty") << qint64(20) << QStringLiteral("عشرون");
        QTest::newRow("twenty-one") << qint64(21) << QStringLiteral("واحد وعشرون");
        QTest::newRow("ninety-nine") << qint64(99) << QStringLiteral("تسعة وتسعون");
        QTest::newRow("hundred") << qint64(100) << QStringLiteral("مائة");
        QTest::newRow("two hundred") << qint64(200) << QStringLiteral("مائتان");
        QTest::newRow("three hundred and five") << qint64(305) << QStringLiteral("ثلاثمائة وخمسة");
        QTest::newRow("thousand") << qint64(1000) << QStringLiteral("ألف");
        QTest::newRow("two thousand") << qint64(2000) << QStringLiteral("ألفان");
        QTest::newRow("rent of 2500") << qint64(2500) << QStringLiteral("ألفان وخمسمائة");
        QTest::newRow("three thousand: plural") << qint64(3000) << QStringLiteral("ثلاثة آلاف");
        QTest::newRow("ten thousand: plural") << qint64(10000) << QStringLiteral("عشرة آلاف");
        QTest::newRow("eleven thousand: counted form")
            << qint64(11000) << QStringLiteral("أحد عشر ألفاً");
        QTest::newRow("hundred thousand") << qint64(100000) << QStringLiteral("مائة ألف");
        QTest::newRow("two hundred thousand: construct form")
            << qint64(200000) << QStringLiteral("مائتا ألف");
        QTest::newRow("103 thousand") << qint64(103000) << QStringLiteral("مائة وثلاثة آلاف");
        QTest::newRow("a price with every group")
            << qint64(1250750) << QStringLiteral("مليون ومائتان وخمسون ألفاً وسبعمائة وخمسون");
        QTest::newRow("three million") << qint64(3000000) << QStringLiteral("ثلاثة ملايين");
        QTest::newRow("two billion") << qint64(2000000000) << QStringLiteral("ملياران");
        QTest::newRow("negative reads as its size") << qint64(-15) << QStringLiteral("خمسة عشر");
    }
    void numbers()
    {
        QFETCH(qint64, value);
        QFETCH(QString, words);
        QCOMPARE(ArabicWords::number(value), words);
    }

    void amounts_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("currency");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("words");
        QTest::newRow("whole shekels") << 2500.0 << QStringLiteral("شيكل") << 2
                                       << QStringLiteral("فقط ألفان وخمسمائة شيكل لا غير");
        QTest::newRow("cents as hundredths")
            << 1200.5 << QStringLiteral("دولار") << 2
            << QStringLiteral("فقط ألف ومائتان دولار و50/100 لا غير");
        // Regression guard: 0.1 + 0.2 style noise must not lose a cent.
        QTest::newRow("binary noise rounds to the cent")
            << (0.1 + 0.2) * 100 << QStringLiteral("شيكل") << 2
            << QStringLiteral("فقط ثلاثون شيكل لا غير");
        QTest::newRow("one cent") << 7.01 << QStringLiteral("دينار أردني") << 2
                                  << QStringLiteral("فقط سبعة دينار أردني و01/100 لا غير");
        QTest::newRow("no currency name")
            << 3.0 << QString() << 2 << QStringLiteral("فقط ثلاثة لا غير");
        // A dinar keeps three decimals: its fils are thousandths, never rounded
        // to a cent.
        QTest::newRow("dinar fils as thousandths")
            << 12.345 << QStringLiteral("دينار أردني") << 3
            << QStringLiteral("فقط اثنا عشر دينار أردني و345/1000 لا غير");
        QTest::newRow("dinar with a few fils")
            << 7.005 << QStringLiteral("دينار أردني") << 3
            << QStringLiteral("فقط سبعة دينار أردني و005/1000 لا غير");
        QTest::newRow("whole dinars") << 40.0 << QStringLiteral("دينار أردني") << 3
                                      << QStringLiteral("فقط أربعون دينار أردني لا غير");
    }
    void amounts()
    {
        QFETCH(double, amount);
        QFETCH(QString, currency);
        QFETCH(int, decimals);
        QFETCH(QString, words);
        QCOMPARE(ArabicWords::amount(amount, currency, decimals), words);
    }
};

QTEST_APPLESS_MAIN(TestArabicWords)
#include "tst_arabicwords.moc"
