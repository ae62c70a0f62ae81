import QtQuick
import QtQuick.Controls

// The search bar above a list: a magnifier and a field. `text` follows what
// is typed.
Rectangle {
    id: bar

    property alias text: field.text
    property alias placeholderText: field.placeholderText
    readonly property alias input: field

    implicitHeight: 46
    height: 46
    radius: 10
    color: Theme.bgCard
    border.width: field.activeFocus ? 1.5 : 1
    border.color: field.activeFocus ? Theme.accentGold : Theme.borderColor

    Text {
        id: icon
        anchors.right: parent.right
        anchors.rightMargin: 14
        anchors.verticalCenter: parent.verticalCenter
        text: "⌕"
        font.pixelSize: 20
        color: Theme.textMuted
    }

    TextField {
        id: field
        objectName: "searchInput"
        anchors.right: icon.left
        anchors.rightMargin: 8
        anchors.left: parent.left
        anchors.leftMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        horizontalAlignment: TextInput.AlignRight
        font: Theme.bodyLarge
        color: Theme.textPrimary
        placeholderTextColor: Theme.textMuted
        selectByMouse: true
        background: null
    }
}
