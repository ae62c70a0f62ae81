import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Totals.js" as Totals
import "../components/ChequeWords.js" as ChequeWords
import "../components/Input.js" as Input

// The cheques falling due within the chosen range, each in its own currency,
// with their count and totals. The totals count every cheque of the range;
// the list shows the first of them by due date.
Item {
    id: tab
    objectName: "chequesTab"

    property string fromDate: ""
    property string toDate: ""
    // The first rows of the report, and what all of its rows add up to per
    // kind and stored currency, in the order the rows first show each.
    property var chequeData: []
    property var chequeTotals: []

    readonly property int chequeCount: countOf("received") + countOf("issued")
    // Received and issued cheques are money coming in and going out: they
    // are totalled apart, never together.
    readonly property string receivedText: totalOf("received")
    readonly property string issuedText: totalOf("issued")

    function ofKind(kind) {
        var groups = []
        for (var i = 0; i < chequeTotals.length; ++i)
            if (chequeTotals[i].kind === kind)
                groups.push(chequeTotals[i])
        return groups
    }

    function countOf(kind) {
        var groups = ofKind(kind)
        var count = 0
        for (var i = 0; i < groups.length; ++i)
            count += Number(groups[i].count) || 0
        return count
    }

    function totalOf(kind) {
        return countOf(kind) + " شيك: "
               + Totals.format(Totals.byCurrency(ofKind(kind), "total", currencyOf), Money)
    }

    readonly property bool loading: read.loading
    signal loaded()

    function reload() {
        read.ask(["", fromDate, toDate])
    }

    property ReportRead read: ReportRead {
        call: "cheques"
        onAnswered: result => {
            tab.chequeData = result.rows
            tab.chequeTotals = result.totals
            tab.loaded()
        }
    }

    function symbolOf(row) {
        return row.currency_symbol || Money.primarySymbol
    }

    function currencyOf(row) {
        return Money.shownId(row.currency_id)
    }

    function statusText(row) {
        return ChequeWords.statusText(row.status, row.replaced_by_payment_id > 0)
    }

    function printPayload() {
        var rows = []
        for (var i = 0; i < chequeData.length; ++i) {
            var r = chequeData[i]
            rows.push({
                cheque_number: r.cheque_number || "",
                bank: r.bank_name || r.bank || "",
                due_date: r.due_date || "",
                amount: Money.plain(r.amount, r.currency_id) + " " + symbolOf(r),
                status: ChequeWords.kindText(r.type) + " - " + statusText(r)
            })
        }
        var summary = {}
        summary["الفترة"] = fromDate + " - " + toDate
        summary["عدد الشيكات"] = String(chequeCount)
        summary["الشيكات الواردة"] = receivedText
        summary["الشيكات الصادرة"] = issuedText
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
                text: tab.chequeCount + " شيك"
            }
            Item { Layout.fillWidth: true }
            ReportCell {
                text: "الواردة:"
            }
            ReportCell {
                objectName: "chequeReceivedTotal"
                strong: true
                text: tab.receivedText
            }
            ReportCell {
                text: "الصادرة:"
            }
            ReportCell {
                objectName: "chequeIssuedTotal"
                strong: true
                text: tab.issuedText
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            EmptyNote {
                anchors.centerIn: parent
                width: parent.width
                visible: tab.chequeCount === 0
                text: "لا توجد شيكات في هذه الفترة"
            }

            ListView {
                objectName: "chequeList"
                anchors.top: parent.top
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: moreNote.visible ? moreNote.top : parent.bottom
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
                        text: (line.modelData.type === "issued" ? "📤 " : "📥 ") + "رقم: "
                              + Input.isolate(line.modelData.cheque_number || "")
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
                        text: Money.plain(line.modelData.amount, line.modelData.currency_id) + " " + tab.symbolOf(line.modelData)
                    }
                    StatusBadge {
                        objectName: "chequeStatus"
                        Layout.alignment: Qt.AlignVCenter
                        text: tab.statusText(line.modelData)
                        textColor: ChequeWords.statusColor(line.modelData.status,
                                                           line.modelData.replaced_by_payment_id > 0)
                        fill: Qt.rgba(textColor.r, textColor.g, textColor.b, 0.14)
                    }
                }
            }

            // The list stops at its first rows; the totals above count all.
            Text {
                id: moreNote
                objectName: "chequeMoreNote"
                anchors.bottom: parent.bottom
                anchors.left: parent.left
                anchors.right: parent.right
                visible: tab.chequeCount > tab.chequeData.length
                text: "تظهر أول " + tab.chequeData.length + " شيك من " + tab.chequeCount
                      + " حسب تاريخ الاستحقاق؛ اطبع التقرير لرؤيتها كلها"
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignRight
                elide: Text.ElideLeft
                font: Theme.small
                color: Theme.textMuted
            }
        }
    }
}
