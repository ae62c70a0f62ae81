import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// The trial balance: debit, credit and balance of every account that moved,
// one row per account and currency, with the totals of each currency. A
// period narrows it to the entries dated inside; a row opens the account's
// ledger.
ColumnLayout {
    id: panel
    objectName: "trialBalancePanel"

    property var result: ({ "rows": [], "totals": [] })
    property string fromError: ""
    property string toError: ""

    signal accountChosen(int accountId)

    spacing: 10

    function reload() {
        var from = fromField.text.trim() === "" ? "" : Input.date(fromField.text)
        var to = toField.text.trim() === "" ? "" : Input.date(toField.text)
        fromError = fromField.text.trim() !== "" && from === "" ? Input.dateError(fromField.text) : ""
        toError = toField.text.trim() !== "" && to === "" ? Input.dateError(toField.text) : ""
        if (fromError !== "" || toError !== "")
            return
        if ((from === "") !== (to === "")) {
            // One bound alone is not a period: say which one is missing.
            fromError = from === "" ? "أدخل بداية الفترة" : ""
            toError = to === "" ? "أدخل نهاية الفترة" : ""
            return
        }
        read.ask([from, to])
    }

    // Read off the window's thread; the rows on screen stay until the new
    // ones arrive.
    readonly property bool loading: read.loading
    property ReportRead read: ReportRead {
        call: "trialBalance"
        onAnswered: r => {
            panel.result = r.rows !== undefined ? r : ({ "rows": [], "totals": [] })
        }
    }

    // A balance reads on its side, as accountants write it.
    function sided(amount, currencyId) {
        var n = Number(amount)
        if (Math.abs(n) < 0.005)
            return Money.format(0, currencyId)
        return Money.format(Math.abs(n), currencyId) + (n > 0 ? " مدين" : " دائن")
    }

    component Cell: Text {
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideLeft
        font: Theme.body
        color: Theme.textPrimary
    }

    RowLayout {
        Layout.fillWidth: true
        layoutDirection: Qt.RightToLeft
        spacing: 10
        MTextField {
            id: fromField
            objectName: "trialFromField"
            Layout.fillWidth: false
            Layout.preferredWidth: 170
            placeholderText: "من yyyy-MM-dd"
            errorText: panel.fromError
            onTextChanged: panel.fromError = ""
            onAccepted: panel.reload()
        }
        MTextField {
            id: toField
            objectName: "trialToField"
            Layout.fillWidth: false
            Layout.preferredWidth: 170
            placeholderText: "إلى yyyy-MM-dd"
            errorText: panel.toError
            onTextChanged: panel.toError = ""
            onAccepted: panel.reload()
        }
        MButton {
            objectName: "trialShowButton"
            Layout.alignment: Qt.AlignTop
            text: "عرض"
            onClicked: panel.reload()
        }
        LoadingNote {
            objectName: "trialLoading"
            Layout.alignment: Qt.AlignVCenter
            loading: panel.loading
        }
        Item { Layout.fillWidth: true }
    }

    Rectangle {
        Layout.fillWidth: true
        Layout.preferredHeight: 36
        radius: 8
        color: Theme.bgElevated
        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: 14
            anchors.rightMargin: 14
            layoutDirection: Qt.RightToLeft
            spacing: 10
            Cell { Layout.preferredWidth: 60; text: "الرمز"; font.bold: true; color: Theme.textSecondary }
            Cell { Layout.fillWidth: true; text: "الحساب"; font.bold: true; color: Theme.textSecondary }
            Cell { Layout.preferredWidth: 130; text: "مدين"; font.bold: true; color: Theme.textSecondary }
            Cell { Layout.preferredWidth: 130; text: "دائن"; font.bold: true; color: Theme.textSecondary }
            Cell { Layout.preferredWidth: 170; text: "الرصيد"; font.bold: true; color: Theme.textSecondary }
        }
    }

    PagedList {
        id: list
        objectName: "trialBalanceList"
        Layout.fillWidth: true
        Layout.fillHeight: true
        // The rows give way first (down to one row; they scroll), so the
        // totals of every currency stay in view in a short window.
        Layout.minimumHeight: 40
        spacing: 0
        rows: panel.result.rows
        emptyText: "لا توجد حركات في القيود لهذه الفترة"
        delegate: Rectangle {
            id: row
            required property int index
            readonly property var item: list.rowAt(index)
            objectName: "trialRow_" + item.code + "_" + item.currency_code
            width: list.width
            height: 40
            color: rowMouse.containsMouse ? Theme.bgElevated : (index % 2 ? Theme.bgSecondary : "transparent")
            MouseArea {
                id: rowMouse
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: panel.accountChosen(Number(row.item.account_id))
            }
            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 14
                anchors.rightMargin: 14
                layoutDirection: Qt.RightToLeft
                spacing: 10
                Cell { Layout.preferredWidth: 60; text: row.item.code || ""; color: Theme.textSecondary }
                Cell { Layout.fillWidth: true; text: row.item.name_ar || "" }
                Cell { objectName: "trialDebit"; Layout.preferredWidth: 130; text: Money.format(row.item.debit, row.item.currency_id) }
                Cell { objectName: "trialCredit"; Layout.preferredWidth: 130; text: Money.format(row.item.credit, row.item.currency_id) }
                Cell {
                    objectName: "trialBalance"
                    Layout.preferredWidth: 170
                    text: panel.sided(row.item.balance, row.item.currency_id)
                    font.bold: true
                }
            }
        }
    }

    // One total per currency, under the rows. A layout rather than a
    // positioner: its height follows the totals as soon as an answer brings
    // them, so the panel makes room for them in the same pass; a Column only
    // reports its height once it has been positioned, which could leave the
    // rows sized for no totals and push the totals below the window.
    ColumnLayout {
        objectName: "trialTotals"
        Layout.fillWidth: true
        spacing: 6
        Repeater {
            model: panel.result.totals
            delegate: Rectangle {
                id: total
                required property var modelData
                readonly property bool even: Math.abs(Number(modelData.balance)) < 0.005
                objectName: "trialTotal_" + modelData.currency_code
                Layout.fillWidth: true
                Layout.preferredHeight: 38
                radius: 8
                color: Theme.bgElevated
                border.width: 1
                border.color: even ? Theme.borderColor : Theme.dangerColor
                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 14
                    anchors.rightMargin: 14
                    layoutDirection: Qt.RightToLeft
                    spacing: 10
                    Cell {
                        Layout.fillWidth: true
                        text: "الإجمالي (" + (total.modelData.currency_code || "") + ")"
                        font.bold: true
                    }
                    Cell {
                        objectName: "trialTotalDebit"
                        Layout.preferredWidth: 130
                        text: Money.format(total.modelData.debit, total.modelData.currency_id)
                        font.bold: true
                    }
                    Cell {
                        objectName: "trialTotalCredit"
                        Layout.preferredWidth: 130
                        text: Money.format(total.modelData.credit, total.modelData.currency_id)
                        font.bold: true
                    }
                    Cell {
                        Layout.preferredWidth: 170
                        text: panel.sided(total.modelData.balance, total.modelData.currency_id)
                        font.bold: true
                        color: total.even ? Theme.successColor : Theme.dangerColor
                    }
                }
            }
        }
    }
}
