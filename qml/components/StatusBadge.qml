import QtQuick

// A small rounded label for a record's status.
Rectangle {
    id: badge

    property string text: ""
    property color textColor: Theme.textPrimary
    property color fill: Theme.bgElevated

    implicitWidth: label.implicitWidth + 20
    implicitHeight: 24
    width: implicitWidth
    height: implicitHeight
    radius: 12
    color: fill
    border.width: 1
    border.color: Qt.rgba(textColor.r, textColor.g, textColor.b, 0.35)

    Text {
        id: label
        objectName: "statusBadgeText"
        anchors.centerIn: parent
        text: badge.text
        textFormat: Text.PlainText
        font: Theme.captionBold
        color: badge.textColor
    }
}
