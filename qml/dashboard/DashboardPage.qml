import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Totals.js" as Totals
import "../sales"

// The home page: headline figures, the alerts, six months of collections, the
// occupancy, and the latest activity. It only reads, and reads again whenever
// it is shown or one of the objects it draws from changes.
Item {
    id: page
    objectName: "dashboardPage"

    // Asks the shell to show the page at this index of the side bar.
    signal openPage(int index)

    property var stats: ({})
    property real occupancy: 0
    property var alerts: []
    // Every alert there is; the panel lists the first few of each kind.
    property int alertCount: 0
    readonly property int alertsPerKind: 50
    property var collections: []
    property var auditLogs: []
    property var recentPayments: []
    property var recentMaint: []
    property var insights: []
    // How many times the figures have been read; lets a caller wait for a reload.
    property int loadCount: 0

    // A month with money in a currency that has no rate for its day.
    readonly property bool collectionsIncomplete: {
        for (var i = 0; i < collections.length; ++i) {
            if (collections[i].complete === false)
                return true
        }
        return false
    }

    // The figures are read off the window's thread; the activity log is
    // short and read here.
    function refreshData() {
        auditLogs = auditMgr.getLogs(5)
        figures.ask([alertsPerKind])
    }

    ReportRead {
        id: figures
        call: "dashboard"
        onAnswered: result => {
            page.stats = result.stats
            page.occupancy = result.occupancy
            page.alerts = result.alerts
            page.alertCount = result.alertCount
            page.collections = result.collections
            page.recentPayments = result.recentPayments
            page.recentMaint = result.recentMaint
            page.insights = result.insights
            page.loadCount += 1
        }
    }

    // Several objects often change in one action: read once for all of them.
    function scheduleRefresh() {
        if (visible)
            Qt.callLater(refreshData)
    }

    // The page that follows up an alert of this kind.
    function pageForAlert(type) {
        if (type === "overdue" || type === "payment_due")
            return 5 // payments
        if (type === "cheque" || type === "cheque_bounced")
            return 6 // cheques
        if (type === "overdue_invoice")
            return 7 // invoices
        if (type === "contract")
            return 2 // tenants
        return -1
    }

    function amountOf(row) {
        return Money.format(row.amount, row.currency_id)
    }

    function joined(first, second, separator) {
        var a = first === undefined || first === null ? "" : String(first)
        var b = second === undefined || second === null ? "" : String(second)
        return a !== "" && b !== "" ? a + separator + b : a + b
    }

    Component.onCompleted: scheduleRefresh()
    onVisibleChanged: scheduleRefresh()

    DataWatch {
        active: page.visible
        targets: [propertyModel, unitModel, tenantModel, contractModel, invoiceModel,
            paymentModel, maintenanceModel, expenseModel, chequeModel, buyerModel,
            installmentModel, currencyModel]
        onChanged: page.scheduleRefresh()
    }

    Connections {
        target: settingsManager
        function onSettingsChanged() { page.scheduleRefresh() }
    }

    ScrollView {
        id: scroll
        objectName: "dashboardScroll"
        anchors.fill: parent
        contentWidth: availableWidth
        contentHeight: content.implicitHeight + 56
        clip: true

        ColumnLayout {
            id: content
            x: 28
            y: 28
            width: scroll.availableWidth - 56
            spacing: 20

            PageHeader {
                Layout.fillWidth: true
                title: "لوحة التحكم"
                subtitle: "مرحباً بك في نظام ساكانوفا لإدارة العقارات"
                extraContent: [
                    LoadingNote {
                        objectName: "dashboardLoading"
                        loading: figures.loading
                    }
                ]
            }

            GridLayout {
                Layout.fillWidth: true
                columns: 4
                columnSpacing: 15
                rowSpacing: 15
                layoutDirection: Qt.RightToLeft

                StatsCard {
                    objectName: "cardProperties"
                    Layout.fillWidth: true
                    title: "إجمالي العقارات"
                    value: String(page.stats.totalProperties !== undefined ? page.stats.totalProperties : 0)
                    icon: "⌂"
                    iconBg: "#1e293b"
                    iconColor: "#C5A059"
                }
                StatsCard {
                    objectName: "cardTenants"
                    Layout.fillWidth: true
                    title: "المستأجرون النشطون"
                    value: String(page.stats.activeTenants !== undefined ? page.stats.activeTenants : 0)
                    icon: "⌘"
                    iconBg: "#1e293b"
                    iconColor: "#60a5fa"
                }
                StatsCard {
                    objectName: "cardOccupancy"
                    Layout.fillWidth: true
                    title: "نسبة الإشغال"
                    value: Math.round(page.occupancy) + "%"
                    icon: "◈"
                    iconBg: "#1e293b"
                    iconColor: "#22c55e"
                }
                StatsCard {
                    objectName: "cardRevenue"
                    Layout.fillWidth: true
                    title: "المحصّل هذا الشهر"
                    value: Money.format(page.stats.monthlyRevenue || 0, 0)
                    subtitle: Totals.detail(page.stats.collectedThisMonth, Money)
                    icon: "⌬"
                    iconBg: "#1e293b"
                    iconColor: "#f59e0b"
                }
                StatsCard {
                    objectName: "cardContractedRent"
                    Layout.fillWidth: true
                    title: "الإيجار الشهري المتعاقد"
                    value: Money.format(page.stats.contractedMonthlyRent
                                        ? page.stats.contractedMonthlyRent.total : 0, 0)
                    subtitle: Totals.detail(page.stats.contractedMonthlyRent, Money)
                    icon: "⌂"
                    iconBg: "#1e293b"
                    iconColor: "#a78bfa"
                }
            }

            AlertsPanel {
                Layout.fillWidth: true
                visible: page.alerts.length > 0
                alerts: page.alerts
                total: page.alertCount
                onFollow: (type, alert) => {
                    // An instalment is collected in its buyer's instalments.
                    if ((type === "overdue" || type === "payment_due") && alert.buyer_id > 0) {
                        buyerInstallments.show(alert.buyer_id, alert.buyer_name || "")
                        return
                    }
                    var index = page.pageForAlert(type)
                    if (index >= 0)
                        page.openPage(index)
                }
            }

            CashCalendarView {
                objectName: "dashboardCashCalendar"
                Layout.fillWidth: true
                compact: true
                days: 30
            }

            RowLayout {
                Layout.fillWidth: true
                Layout.preferredHeight: 250
                layoutDirection: Qt.RightToLeft
                spacing: 15

                CollectionChart {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    months: page.collections
                    incomplete: page.collectionsIncomplete
                }

                OccupancyPanel {
                    Layout.preferredWidth: 280
                    Layout.fillHeight: true
                    rate: page.occupancy
                }
            }

            SectionPanel {
                objectName: "activityPanel"
                Layout.fillWidth: true
                title: "🕒 آخر العمليات"

                EmptyNote {
                    visible: page.auditLogs.length === 0
                    text: "لا توجد عمليات مسجلة بعد"
                }

                Repeater {
                    model: page.auditLogs

                    RowLayout {
                        objectName: "activityRow"
                        required property var modelData
                        Layout.fillWidth: true
                        layoutDirection: Qt.RightToLeft
                        spacing: 12

                        Text {
                            objectName: "activityUser"
                            Layout.preferredWidth: 80
                            text: parent.modelData.username || "النظام"
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font.pixelSize: 13
                            font.bold: true
                            color: "#C5A059"
                        }
                        Text {
                            objectName: "activityAction"
                            Layout.fillWidth: true
                            text: auditMgr.summary(parent.modelData.action || "",
                                                   parent.modelData.table_name || "",
                                                   parent.modelData.record_id)
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font.pixelSize: 13
                            color: Theme.textPrimary
                        }
                        Text {
                            objectName: "activityTime"
                            text: parent.modelData.created_at || ""
                            textFormat: Text.PlainText
                            font.pixelSize: 10
                            color: Theme.dark ? "#64748b" : "#475569"
                        }
                    }
                }
            }

            RowLayout {
                Layout.fillWidth: true
                layoutDirection: Qt.RightToLeft
                spacing: 15

                SectionPanel {
                    objectName: "paymentsPanel"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    Layout.alignment: Qt.AlignTop
                    title: "آخر المدفوعات"
                    titleColor: "#d4a843"

                    EmptyNote {
                        visible: page.recentPayments.length === 0
                        text: "لا توجد مدفوعات بعد"
                    }

                    Repeater {
                        model: page.recentPayments

                        Rectangle {
                            id: paymentRow
                            objectName: "paymentRow"
                            required property var modelData
                            Layout.fillWidth: true
                            implicitHeight: 52
                            radius: 8
                            color: Theme.bgElevated

                            RowLayout {
                                anchors.fill: parent
                                anchors.leftMargin: 10
                                anchors.rightMargin: 12
                                layoutDirection: Qt.RightToLeft
                                spacing: 10

                                Column {
                                    Layout.fillWidth: true
                                    Layout.alignment: Qt.AlignVCenter
                                    spacing: 2
                                    Text {
                                        objectName: "paymentName"
                                        width: parent.width
                                        text: paymentRow.modelData.payer_name || paymentRow.modelData.tenant_name
                                              || paymentRow.modelData.buyer_name || "—"
                                        textFormat: Text.PlainText
                                        horizontalAlignment: Text.AlignRight
                                        elide: Text.ElideLeft
                                        font.pixelSize: 13
                                        font.bold: true
                                        color: Theme.textPrimary
                                    }
                                    Text {
                                        objectName: "paymentPlace"
                                        width: parent.width
                                        text: page.joined(paymentRow.modelData.property_name,
                                                          paymentRow.modelData.unit_number, " - ")
                                        textFormat: Text.PlainText
                                        horizontalAlignment: Text.AlignRight
                                        elide: Text.ElideLeft
                                        font.pixelSize: 11
                                        color: Theme.textSecondary
                                    }
                                }
                                Text {
                                    objectName: "paymentAmount"
                                    text: page.amountOf(paymentRow.modelData)
                                    textFormat: Text.PlainText
                                    font.pixelSize: 13
                                    font.bold: true
                                    color: Theme.textPrimary
                                }
                                Rectangle {
                                    implicitWidth: badgeText.implicitWidth + 16
                                    implicitHeight: 22
                                    radius: 11
                                    color: "#1a16a34a"
                                    Text {
                                        id: badgeText
                                        anchors.centerIn: parent
                                        text: "مكتمل"
                                        font.pixelSize: 11
                                        font.bold: true
                                        color: "#22c55e"
                                    }
                                }
                            }
                        }
                    }
                }

                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    Layout.alignment: Qt.AlignTop
                    spacing: 15

                    SectionPanel {
                        objectName: "maintenancePanel"
                        Layout.fillWidth: true
                        title: "طلبات الصيانة"

                        EmptyNote {
                            visible: page.recentMaint.length === 0
                            text: "لا توجد طلبات صيانة"
                        }

                        Repeater {
                            model: page.recentMaint

                            RowLayout {
                                id: maintRow
                                objectName: "maintenanceRow"
                                required property var modelData
                                Layout.fillWidth: true
                                layoutDirection: Qt.RightToLeft
                                spacing: 10

                                Rectangle {
                                    objectName: "maintenanceDot"
                                    Layout.alignment: Qt.AlignVCenter
                                    implicitWidth: 10
                                    implicitHeight: 10
                                    radius: 5
                                    color: maintRow.modelData.status === "new" ? "#ef4444"
                                           : maintRow.modelData.status === "in_progress" ? "#f59e0b"
                                           : "#22c55e"
                                }
                                Column {
                                    Layout.fillWidth: true
                                    spacing: 2
                                    Text {
                                        objectName: "maintenanceTitle"
                                        width: parent.width
                                        text: maintRow.modelData.title || ""
                                        textFormat: Text.PlainText
                                        horizontalAlignment: Text.AlignRight
                                        elide: Text.ElideLeft
                                        font.pixelSize: 13
                                        font.bold: true
                                        color: Theme.textPrimary
                                    }
                                    Text {
                                        objectName: "maintenancePlace"
                                        width: parent.width
                                        text: page.joined(maintRow.modelData.property_name,
                                                          maintRow.modelData.unit_number, " - ")
                                        textFormat: Text.PlainText
                                        horizontalAlignment: Text.AlignRight
                                        elide: Text.ElideLeft
                                        font.pixelSize: 11
                                        color: Theme.textSecondary
                                    }
                                }
                            }
                        }
                    }

                    SectionPanel {
                        objectName: "insightsPanel"
                        Layout.fillWidth: true
                        title: "📈 تحليلات ذكية"

                        EmptyNote {
                            visible: page.insights.length === 0
                            text: "لا توجد تحليلات بعد"
                        }

                        Repeater {
                            model: page.insights.slice(0, 2)

                            RowLayout {
                                id: insightRow
                                objectName: "insightRow"
                                required property var modelData
                                Layout.fillWidth: true
                                layoutDirection: Qt.RightToLeft
                                spacing: 10

                                Text {
                                    Layout.alignment: Qt.AlignTop
                                    text: insightRow.modelData.icon || ""
                                    textFormat: Text.PlainText
                                    font.pixelSize: 18
                                }
                                Column {
                                    Layout.fillWidth: true
                                    spacing: 2
                                    Text {
                                        objectName: "insightTitle"
                                        width: parent.width
                                        text: insightRow.modelData.title || ""
                                        textFormat: Text.PlainText
                                        horizontalAlignment: Text.AlignRight
                                        font.pixelSize: 13
                                        font.bold: true
                                        color: Theme.textPrimary
                                    }
                                    Text {
                                        objectName: "insightDescription"
                                        width: parent.width
                                        text: insightRow.modelData.description || ""
                                        textFormat: Text.PlainText
                                        horizontalAlignment: Text.AlignRight
                                        wrapMode: Text.WordWrap
                                        font.pixelSize: 12
                                        color: Theme.textSecondary
                                    }
                                }
                            }
                        }
                    }
                }
            }
        }
    }

    InstallmentsDialog {
        id: buyerInstallments
    }
}
