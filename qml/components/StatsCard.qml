import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// One headline figure: an icon tile beside the title, the value and an
// optional subtitle. Hovering lifts the card and tints its border.
Rectangle {
    id: card

    property string title: ""
    property string value: "0"
    property string subtitle: ""
    property string icon: ""
    property color iconBg: Theme.bgElevated
    property color iconColor: Theme.accentGold

    implicitWidth: 240
    implicitHeight: Math.max(110, lines.implicitHeight + 40)
    height: implicitHeight
    radius: 16
    color: Theme.bgCard
    border.width: 1
    border.color: hover.hovered ? iconColor : Theme.borderColor
    scale: hover.hovered ? 1.02 : 1.0

    Behavior on border.color { ColorAnimation { duration: 200 } }
    Behavior on scale { NumberAnimation { duration: 150; easing.type: Easing.OutQuad } }

    HoverHandler { id: hover }

    RowLayout {
        anchors.fill: parent
        anchors.margins: 20
        layoutDirection: Qt.RightToLeft
        spacing: 14

        Rectangle {
            Layout.preferredWidth: 48
            Layout.preferredHeight: 48
            Layout.alignment: Qt.AlignVCenter
            radius: 10
            color: card.iconBg

            Text {
                anchors.centerIn: parent
                text: card.icon
                textFormat: Text.PlainText
                font.pixelSize: 22
                color: card.iconColor
            }
        }

        Column {
            id: lines
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            spacing: 4

            Text {
                id: titleText
                objectName: "statsCardTitle"
                width: parent.width
                text: card.title
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignRight
                elide: Text.ElideLeft
                font: Theme.cardLabel
                color: Theme.textMuted
            }

            Text {
                objectName: "statsCardValue"
                width: parent.width
                // A value of several lines (one per currency) makes the card
                // taller rather than lose any of them.
                text: card.value
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignRight
                elide: Text.ElideLeft
                // Large amounts shrink to fit the card rather than lose digits.
                fontSizeMode: Text.HorizontalFit
                minimumPixelSize: 13
                font: Theme.figureLargeBold
                color: Theme.textPrimary
            }

            Text {
                id: subtitleText
                objectName: "statsCardSubtitle"
                width: parent.width
                visible: card.subtitle !== ""
                text: card.subtitle
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignRight
                elide: Text.ElideLeft
                font: Theme.caption
                color: Theme.textSecondary
            }
        }
    }
}
