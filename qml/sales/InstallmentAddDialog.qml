import QtQuick
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "إضافة قسط": one instalment added by hand to the buyer's schedule.
MDialog {
    id: dialog

    property int buyerId: 0
    property var units: []
    property var currencyList: []
    property string errorText: ""

    objectName: "installmentAddDialog"
    title: "إضافة قسط"
    width: 400
    height: 420 + (banner.visible ? banner.height + 12 : 0)

    function save() {
        unitBox.errorText = unitBox.currentRow ? "" : "اختر الوحدة"
        currencyBox.errorText = currencyBox.currentRow ? "" : "اختر العملة"
        amountField.errorText = Input.amountError(amountField.text)
        dateField.errorText = Input.dateError(dateField.text)
        if (unitBox.errorText !== "" || currencyBox.errorText !== "" || amountField.errorText !== ""
                || dateField.errorText !== "")
            return
        var id = installmentModel.add(buyerId, unitBox.currentRow.id, 0, 0, Input.number(amountField.text),
                                      Input.date(dateField.text), currencyBox.currentRow.id)
        if (id > 0)
            close()
        else
            errorText = Input.refusal(installmentModel)
    }

    onAboutToShow: {
        // Only the units this buyer bought can carry their instalments.
        units = unitModel.getAll().filter(function(u) { return u.status === "sold" && u.buyer_id === buyerId })
        currencyList = currencyModel.getAll()
        unitBox.currentIndex = -1
        currencyBox.currentIndex = currencyList.length > 0 ? 0 : -1
        amountField.text = ""
        dateField.text = Input.today()
        var fields = [unitBox, currencyBox, amountField, dateField]
        for (var i = 0; i < fields.length; ++i)
            fields[i].errorText = ""
        errorText = ""
    }
    onOpened: unitBox.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        MComboBox {
            id: unitBox
            objectName: "installmentUnitBox"
            Layout.fillWidth: true
            label: "الوحدة"
            placeholder: "اختر وحدة..."
            model: dialog.units
            displayFunction: function(u) { return (u.property_name ? u.property_name + " - " : "") + "وحدة " + u.unit_number }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField {
                id: amountField
                objectName: "installmentAmountField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "قيمة القسط"
            }
            MComboBox {
                id: currencyBox
                objectName: "installmentCurrencyBox"
                Layout.preferredWidth: 110
                Layout.alignment: Qt.AlignTop
                label: "العملة:"
                model: dialog.currencyList
                textRole: "code"
            }
        }
        MTextField {
            id: dateField
            objectName: "installmentDateField"
            Layout.fillWidth: true
            label: "تاريخ الاستحقاق (YYYY-MM-DD)"
        }
        ErrorBanner { id: banner; Layout.fillWidth: true; text: dialog.errorText }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "installmentAddConfirm"
            Layout.fillWidth: true
            text: "إضافة القسط"
            onClicked: dialog.save()
        }
    }
}
