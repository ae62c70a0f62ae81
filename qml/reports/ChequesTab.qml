import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Totals.js" as Totals

// The cheques falling due within the chosen range, each in its own currency,
// with their count and totals.
Item {
    id: tab
    objectName: "chequesTab"

    property string fromDate: ""
    property string toDate: ""
    property var chequeData: []

    readonly property string totalText: Totals.format(
        Totals.byCurrency(chequeData, "amount", currencyOf), Money)

    function reload() {
        chequeData = reportCtrl.getChequeReport("", fromDate, toDate)
    }

    function symbolOf(row) {
        return row.currency_symbol || Money.primarySymbol
    }

    function currencyOf(row) {
        return Money.shownId(row.currency_id)
    }

    function statusText(status) {
        return status === "paid" ? "تم الصرف" : status === "pending" ? "معلق" : "مرتجع"
    }

    function printPayload() {
        var rows = []
        for (var i = 0; i < chequeData.length; ++i) {
            var r = chequeData[i]
            rows.push({
                cheque_number: r.cheque_number || "",
                bank: r.bank_name || r.bank || "",
                due_date: r.due_date || "",
                amount: Money.plain(r.amount) + " " + symbolOf(r),
                status: statusText(r.status)
            })
        }
        var summary = {}
        summary["الفترة"] = fromDate + " - " + toDate
        summary["عدد الشيكات"] = String(chequeData.length)
        summary["الإجمالي"] = totalText
        return { data: rows, summary: summary }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 12

        ReportRow {
            objectName: "chequeTotals"
            Layout.fillWidth: true
            color: Theme.bgElevated

            ReportCell {
                objectName: "chequeCount"
                strong: true
                text: tab.chequeData.length + " شيك"
            }
            Item { Layout.fillWidth: true }
            ReportCell {
                text: "الإجمالي:"
            }
            ReportCell {
                objectName: "chequeTotal"
                strong: true
                text: tab.totalText
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            EmptyNote {
                anchors.centerIn: parent
                width: parent.width
                visible: tab.chequeData.length === 0
                text: "لا توجد شيكات في هذه الفترة"
            }

            ListView {
                objectName: "chequeList"
                anchors.fill: parent
                clip: true
                spacing: 8
                model: tab.chequeData
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar {}

                delegate: ReportRow {
                    id: line
                    objectName: "chequeRow"
                    required property var modelData
                    width: ListView.view.width - 14
                    x: 0

                    ReportCell {
                        objectName: "chequeNumber"
                        Layout.preferredWidth: 160
                        strong: true
                        text: "رقم: " + (line.modelData.cheque_number || "")
                    }
                    ReportCell {
                        objectName: "chequeBank"
                        Layout.fillWidth: true
                        text: line.modelData.bank_name || line.modelData.bank || ""
                    }
                    ReportCell {
                        objectName: "chequeDue"
                        Layout.preferredWidth: 100
                        text: line.modelData.due_date || ""
                    }
                    ReportCell {
                        objectName: "chequeAmount"
                        Layout.preferredWidth: 150
                        strong: true
                        text: Money.plain(line.modelData.amount) + " " + tab.symbolOf(line.modelData)
                    }
                    StatusBadge {
                        objectName: "chequeStatus"
                        Layout.alignment: Qt.AlignVCenter
                        text: tab.statusText(line.modelData.status)
                        textColor: line.modelData.status === "paid" ? "#22c55e"
                              : line.modelData.status === "pending" ? "#f59e0b" : "#ef4444"
                        fill: Qt.rgba(textColor.r, textColor.g, textColor.b, 0.14)
                    }
                }
            }
        }
    }
}
