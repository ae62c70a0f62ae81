import QtQuick
import QtQuick.Controls

// The application's button: gold (or any colour) fill with a soft vertical
// gradient, or an outline in the same colour.
Button {
    id: control

    property color btnColor: Theme.accentGold
    property color textColor: Theme.dark ? "#08111f" : "#ffffff"
    property bool outline: false
    property string iconSymbol: ""

    readonly property color foreground: outline ? btnColor : textColor

    implicitHeight: 40
    implicitWidth: Math.max(90, implicitContentWidth + leftPadding + rightPadding)
    leftPadding: 18
    rightPadding: 18
    topPadding: 0
    bottomPadding: 0
    hoverEnabled: true

    font: Theme.bodyBold

    opacity: enabled ? 1.0 : 0.5
    scale: pressed ? 0.97 : 1.0
    Behavior on scale {
        NumberAnimation { duration: 100; easing.type: Easing.OutQuad }
    }

    contentItem: Item {
        implicitWidth: contentRow.implicitWidth
        implicitHeight: contentRow.implicitHeight

        Row {
            id: contentRow
            anchors.centerIn: parent
            layoutDirection: Qt.RightToLeft
            spacing: 8

            Text {
                objectName: "mbuttonIcon"
                anchors.verticalCenter: parent.verticalCenter
                visible: control.iconSymbol !== ""
                text: control.iconSymbol
                textFormat: Text.PlainText
                font.pixelSize: 16
                color: control.foreground
            }

            Text {
                objectName: "mbuttonLabel"
                anchors.verticalCenter: parent.verticalCenter
                text: control.text
                textFormat: Text.PlainText
                font: control.font
                color: control.foreground
                elide: Text.ElideRight
            }
        }
    }

    background: Rectangle {
        objectName: "mbuttonBackground"
        implicitHeight: 40
        radius: 8
        color: "transparent"
        border.width: control.outline ? 1.5 : 0
        border.color: control.btnColor

        Rectangle {
            objectName: "mbuttonFill"
            anchors.fill: parent
            radius: parent.radius
            visible: !control.outline
            gradient: Gradient {
                GradientStop {
                    position: 0.0
                    color: control.hovered ? Qt.lighter(control.btnColor, 1.1) : control.btnColor
                }
                GradientStop {
                    position: 1.0
                    color: control.hovered ? control.btnColor : Qt.darker(control.btnColor, 1.1)
                }
            }
        }

        Rectangle {
            objectName: "mbuttonPressedOverlay"
            anchors.fill: parent
            radius: parent.radius
            color: Theme.textPrimary
            opacity: 0.15
            visible: control.pressed
        }
    }
}
