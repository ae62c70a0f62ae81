#include "ShellHarness.h"

#include "core/AppSetup.h"

#include <QClipboard>
#include <QDate>
#include <QGuiApplication>
#include <QLocale>
#include <QTest>

#include <memory>

namespace {

// Money as the pages write it: grouped digits, two decimals, the symbol.
QString money(double amount, const QString& symbol)
{
    return QLocale().toString(amount, 'f', 2) + QLatin1Char(' ') + symbol;
}

QString text(QQuickItem* item)
{
    return item ? item->property("text").toString() : QStringLiteral("<missing>");
}

QString iso(int daysFromToday)
{
    return QDate::currentDate().addDays(daysFromToday).toString(Qt::ISODate);
}

QString period(int monthsFromNow)
{
    return QDate::currentDate().addMonths(monthsFromNow).toString(QStringLiteral("yyyy-MM"));
}

// Rows right to left as drawn: first the one nearest the top, then the right.
QList<QQuickItem*> inReadingOrder(QList<QQuickItem*> items)
{
    std::sort(items.begin(), items.end(), [](QQuickItem* a, QQuickItem* b) {
        const QPointF pa = a->mapToScene({}), pb = b->mapToScene({});
        return qFuzzyCompare(pa.y() + 1, pb.y() + 1) ? pa.x() > pb.x() : pa.y() < pb.y();
    });
    return items;
}

} // namespace

// The dashboard and the reports page on the real back end with a small office
// of stored rows: what they show must be what the back-end calls return, and
// follow the books when they change.
class TestInsightPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AppSetup::apply();
        ShellHarness::installMessageHandler();
    }
    void cleanupTestCase() { ShellHarness::uninstallMessageHandler(); }
    void init() { ShellHarness::takeProblems(); }
    void cleanup()
    {
        m_shell.reset();
        const QStringList problems = ShellHarness::takeProblems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void dashboardShowsStoredFigures()
    {
        startOffice();
        QQuickItem* page = m_shell->find(QStringLiteral("dashboardPage"));

        const QVariantMap stats = call(QStringLiteral("dashboardCtrl.getStats()")).toMap();
        QCOMPARE(text(card(page, "cardProperties")), stats.value("totalProperties").toString());
        QCOMPARE(stats.value("totalProperties").toInt(), 2);
        QCOMPARE(text(card(page, "cardTenants")), stats.value("activeTenants").toString());
        const double occupancy =
            call(QStringLiteral("dashboardCtrl.getOccupancyRate()")).toDouble();
        QCOMPARE(text(card(page, "cardOccupancy")), QString::number(qRound(occupancy)) + "%");
        QCOMPARE(text(m_shell->find(QStringLiteral("occupancyValue"), page)),
                 QString::number(qRound(occupancy)) + "%");
        QCOMPARE(text(card(page, "cardRevenue")),
                 money(stats.value("monthlyRevenue").toDouble(), QStringLiteral("₪")));
        QVERIFY(stats.value("monthlyRevenue").toDouble() > 0);

        // Alerts: one row per alert, in order, red frame only for "high".
        const QVariantList alerts = call(QStringLiteral("notifyCtrl.getActiveAlerts()")).toList();
        QVERIFY(alerts.size() >= 3);
        QQuickItem* alertsPanel = m_shell->find(QStringLiteral("alertsPanel"), page);
        QVERIFY(alertsPanel->isVisible());
        const QList<QQuickItem*> rows =
            inReadingOrder(m_shell->findAll(QStringLiteral("alertRow"), alertsPanel));
        QCOMPARE(rows.size(), alerts.size());
        for (int i = 0; i < rows.size(); ++i) {
            const QVariantMap alert = alerts.at(i).toMap();
            QCOMPARE(text(m_shell->find(QStringLiteral("alertTitle"), rows.at(i))),
                     alert.value("title").toString());
            QCOMPARE(text(m_shell->find(QStringLiteral("alertDetail"), rows.at(i))),
                     alert.value("detail").toString());
        }

        // Collections: six real months, scaled to the largest.
        const QVariantList months =
            call(QStringLiteral("dashboardCtrl.getMonthlyCollections(6)")).toList();
        QCOMPARE(months.size(), 6);
        QQuickItem* chart = m_shell->find(QStringLiteral("collectionChart"), page);
        QQuickItem* area = m_shell->find(QStringLiteral("analyticsChartArea"), chart);
        const QList<QQuickItem*> bars =
            inReadingOrder(m_shell->findAll(QStringLiteral("analyticsBar"), chart));
        const QList<QQuickItem*> labels =
            inReadingOrder(m_shell->findAll(QStringLiteral("analyticsBarLabel"), chart));
        const QList<QQuickItem*> values =
            inReadingOrder(m_shell->findAll(QStringLiteral("analyticsBarValue"), chart));
        QCOMPARE(bars.size(), 6);
        double largest = 0;
        for (const QVariant& m : months)
            largest = qMax(largest, m.toMap().value("total").toDouble());
        QVERIFY(largest > 0);
        for (int i = 0; i < 6; ++i) {
            const QVariantMap month = months.at(i).toMap();
            const double total = month.value("total").toDouble();
            QCOMPARE(text(labels.at(i)), month.value("label").toString());
            QCOMPARE(text(values.at(i)), QLocale().toString(total, 'f', 0));
            QTRY_VERIFY2(qAbs(bars.at(i)->height() - total / largest * area->height()) < 0.5,
                         qPrintable(month.value("month").toString()));
        }
        // The current month is the last bar and has the payments of this test.
        QCOMPARE(months.last().toMap().value("month").toString(), period(0));
        QVERIFY(months.last().toMap().value("total").toDouble() > 0);

        // Recent lists.
        compareTexts(page, "activityAction", call("auditMgr.getLogs(5)"), "action");
        compareTexts(page, "maintenanceTitle", call("dashboardCtrl.getRecentMaintenance(3)"),
                     "title");
        const QVariantList payments =
            call(QStringLiteral("dashboardCtrl.getRecentPayments(5)")).toList();
        QVERIFY(!payments.isEmpty());
        const QList<QQuickItem*> amounts =
            inReadingOrder(m_shell->findAll(QStringLiteral("paymentAmount"), page));
        QCOMPARE(amounts.size(), payments.size());
        for (int i = 0; i < amounts.size(); ++i) {
            const QVariantMap p = payments.at(i).toMap();
            const QString symbol =
                p.value("currency_id").toInt() == 2 ? QStringLiteral("$") : QStringLiteral("₪");
            QCOMPARE(text(amounts.at(i)), money(p.value("amount").toDouble(), symbol));
        }
        const QVariantList insights = call(QStringLiteral("reportCtrl.getAIInsights()")).toList();
        QVERIFY(insights.size() > 2);
        compareTexts(page, "insightTitle", insights.mid(0, 2), "title");
        QCOMPARE(m_shell->findAll(QStringLiteral("insightRow"), page).size(), 2);
    }

    // Regression: the dashboard read its figures once at creation and kept
    // showing them after a payment was recorded elsewhere.
    void dashboardFollowsPaymentsRecordedElsewhere()
    {
        startOffice();
        QQuickItem* page = m_shell->find(QStringLiteral("dashboardPage"));
        const double before =
            call(QStringLiteral("dashboardCtrl.getStats().monthlyRevenue")).toDouble();

        // Recorded while the dashboard is on screen.
        QVERIFY(call(QStringLiteral("paymentModel.add(0, 0, 1234.5, 'cash', '%1', 'إيصال 77', 1)")
                         .arg(iso(0)))
                    .toInt() > 0);
        QTRY_COMPARE(text(card(page, "cardRevenue")), money(before + 1234.5, QStringLiteral("₪")));

        // Recorded while another page is shown: current again when it comes back.
        QVERIFY(m_shell->openPage(5));
        QVERIFY(call(QStringLiteral("paymentModel.add(0, 0, 100, 'cash', '%1', '', 1)").arg(iso(0)))
                    .toInt() > 0);
        QVERIFY(m_shell->openPage(0));
        QTRY_COMPARE(text(card(page, "cardRevenue")), money(before + 1334.5, QStringLiteral("₪")));
        const QVariantList months =
            call(QStringLiteral("dashboardCtrl.getMonthlyCollections(6)")).toList();
        QQuickItem* chart = m_shell->find(QStringLiteral("collectionChart"), page);
        const QList<QQuickItem*> values =
            inReadingOrder(m_shell->findAll(QStringLiteral("analyticsBarValue"), chart));
        QCOMPARE(text(values.last()),
                 QLocale().toString(months.last().toMap().value("total").toDouble(), 'f', 0));
    }

    void alertsListScrollsWhenLong()
    {
        startOffice([this](ShellHarness& shell) {
            // Twelve more overdue instalments.
            for (int i = 0; i < 12; ++i)
                shell.eval(QStringLiteral("installmentModel.add(%1, %2, 1000, 0, 1000, '%3', 1)")
                               .arg(m_buyer)
                               .arg(m_soldUnit)
                               .arg(iso(-40 - i)));
        });
        QQuickItem* list = m_shell->find(QStringLiteral("alertsList"));
        QVERIFY(list);
        QTRY_VERIFY(list->property("count").toInt() >= 15);
        QCOMPARE(list->height(), 200.0);
        QVERIFY(list->property("contentHeight").toReal() > 200);
        QVERIFY(list->property("interactive").toBool());
        QCOMPARE(m_shell->find(QStringLiteral("alertsCount"))->property("text").toString(),
                 QStringLiteral("%1 تنبيه").arg(list->property("count").toInt()));
    }

    void followButtonOpensThePageForTheAlert_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("pageIndex");
        QTest::newRow("instalment overdue -> payments") << QStringLiteral("overdue") << 5;
        QTest::newRow("cheque due -> cheques") << QStringLiteral("cheque") << 6;
        QTest::newRow("contract ending -> tenants") << QStringLiteral("contract") << 2;
    }

    void followButtonOpensThePageForTheAlert()
    {
        QFETCH(QString, type);
        QFETCH(int, pageIndex);
        startOffice();
        QQuickItem* target = nullptr;
        for (QQuickItem* row : m_shell->findAll(QStringLiteral("alertRow"))) {
            if (row->property("modelData").toMap().value("type").toString() == type)
                target = m_shell->find(QStringLiteral("alertFollow"), row);
        }
        QVERIFY2(target, qPrintable(type));
        QVERIFY(m_shell->click(target));
        QTRY_COMPARE(m_shell->find(QStringLiteral("pageStack"))->property("currentIndex").toInt(),
                     pageIndex);
        QCOMPARE(m_shell->find(QStringLiteral("sideBar"))->property("currentIndex").toInt(),
                 pageIndex);
    }

    void dashboardWithNoAlertsHidesTheBox()
    {
        QVERIFY(startEmpty());
        QQuickItem* page = m_shell->find(QStringLiteral("dashboardPage"));
        QTRY_VERIFY(page->property("loadCount").toInt() > 0);
        QVERIFY(!m_shell->find(QStringLiteral("alertsPanel"), page)->isVisible());
        // No invented bars: six empty months that say so.
        QQuickItem* chart = m_shell->find(QStringLiteral("collectionChart"), page);
        for (QQuickItem* bar : m_shell->findAll(QStringLiteral("analyticsBar"), chart))
            QCOMPARE(bar->height(), 0.0);
        QCOMPARE(m_shell->findAll(QStringLiteral("analyticsBar"), chart).size(), 6);
        QVERIFY(m_shell->find(QStringLiteral("collectionChartNote"), chart)->isVisible());
        QCOMPARE(text(card(page, "cardRevenue")), money(0, QStringLiteral("₪")));
    }

    void reportTabsShowStoredFigures()
    {
        startOffice();
        QQuickItem* page = openReports();
        const QString from = page->property("fromDate").toString();
        const QString to = page->property("toDate").toString();
        QCOMPARE(from, QString::number(QDate::currentDate().year()) + "-01-01");
        QCOMPARE(to, iso(0));

        // Analysis.
        const QVariantMap analysis =
            call(QStringLiteral("reportCtrl.getSmartAIAnalysis()")).toMap();
        QCOMPARE(page->findChild<QObject*>(QStringLiteral("analysisTab"))
                     ->property("analysisText")
                     .toString(),
                 analysis.value("text").toString());
        QCOMPARE(text(m_shell->find(QStringLiteral("analysisOccupancy"), page)),
                 QString::number(analysis.value("occupancy").toDouble(), 'f', 1) + "%");
        QQuickItem* incomeChart = m_shell->find(QStringLiteral("incomeChart"), page);
        const QVariantList comparison =
            call(QStringLiteral("reportCtrl.getPropertyComparison()")).toList();
        QCOMPARE(m_shell->findAll(QStringLiteral("analyticsBar"), incomeChart).size(),
                 qMin(6, int(comparison.size())));

        // Financial summary and balance.
        showTab(page, 1);
        const QVariantMap pl =
            call(QStringLiteral("reportCtrl.getProfitLoss('%1', '%2')").arg(from, to)).toMap();
        const QVariantMap balance = call(QStringLiteral("reportCtrl.getBalanceSheet()")).toMap();
        QCOMPARE(text(card(page, "financialRevenue")), money(pl.value("revenue").toDouble(), "₪"));
        QCOMPARE(text(card(page, "financialExpenses")),
                 money(pl.value("expenses").toDouble(), "₪"));
        QCOMPARE(text(card(page, "financialNet")), money(pl.value("net_profit").toDouble(), "₪"));
        for (const char* key : {"receivables", "installment_receivables", "total_assets", "cash"}) {
            QQuickItem* figure = m_shell->find(QStringLiteral("balance_") + key, page);
            QVERIFY2(figure, key);
            QVERIFY2(text(m_shell->find(QStringLiteral("balanceValue"), figure))
                         .startsWith(money(balance.value(key).toDouble(), "₪")),
                     key);
        }

        // Projects: one card per property with its own figures.
        showTab(page, 2);
        const QVariantList properties = call(QStringLiteral("propertyModel.getAll()")).toList();
        QTRY_COMPARE(m_shell->findAll(QStringLiteral("projectCard"), page).size(),
                     properties.size());
        for (QQuickItem* cardItem : m_shell->findAll(QStringLiteral("projectCard"), page)) {
            const int id = cardItem->property("modelData").toMap().value("id").toInt();
            const QVariantMap f = call(QStringLiteral("reportCtrl.getProjectDetailedFinancials(%1, "
                                                      "'%2', '%3')")
                                           .arg(id)
                                           .arg(from, to))
                                      .toMap();
            QVERIFY(text(m_shell->find(QStringLiteral("project_total_revenue"), cardItem))
                        .startsWith(money(f.value("total_revenue").toDouble(), "₪")));
            QVERIFY(text(m_shell->find(QStringLiteral("project_expected_profit"), cardItem))
                        .startsWith(money(f.value("expected_profit").toDouble(), "₪")));
            QCOMPARE(text(m_shell->find(QStringLiteral("projectUnits"), cardItem)),
                     QStringLiteral("%1 / %2 وحدة مباعة")
                         .arg(f.value("sold_units").toInt())
                         .arg(f.value("total_units").toInt()));
        }

        // Units: price in the unit's own currency.
        showTab(page, 3);
        const QVariantList units = call(QStringLiteral("unitModel.getAll()")).toList();
        const QList<QQuickItem*> unitRows = m_shell->findAll(QStringLiteral("unitRow"), page);
        QCOMPARE(unitRows.size(), units.size());
        bool sawDollar = false;
        for (QQuickItem* row : unitRows) {
            const QVariantMap u = row->property("modelData").toMap();
            const double price = u.value("sale_price").toDouble() != 0
                                     ? u.value("sale_price").toDouble()
                                     : u.value("rent_monthly").toDouble();
            const QString symbol = u.value("currency_id").toInt() == 2 ? "$" : "₪";
            sawDollar = sawDollar || symbol == QLatin1String("$");
            QCOMPARE(text(m_shell->find(QStringLiteral("unitPrice"), row)), money(price, symbol));
        }
        QVERIFY(sawDollar);

        // Overdue instalments with what remains on each and in all.
        showTab(page, 4);
        const QVariantList overdue =
            call(QStringLiteral("reportCtrl.getOverdueInstallments()")).toList();
        QVERIFY(!overdue.isEmpty());
        const QList<QQuickItem*> overdueRows =
            inReadingOrder(m_shell->findAll(QStringLiteral("overdueRow"), page));
        QCOMPARE(overdueRows.size(), overdue.size());
        double remaining = 0;
        for (int i = 0; i < overdue.size(); ++i) {
            const QVariantMap o = overdue.at(i).toMap();
            const double left =
                o.value("installment_amount").toDouble() - o.value("paid_amount").toDouble();
            remaining += left;
            QCOMPARE(text(m_shell->find(QStringLiteral("overdueRemaining"), overdueRows.at(i))),
                     money(left, "₪"));
            QCOMPARE(text(m_shell->find(QStringLiteral("overdueBuyer"), overdueRows.at(i))),
                     o.value("buyer_name").toString());
        }
        QCOMPARE(text(m_shell->find(QStringLiteral("overdueTotal"), page)), money(remaining, "₪"));

        // Cheques of the range, each in its own currency, totals per currency.
        showTab(page, 5);
        const QVariantList cheques =
            call(QStringLiteral("reportCtrl.getChequeReport('', '%1', '%2')").arg(from, to))
                .toList();
        const QList<QQuickItem*> chequeRows =
            inReadingOrder(m_shell->findAll(QStringLiteral("chequeRow"), page));
        QCOMPARE(chequeRows.size(), cheques.size());
        for (int i = 0; i < cheques.size(); ++i) {
            const QVariantMap c = cheques.at(i).toMap();
            QCOMPARE(text(m_shell->find(QStringLiteral("chequeNumber"), chequeRows.at(i))),
                     QStringLiteral("رقم: ") + c.value("cheque_number").toString());
            QCOMPARE(text(m_shell->find(QStringLiteral("chequeAmount"), chequeRows.at(i))),
                     money(c.value("amount").toDouble(), c.value("currency_symbol").toString()));
        }
        QCOMPARE(text(m_shell->find(QStringLiteral("chequeCount"), page)),
                 QStringLiteral("%1 شيك").arg(cheques.size()));
    }

    void dateRangeIsChecked_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("fromError");
        QTest::addColumn<QString>("toError");
        QTest::newRow("not in the calendar")
            << QStringLiteral("2025-02-30") << iso(0) << QStringLiteral("تاريخ غير موجود") << "";
        QTest::newRow("words") << QStringLiteral("أمس") << iso(0)
                               << QStringLiteral("الصيغة yyyy-MM-dd") << "";
        QTest::newRow("empty end")
            << QStringLiteral("2025-01-01") << QString() << "" << QStringLiteral("أدخل التاريخ");
        QTest::newRow("from after to")
            << iso(0) << iso(-1) << QStringLiteral("«من» بعد «إلى»") << "";
    }

    void dateRangeIsChecked()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, fromError);
        QFETCH(QString, toError);
        startOffice();
        QQuickItem* page = openReports();
        showTab(page, 5);
        const int loads = page->property("loadCount").toInt();
        const QString keptFrom = page->property("fromDate").toString();

        setField(page, "reportFromField", from);
        setField(page, "reportToField", to);
        QVERIFY(m_shell->click(m_shell->find(QStringLiteral("reportUpdateButton"), page)));
        QCOMPARE(text(m_shell->find(QStringLiteral("reportFromError"), page)), fromError);
        QCOMPARE(text(m_shell->find(QStringLiteral("reportToError"), page)), toError);
        QCOMPARE(page->property("fromDate").toString(), keptFrom);
        QTest::qWait(50);
        QCOMPARE(page->property("loadCount").toInt(), loads);
        // What was typed stays for the user to correct.
        QCOMPARE(
            m_shell->find(QStringLiteral("reportFromField"), page)->property("text").toString(),
            from);
    }

    void dateRangeChangesTheFigures()
    {
        startOffice();
        QQuickItem* page = openReports();
        showTab(page, 5);
        // Arabic-Indic digits are read as dates; the range ends today.
        setField(page, "reportFromField", QStringLiteral("٢٠٠٠-٠١-٠١"));
        setField(page, "reportToField", iso(0));
        QVERIFY(m_shell->click(m_shell->find(QStringLiteral("reportUpdateButton"), page)));
        QTRY_COMPARE(page->property("fromDate").toString(), QStringLiteral("2000-01-01"));
        QCOMPARE(text(m_shell->find(QStringLiteral("reportFromError"), page)), QString());
        const int all =
            call(QStringLiteral("reportCtrl.getChequeReport('', '2000-01-01', '%1')").arg(iso(0)))
                .toList()
                .size();
        QTRY_COMPARE(m_shell->findAll(QStringLiteral("chequeRow"), page).size(), all);

        // A range with no cheques says so.
        setField(page, "reportFromField", QStringLiteral("2001-01-01"));
        setField(page, "reportToField", QStringLiteral("2001-12-31"));
        QVERIFY(m_shell->click(m_shell->find(QStringLiteral("reportUpdateButton"), page)));
        QTRY_COMPARE(m_shell->findAll(QStringLiteral("chequeRow"), page).size(), 0);
        QCOMPARE(text(m_shell->find(QStringLiteral("chequeCount"), page)), QStringLiteral("0 شيك"));
    }

    void copyButtonPutsTheAnalysisOnTheClipboard()
    {
        startOffice();
        QQuickItem* page = openReports();
        QGuiApplication::clipboard()->setText(QStringLiteral("قديم"));
        QVERIFY(m_shell->click(m_shell->find(QStringLiteral("copyAnalysisButton"), page)));
        const QString copied = QGuiApplication::clipboard()->text();
        const QString analysis =
            call(QStringLiteral("reportCtrl.getSmartAIAnalysis().text")).toString();
        // Plain text, without the Markdown marks, every sentence kept.
        QVERIFY2(copied.startsWith(QStringLiteral("تحليل ذكاء الأعمال (Sakanova AI)")),
                 qPrintable(copied));
        QVERIFY(!copied.contains(QLatin1String("**")));
        QVERIFY(!copied.contains(QLatin1String("###")));
        QCOMPARE(copied.count(QLatin1Char('\n')) + 1,
                 int(analysis.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size()));
        QCOMPARE(text(m_shell->find(QStringLiteral("reportStatus"), page)),
                 QStringLiteral("تم نسخ التحليل إلى الحافظة"));
    }

private:
    // The sample office: two properties, four units (one priced in dollars),
    // a tenant whose contract ends within the month, rent invoices paid this
    // month and two months ago, a unit sold on instalments three months back
    // (so some are overdue), cheques in two currencies, a maintenance request
    // and an expense.
    void addSampleOffice(ShellHarness& shell)
    {
        const QString script =
            QStringLiteral(R"JS((function() {
            var p1 = propertyModel.add("برج النخيل", "residential", "شارع الإرسال", "رام الله", "")
            var p2 = propertyModel.add("مجمع الياسمين", "residential", "حي الماصيون", "البيرة", "")
            var a1 = unitModel.add(p1, "A1", 1, 120, 3, 2500, 30000, 0, 1)
            var a2 = unitModel.add(p1, "A2", 2, 95, 2, 2000, 24000, 0, 1)
            var b1 = unitModel.add(p2, "B1", 1, 140, 4, 0, 0, 500000, 1)
            var b2 = unitModel.add(p2, "B2", 3, 130, 3, 0, 0, 450000, 2)
            var t1 = tenantModel.add("سامي الحداد", "401234567", "0599123456", "", "رام الله")
            contractModel.add(a1, t1, "%1", "%2", 2500, "monthly", 2500, 1)
            invoiceModel.generateAllRent("%3")
            invoiceModel.generateAllRent("%4")
            var invoices = invoiceModel.getByTenant(t1)
            for (var i = 0; i < invoices.length; ++i) {
                var inv = invoices[i]
                paymentModel.add(inv.id, t1, inv.period === "%4" ? 1500 : 2500, "cash",
                                 inv.period === "%4" ? "%5" : "%6", "إيصال " + i, 1)
            }
            var buyer = buyerModel.add("ليلى منصور", "955555555", "0598765432", "", "البيرة")
            installmentModel.sellUnit(buyer, b1, 500000, 100000, 10, "%7", 1, "1001", "بنك فلسطين")
            chequeModel.add("5001", "received", 7500, "بنك القدس", "%8", "سامي الحداد", 1, 1, 0, t1)
            chequeModel.add("5002", "received", 1200, "بنك الأردن", "%5", "ليلى منصور", 2, 3.6, buyer, 0)
            maintenanceModel.add(a1, p1, "تسرب مياه في المطبخ", "تحت المغسلة", "high")
            expenseModel.add(p1, 0, 0, "maintenance", "", "دهان الواجهة", 1200, "%5", 1)
            return [buyer, b1]
        })())JS")
                .arg(iso(-335), iso(20), period(-2), period(0), iso(0), iso(-60),
                     QDate::currentDate().addMonths(-3).toString(Qt::ISODate), iso(3));
        const QVariantList ids = shell.eval(script).toList();
        QCOMPARE(ids.size(), 2);
        m_buyer = ids.at(0).toInt();
        m_soldUnit = ids.at(1).toInt();
    }

    void startOffice(const std::function<void(ShellHarness&)>& more = {})
    {
        m_shell = std::make_unique<ShellHarness>();
        QVERIFY(m_shell->start());
        addSampleOffice(*m_shell);
        if (more)
            more(*m_shell);
        QVERIFY(m_shell->signIn());
        QQuickItem* page = m_shell->find(QStringLiteral("dashboardPage"));
        QTRY_VERIFY(page->property("loadCount").toInt() > 0);
        QTest::qWait(20); // a reload queued by the sign-in itself
    }

    bool startEmpty()
    {
        m_shell = std::make_unique<ShellHarness>();
        return m_shell->start() && m_shell->signIn();
    }

    QQuickItem* openReports()
    {
        if (!m_shell->openPage(9))
            return nullptr;
        QQuickItem* page = m_shell->find(QStringLiteral("reportsPage"));
        if (!QTest::qWaitFor([page] { return page->property("loadCount").toInt() > 0; }))
            return nullptr;
        return page;
    }

    void showTab(QQuickItem* page, int index)
    {
        const int loads = page->property("loadCount").toInt();
        QVERIFY(m_shell->click(m_shell->find(QStringLiteral("reportTab_%1").arg(index), page)));
        QTRY_COMPARE(page->property("currentTab").toInt(), index);
        QTRY_VERIFY(page->property("loadCount").toInt() > loads);
    }

    void setField(QQuickItem* page, const char* name, const QString& value)
    {
        QQuickItem* field = m_shell->find(QLatin1String(name), page);
        QVERIFY(field);
        field->setProperty("text", value);
    }

    QVariant call(const QString& script) { return m_shell->eval(script); }

    QQuickItem* card(QQuickItem* page, const char* name)
    {
        QQuickItem* c = m_shell->find(QLatin1String(name), page);
        return c ? m_shell->find(QStringLiteral("statsCardValue"), c) : nullptr;
    }

    void compareTexts(QQuickItem* page, const char* itemName, const QVariant& rows, const char* key)
    {
        const QVariantList list = rows.toList();
        const QList<QQuickItem*> items =
            inReadingOrder(m_shell->findAll(QLatin1String(itemName), page));
        QCOMPARE(items.size(), list.size());
        for (int i = 0; i < items.size(); ++i)
            QCOMPARE(text(items.at(i)), list.at(i).toMap().value(QLatin1String(key)).toString());
    }

    std::unique_ptr<ShellHarness> m_shell;
    int m_buyer = 0;
    int m_soldUnit = 0;
};

QTEST_MAIN(TestInsightPages)
#include "tst_insightpages.moc"
