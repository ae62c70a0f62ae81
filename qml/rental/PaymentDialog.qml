import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"
import "../components/ChequeWords.js" as ChequeWords

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
    readonly property bool byCheque: methodBox.currentIndex === 2

    objectName: "paymentDialog"
    title: "تسجيل دفعة جديدة"
    width: 450
    height: 500 + (byCheque ? 86 : 0) + (banner.visible ? banner.height + 12 : 0)

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
        referenceField.errorText = ""
        bankField.text = ""
        dueField.text = Input.today()
        dueField.errorText = ""
        methodBox.currentIndex = 0
        errorText = ""
    }

    function save() {
        var tenant = tenantBox.currentRow
        tenantBox.errorText = tenant ? "" : "اختر المستأجر"
        invoiceBox.errorText = tenant && !invoice ? "اختر الفاتورة" : ""
        amountField.errorText = Input.amountError(amountField.text, false)
        // A cheque needs its number and due date; the bank is optional.
        referenceField.errorText = byCheque ? Input.requiredError(referenceField.text) : ""
        dueField.errorText = byCheque ? Input.dateError(dueField.text) : ""
        if (tenantBox.errorText !== "" || invoiceBox.errorText !== "" || amountField.errorText !== ""
                || referenceField.errorText !== "" || dueField.errorText !== "")
            return
        var currency = Number(invoice.currency_id) || Money.primaryId
        var id = byCheque
                ? paymentModel.addCheque(invoice.id, tenant.id, Input.number(amountField.text),
                                         Input.today(), referenceField.text.trim(), bankField.text.trim(),
                                         Input.date(dueField.text), currency)
                : paymentModel.add(invoice.id, tenant.id, Input.number(amountField.text),
                                   methodValues[methodBox.currentIndex], Input.today(),
                                   referenceField.text.trim(), currency)
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
                return Input.isolate(i.invoice_number) + " - المتبقي: "
                        + Input.isolate(Money.format(i.balance, i.currency_id))
            }
            // The amount starts as what the chosen invoice still owes.
            onActivated: index => {
                var row = dialog.pendingInvoices[index]
                if (row)
                    amountField.text = Money.plain(row.balance, row.currency_id)
                amountField.errorText = ""
                invoiceBox.errorText = ""
                dialog.errorText = ""
            }
        }
        MComboBox {
            id: methodBox
            objectName: "paymentMethodBox"
            Layout.fillWidth: true
            label: "طريقة الدفع:"
            model: dialog.methodLabels
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
                label: dialog.byCheque ? "رقم الشيك" : "رقم المرجع"
                onTextChanged: if (text.trim() !== "") errorText = ""
            }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            visible: dialog.byCheque
            spacing: 12
            MTextField {
                id: bankField
                objectName: "paymentBankField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "اسم البنك"
            }
            MTextField {
                id: dueField
                objectName: "paymentDueField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "تاريخ الاستحقاق (YYYY-MM-DD)"
                onTextChanged: if (Input.date(text) !== "") errorText = ""
            }
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
