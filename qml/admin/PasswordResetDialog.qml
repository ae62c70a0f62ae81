import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "تعيين كلمة مرور": an administrator sets a new password for another user.
MDialog {
    id: dialog

    property string username: ""
    property string errorText: ""
    // The new password is being hashed off the window's thread.
    property bool saving: false

    objectName: "passwordResetDialog"
    title: "تعيين كلمة مرور - " + username
    width: 400
    height: 350 + (banner.visible ? banner.height + 12 : 0)

    function show(name) {
        username = name
        open()
    }

    function save() {
        if (saving)
            return
        newField.errorText = newField.text.trim() === "" ? "أدخل كلمة المرور الجديدة" : ""
        repeatField.errorText = newField.errorText === "" && repeatField.text !== newField.text
                ? "كلمتا المرور غير متطابقتين" : ""
        errorText = ""
        if (newField.errorText !== "" || repeatField.errorText !== "")
            return
        if (authCtrl.startResetPassword(username, newField.text))
            saving = true
        else
            errorText = Input.refusal(authCtrl)
    }

    Connections {
        target: authCtrl
        function onPasswordSaved(ok) {
            if (!dialog.saving)
                return
            dialog.saving = false
            if (!ok)
                return dialog.errorText = Input.refusal(authCtrl)
            newField.text = ""
            repeatField.text = ""
            dialog.close()
        }
    }

    onAboutToShow: {
        errorText = ""
        newField.text = ""
        repeatField.text = ""
        newField.errorText = ""
        repeatField.errorText = ""
    }
    onOpened: newField.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10
        MTextField { id: newField; objectName: "resetPassword"; Layout.fillWidth: true; label: "كلمة المرور الجديدة"; echoMode: TextInput.Password }
        MTextField { id: repeatField; objectName: "resetPasswordRepeat"; Layout.fillWidth: true; label: "تأكيد كلمة المرور"; echoMode: TextInput.Password }
        ErrorBanner { id: banner; Layout.fillWidth: true; text: dialog.errorText }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "resetPasswordSave"
            Layout.fillWidth: true
            enabled: !authCtrl.checkingPassword
            text: dialog.saving ? "جارٍ الحفظ…" : "حفظ"
            onClicked: dialog.save()
        }
    }
}
