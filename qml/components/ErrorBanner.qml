import QtQuick

// Where a dialog says why the back end refused what was asked. Hidden, and
// taking no room, while there is nothing to say.
Rectangle {
    id: banner

    property string text: ""

    objectName: "errorBanner"
    visible: text !== ""
    implicitHeight: visible ? message.implicitHeight + 16 : 0
    height: implicitHeight
    radius: 8
    color: Theme.dark ? "#3a1518" : "#fde8e8"
    border.width: 1
    border.color: Theme.dangerColor

    Text {
        id: message
        objectName: "errorBannerText"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        text: "⚠ " + banner.text
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignRight
        font: Theme.body
        color: Theme.dark ? "#fca5a5" : "#991b1b"
    }
}
