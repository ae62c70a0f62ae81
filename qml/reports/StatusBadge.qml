import QtQuick
import "../components"

// A small rounded label in the colour of a status.
Rectangle {
    property alias text: label.text
    property color tint: Theme.accentGold

    implicitWidth: Math.max(70, label.implicitWidth + 20)
    implicitHeight: 24
    radius: 12
    color: Qt.rgba(tint.r, tint.g, tint.b, 0.16)
    border.width: 1
    border.color: tint

    Text {
        id: label
        objectName: "statusBadgeText"
        anchors.centerIn: parent
        textFormat: Text.PlainText
        font.pixelSize: 12
        font.bold: true
        color: parent.tint
    }
}
