#include "insight/AnalysisReports.h"

#include "core/Database.h"
#include "core/Money.h"
#include "core/SqlValue.h"
#include "insight/DateRange.h"
#include "insight/InsightDates.h"
#include "insight/MoneySums.h"
#include "insight/ProfitabilityReports.h"
#include "insight/StatementReports.h"

#include <cmath>

namespace {

// Amounts in the texts: rounded to whole units, fixed notation, so a large
// revenue never appears in exponent form (and -0.4 is "0", not "-0").
QString wholeText(double value)
{
    return QString::number(std::round(value) + 0.0, 'f', 0);
}

QString oneDecimalText(double value)
{
    return QString::number(std::round(value * 10.0) / 10.0 + 0.0, 'f', 1);
}

QVariantMap card(const QString& icon, const QString& title, const QString& description)
{
    return {{QStringLiteral("icon"), icon},
            {QStringLiteral("title"), title},
            {QStringLiteral("description"), description}};
}

QVariantMap moneyCard(const QString& icon, const QString& title, const QString& description,
                      const QVariant& currencies)
{
    QVariantMap map = card(icon, title, description);
    map.insert(QStringLiteral("mixedCurrencies"), MoneySums::mixed(currencies));
    return map;
}

} // namespace

AnalysisReports::AnalysisReports(Database* db)
    : m_db(db)
{}

QVariantList AnalysisReports::insightCards()
{
    QVariantList cards;
    const QString today = InsightDates::isoDay();

    const QVariantList units = m_db->execQuery(QStringLiteral(
        "SELECT COUNT(*) as total, SUM(CASE WHEN status='rented' THEN 1 ELSE 0 END) as rented, "
        "SUM(CASE WHEN status='sold' THEN 1 ELSE 0 END) as sold FROM units"));
    if (!units.isEmpty()) {
        const QVariantMap row = units.first().toMap();
        const qint64 total = row.value(QStringLiteral("total")).toLongLong();
        const qint64 rented = row.value(QStringLiteral("rented")).toLongLong();
        const double rate = total >= 1 ? static_cast<double>(rented) / total * 100.0 : 0.0;
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

    const QVariantList rent = m_db->execQuery(
        QStringLiteral("SELECT COALESCE(SUM(balance),0) as overdue, GROUP_CONCAT(DISTINCT "
                       "currency_id) as cur FROM invoices WHERE status!='paid' AND "
                       "status!='void' AND due_date < ?"),
        {today});
    if (!rent.isEmpty()) {
        const QVariantMap row = rent.first().toMap();
        const double overdue = row.value(QStringLiteral("overdue")).toDouble();
        cards.append(
            moneyCard(Money::toCents(overdue) < 100000 ? QStringLiteral("✅") : QStringLiteral("🔴"),
                      QStringLiteral("المستحقات المتأخرة"),
                      QStringLiteral("إجمالي المتأخرات: %1 ₪").arg(wholeText(overdue)),
                      row.value(QStringLiteral("cur"))));
    }

    const QVariantMap installments = SqlValue::firstRow(m_db->execQuery(
        QStringLiteral("SELECT COUNT(*) as c, COALESCE(SUM(installment_amount-paid_amount),0) as "
                       "t, GROUP_CONCAT(DISTINCT currency_id) as cur FROM installments WHERE "
                       "status!='paid' AND due_date < ?"),
        {today}));
    if (installments.value(QStringLiteral("c")).toLongLong() >= 1)
        cards.append(
            moneyCard(QStringLiteral("⚠️"), QStringLiteral("أقساط متأخرة"),
                      QStringLiteral("%1 قسط متأخر بقيمة %2 ₪")
                          .arg(installments.value(QStringLiteral("c")).toString(),
                               wholeText(installments.value(QStringLiteral("t")).toDouble())),
                      installments.value(QStringLiteral("cur"))));

    const QVariantMap cheques = SqlValue::firstRow(m_db->execQuery(
        QStringLiteral("SELECT COUNT(*) as c, COALESCE(SUM(amount),0) as t, GROUP_CONCAT(DISTINCT "
                       "currency_id) as cur FROM cheques WHERE status='pending' AND due_date <= ?"),
        {InsightDates::isoDay(7)}));
    if (cheques.value(QStringLiteral("c")).toLongLong() >= 1)
        cards.append(moneyCard(QStringLiteral("🎫"), QStringLiteral("شيكات مستحقة"),
                               QStringLiteral("%1 شيك مستحق خلال 7 أيام بقيمة %2")
                                   .arg(cheques.value(QStringLiteral("c")).toString(),
                                        wholeText(cheques.value(QStringLiteral("t")).toDouble())),
                               cheques.value(QStringLiteral("cur"))));
    return cards;
}

QVariantMap AnalysisReports::smartAnalysis()
{
    const QVariantMap profitLoss = ProfitabilityReports(m_db).profitLoss(DateRange());
    const double revenue = profitLoss.value(QStringLiteral("revenue")).toDouble();
    const double net = profitLoss.value(QStringLiteral("net_profit")).toDouble();

    // Rented and sold units both count as taken here.
    qint64 total = 0;
    qint64 occupied = 0;
    const QVariantList statuses = m_db->execQuery(
        QStringLiteral("SELECT status, COUNT(*) as cnt FROM units GROUP BY status"));
    for (const QVariant& value : statuses) {
        const QVariantMap row = value.toMap();
        const qint64 count = row.value(QStringLiteral("cnt")).toLongLong();
        const QString status = row.value(QStringLiteral("status")).toString();
        total += count;
        if (status == QLatin1String("rented") || status == QLatin1String("sold"))
            occupied += count;
    }
    const double occupancy = total >= 1 ? static_cast<double>(occupied) / total * 100.0 : 0.0;

    QString text = QStringLiteral("### تحليل ذكاء الأعمال (Sakanova AI)\n\n");
    // Money thresholds are decided in whole cents: a margin that is 30 % but
    // for binary noise is not "above 30".
    if (Money::toCents(revenue) > 0) {
        const double margin = net / revenue * 100.0;
        text += QStringLiteral("✅ **الأداء المالي:** تحقق المنظومة حالياً إيرادات إجمالية قدرها "
                               "**%1 ₪**. ")
                    .arg(wholeText(revenue));
        text += QStringLiteral("بهامش ربح صافي يقدر بـ **%1%**. ").arg(oneDecimalText(margin));
        text += Money::toCents(margin) > 3000
                    ? QStringLiteral("هذا المؤشر ممتاز ويدل على كفاءة تشغيلية عالية.\n\n")
                    : QStringLiteral("يُنصح بمراجعة المصاريف التشغيلية لزيادة هامش الربح.\n\n");
    } else {
        text += QStringLiteral("⚠️ لا توجد بيانات مالية كافية لتحليل الإيرادات "
                               "حالياً.\n\n");
    }

    text += QStringLiteral("📊 **حالة المحفظة العقارية:** نسبة الإشغال والبيع الحالية هي **%1%**. ")
                .arg(oneDecimalText(occupancy));
    text += occupied * 100 < total * 70 || total < 1
                ? QStringLiteral("هناك مساحة كبيرة للنمو، يُنصح بتكثيف النشاط التسويقي للوحدات "
                                 "المتاحة.\n\n")
                : QStringLiteral("المحفظة في حالة صحية جيدة جداً من حيث الإشغال.\n\n");

    text += QStringLiteral("💡 **توصيات ذكية:**\n");
    const qint64 overdue = m_db->scalar(QStringLiteral("SELECT COUNT(*) ") +
                                            StatementReports::overdueInstallmentsFrom(),
                                        {InsightDates::isoDay()})
                               .toLongLong();
    if (overdue > 0)
        text += QStringLiteral("- هناك **%1** دفعات متأخرة. يُفضل التواصل مع العملاء لتحصيلها "
                               "لضمان تدفق نقدي مستقر.\n")
                    .arg(overdue);
    const qint64 cheques =
        m_db->scalar(QStringLiteral("SELECT COUNT(*) as cnt FROM cheques WHERE status='pending' "
                                    "AND due_date <= ?"),
                     {InsightDates::isoDay(7)})
            .toLongLong();
    if (cheques > 0)
        text += QStringLiteral("- تنبيه: يوجد **%1** شيكات تستحق خلال الأسبوع القادم. تأكد من "
                               "توفر السيولة أو متابعة التحصيل.\n")
                    .arg(cheques);

    return {{QStringLiteral("text"), text},
            {QStringLiteral("occupancy"), occupancy},
            {QStringLiteral("mixedCurrencies"),
             profitLoss.value(QStringLiteral("mixedCurrencies")).toBool()}};
}
