import QtQuick
import QtQuick.Layouts
import "../components"

// The progress of a running import: rows written of the paste's rows, a bar,
// and a button that stops the import (nothing of it is kept).
RowLayout {
    id: progress

    readonly property int done: importCtrl.progressDone
    readonly property int total: Math.max(1, importCtrl.progressTotal)

    objectName: "importProgress"
    visible: importCtrl.busy
    layoutDirection: Qt.RightToLeft
    spacing: 10

    Text {
        objectName: "importProgressText"
        text: "جارٍ الاستيراد: " + progress.done.toLocaleString(Qt.locale(), "f", 0) + " من "
              + importCtrl.progressTotal.toLocaleString(Qt.locale(), "f", 0)
        textFormat: Text.PlainText
        font: Theme.body
        color: Theme.textPrimary
    }
    Rectangle {
        Layout.fillWidth: true
        Layout.preferredHeight: 10
        radius: 5
        color: Theme.bgElevated
        Rectangle {
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            width: parent.width * Math.min(1, progress.done / progress.total)
            radius: 5
            color: Theme.accentGold
        }
    }
    MButton {
        objectName: "importCancelButton"
        text: "إيقاف"
        outline: true
        btnColor: Theme.dangerColor
        onClicked: importCtrl.cancelImport()
    }
}
