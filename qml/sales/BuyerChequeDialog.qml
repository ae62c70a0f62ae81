import QtQuick
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "تسجيل شيك من: …": a cheque received from the buyer, in the currency chosen.
MDialog {
    id: dialog

    property int buyerId: 0
    property string buyerName: ""
    property var currencyList: []
    property string errorText: ""

    objectName: "buyerChequeDialog"
    title: "تسجيل شيك من: " + buyerName
    width: 450
    height: 500 + (banner.visible ? banner.height + 12 : 0)

    function show(id, name) {
        buyerId = id
        buyerName = name
        open()
    }

    function save() {
        numberField.errorText = Input.requiredError(numberField.text)
        amountField.errorText = Input.amountError(amountField.text)
        dateField.errorText = Input.dateError(dateField.text)
        currencyBox.errorText = currencyBox.currentRow ? "" : "اختر العملة"
        if (numberField.errorText !== "" || amountField.errorText !== "" || dateField.errorText !== ""
                || currencyBox.errorText !== "")
            return
        var id = chequeModel.add(numberField.text.trim(), "received", Input.number(amountField.text),
                                 bankField.text.trim(), Input.date(dateField.text), buyerName,
                                 currencyBox.currentRow.id, 1.0, buyerId, 0)
        if (id > 0)
            close()
        else
            errorText = Input.refusal(chequeModel)
    }

    onAboutToShow: {
        currencyList = currencyModel.getAll()
        currencyBox.currentIndex = currencyList.length > 0 ? 0 : -1
        var fields = [numberField, bankField, amountField, dateField, currencyBox]
        for (var i = 0; i < fields.length; ++i)
            fields[i].errorText = ""
        numberField.text = ""
        bankField.text = ""
        amountField.text = ""
        dateField.text = Input.today()
        errorText = ""
    }
    onOpened: numberField.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

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
            MComboBox {
                id: currencyBox
                objectName: "buyerChequeCurrency"
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
