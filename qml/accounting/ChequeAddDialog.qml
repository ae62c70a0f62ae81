import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "تسجيل شيك جديد": a cheque received or issued, in its own currency.
MDialog {
    id: dialog

    property var currencyList: []
    property string kind: "received"
    property string errorText: ""

    objectName: "chequeAddDialog"
    title: "تسجيل شيك جديد"
    width: 480
    height: 560 + (banner.visible ? banner.height + 12 : 0)

    function save() {
        numberField.errorText = Input.requiredError(numberField.text)
        amountField.errorText = Input.amountError(amountField.text)
        rateField.errorText = Input.amountError(rateField.text)
        dateField.errorText = Input.dateError(dateField.text)
        currencyBox.errorText = currencyBox.currentRow ? "" : "اختر العملة"
        var fields = [numberField, amountField, rateField, dateField, currencyBox]
        for (var i = 0; i < fields.length; ++i)
            if (fields[i].errorText !== "")
                return
        var id = chequeModel.add(numberField.text.trim(), kind, Input.number(amountField.text),
                                 bankField.text.trim(), Input.date(dateField.text), nameField.text.trim(),
                                 currencyBox.currentRow.id, Input.number(rateField.text))
        if (id > 0) {
            numberField.text = ""
            bankField.text = ""
            amountField.text = ""
            nameField.text = ""
            close()
        } else {
            errorText = Input.refusal(chequeModel)
        }
    }

    onAboutToShow: {
        currencyList = currencyModel.getAll()
        if (currencyBox.currentIndex < 0 || currencyBox.currentIndex >= currencyList.length)
            currencyBox.currentIndex = currencyList.length > 0 ? 0 : -1
        if (rateField.text === "")
            rateField.text = "1.0"
        if (dateField.text === "")
            dateField.text = Input.today()
        var fields = [numberField, amountField, rateField, dateField, currencyBox]
        for (var i = 0; i < fields.length; ++i)
            fields[i].errorText = ""
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
            MComboBox {
                id: currencyBox
                objectName: "chequeCurrencyBox"
                Layout.preferredWidth: 110
                Layout.alignment: Qt.AlignTop
                label: "العملة:"
                model: dialog.currencyList
                textRole: "code"
            }
            MTextField { id: rateField; objectName: "chequeRateField"; Layout.preferredWidth: 100; Layout.alignment: Qt.AlignTop; label: "سعر الصرف" }
        }
        MTextField { id: dateField; objectName: "chequeDateField"; Layout.fillWidth: true; label: "تاريخ الاستحقاق (YYYY-MM-DD)" }
        MTextField { id: nameField; objectName: "chequeNameField"; Layout.fillWidth: true; label: "اسم الساحب / المستفيد" }
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
