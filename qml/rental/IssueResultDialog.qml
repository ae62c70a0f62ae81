import QtQuick
import QtQuick.Layouts
import "../components"

// "نتيجة الإصدار": how many invoices an issuing run wrote.
MDialog {
    id: dialog

    property int count: 0

    objectName: "issueResultDialog"
    title: "نتيجة الإصدار"
    width: 300
    height: 180

    function show(n) {
        count = n
        open()
    }

    onEnterPressed: close()
    onOpened: okButton.forceActiveFocus()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        Text {
            objectName: "issueResultText"
            Layout.fillWidth: true
            Layout.fillHeight: true
            text: dialog.count > 0 ? "✅ تم إصدار " + dialog.count + " فاتورة بنجاح"
                                   : "⚠️ لا توجد فواتير جديدة (قد تكون مكررة)"
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            font: Theme.bodyLarge
            color: Theme.textPrimary
        }
        MButton {
            id: okButton
            objectName: "issueResultOk"
            Layout.alignment: Qt.AlignHCenter
            text: "حسناً"
            onClicked: dialog.close()
        }
    }
}
