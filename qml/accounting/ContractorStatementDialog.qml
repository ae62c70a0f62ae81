import QtQuick
import QtQuick.Layouts
import "../components"

// A contractor's statement: bills owed and payments, oldest first, each with
// the running balance of its currency; printable.
MDialog {
    id: dialog

    property int contractorId: 0
    property string contractorName: ""
    property var statement: []
    property var balances: []
    property string message: ""

    objectName: "contractorStatementDialog"
    title: "كشف حساب المقاول: " + contractorName
    width: 800
    height: 600

    function show(id, name) {
        contractorId = id
        contractorName = name
        message = ""
        reload()
        open()
    }

    function reload() {
        statement = contractorModel.getStatement(contractorId)
        balances = contractorModel.getBalances(contractorId)
    }

    function kindText(row) {
        return row.kind === "bill" ? "فاتورة" : row.kind === "returned" ? "شيك مرتجع" : "دفعة"
    }

    function balanceText() {
        if (balances.length === 0)
            return Money.format(0)
        return balances.map(function(b) { return Money.format(b.balance, b.currency_id) }).join(" + ")
    }

    function printStatement() {
        message = ""
        var entries = []
        for (var i = 0; i < statement.length; ++i) {
            var r = statement[i]
            entries.push({
                "date": r.date,
                "description": kindText(r) + ": " + (r.description || ""),
                "reference": r.reference || "",
                "amount": (r.kind === "payment" ? "-" : "+") + Money.format(r.amount, r.currency_id),
                "balance": Money.format(r.balance, r.currency_id)
            })
        }
        printCtrl.printStatement(contractorName, "مقاول", entries, { "الرصيد المستحق": balanceText() })
    }

    DataWatch {
        targets: [contractorModel, expenseModel, maintenanceModel]
        active: dialog.visible
        onChanged: dialog.reload()
    }

    Connections {
        target: printCtrl
        enabled: dialog.visible
        function onPrintFinished(success, filePath) {
            dialog.message = success ? "تم حفظ الكشف في: " + filePath : "تعذرت طباعة الكشف"
        }
        function onPrintError(message) { dialog.message = message }
    }

    component Cell: Text {
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        elide: Text.ElideLeft
        font: Theme.body
        color: Theme.textPrimary
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        Text {
            objectName: "contractorStatementBalance"
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignRight
            text: "الرصيد المستحق: " + dialog.balanceText()
            textFormat: Text.PlainText
            font: Theme.bodyLargeBold
            color: Theme.textPrimary
        }
        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 36
            radius: 8
            color: Theme.bgElevated
            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 12
                anchors.rightMargin: 12
                layoutDirection: Qt.RightToLeft
                spacing: 10
                Cell { Layout.preferredWidth: 90; text: "التاريخ"; font: Theme.smallBold }
                Cell { Layout.preferredWidth: 60; text: "النوع"; font: Theme.smallBold }
                Cell { Layout.fillWidth: true; text: "البيان"; font: Theme.smallBold }
                Cell { Layout.preferredWidth: 110; text: "المبلغ"; font: Theme.smallBold }
                Cell { Layout.preferredWidth: 120; text: "الرصيد"; font: Theme.smallBold }
            }
        }
        PagedList {
            id: rows
            objectName: "contractorStatementList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0
            rows: dialog.statement
            emptyText: "لا توجد فواتير أو دفعات لهذا المقاول بعد"
            delegate: Rectangle {
                id: line
                required property int index
                readonly property var item: rows.rowAt(index)
                objectName: "contractorStatementRow_" + index
                width: rows.width
                height: 38
                color: index % 2 ? Theme.bgSecondary : "transparent"
                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 12
                    anchors.rightMargin: 12
                    layoutDirection: Qt.RightToLeft
                    spacing: 10
                    Cell { Layout.preferredWidth: 90; text: line.item.date || "" }
                    Cell { Layout.preferredWidth: 60; text: dialog.kindText(line.item) }
                    Cell {
                        Layout.fillWidth: true
                        text: (line.item.description || "") + (line.item.reference ? "  ·  " + line.item.reference : "")
                    }
                    Cell {
                        Layout.preferredWidth: 110
                        text: Money.format(line.item.amount, line.item.currency_id)
                        color: line.item.kind === "payment" ? Theme.successColor : Theme.dangerColor
                    }
                    Cell {
                        objectName: "contractorStatementRunning"
                        Layout.preferredWidth: 120
                        text: Money.format(line.item.balance, line.item.currency_id)
                        font: Theme.bodyBold
                    }
                }
            }
        }
        Text {
            objectName: "contractorStatementMessage"
            Layout.fillWidth: true
            visible: dialog.message !== ""
            horizontalAlignment: Text.AlignRight
            wrapMode: Text.Wrap
            text: dialog.message
            textFormat: Text.PlainText
            font: Theme.small
            color: Theme.textSecondary
        }
        MButton {
            objectName: "contractorStatementPrint"
            Layout.fillWidth: true
            text: "طباعة الكشف"
            onClicked: dialog.printStatement()
        }
    }
}
