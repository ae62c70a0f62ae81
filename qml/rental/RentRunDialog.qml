import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// "إصدار فواتير الإيجار الشهرية": one rent invoice per active contract for a
// period. The run shows that it is working and cannot be started twice.
MDialog {
    id: dialog

    property bool busy: false
    property string errorText: ""

    objectName: "rentRunDialog"
    title: "إصدار فواتير الإيجار الشهرية"
    width: 380
    height: 270 + (banner.visible ? banner.height + 12 : 0)

    // The number of invoices written by a finished run.
    // The month of the last run, for printing what it wrote.
    property string period: ""

    signal issued(int count)

    function start() {
        if (busy)
            return
        periodField.errorText = Input.periodError(periodField.text)
        if (periodField.errorText !== "")
            return
        errorText = ""
        busy = true
        // Lets the working state be drawn before the run holds the thread.
        runTimer.start()
    }

    Timer {
        id: runTimer
        interval: 30
        onTriggered: {
            dialog.period = Input.period(periodField.text)
            var count = invoiceModel.generateAllRent(dialog.period)
            dialog.busy = false
            if (count < 0) {
                dialog.errorText = Input.refusal(invoiceModel)
                return
            }
            dialog.close()
            dialog.issued(count)
        }
    }

    onAboutToShow: {
        periodField.text = Input.thisMonth()
        periodField.errorText = ""
        errorText = ""
    }
    onOpened: periodField.input.forceActiveFocus()
    onEnterPressed: start()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        Text {
            Layout.fillWidth: true
            text: "سيتم إصدار فواتير لجميع العقود النشطة تلقائياً"
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignRight
            font: Theme.body
            color: Theme.textSecondary
        }
        MTextField {
            id: periodField
            objectName: "rentPeriodField"
            Layout.fillWidth: true
            label: "الفترة (YYYY-MM)"
            readOnly: dialog.busy
        }
        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "rentRunButton"
            Layout.fillWidth: true
            enabled: !dialog.busy
            text: dialog.busy ? "جارٍ الإصدار..." : "إصدار الفواتير"
            onClicked: dialog.start()
        }
    }
}
