import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Totals.js" as Totals

// Instalments past their due date and not fully paid, with what is still
// owed on each and in all (per currency).
Item {
    id: tab
    objectName: "overdueTab"

    property var overdueList: []

    readonly property string totalText: Totals.format(
        Totals.byCurrency(overdueList, remaining, currencyOf), Money)

    readonly property bool loading: read.loading
    signal loaded()

    function reload() {
        read.ask([])
    }

    property ReportRead read: ReportRead {
        call: "overdue"
        onAnswered: result => {
            tab.overdueList = result
            tab.loaded()
        }
    }

    function remaining(row) {
        return (Number(row.installment_amount) || 0) - (Number(row.paid_amount) || 0)
    }

    function currencyOf(row) {
        return Money.shownId(row.currency_id)
    }

    function printPayload() {
        var rows = []
        for (var i = 0; i < overdueList.length; ++i) {
            var r = overdueList[i]
            var row = {
                buyer_name: r.buyer_name || "",
                property_name: r.property_name || "",
                unit_number: r.unit_number || "",
                due_date: r.due_date || "",
                installment_amount: Money.format(r.installment_amount, r.currency_id),
                paid_amount: Money.format(r.paid_amount, r.currency_id)
            }
            row["المتبقي"] = Money.format(remaining(r), r.currency_id)
            rows.push(row)
        }
        var summary = {}
        summary["عدد الأقساط المتأخرة"] = String(overdueList.length)
        summary["إجمالي المتأخر"] = totalText
        return { data: rows, summary: summary }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 12

        ReportRow {
            objectName: "overdueTotals"
            Layout.fillWidth: true
            color: Theme.bgElevated

            ReportCell {
                objectName: "overdueCount"
                strong: true
                text: tab.overdueList.length + " قسط متأخر"
            }
            Item { Layout.fillWidth: true }
            ReportCell {
                text: "إجمالي المتأخر:"
            }
            ReportCell {
                objectName: "overdueTotal"
                strong: true
                color: Theme.dangerColor
                text: tab.totalText
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            EmptyNote {
                anchors.centerIn: parent
                width: parent.width
                visible: tab.overdueList.length === 0
                text: "لا توجد أقساط متأخرة"
            }

            ListView {
                objectName: "overdueList"
                anchors.fill: parent
                clip: true
                spacing: 8
                model: tab.overdueList
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar {}

                delegate: ReportRow {
                    id: line
                    objectName: "overdueRow"
                    required property var modelData
                    width: ListView.view.width - 14
                    x: 0

                    ReportCell {
                        objectName: "overdueBuyer"
                        Layout.preferredWidth: 180
                        strong: true
                        text: line.modelData.buyer_name || ""
                    }
                    ReportCell {
                        objectName: "overduePlace"
                        Layout.fillWidth: true
                        text: (line.modelData.property_name || "") + " - وحدة " + (line.modelData.unit_number || "")
                    }
                    ReportCell {
                        objectName: "overdueDue"
                        Layout.preferredWidth: 100
                        text: line.modelData.due_date || ""
                    }
                    ReportCell {
                        objectName: "overdueRemaining"
                        Layout.preferredWidth: 150
                        strong: true
                        color: Theme.dangerColor
                        text: Money.format(tab.remaining(line.modelData), line.modelData.currency_id)
                    }
                }
            }
        }
    }
}
