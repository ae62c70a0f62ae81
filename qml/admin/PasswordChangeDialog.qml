import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "تغيير كلمة المرور": the signed-in user's own password, after the current one.
MDialog {
    id: dialog

    property string errorText: ""
    // The new password is being hashed off the window's thread.
    property bool saving: false
    readonly property var fields: [currentField, newField, repeatField]

    objectName: "passwordChangeDialog"
    title: "تغيير كلمة المرور"
    width: 400
    height: 420 + (banner.visible ? banner.height + 12 : 0)

    function save() {
        if (saving)
            return
        currentField.errorText = Input.requiredError(currentField.text)
        newField.errorText = newField.text.trim() === "" ? "أدخل كلمة المرور الجديدة" : ""
        repeatField.errorText = newField.errorText === "" && repeatField.text !== newField.text
                ? "كلمتا المرور الجديدتان غير متطابقتين" : ""
        errorText = ""
        if (currentField.errorText !== "" || newField.errorText !== "" || repeatField.errorText !== "")
            return
        if (authCtrl.startChangePassword(currentField.text, newField.text))
            saving = true
        else
            refused()
    }

    function refused() {
        errorText = authCtrl.lastError !== "" ? authCtrl.lastError
                                              : "كلمة المرور الحالية غير صحيحة، لم يتم تغيير شيء"
    }

    Connections {
        target: authCtrl
        function onPasswordSaved(ok) {
            if (!dialog.saving)
                return
            dialog.saving = false
            if (!ok)
                return dialog.refused()
            for (var i = 0; i < dialog.fields.length; ++i)
                dialog.fields[i].text = ""
            dialog.close()
        }
    }

    onAboutToShow: {
        errorText = ""
        for (var i = 0; i < fields.length; ++i) {
            fields[i].text = ""
            fields[i].errorText = ""
        }
    }
    onOpened: currentField.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10
        MTextField { id: currentField; objectName: "currentPassword"; Layout.fillWidth: true; label: "كلمة المرور الحالية"; echoMode: TextInput.Password }
        MTextField { id: newField; objectName: "newPassword"; Layout.fillWidth: true; label: "كلمة المرور الجديدة"; echoMode: TextInput.Password }
        MTextField { id: repeatField; objectName: "repeatPassword"; Layout.fillWidth: true; label: "تأكيد كلمة المرور الجديدة"; echoMode: TextInput.Password }
        ErrorBanner { id: banner; Layout.fillWidth: true; text: dialog.errorText }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "passwordChangeSave"
            Layout.fillWidth: true
            enabled: !authCtrl.checkingPassword
            text: dialog.saving ? "جارٍ الحفظ…" : "حفظ كلمة المرور"
            onClicked: dialog.save()
        }
    }
}
