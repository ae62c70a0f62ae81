import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// "تسجيل دفعة جديدة": a tenant's payment against one of their open invoices,
// in that invoice's currency.
MDialog {
    id: dialog

    property var tenants: []
    property var pendingInvoices: []
    property string errorText: ""

    readonly property var methodLabels: ["نقدي", "تحويل بنكي", "شيك"]
    readonly property var methodValues: ["cash", "bank", "cheque"]
    readonly property var invoice: invoiceBox.currentRow

    objectName: "paymentDialog"
    title: "تسجيل دفعة جديدة"
    width: 450
    height: 500 + (banner.visible ? banner.height + 12 : 0)

    signal saved(int id)

    // Only invoices that can still take a payment: neither settled nor void.
    function loadInvoices() {
        var tenant = tenantBox.currentRow
        var open = []
        if (tenant) {
            var all = invoiceModel.getByTenant(tenant.id)
            for (var i = 0; i < all.length; ++i)
                if ((all[i].status === "pending" || all[i].status === "partial") && Number(all[i].balance) > 0)
                    open.push(all[i])
        }
        pendingInvoices = open
        invoiceBox.currentIndex = -1
    }

    function reset() {
        tenantBox.currentIndex = -1
        tenantBox.errorText = ""
        pendingInvoices = []
        invoiceBox.currentIndex = -1
        invoiceBox.errorText = ""
        amountField.text = ""
        amountField.errorText = ""
        referenceField.text = ""
        methodBox.currentIndex = 0
        errorText = ""
    }

    function save() {
        var tenant = tenantBox.currentRow
        tenantBox.errorText = tenant ? "" : "اختر المستأجر"
        invoiceBox.errorText = tenant && !invoice ? "اختر الفاتورة" : ""
        amountField.errorText = Input.amountError(amountField.text, false)
        if (tenantBox.errorText !== "" || invoiceBox.errorText !== "" || amountField.errorText !== "")
            return
        var id = paymentModel.add(invoice.id, tenant.id, Input.number(amountField.text),
                                  methodValues[methodBox.currentIndex], Input.today(),
                                  referenceField.text.trim(), Number(invoice.currency_id) || Money.primaryId)
        if (id > 0) {
            reset()
            close()
            saved(id)
        } else {
            errorText = Input.refusal(paymentModel)
        }
    }

    onAboutToShow: {
        tenants = tenantModel.getAll()
        reset()
    }
    onOpened: tenantBox.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        MComboBox {
            id: tenantBox
            objectName: "paymentTenantBox"
            Layout.fillWidth: true
            label: "المستأجر"
            placeholder: "اختر مستأجراً..."
            model: dialog.tenants
            textRole: "full_name"
            onActivated: {
                dialog.errorText = ""
                dialog.loadInvoices()
            }
        }
        MComboBox {
            id: invoiceBox
            objectName: "paymentInvoiceBox"
            Layout.fillWidth: true
            label: "الفاتورة المستحقة"
            placeholder: tenantBox.currentIndex >= 0 && dialog.pendingInvoices.length === 0
                         ? "لا توجد فواتير مستحقة لهذا المستأجر" : "اختر فاتورة..."
            model: dialog.pendingInvoices
            displayFunction: function(i) {
                return i.invoice_number + " (المتبقي: " + Money.format(i.balance, i.currency_id) + ")"
            }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField {
                id: amountField
                objectName: "paymentAmountField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "المبلغ المدفوع" + (dialog.invoice ? " (" + Money.symbol(dialog.invoice.currency_id) + ")" : "")
                placeholderText: "0.00"
            }
            MTextField {
                id: referenceField
                objectName: "paymentReferenceField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "رقم المرجع / الشيك"
            }
        }
        MComboBox {
            id: methodBox
            objectName: "paymentMethodBox"
            Layout.fillWidth: true
            label: "طريقة الدفع:"
            model: dialog.methodLabels
        }
        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "paymentSaveButton"
            Layout.fillWidth: true
            text: "تأكيد الدفع"
            onClicked: dialog.save()
        }
    }
}
