import QtQuick
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "إضافة مشتري جديد": a new buyer's name, identity number and contacts.
MDialog {
    id: dialog

    property string errorText: ""
    readonly property var fields: [nameField, idField, phoneField, addressField]

    objectName: "buyerAddDialog"
    title: "إضافة مشتري جديد"
    width: 450
    height: 440 + (banner.visible ? banner.height + 12 : 0)

    function reset() {
        for (var i = 0; i < fields.length; ++i) {
            fields[i].text = ""
            fields[i].errorText = ""
        }
        errorText = ""
    }

    function save() {
        nameField.errorText = Input.requiredError(nameField.text)
        if (nameField.errorText !== "")
            return
        var id = buyerModel.add(nameField.text.trim(), Input.normalize(idField.text),
                                phoneField.text.trim(), "", addressField.text.trim())
        if (id > 0) {
            reset()
            close()
        } else {
            errorText = Input.refusal(buyerModel)
        }
    }

    onAboutToShow: errorText = ""
    onOpened: nameField.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        MTextField { id: nameField; objectName: "buyerNameField"; Layout.fillWidth: true; label: "الاسم الكامل" }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField { id: idField; objectName: "buyerIdField"; Layout.fillWidth: true; Layout.alignment: Qt.AlignTop; label: "رقم الهوية" }
            MTextField { id: phoneField; objectName: "buyerPhoneField"; Layout.fillWidth: true; Layout.alignment: Qt.AlignTop; label: "رقم الهاتف" }
        }
        MTextField { id: addressField; objectName: "buyerAddressField"; Layout.fillWidth: true; label: "العنوان" }
        ErrorBanner { id: banner; Layout.fillWidth: true; text: dialog.errorText }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "buyerSaveButton"
            Layout.fillWidth: true
            text: "حفظ البيانات"
            onClicked: dialog.save()
        }
    }
}
