import QtQuick
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "تسجيل شيك من: …": a cheque received from the buyer for one of their open
// instalments (collected by it, in the instalment's currency), or kept for
// follow-up only (a guarantee cheque, which moves no money). Saving closes
// the dialog and says what was recorded.
MDialog {
    id: dialog

    property int buyerId: 0
    property string buyerName: ""
    property var currencyList: []
    property var instalments: []
    property string errorText: ""

    // The last choice is a cheque tied to no instalment.
    readonly property var instalment: instalmentBox.currentIndex >= 0
                                      && instalmentBox.currentIndex < instalments.length
                                      ? instalments[instalmentBox.currentIndex] : null
    readonly property bool followUpOnly: instalmentBox.currentIndex === instalments.length

    objectName: "buyerChequeDialog"
    title: "تسجيل شيك من: " + buyerName
    width: 480
    height: 540 + (banner.visible ? banner.height + 12 : 0)

    // What was recorded, for the page to confirm.
    signal saved(string message)

    function show(id, name) {
        buyerId = id
        buyerName = name
        open()
    }

    function openAmount(row) {
        return Number(row.installment_amount) - Number(row.paid_amount || 0)
    }

    function choose(index) {
        instalmentBox.currentIndex = index
        if (instalment) {
            amountField.text = Money.plain(openAmount(instalment))
            if (bankField.text === "")
                bankField.text = instalment.bank_name || ""
        }
        amountField.errorText = ""
        instalmentBox.errorText = ""
        errorText = ""
    }

    function save() {
        numberField.errorText = Input.requiredError(numberField.text)
        amountField.errorText = Input.amountError(amountField.text)
        dateField.errorText = Input.dateError(dateField.text)
        instalmentBox.errorText = instalment || followUpOnly ? "" : "اختر القسط"
        currencyBox.errorText = !followUpOnly || currencyBox.currentRow ? "" : "اختر العملة"
        if (instalment && amountField.errorText === ""
                && Input.number(amountField.text) > openAmount(instalment) + 0.005)
            amountField.errorText = "المبلغ أكبر من المتبقي على القسط"
        if (numberField.errorText !== "" || amountField.errorText !== "" || dateField.errorText !== ""
                || currencyBox.errorText !== "" || instalmentBox.errorText !== "")
            return
        var number = numberField.text.trim()
        var amount = Input.number(amountField.text)
        var model = followUpOnly ? chequeModel : installmentModel
        var id = followUpOnly
                ? chequeModel.add(number, "received", amount, bankField.text.trim(), Input.date(dateField.text),
                                  buyerName, currencyBox.currentRow.id, 1.0, buyerId, 0)
                : installmentModel.payByCheque(instalment.id, amount, number, bankField.text.trim(),
                                               Input.date(dateField.text))
        if (id < 1) {
            errorText = Input.refusal(model)
            return
        }
        var currency = followUpOnly ? currencyBox.currentRow.id : instalment.currency_id
        var message = "تم تسجيل الشيك " + Input.isolate(number) + " بمبلغ "
                + Input.isolate(Money.format(amount, currency))
                + (followUpOnly ? " للمتابعة فقط" : " عن قسط " + Input.isolate(instalment.due_date))
                + " من " + buyerName
        close()
        saved(message)
    }

    onAboutToShow: {
        currencyList = currencyModel.getAll()
        currencyBox.currentIndex = currencyList.length > 0 ? 0 : -1
        var open = []
        var rows = installmentModel.getByBuyer(buyerId)
        for (var r = 0; r < rows.length; ++r)
            if (rows[r].status !== "paid" && openAmount(rows[r]) > 0.004)
                open.push(rows[r])
        instalments = open
        var fields = [numberField, bankField, amountField, dateField, currencyBox, instalmentBox]
        for (var i = 0; i < fields.length; ++i)
            fields[i].errorText = ""
        numberField.text = ""
        bankField.text = ""
        amountField.text = ""
        dateField.text = Input.today()
        errorText = ""
        // The earliest open instalment is the likeliest; with none open,
        // only a cheque kept for follow-up is left.
        choose(0)
    }
    onOpened: numberField.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        MComboBox {
            id: instalmentBox
            objectName: "buyerChequeInstalment"
            Layout.fillWidth: true
            label: "يسدّد القسط:"
            placeholder: "اختر..."
            model: dialog.instalments.concat([{ "followUp": true }])
            displayFunction: function(row) {
                if (row.followUp)
                    return "بلا قسط - شيك ضمان للمتابعة فقط ولا يدخل الدفاتر"
                return "استحقاق " + Input.isolate(row.due_date) + " - " + Input.isolate(row.unit_number)
                        + " - المتبقي: " + Input.isolate(Money.format(dialog.openAmount(row), row.currency_id))
            }
            onActivated: index => dialog.choose(index)
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField { id: numberField; objectName: "buyerChequeNumber"; Layout.fillWidth: true; Layout.alignment: Qt.AlignTop; label: "رقم الشيك" }
            MTextField { id: bankField; objectName: "buyerChequeBank"; Layout.fillWidth: true; Layout.alignment: Qt.AlignTop; label: "اسم البنك" }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField { id: amountField; objectName: "buyerChequeAmount"; Layout.fillWidth: true; Layout.alignment: Qt.AlignTop; label: "المبلغ"; placeholderText: "0.00" }
            // An instalment's cheque is in the instalment's currency.
            MComboBox {
                id: currencyBox
                objectName: "buyerChequeCurrency"
                visible: dialog.followUpOnly
                Layout.preferredWidth: 120
                Layout.alignment: Qt.AlignTop
                label: "العملة:"
                model: dialog.currencyList
                textRole: "code"
            }
        }
        MTextField { id: dateField; objectName: "buyerChequeDate"; Layout.fillWidth: true; label: "تاريخ الاستحقاق" }
        ErrorBanner { id: banner; Layout.fillWidth: true; text: dialog.errorText }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "buyerChequeSave"
            Layout.fillWidth: true
            text: "حفظ الشيك"
            onClicked: dialog.save()
        }
    }
}
