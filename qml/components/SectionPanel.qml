import QtQuick
import QtQuick.Layouts

// A titled card for one section of a page. Its children are laid out in a
// column under the heading; the card grows with them.
Rectangle {
    id: panel

    property string title: ""
    property color titleColor: Theme.textPrimary
    property int padding: 18
    default property alias content: body.data

    implicitWidth: 300
    implicitHeight: body.implicitHeight + heading.implicitHeight + padding * 2 + body.anchors.topMargin
    radius: 14
    color: Theme.bgCard
    border.width: 1
    border.color: Theme.borderColor

    Text {
        id: heading
        objectName: "sectionPanelTitle"
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: panel.padding
        text: panel.title
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        elide: Text.ElideLeft
        font: Theme.titleBold
        color: panel.titleColor
    }

    ColumnLayout {
        id: body
        anchors.top: heading.bottom
        anchors.topMargin: 12
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: panel.padding
        anchors.rightMargin: panel.padding
        spacing: 8
    }
}
