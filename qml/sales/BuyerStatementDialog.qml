import QtQuick
import QtQuick.Layouts
import "../components"
import "../components/Totals.js" as Totals

// "كشف حساب المشتري - …": the buyer's instalments with what was paid and
// what remains, read afresh on every opening, and printed on request.
MDialog {
    id: dialog

    property int buyerId: 0
    property string buyerName: ""
    property var statement: []
    property string message: ""

    readonly property var totalAmount: Totals.byCurrency(statement, "installment_amount", "currency_id")
    readonly property var totalPaid: Totals.byCurrency(statement, "paid_amount", "currency_id")
    readonly property var totalRemaining: Totals.byCurrency(statement, function(r) {
        return Number(r.installment_amount) - Number(r.paid_amount || 0) }, "currency_id")

    objectName: "buyerStatementDialog"
    title: "كشف حساب المشتري - " + buyerName
    width: 800
    height: 600

    function show(id, name) {
        buyerId = id
        buyerName = name
        open()
    }

    function reload() {
        statement = buyerId > 0 ? reportCtrl.getBuyerStatement(buyerId) : []
    }

    // The printed statement reads the buyer's sales and instalments itself.
    function printStatement() {
        message = ""
        printCtrl.printBuyerStatement(buyerId)
    }

    onAboutToShow: {
        message = ""
        reload()
    }

    DataWatch {
        targets: [installmentModel, buyerModel]
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
        spacing: 12

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            StatsCard {
                objectName: "buyerTotalAmount"
                Layout.fillWidth: true
                title: "إجمالي قيمة الأقساط"
                value: Totals.format(dialog.totalAmount, Money, "\n")
                icon: "📈"
            }
            StatsCard {
                objectName: "buyerTotalPaid"
                Layout.fillWidth: true
                title: "إجمالي المسدد"
                value: Totals.format(dialog.totalPaid, Money, "\n")
                icon: "📉"
            }
            StatsCard {
                objectName: "buyerTotalRemaining"
                Layout.fillWidth: true
                title: "المتبقي الكلي"
                value: Totals.format(dialog.totalRemaining, Money, "\n")
                icon: "⚖️"
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 38
            radius: 8
            color: Theme.bgElevated
            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 12
                anchors.rightMargin: 12
                layoutDirection: Qt.RightToLeft
                spacing: 10
                Cell { Layout.preferredWidth: 120; text: "تاريخ الاستحقاق"; font: Theme.bodyBold; color: Theme.textSecondary }
                Cell { Layout.fillWidth: true; text: "البيان"; font: Theme.bodyBold; color: Theme.textSecondary }
                Cell { Layout.preferredWidth: 120; text: "قيمة القسط"; font: Theme.bodyBold; color: Theme.textSecondary }
                Cell { Layout.preferredWidth: 120; text: "المدفوع"; font: Theme.bodyBold; color: Theme.textSecondary }
                Cell { Layout.preferredWidth: 120; text: "المتبقي"; font: Theme.bodyBold; color: Theme.textSecondary }
            }
        }

        PagedList {
            id: list
            objectName: "buyerStatementList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0
            rows: dialog.statement
            emptyText: "لا توجد أقساط في كشف هذا المشتري"

            delegate: Rectangle {
                id: row
                required property int index
                readonly property var item: list.rowAt(index)
                width: list.width
                height: 40
                color: index % 2 ? Theme.bgCard : "transparent"
                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 12
                    anchors.rightMargin: 12
                    layoutDirection: Qt.RightToLeft
                    spacing: 10
                    Cell { Layout.preferredWidth: 120; text: row.item.due_date || "" }
                    Cell { Layout.fillWidth: true; text: "قسط وحدة " + row.item.unit_number }
                    Cell { Layout.preferredWidth: 120; text: Money.format(row.item.installment_amount, row.item.currency_id) }
                    Cell { Layout.preferredWidth: 120; text: Money.format(row.item.paid_amount || 0, row.item.currency_id) }
                    Cell {
                        objectName: "statementRemaining"
                        Layout.preferredWidth: 120
                        text: Money.format(row.item.remaining_amount || 0, row.item.currency_id)
                    }
                }
            }
        }

        Text {
            objectName: "buyerStatementMessage"
            Layout.fillWidth: true
            visible: dialog.message !== ""
            text: dialog.message
            textFormat: Text.PlainText
            horizontalAlignment: Text.AlignRight
            wrapMode: Text.Wrap
            font: Theme.small
            color: Theme.textSecondary
        }

        MButton {
            objectName: "buyerStatementPrint"
            Layout.fillWidth: true
            text: "طباعة كشف الحساب"
            onClicked: dialog.printStatement()
        }
    }
}
