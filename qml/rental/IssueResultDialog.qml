import QtQuick
import QtQuick.Layouts
import "../components"

// "نتيجة الإصدار": how many invoices an issuing run wrote; after a rent run
// its invoices can be printed in one file to hand out.
MDialog {
    id: dialog

    property int count: 0
    // The month of a rent run; empty after other runs.
    property string period: ""
    property string printMessage: ""

    objectName: "issueResultDialog"
    title: "نتيجة الإصدار"
    width: 300
    height: period !== "" && count > 0 ? 250 : 180

    function show(n, runPeriod) {
        count = n
        period = runPeriod || ""
        printMessage = ""
        open()
    }

    function printRun() {
        printMessage = printCtrl.printRentRun(period) ? "تم حفظ الفواتير في ملف PDF"
                                                     : printCtrl.lastError
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
            objectName: "issueResultPrint"
            Layout.alignment: Qt.AlignHCenter
            visible: dialog.period !== "" && dialog.count > 0
            text: "طباعة فواتير الدفعة"
            iconSymbol: "⎙"
            outline: true
            onClicked: dialog.printRun()
        }
        Text {
            objectName: "issueResultPrintMessage"
            Layout.fillWidth: true
            visible: text !== ""
            text: dialog.printMessage
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            font: Theme.small
            color: Theme.textSecondary
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
