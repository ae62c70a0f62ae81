import QtQuick
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "فاتورة …": one invoice's lines, the payments made against it and what is
// still open, read afresh on every opening; a live invoice can be voided from
// here after confirming with its number.
MDialog {
    id: dialog

    property int invoiceId: 0
    property var invoice: ({})
    property var lines: []
    property var payments: []
    readonly property bool live: invoice.status !== undefined && invoice.status !== "void"

    objectName: "invoiceDetailDialog"
    title: "فاتورة " + (invoice.invoice_number || "")
    width: 640
    height: 560

    function show(id) {
        invoiceId = id
        open()
    }

    function reload() {
        invoice = invoiceId > 0 ? invoiceModel.getById(invoiceId) : ({})
        lines = invoiceId > 0 ? invoiceModel.getItems(invoiceId) : []
        payments = invoiceId > 0 ? invoiceModel.getPayments(invoiceId) : []
    }

    function statusLabel(s) {
        return s === "paid" ? "مدفوعة" : s === "partial" ? "جزئي" : s === "void" ? "ملغاة" : "معلقة"
    }

    function methodLabel(m) {
        return m === "bank" ? "تحويل بنكي" : m === "cheque" ? "شيك" : "نقدي"
    }

    function askVoid() {
        var id = dialog.invoiceId
        confirm.ask("إلغاء فاتورة", "هل تريد إلغاء الفاتورة «" + dialog.invoice.invoice_number
                    + "»؟ يُلغى المتبقي منها من رصيد المستأجر.", "إلغاء الفاتورة",
                    function() {
                        if (!invoiceModel.voidInvoice(id))
                            return Input.refusal(invoiceModel)
                        dialog.reload()
                        return ""
                    })
    }

    onAboutToShow: reload()

    DataWatch {
        targets: [invoiceModel, paymentModel]
        active: dialog.visible
        onChanged: dialog.reload()
    }

    component Label: Text {
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        elide: Text.ElideLeft
        font: Theme.body
        color: Theme.textPrimary
    }

    component Heading: Label {
        Layout.fillWidth: true
        font.pixelSize: 14
        font.bold: true
        color: Theme.accentGold
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 16
            Label {
                objectName: "detailTenant"
                Layout.fillWidth: true
                text: (dialog.invoice.tenant_name || "") + " - الفترة " + Input.isolate(dialog.invoice.period || "")
                font.bold: true
            }
            StatusBadge {
                objectName: "detailStatus"
                text: dialog.statusLabel(dialog.invoice.status)
                textColor: dialog.live ? Theme.warningColor : Theme.textSecondary
            }
        }

        Heading { text: "البنود" }
        Repeater {
            model: dialog.lines
            delegate: RowLayout {
                required property var modelData
                objectName: "detailLine"
                Layout.fillWidth: true
                layoutDirection: Qt.RightToLeft
                spacing: 10
                Label { Layout.fillWidth: true; text: modelData.description || "" }
                Label {
                    Layout.preferredWidth: 70
                    text: "× " + Number(modelData.quantity)
                    color: Theme.textSecondary
                }
                Label {
                    Layout.preferredWidth: 130
                    text: Money.format(modelData.total, dialog.invoice.currency_id)
                }
            }
        }
        Label {
            visible: dialog.lines.length === 0
            Layout.fillWidth: true
            text: "لا توجد بنود في هذه الفاتورة"
            color: Theme.textMuted
        }

        Heading { text: "الدفعات" }
        Repeater {
            model: dialog.payments
            delegate: RowLayout {
                required property var modelData
                objectName: "detailPayment"
                Layout.fillWidth: true
                layoutDirection: Qt.RightToLeft
                spacing: 10
                Label { Layout.preferredWidth: 100; text: modelData.payment_date || "" }
                Label { Layout.fillWidth: true; text: dialog.methodLabel(modelData.payment_method)
                                                      + (modelData.reference ? " - " + modelData.reference : "") }
                Label {
                    Layout.preferredWidth: 130
                    text: Money.format(modelData.amount, modelData.currency_id)
                    color: Theme.successColor
                }
            }
        }
        Label {
            objectName: "detailNoPayments"
            visible: dialog.payments.length === 0
            Layout.fillWidth: true
            text: "لم تُسجَّل دفعات على هذه الفاتورة بعد"
            color: Theme.textMuted
        }

        Item { Layout.fillHeight: true }

        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 1
            color: Theme.borderColor
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 16
            Label {
                objectName: "detailTotal"
                text: "الإجمالي: " + Input.isolate(Money.format(dialog.invoice.total_amount, dialog.invoice.currency_id))
            }
            Label {
                objectName: "detailPaid"
                text: "المدفوع: " + Input.isolate(Money.format(dialog.invoice.paid_amount, dialog.invoice.currency_id))
            }
            Label {
                objectName: "detailBalance"
                Layout.fillWidth: true
                text: "المتبقي: " + Input.isolate(Money.format(dialog.invoice.balance, dialog.invoice.currency_id))
                font.bold: true
            }
            MButton {
                objectName: "voidInvoiceButton"
                visible: dialog.live
                text: "إلغاء الفاتورة"
                outline: true
                btnColor: Theme.dangerColor
                onClicked: dialog.askVoid()
            }
        }
    }

    ConfirmDialog {
        id: confirm
    }
}
