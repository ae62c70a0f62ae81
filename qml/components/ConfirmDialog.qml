import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// Asks before a destructive action, naming the record. `action` runs on
// confirmation and answers "" when done or the reason it was refused; a
// refusal stays in the dialog so it never looks like success.
MDialog {
    id: dialog

    property string message: ""
    property string confirmText: "حذف"
    property var action: null
    property string errorText: ""

    objectName: "confirmDialog"
    title: "تأكيد"
    width: 440
    height: 230 + (banner.visible ? banner.height + 12 : 0)

    function ask(title, message, confirmText, action) {
        dialog.title = title
        dialog.message = message
        dialog.confirmText = confirmText
        dialog.action = action
        dialog.errorText = ""
        dialog.open()
    }

    function confirm() {
        if (!dialog.action)
            return
        var reason = dialog.action()
        if (reason === "" || reason === undefined) {
            dialog.errorText = ""
            dialog.close()
        } else {
            dialog.errorText = reason
        }
    }

    onEnterPressed: confirm()
    onOpened: confirmButton.forceActiveFocus()

    ColumnLayout {
        anchors.fill: parent
        spacing: 12

        Text {
            objectName: "confirmMessage"
            Layout.fillWidth: true
            text: dialog.message
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignRight
            font: Theme.bodyLarge
            color: Theme.textPrimary
        }

        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }

        Item { Layout.fillHeight: true }

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 10

            MButton {
                id: confirmButton
                objectName: "confirmButton"
                text: dialog.confirmText
                btnColor: Theme.dangerColor
                textColor: "#ffffff"
                onClicked: dialog.confirm()
            }
            MButton {
                objectName: "confirmCancel"
                text: "إلغاء"
                outline: true
                btnColor: Theme.textSecondary
                onClicked: dialog.close()
            }
            Item { Layout.fillWidth: true }
        }
    }
}
