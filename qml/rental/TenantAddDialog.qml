import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// "إضافة مستأجر": a new tenant's name and contact details.
MDialog {
    id: dialog

    property string errorText: ""

    objectName: "tenantAddDialog"
    title: "إضافة مستأجر"
    width: 460
    height: 450 + (banner.visible ? banner.height + 12 : 0)

    signal saved(int id)

    readonly property var fields: [nameField, idField, phoneField, emailField, addressField]

    function reset() {
        for (var i = 0; i < fields.length; ++i) {
            fields[i].text = ""
            fields[i].errorText = ""
        }
        errorText = ""
    }

    function save() {
        nameField.errorText = Input.requiredError(nameField.text)
        var email = emailField.text.trim()
        emailField.errorText = email !== "" && !/^[^@\s]+@[^@\s]+\.[^@\s]+$/.test(email)
                ? "أدخل بريداً إلكترونياً صحيحاً" : ""
        if (nameField.errorText !== "" || emailField.errorText !== "")
            return
        var id = tenantModel.add(nameField.text.trim(), Input.normalize(idField.text),
                                 phoneField.text.trim(), email, addressField.text.trim())
        if (id > 0) {
            reset()
            close()
            saved(id)
        } else {
            errorText = Input.refusal(tenantModel)
        }
    }

    onAboutToShow: errorText = ""
    onOpened: nameField.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        GridLayout {
            Layout.fillWidth: true
            columns: 2
            layoutDirection: Qt.RightToLeft
            columnSpacing: 12
            rowSpacing: 10
            MTextField {
                id: nameField
                objectName: "tenantNameField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "الاسم الكامل"
            }
            MTextField {
                id: idField
                objectName: "tenantIdField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "رقم الهوية"
            }
            MTextField {
                id: phoneField
                objectName: "tenantPhoneField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "الهاتف"
            }
            MTextField {
                id: emailField
                objectName: "tenantEmailField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "البريد الإلكتروني"
            }
        }
        MTextField {
            id: addressField
            objectName: "tenantAddressField"
            Layout.fillWidth: true
            label: "العنوان"
        }
        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "tenantSaveButton"
            Layout.fillWidth: true
            text: "حفظ"
            onClicked: dialog.save()
        }
    }
}
