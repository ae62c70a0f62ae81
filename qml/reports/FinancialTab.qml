import QtQuick
import QtQuick.Layouts
import "../components"
import "../components/Totals.js" as Totals

// Revenue, expenses and net profit over the chosen range, then the balance
// figures: what tenants and buyers still owe, the assets and the cash.
Item {
    id: tab
    objectName: "financialTab"

    property string fromDate: ""
    property string toDate: ""
    property var summary: ({})
    property var balance: ({})

    readonly property bool loading: read.loading
    signal loaded()

    function reload() {
        read.ask([fromDate, toDate])
    }

    property ReportRead read: ReportRead {
        call: "financial"
        onAnswered: result => {
            tab.summary = result.summary
            tab.balance = result.balance
            tab.loaded()
        }
    }

    // The converted figure, and beside it each currency's own amount when
    // there are several (or the rates it still waits for).
    function money(value, map, key) {
        var text = Money.format(value || 0, 0)
        var more = key ? Totals.detail(map[key + "_detail"], Money) : ""
        return more !== "" ? text + " (" + more + ")" : text
    }

    readonly property var balanceFigures: [
        { key: "receivables", label: "مستحقات الإيجار", color: "#f59e0b", icon: "📋" },
        { key: "installment_receivables", label: "مستحقات الأقساط", color: "#818cf8", icon: "📅" },
        { key: "total_assets", label: "إجمالي الأصول", color: "#06b6d4", icon: "🏦" },
        { key: "cash", label: "النقد في الصندوق والبنك", color: "#22c55e", icon: "💰" }
    ]

    function printPayload() {
        var s = {}
        s["الإيرادات"] = money(summary.revenue, summary, "revenue")
        s["المصروفات"] = money(summary.expenses, summary, "expenses")
        s["صافي الربح"] = money(summary.net_profit, summary, "net_profit")
        for (var i = 0; i < balanceFigures.length; ++i)
            s[balanceFigures[i].label] = money(balance[balanceFigures[i].key], balance,
                                               balanceFigures[i].key)
        return { data: [], summary: s }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 18

        GridLayout {
            Layout.fillWidth: true
            columns: 3
            columnSpacing: 15
            layoutDirection: Qt.RightToLeft

            StatsCard {
                objectName: "financialRevenue"
                Layout.fillWidth: true
                title: "إجمالي الإيرادات"
                value: Money.format(tab.summary.revenue || 0, 0)
                subtitle: Totals.detail(tab.summary.revenue_detail, Money)
                icon: "💰"
            }
            StatsCard {
                objectName: "financialExpenses"
                Layout.fillWidth: true
                title: "إجمالي المصروفات"
                value: Money.format(tab.summary.expenses || 0, 0)
                subtitle: Totals.detail(tab.summary.expenses_detail, Money)
                icon: "📤"
            }
            StatsCard {
                objectName: "financialNet"
                Layout.fillWidth: true
                title: "صافي الربح"
                value: Money.format(tab.summary.net_profit || 0, 0)
                subtitle: Totals.detail(tab.summary.net_profit_detail, Money)
                icon: "📊"
            }
        }

        SectionPanel {
            Layout.fillWidth: true
            title: "الميزانية العمومية والمديونيات"

            GridLayout {
                Layout.fillWidth: true
                columns: 2
                columnSpacing: 15
                rowSpacing: 15
                layoutDirection: Qt.RightToLeft

                Repeater {
                    model: tab.balanceFigures

                    Rectangle {
                        id: figure
                        required property var modelData
                        readonly property string detail: Totals.detail(
                            tab.balance[modelData.key + "_detail"], Money)
                        objectName: "balance_" + modelData.key
                        Layout.fillWidth: true
                        Layout.alignment: Qt.AlignTop
                        implicitHeight: Math.max(84, figureLines.implicitHeight + 28)
                        radius: 12
                        color: Theme.bgElevated
                        border.width: 1
                        border.color: Theme.borderColor

                        // The converted figure, and under it each currency's
                        // own amount (or the rates it still waits for),
                        // wrapped within the card however long.
                        Column {
                            id: figureLines
                            anchors.left: parent.left
                            anchors.right: parent.right
                            anchors.top: parent.top
                            anchors.margins: 14
                            spacing: 6
                            Text {
                                width: parent.width
                                text: figure.modelData.icon + " " + figure.modelData.label
                                horizontalAlignment: Text.AlignRight
                                font: Theme.bodyBold
                                color: figure.modelData.color
                            }
                            Text {
                                objectName: "balanceValue"
                                width: parent.width
                                text: Money.format(tab.balance[figure.modelData.key] || 0, 0)
                                textFormat: Text.PlainText
                                horizontalAlignment: Text.AlignRight
                                fontSizeMode: Text.HorizontalFit
                                minimumPixelSize: 12
                                font: Theme.figureBold
                                color: Theme.textPrimary
                            }
                            Text {
                                objectName: "balanceDetail"
                                width: parent.width
                                visible: text !== ""
                                text: figure.detail
                                textFormat: Text.PlainText
                                horizontalAlignment: Text.AlignRight
                                wrapMode: Text.Wrap
                                font: Theme.caption
                                color: Theme.textSecondary
                            }
                        }
                    }
                }
            }
        }

        Item { Layout.fillHeight: true }
    }
}
