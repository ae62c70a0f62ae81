import QtQuick
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "إضافة مقاول / مورد": a contractor or supplier and the trade they work in.
MDialog {
    id: dialog

    property string errorText: ""

    objectName: "contractorAddDialog"
    title: "إضافة مقاول / مورد"
    width: 400
    height: 400 + (banner.visible ? banner.height + 12 : 0)

    function save() {
        nameField.errorText = Input.requiredError(nameField.text)
        if (nameField.errorText !== "")
            return
        var id = expenseModel.addContractor(nameField.text.trim(), phoneField.text.trim(), tradeField.text.trim())
        if (id > 0) {
            nameField.text = ""
            phoneField.text = ""
            tradeField.text = ""
            close()
        } else {
            errorText = Input.refusal(expenseModel)
        }
    }

    onAboutToShow: {
        errorText = ""
        nameField.errorText = ""
    }
    onOpened: nameField.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10
        MTextField { id: nameField; objectName: "contractorNameField"; Layout.fillWidth: true; label: "الاسم" }
        MTextField { id: phoneField; objectName: "contractorPhoneField"; Layout.fillWidth: true; label: "الهاتف" }
        MTextField { id: tradeField; objectName: "contractorTradeField"; Layout.fillWidth: true; label: "التخصص / بند العمل" }
        ErrorBanner { id: banner; Layout.fillWidth: true; text: dialog.errorText }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "contractorSaveButton"
            Layout.fillWidth: true
            text: "حفظ"
            onClicked: dialog.save()
        }
    }
}
