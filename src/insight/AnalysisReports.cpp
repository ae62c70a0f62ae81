#include "insight/AnalysisReports.h"

#include "core/ConvertedTotal.h"
#include "core/Database.h"
#include "core/Money.h"
#include "core/OfficeFigures.h"
#include "insight/DateRange.h"
#include "insight/DueCheques.h"
#include "insight/InsightDates.h"
#include "insight/PrintHtml.h"
#include "insight/ProfitabilityReports.h"
#include "insight/StatementReports.h"

#include <cmath>

namespace {

// Amounts in the texts: rounded to whole units, thousands grouped as every
// other figure shows them, never in exponent form (and -0.4 is "0", not "-0").
QString wholeText(double value)
{
    return PrintHtml::grouped(std::round(value) + 0.0, 0);
}

QString oneDecimalText(double value)
{
    return QString::number(std::round(value * 10.0) / 10.0 + 0.0, 'f', 1);
}

// The rates a figure still waits for, after its text.
QString missingText(const QVariantMap& figure)
{
    const QStringList missing = figure.value(QStringLiteral("missing")).toStringList();
    return missing.isEmpty() ? QString()
                             : QStringLiteral(" (غير مكتمل: ") +
                                   missing.join(QStringLiteral("؛ ")) + QLatin1Char(')');
}

QVariantMap card(const QString& icon, const QString& title, const QString& description)
{
    return {{QStringLiteral("icon"), icon},
            {QStringLiteral("title"), title},
            {QStringLiteral("description"), description}};
}

} // namespace

AnalysisReports::AnalysisReports(Database* db)
    : m_db(db)
{}

QString AnalysisReports::primarySymbol()
{
    return m_db
        ->scalar(QStringLiteral("SELECT symbol FROM currencies WHERE is_primary=1 ORDER BY id "
                                "LIMIT 1"))
        .toString();
}

QVariantList AnalysisReports::insightCards()
{
    QVariantList cards;
    const QString today = InsightDates::isoDay();

    OfficeFigures figures(m_db, InsightDates::today());
    // The symbol is read once, whichever cards name it.
    QString symbol;
    const auto symbolOnce = [&] {
        if (symbol.isNull())
            symbol = primarySymbol();
        return symbol;
    };
    {
        const QVariantMap occupancy = figures.occupancy();
        const qint64 rented = occupancy.value(QStringLiteral("rented")).toLongLong();
        const qint64 total = occupancy.value(QStringLiteral("notSold")).toLongLong();
        const double rate = occupancy.value(QStringLiteral("percent")).toDouble();
        // Thresholds on the counts themselves: 80 of 100 is exactly 80 %.
        const bool excellent = total >= 1 && rented * 100 > total * 80;
        const bool fair = total >= 1 && rented * 100 > total * 50;
        cards.append(
            card(excellent ? QStringLiteral("✅")
                 : fair    ? QStringLiteral("⚠️")
                           : QStringLiteral("🔴"),
                 QStringLiteral("تحليل الإشغال"),
                 QStringLiteral("نسبة الإشغال %1% (%2/%3 وحدة). ")
                         .arg(wholeText(rate), QString::number(rented), QString::number(total)) +
                     (excellent ? QStringLiteral("أداء ممتاز!")
                                : QStringLiteral("يمكن تحسين الإشغال."))));
    }

    // Open invoices and unpaid instalments past their due day: the total the
    // alerts list item by item.
    const QVariantMap overdue = figures.overdueReceivables();
    const double overdueTotal = overdue.value(QStringLiteral("total")).toDouble();
    QVariantMap overdueCard =
        card(Money::toCents(overdueTotal) < 100000 ? QStringLiteral("✅") : QStringLiteral("🔴"),
             QStringLiteral("المستحقات المتأخرة"),
             QStringLiteral("إجمالي المتأخرات: %1 %2").arg(wholeText(overdueTotal), symbolOnce()) +
                 missingText(overdue));
    overdueCard.insert(QStringLiteral("amount"), overdueTotal);
    overdueCard.insert(QStringLiteral("mixedCurrencies"), false);
    cards.append(overdueCard);

    // Late instalments at the rate of their due day, cheques due within a
    // week at the rate on their due day, each in the primary currency.
    const QString primary = ConvertedTotal::primaryIdSql();
    const auto dueTotal = [&](const QString& amount, const QString& from,
                              const QVariantList& params, qint64* count) {
        ConvertedTotal total(&figures.rates());
        const QVariantList rows = m_db->execQuery(
            QStringLiteral("SELECT COALESCE(currency_id,") + primary +
                QStringLiteral(") as c, CASE WHEN currency_id=") + primary +
                QStringLiteral(" THEN '' ELSE due_date END as d, SUM(") + amount +
                QStringLiteral(") as t, COUNT(*) as n ") + from + QStringLiteral(" GROUP BY c, d"),
            params);
        total.addRows(rows);
        *count = 0;
        for (const QVariant& row : rows)
            *count += row.toMap().value(QStringLiteral("n")).toLongLong();
        return total.toMap();
    };
    qint64 lateCount = 0;
    const QVariantMap late =
        dueTotal(QStringLiteral("installment_amount-paid_amount"),
                 QStringLiteral("FROM installments WHERE status!='paid' AND due_date < ?"), {today},
                 &lateCount);
    if (lateCount >= 1)
        cards.append(card(QStringLiteral("⚠️"), QStringLiteral("أقساط متأخرة"),
                          QStringLiteral("%1 قسط متأخر بقيمة %2 %3")
                                  .arg(QString::number(lateCount),
                                       wholeText(late.value(QStringLiteral("total")).toDouble()),
                                       symbolOnce()) +
                              missingText(late)));

    // The cheques from the pending cheques kept per due day.
    qint64 chequeCount = 0;
    ConvertedTotal dueCheques(&figures.rates());
    const int primaryId = figures.rates().primaryId();
    DueCheques::forEachDay(
        m_db, QString(), QString(), InsightDates::isoDay(7), [&](QVector<QVariant>& row) {
            const int currency = row.at(0).isNull() ? 0 : row.at(0).toInt();
            const bool primaryRow = currency == 0 || currency == primaryId;
            dueCheques.add(currency, primaryRow ? QString() : row.at(1).toString(),
                           row.at(2).toDouble());
            chequeCount += row.at(3).toLongLong();
        });
    const QVariantMap cheques = dueCheques.toMap();
    if (chequeCount >= 1)
        cards.append(card(QStringLiteral("🎫"), QStringLiteral("شيكات مستحقة"),
                          QStringLiteral("%1 شيك مستحق خلال 7 أيام بقيمة %2 %3")
                                  .arg(QString::number(chequeCount),
                                       wholeText(cheques.value(QStringLiteral("total")).toDouble()),
                                       symbolOnce()) +
                              missingText(cheques)));
    return cards;
}

QVariantMap AnalysisReports::smartAnalysis()
{
    const QVariantMap profitLoss = ProfitabilityReports(m_db).profitLoss(DateRange());
    const double revenue = profitLoss.value(QStringLiteral("revenue")).toDouble();
    const double net = profitLoss.value(QStringLiteral("net_profit")).toDouble();

    // One set of figures (and of rates) for the occupancy and the overdue
    // money, and the symbol read once, whichever sentences name it.
    OfficeFigures figures(m_db, InsightDates::today());
    QString symbol;
    const auto symbolOnce = [&] {
        if (symbol.isNull())
            symbol = primarySymbol();
        return symbol;
    };
    const QVariantMap occupancyFigure = figures.occupancy();
    const double occupancy = occupancyFigure.value(QStringLiteral("percent")).toDouble();
    const qint64 total = occupancyFigure.value(QStringLiteral("notSold")).toLongLong();
    const qint64 occupied = occupancyFigure.value(QStringLiteral("rented")).toLongLong();

    QString text = QStringLiteral("### تحليل ذكاء الأعمال (Sakanova AI)\n\n");
    // Money thresholds are decided in whole cents: a margin that is 30 % but
    // for binary noise is not "above 30".
    if (Money::toCents(revenue) > 0) {
        const double margin = net / revenue * 100.0;
        text += QStringLiteral("✅ **الأداء المالي:** تحقق المنظومة حالياً إيرادات إجمالية قدرها "
                               "**%1 %2**. ")
                    .arg(wholeText(revenue), symbolOnce());
        text += QStringLiteral("بهامش ربح صافي يقدر بـ **%1%**. ").arg(oneDecimalText(margin));
        text += Money::toCents(margin) > 3000
                    ? QStringLiteral("هذا المؤشر ممتاز ويدل على كفاءة تشغيلية عالية.\n\n")
                    : QStringLiteral("يُنصح بمراجعة المصاريف التشغيلية لزيادة هامش الربح.\n\n");
    } else {
        text +=
            QStringLiteral("⚠️ لا توجد بيانات مالية كافية لتحليل "
                           "الإيرادات "
                           "حالياً.\n\n");
    }

    text += QStringLiteral("📊 **حالة المحفظة العقارية:** نسبة الإشغال الحالية هي **%1%**. ")
                .arg(oneDecimalText(occupancy));
    text += occupied * 100 < total * 70 || total < 1
                ? QStringLiteral("هناك مساحة كبيرة للنمو، يُنصح بتكثيف النشاط التسويقي للوحدات "
                                 "المتاحة.\n\n")
                : QStringLiteral("المحفظة في حالة صحية جيدة جداً من حيث الإشغال.\n\n");

    text += QStringLiteral("💡 **توصيات ذكية:**\n");
    const QVariantMap overdueFigure = figures.overdueReceivables();
    const qint64 overdue = overdueFigure.value(QStringLiteral("count")).toLongLong();
    if (overdue > 0)
        text += QStringLiteral("- هناك **%1** دفعات متأخرة بقيمة **%2 %3**. يُفضل التواصل مع "
                               "العملاء لتحصيلها لضمان تدفق نقدي مستقر.\n")
                    .arg(QString::number(overdue),
                         wholeText(overdueFigure.value(QStringLiteral("total")).toDouble()),
                         symbolOnce());
    const qint64 cheques = DueCheques::countUpTo(m_db, InsightDates::isoDay(7));
    if (cheques > 0)
        text += QStringLiteral("- تنبيه: يوجد **%1** شيكات تستحق خلال الأسبوع القادم. تأكد من "
                               "توفر السيولة أو متابعة التحصيل.\n")
                    .arg(cheques);

    return {{QStringLiteral("text"), text},
            {QStringLiteral("occupancy"), occupancy},
            {QStringLiteral("overdue"), overdueFigure.value(QStringLiteral("total"))},
            {QStringLiteral("mixedCurrencies"), false}};
}
