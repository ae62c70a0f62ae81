import QtQuick
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input
import "../components/Totals.js" as Totals

// "كشف حساب المستأجر - …": a tenant's invoices and payments with a running
// balance, read afresh on every opening, and printed on request.
MDialog {
    id: dialog

    property int tenantId: 0
    property string tenantName: ""
    property var statement: []
    property string message: ""

    readonly property var totalDebit: Totals.byCurrency(statement, "debit", "currency_id")
    readonly property var totalCredit: Totals.byCurrency(statement, "credit", "currency_id")
    readonly property var balance: Totals.byCurrency(statement, function(r) {
        return Number(r.debit) - Number(r.credit) }, "currency_id")

    objectName: "statementDialog"
    title: "كشف حساب المستأجر - " + tenantName
    width: 800
    height: 600

    function show(id, name) {
        tenantId = id
        tenantName = name
        open()
    }

    function reload() {
        statement = tenantId > 0 ? reportCtrl.getTenantStatement(tenantId) : []
    }

    function amountText(value, currencyId) {
        return Number(value) > 0 ? Money.format(value, currencyId) : "-"
    }

    // The printable rows in statement order; the running balance is kept
    // per currency so that amounts of different currencies never mix. The
    // printed "paid" column holds what the tenant paid, so an invoice's own
    // value goes into its description instead.
    function printableEntries() {
        var running = {}
        var entries = []
        for (var i = 0; i < statement.length; ++i) {
            var r = statement[i]
            var key = String(r.currency_id)
            var charged = Number(r.debit) > 0
            running[key] = (running[key] || 0) + Number(r.debit) - Number(r.credit)
            entries.push({
                "date": r.date,
                "description": r.type + " - " + (r.ref || "")
                               + (charged ? " بقيمة " + Input.isolate(Money.format(r.debit, r.currency_id)) : ""),
                "reference": r.ref || "",
                "amount": charged ? "-" : Money.format(r.credit, r.currency_id),
                "balance": Money.format(running[key], r.currency_id)
            })
        }
        return entries
    }

    // The printed statement reads the tenant's invoices and payments itself.
    function printStatement() {
        message = ""
        printCtrl.printTenantStatement(tenantId)
    }

    onAboutToShow: {
        message = ""
        reload()
    }

    DataWatch {
        targets: [invoiceModel, paymentModel, tenantModel]
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
                objectName: "tenantTotalDebit"
                Layout.fillWidth: true
                title: "إجمالي المطلوبات"
                value: Totals.format(dialog.totalDebit, Money, "\n")
                icon: "📈"
            }
            StatsCard {
                objectName: "tenantTotalCredit"
                Layout.fillWidth: true
                title: "إجمالي المدفوعات"
                value: Totals.format(dialog.totalCredit, Money, "\n")
                icon: "📉"
            }
            StatsCard {
                objectName: "tenantBalance"
                Layout.fillWidth: true
                title: "الرصيد المتبقي"
                value: Totals.format(dialog.balance, Money, "\n")
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
                Cell { Layout.preferredWidth: 100; text: "التاريخ"; font: Theme.bodyBold; color: Theme.textSecondary }
                Cell { Layout.preferredWidth: 80; text: "النوع"; font: Theme.bodyBold; color: Theme.textSecondary }
                Cell { Layout.fillWidth: true; text: "المرجع"; font: Theme.bodyBold; color: Theme.textSecondary }
                Cell { Layout.preferredWidth: 110; text: "مدين"; font: Theme.bodyBold; color: Theme.textSecondary }
                Cell { Layout.preferredWidth: 110; text: "دائن"; font: Theme.bodyBold; color: Theme.textSecondary }
            }
        }

        PagedList {
            id: list
            objectName: "tenantStatementList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0
            rows: dialog.statement
            emptyText: "لا توجد فواتير أو دفعات لهذا المستأجر"

            delegate: Rectangle {
                id: row
                required property int index
                readonly property var item: list.rowAt(index)
                objectName: "tenantStatementRow_" + index
                width: list.width
                height: 40
                color: index % 2 ? Theme.bgCard : "transparent"
                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 12
                    anchors.rightMargin: 12
                    layoutDirection: Qt.RightToLeft
                    spacing: 10
                    Cell { Layout.preferredWidth: 100; text: String(row.item.date || "").substring(0, 10) }
                    Cell { Layout.preferredWidth: 80; text: row.item.type || "" }
                    Cell { Layout.fillWidth: true; text: row.item.ref || "" }
                    Cell { objectName: "statementDebit"; Layout.preferredWidth: 110; text: dialog.amountText(row.item.debit, row.item.currency_id) }
                    Cell { objectName: "statementCredit"; Layout.preferredWidth: 110; text: dialog.amountText(row.item.credit, row.item.currency_id) }
                }
            }
        }

        Text {
            objectName: "tenantStatementMessage"
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
            objectName: "tenantStatementPrint"
            Layout.fillWidth: true
            text: "طباعة الكشف"
            onClicked: dialog.printStatement()
        }
    }
}
