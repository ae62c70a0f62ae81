import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "إضافة مستخدم": a new account with its password and role.
MDialog {
    id: dialog

    property string role: "user"
    property string errorText: ""
    // The password is being hashed off the window's thread.
    property bool saving: false

    signal saved()

    objectName: "userAddDialog"
    title: "إضافة مستخدم"
    width: 380
    height: 400 + (banner.visible ? banner.height + 12 : 0)

    function save() {
        if (saving)
            return
        nameField.errorText = Input.requiredError(nameField.text)
        passwordField.errorText = Input.requiredError(passwordField.text)
        if (nameField.errorText !== "" || passwordField.errorText !== "")
            return
        var name = nameField.text.trim()
        var taken = false
        var users = authCtrl.getUsers()
        for (var i = 0; i < users.length; ++i)
            taken = taken || users[i].username === name
        if (taken) {
            nameField.errorText = "اسم المستخدم مستخدم من قبل"
            return
        }
        if (authCtrl.startRegisterUser(name, passwordField.text, role))
            saving = true
        else
            refused()
    }

    function refused() {
        errorText = authCtrl.lastError !== "" ? authCtrl.lastError
                                              : "تعذر إضافة المستخدم، لم يتم حفظ أي تغيير"
    }

    Connections {
        target: authCtrl
        function onPasswordSaved(ok) {
            if (!dialog.saving)
                return
            dialog.saving = false
            if (!ok)
                return dialog.refused()
            nameField.text = ""
            passwordField.text = ""
            dialog.role = "user"
            dialog.close()
            dialog.saved()
        }
    }

    onAboutToShow: {
        errorText = ""
        nameField.errorText = ""
        passwordField.errorText = ""
    }
    onOpened: nameField.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10
        MTextField { id: nameField; objectName: "newUserName"; Layout.fillWidth: true; label: "اسم المستخدم" }
        MTextField {
            id: passwordField
            objectName: "newUserPassword"
            Layout.fillWidth: true
            label: "كلمة المرور"
            echoMode: TextInput.Password
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            Text {
                text: "الصلاحية:"
                font: Theme.bodyBold
                color: Theme.textSecondary
            }
            MRadioButton {
                objectName: "newUserRoleUser"
                text: "موظف"
                checked: dialog.role === "user"
                onClicked: dialog.role = "user"
            }
            MRadioButton {
                objectName: "newUserRoleAdmin"
                text: "مدير نظام"
                checked: dialog.role === "admin"
                onClicked: dialog.role = "admin"
            }
            Item { Layout.fillWidth: true }
        }
        ErrorBanner { id: banner; Layout.fillWidth: true; text: dialog.errorText }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "newUserSave"
            Layout.fillWidth: true
            enabled: !authCtrl.checkingPassword
            text: dialog.saving ? "جارٍ الحفظ…" : "حفظ"
            onClicked: dialog.save()
        }
    }
}
