import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Totals.js" as Totals

// The payments: a paged, searchable list of what was received, newest first.
Item {
    id: page
    objectName: "paymentsPage"

    readonly property var list: paymentList
    // The payment recorded last on this page, whose receipt can be printed.
    property int lastPaymentId: 0
    // Why the last receipt could not be printed; empty once one is.
    property string printFailure: ""

    function printReceipt(paymentId) {
        printFailure = printCtrl.printReceipt(paymentId) ? "" : printCtrl.lastError
    }
    // Tenants' payments by default; buyers' instalment payments apart.
    property string payer: "tenant"

    onPayerChanged: applyQuery()

    function applyQuery() {
        list.filters = { "payer": payer }
        list.searchText = search.text.trim()
    }

    // The shell builds a page when it is first shown, so it starts visible.
    Component.onCompleted: if (visible) { applyQuery(); list.refresh() }
    onVisibleChanged: if (visible) { applyQuery(); list.refresh() }

    DataWatch {
        targets: [tenantModel, buyerModel, invoiceModel, unitModel, propertyModel]
        active: page.visible
        onChanged: page.list.refresh()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 16

        PageHeader {
            Layout.fillWidth: true
            title: "المدفوعات"
            subtitle: "تتبع جميع المدفوعات"
            extraContent: [
                MButton {
                    objectName: "lastReceiptButton"
                    visible: page.lastPaymentId > 0
                    text: "طباعة سند القبض"
                    iconSymbol: "⎙"
                    outline: true
                    onClicked: page.printReceipt(page.lastPaymentId)
                },
                MButton {
                    objectName: "addPaymentButton"
                    text: "+ تسجيل دفعة"
                    onClicked: paymentDialog.get().open()
                }
            ]
        }

        ErrorBanner {
            objectName: "receiptPrintFailure"
            Layout.fillWidth: true
            text: page.printFailure
        }

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 8
            MButton {
                objectName: "tenantPaymentsButton"
                text: "مدفوعات المستأجرين"
                outline: page.payer !== "tenant"
                onClicked: page.payer = "tenant"
            }
            MButton {
                objectName: "buyerPaymentsButton"
                text: "دفعات المشترين"
                outline: page.payer !== "buyer"
                onClicked: page.payer = "buyer"
            }
            Item { Layout.fillWidth: true }
        }

        SearchBar {
            id: search
            objectName: "paymentSearch"
            Layout.fillWidth: true
            placeholderText: "بحث بالاسم أو رقم الفاتورة أو المرجع..."
            onQueryChanged: page.applyQuery()
        }

        PagedList {
            id: table
            objectName: "paymentTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: page.list
            spacing: 6
            narrowed: search.text.trim() !== ""
            emptyText: page.payer === "buyer" ? "لا توجد دفعات مشترين بعد" : "لا توجد مدفوعات بعد"
            noMatchText: "لا توجد مدفوعات مطابقة للبحث"

            delegate: Rectangle {
                id: row
                required property int index
                required property var model
                objectName: "paymentRow_" + index
                width: table.width
                height: 48
                radius: 10
                color: Theme.bgCard
                border.width: 1
                border.color: Theme.borderColor

                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 16
                    anchors.rightMargin: 16
                    layoutDirection: Qt.RightToLeft
                    spacing: 12
                    Text {
                        Layout.preferredWidth: 150
                        text: row.model.tenant_name || row.model.buyer_name || ""
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        elide: Text.ElideLeft
                        font: Theme.bodyLargeBold
                        color: Theme.textPrimary
                    }
                    Text {
                        Layout.fillWidth: true
                        text: (row.model.property_name || "")
                              + (row.model.unit_number ? " - " + row.model.unit_number : "")
                              + (row.model.invoice_number ? "  ·  " + row.model.invoice_number : "")
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        elide: Text.ElideLeft
                        font: Theme.body
                        color: Theme.textSecondary
                    }
                    Text {
                        objectName: "paymentAmount"
                        Layout.preferredWidth: 120
                        text: Money.format(row.model.amount, row.model.currency_id)
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        font: Theme.bodyLargeBold
                        color: Theme.dark ? "#22c55e" : Theme.successColor
                    }
                    MButton {
                        objectName: "paymentReceiptButton"
                        text: "سند قبض"
                        iconSymbol: "⎙"
                        outline: true
                        onClicked: page.printReceipt(row.model.id)
                    }
                    Text {
                        Layout.preferredWidth: 100
                        text: row.model.payment_date || ""
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        font: Theme.body
                        color: Theme.textSecondary
                    }
                }
            }
        }

        Text {
            objectName: "paymentCount"
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignRight
            text: "عدد المدفوعات: " + (page.list.totalsPending ? "جارٍ العد…" : page.list.totalCount)
            textFormat: Text.PlainText
            font: Theme.small
            color: Theme.textMuted
        }
        Text {
            objectName: "paymentTotal"
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignRight
            text: "إجمالي المدفوعات: " + (page.list.totalsPending ? "جارٍ الحساب…"
                                          : Totals.converted(page.list.totals.converted, Money))
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font: Theme.small
            color: Theme.textMuted
        }
    }

    LazyDialog {
        id: paymentDialog
        dialogComponent: Component {
            PaymentDialog {
                // The receipt of the payment just taken is one click away.
                onSaved: id => page.lastPaymentId = id
            }
        }
    }
}
