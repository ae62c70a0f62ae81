import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The title block at the top of every page, with a row for the page's action
// buttons on the far side.
Item {
    id: root

    property string title: ""
    property string subtitle: ""
    // Children placed here (buttons, fields) line up right to left, 12 apart.
    property alias extraContent: actions.data

    width: parent ? parent.width : implicitWidth
    implicitHeight: 70
    height: 70
    Layout.fillWidth: true
    Layout.preferredHeight: 70

    RowLayout {
        anchors.fill: parent
        layoutDirection: Qt.RightToLeft
        spacing: 16

        Column {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            spacing: 4

            Text {
                objectName: "pageHeaderTitle"
                width: parent.width
                text: root.title
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignRight
                elide: Text.ElideLeft
                font: Theme.pageTitleBold
                color: Theme.textPrimary
            }

            Text {
                objectName: "pageHeaderSubtitle"
                width: parent.width
                visible: root.subtitle !== ""
                text: root.subtitle
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignRight
                elide: Text.ElideLeft
                font: Theme.body
                color: Theme.textSecondary
            }
        }

        Row {
            id: actions
            objectName: "pageHeaderActions"
            Layout.alignment: Qt.AlignVCenter
            layoutDirection: Qt.RightToLeft
            spacing: 12
        }
    }
}
