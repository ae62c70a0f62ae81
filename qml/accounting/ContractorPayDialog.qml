import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// "دفع لمقاول": pays what is owed to a contractor in one of its currencies,
// in cash, by bank transfer or by an issued cheque (which enters the cheque
// register). Paying more than is owed in that currency is refused.
MDialog {
    id: dialog

    property int contractorId: 0
    property string contractorName: ""
    property var balances: []
    property string errorText: ""

    readonly property var methodLabels: ["نقدي", "تحويل بنكي", "شيك"]
    readonly property var methodValues: ["cash", "bank", "cheque"]
    readonly property bool byCheque: methodBox.currentIndex === 2
    readonly property var balance: currencyBox.currentRow

    objectName: "contractorPayDialog"
    title: "دفع للمقاول: " + contractorName
    width: 520
    height: 500 + (byCheque ? 80 : 0) + (banner.visible ? banner.height + 12 : 0)

    signal paid(int id)

    // The currencies the contractor is owed in, largest balance kept first.
    function show(id, name) {
        contractorId = id
        contractorName = name
        var owed = []
        var rows = contractorModel.getBalances(id)
        for (var i = 0; i < rows.length; ++i)
            if (Number(rows[i].balance) > 0)
                owed.push(rows[i])
        balances = owed
        currencyBox.currentIndex = owed.length > 0 ? 0 : -1
        amountField.text = owed.length > 0 ? Number(owed[0].balance).toFixed(2) : ""
        amountField.errorText = ""
        currencyBox.errorText = ""
        dateField.text = Input.today()
        dateField.errorText = ""
        methodBox.currentIndex = 0
        chequeNumberField.text = ""
        chequeNumberField.errorText = ""
        bankField.text = ""
        dueField.text = ""
        dueField.errorText = ""
        referenceField.text = ""
        notesField.text = ""
        errorText = ""
        open()
    }

    function save() {
        currencyBox.errorText = balance ? "" : "لا يوجد مبلغ مستحق لهذا المقاول"
        amountField.errorText = Input.amountError(amountField.text, false)
        dateField.errorText = Input.dateError(dateField.text)
        chequeNumberField.errorText = byCheque ? Input.requiredError(chequeNumberField.text) : ""
        dueField.errorText = byCheque && dueField.text.trim() !== "" ? Input.dateError(dueField.text) : ""
        if (currencyBox.errorText !== "" || amountField.errorText !== "" || dateField.errorText !== ""
                || chequeNumberField.errorText !== "" || dueField.errorText !== "")
            return
        var cheque = byCheque ? { "cheque_number": chequeNumberField.text.trim(),
                                  "bank_name": bankField.text.trim(),
                                  "due_date": Input.date(dueField.text) } : {}
        var id = contractorModel.pay(contractorId, Input.number(amountField.text), balance.currency_id,
                                     Input.date(dateField.text), methodValues[methodBox.currentIndex],
                                     referenceField.text.trim(), notesField.text.trim(), cheque)
        if (id > 0) {
            errorText = ""
            close()
            paid(id)
        } else {
            errorText = Input.refusal(contractorModel)
        }
    }

    onOpened: amountField.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        Text {
            objectName: "contractorPayOwed"
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignRight
            wrapMode: Text.Wrap
            text: dialog.balances.length === 0 ? "لا يوجد مبلغ مستحق لهذا المقاول"
                  : "المستحق: " + dialog.balances.map(function(b) {
                        return Money.format(b.balance, b.currency_id) }).join(" + ")
            textFormat: Text.PlainText
            font: Theme.bodyBold
            color: Theme.textPrimary
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField {
                id: amountField
                objectName: "contractorPayAmountField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "المبلغ" + (dialog.balance ? " (" + Money.symbol(dialog.balance.currency_id) + ")" : "")
                placeholderText: "0.00"
            }
            MComboBox {
                id: currencyBox
                objectName: "contractorPayCurrencyBox"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "العملة"
                placeholder: "لا يوجد مستحق"
                model: dialog.balances
                displayFunction: function(b) { return b.currency_code + " (" + Input.isolate(Money.format(b.balance, b.currency_id)) + ")" }
                onActivated: {
                    if (dialog.balance)
                        amountField.text = Number(dialog.balance.balance).toFixed(2)
                }
            }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MComboBox {
                id: methodBox
                objectName: "contractorPayMethodBox"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "طريقة الدفع"
                model: dialog.methodLabels
            }
            MTextField {
                id: dateField
                objectName: "contractorPayDateField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "تاريخ الدفع"
                placeholderText: "yyyy-MM-dd"
            }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            visible: dialog.byCheque
            MTextField {
                id: chequeNumberField
                objectName: "contractorPayChequeNumber"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "رقم الشيك"
            }
            MTextField {
                id: bankField
                objectName: "contractorPayBank"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "البنك"
            }
            MTextField {
                id: dueField
                objectName: "contractorPayDue"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "تاريخ الاستحقاق"
                placeholderText: "yyyy-MM-dd"
            }
        }
        MTextField {
            id: referenceField
            objectName: "contractorPayReference"
            Layout.fillWidth: true
            label: "المرجع / رقم السند"
        }
        MTextField {
            id: notesField
            objectName: "contractorPayNotes"
            Layout.fillWidth: true
            label: "ملاحظات"
        }
        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "contractorPaySaveButton"
            Layout.fillWidth: true
            text: "تأكيد الدفع"
            onClicked: dialog.save()
        }
    }
}
