import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "تسجيل شيك جديد": a cheque received or issued, tied to what it pays. A
// received cheque pays a tenant's open invoice or a buyer's open instalment,
// an issued one a contractor; each is then recorded as that payment, in its
// currency, and its clearing or bounce acts on the debt. A cheque kept for
// follow-up only (a guarantee cheque) moves no money and posts nothing.
MDialog {
    id: dialog

    property var currencyList: []
    property var parties: []
    property var debts: []
    property string kind: "received"
    property string errorText: ""

    readonly property var linkChoices: kind === "received"
        ? [{ "value": "invoice", "text": "فاتورة مستأجر" },
           { "value": "installment", "text": "قسط مشترٍ" },
           { "value": "none", "text": "شيك ضمان - للمتابعة فقط ولا يدخل الدفاتر" }]
        : [{ "value": "contractor", "text": "دفعة لمقاول" },
           { "value": "none", "text": "للمتابعة فقط - لا يدخل الدفاتر" }]
    readonly property string link: linkBox.currentRow ? linkBox.currentRow.value : "none"
    readonly property bool withDebt: link === "invoice" || link === "installment"
    readonly property var party: partyBox.currentRow
    readonly property var debt: debtBox.currentRow

    objectName: "chequeAddDialog"
    title: "تسجيل شيك جديد"
    width: 520
    height: 560 + (withDebt ? 80 : 0) + (banner.visible ? banner.height + 12 : 0)

    // What is still owed on an invoice or an instalment.
    function openAmount(row) {
        return link === "invoice" ? Number(row.balance)
                                  : Number(row.installment_amount) - Number(row.paid_amount || 0)
    }

    function loadParties() {
        parties = link === "invoice" ? tenantModel.getAll()
                : link === "installment" ? buyerModel.getAll()
                : link === "contractor" ? contractorModel.getAll() : []
        partyBox.currentIndex = -1
        debts = []
        debtBox.currentIndex = -1
    }

    function loadDebts() {
        var open = []
        if (party && link === "invoice") {
            var invoices = invoiceModel.getByTenant(party.id)
            for (var i = 0; i < invoices.length; ++i)
                if ((invoices[i].status === "pending" || invoices[i].status === "partial")
                        && Number(invoices[i].balance) > 0)
                    open.push(invoices[i])
        } else if (party && link === "installment") {
            var rows = installmentModel.getByBuyer(party.id)
            for (var j = 0; j < rows.length; ++j)
                if (rows[j].status !== "paid" && openAmount(rows[j]) > 0.004)
                    open.push(rows[j])
        }
        debts = open
        debtBox.currentIndex = -1
    }

    function clearMessages() {
        var fields = [numberField, amountField, rateField, dateField, currencyBox, partyBox, debtBox]
        for (var i = 0; i < fields.length; ++i)
            fields[i].errorText = ""
        errorText = ""
    }

    function save() {
        numberField.errorText = Input.requiredError(numberField.text)
        amountField.errorText = Input.amountError(amountField.text)
        rateField.errorText = link === "none" ? Input.amountError(rateField.text) : ""
        dateField.errorText = Input.dateError(dateField.text)
        currencyBox.errorText = withDebt || currencyBox.currentRow ? "" : "اختر العملة"
        partyBox.errorText = link === "none" || party ? "" : "اختر " + partyBox.label
        debtBox.errorText = withDebt && party && !debt ? "اختر " + debtBox.label : ""
        if (withDebt && debt && amountField.errorText === ""
                && Input.number(amountField.text) > openAmount(debt) + 0.005)
            amountField.errorText = "المبلغ أكبر من المتبقي"
        var fields = [numberField, amountField, rateField, dateField, currencyBox, partyBox, debtBox]
        for (var i = 0; i < fields.length; ++i)
            if (fields[i].errorText !== "")
                return
        var number = numberField.text.trim()
        var amount = Input.number(amountField.text)
        var bank = bankField.text.trim()
        var due = Input.date(dateField.text)
        var model = chequeModel
        var id = -1
        if (link === "invoice") {
            model = paymentModel
            id = paymentModel.addCheque(debt.id, party.id, amount, Input.today(), number, bank, due,
                                        Number(debt.currency_id) || Money.primaryId)
        } else if (link === "installment") {
            model = installmentModel
            id = installmentModel.payByCheque(debt.id, amount, number, bank, due)
        } else if (link === "contractor") {
            model = contractorModel
            id = contractorModel.pay(party.id, amount, currencyBox.currentRow.id, Input.today(), "cheque",
                                     "", "", { "cheque_number": number, "bank_name": bank, "due_date": due })
        } else {
            id = chequeModel.add(number, kind, amount, bank, due, nameField.text.trim(),
                                 currencyBox.currentRow.id, Input.number(rateField.text))
        }
        if (id > 0) {
            numberField.text = ""
            bankField.text = ""
            amountField.text = ""
            nameField.text = ""
            close()
        } else {
            errorText = Input.refusal(model)
        }
    }

    // After the choices follow the new kind.
    onKindChanged: Qt.callLater(function() {
        linkBox.currentIndex = 0
        dialog.loadParties()
        dialog.clearMessages()
    })
    onAboutToShow: {
        currencyList = currencyModel.getAll()
        if (currencyBox.currentIndex < 0 || currencyBox.currentIndex >= currencyList.length)
            currencyBox.currentIndex = currencyList.length > 0 ? 0 : -1
        if (linkBox.currentIndex < 0)
            linkBox.currentIndex = 0
        if (rateField.text === "")
            rateField.text = "1.0"
        if (dateField.text === "")
            dateField.text = Input.today()
        loadParties()
        clearMessages()
    }
    onOpened: numberField.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 16
            MRadioButton {
                objectName: "chequeKindReceived"
                text: "شيك مقبوض (وارد)"
                checked: dialog.kind === "received"
                onClicked: dialog.kind = "received"
            }
            MRadioButton {
                objectName: "chequeKindIssued"
                text: "شيك مدفوع (صادر)"
                checked: dialog.kind === "issued"
                onClicked: dialog.kind = "issued"
            }
            Item { Layout.fillWidth: true }
        }
        MComboBox {
            id: linkBox
            objectName: "chequeLinkBox"
            Layout.fillWidth: true
            label: "يسدّد الشيك:"
            model: dialog.linkChoices
            textRole: "text"
            onActivated: {
                dialog.loadParties()
                dialog.clearMessages()
            }
        }
        MComboBox {
            id: partyBox
            objectName: "chequePartyBox"
            visible: dialog.link !== "none"
            Layout.fillWidth: true
            label: dialog.link === "invoice" ? "المستأجر" : dialog.link === "installment" ? "المشتري" : "المقاول"
            placeholder: "اختر..."
            model: dialog.parties
            displayFunction: function(row) {
                if (!row.balances)
                    return row.full_name || row.name || ""
                // A contractor: what the office owes it, per currency.
                var owed = []
                for (var i = 0; i < row.balances.length; ++i)
                    if (Number(row.balances[i].balance) > 0)
                        owed.push(Input.isolate(Money.format(row.balances[i].balance, row.balances[i].currency_id)))
                return row.name + (owed.length > 0 ? " - المستحق: " + owed.join("، ") : "")
            }
            onActivated: {
                dialog.loadDebts()
                dialog.errorText = ""
            }
        }
        MComboBox {
            id: debtBox
            objectName: "chequeDebtBox"
            visible: dialog.withDebt
            Layout.fillWidth: true
            label: dialog.link === "invoice" ? "الفاتورة" : "القسط"
            placeholder: partyBox.currentIndex >= 0 && dialog.debts.length === 0 ? "لا شيء مستحق" : "اختر..."
            model: dialog.debts
            displayFunction: function(row) {
                var what = dialog.link === "invoice" ? Input.isolate(row.invoice_number)
                                                     : "استحقاق " + Input.isolate(row.due_date)
                return what + " - المتبقي: " + Input.isolate(Money.format(dialog.openAmount(row), row.currency_id))
            }
            // The amount starts as what is still owed on it.
            onActivated: index => {
                var row = dialog.debts[index]
                if (row)
                    amountField.text = Money.plain(dialog.openAmount(row))
                amountField.errorText = ""
                dialog.errorText = ""
            }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField { id: numberField; objectName: "chequeNumberField"; Layout.fillWidth: true; Layout.alignment: Qt.AlignTop; label: "رقم الشيك" }
            MTextField { id: bankField; objectName: "chequeBankField"; Layout.fillWidth: true; Layout.alignment: Qt.AlignTop; label: "اسم البنك" }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField { id: amountField; objectName: "chequeAmountField"; Layout.fillWidth: true; Layout.alignment: Qt.AlignTop; label: "المبلغ"; placeholderText: "0.00" }
            // A debt's cheque is in the debt's currency.
            MComboBox {
                id: currencyBox
                objectName: "chequeCurrencyBox"
                visible: !dialog.withDebt
                Layout.preferredWidth: 110
                Layout.alignment: Qt.AlignTop
                label: "العملة:"
                model: dialog.currencyList
                textRole: "code"
            }
            MTextField { id: rateField; objectName: "chequeRateField"; visible: dialog.link === "none"; Layout.preferredWidth: 100; Layout.alignment: Qt.AlignTop; label: "سعر الصرف" }
        }
        MTextField { id: dateField; objectName: "chequeDateField"; Layout.fillWidth: true; label: "تاريخ الاستحقاق (YYYY-MM-DD)" }
        MTextField { id: nameField; objectName: "chequeNameField"; visible: dialog.link === "none"; Layout.fillWidth: true; label: "اسم الساحب / المستفيد" }
        ErrorBanner { id: banner; Layout.fillWidth: true; text: dialog.errorText }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "chequeSaveButton"
            Layout.fillWidth: true
            text: "حفظ الشيك"
            onClicked: dialog.save()
        }
    }
}
