import QtQuick
import QtQuick.Controls

// A check box in the application's colours, for both themes.
CheckBox {
    id: control

    spacing: 8
    font: Theme.body

    indicator: Rectangle {
        implicitWidth: 20
        implicitHeight: 20
        x: control.mirrored ? control.width - width - control.rightPadding : control.leftPadding
        y: control.topPadding + (control.availableHeight - height) / 2
        radius: 5
        color: control.checked ? Theme.accentGold : Theme.bgInput
        border.width: 1
        border.color: control.checked ? Theme.accentGold
                                      : control.hovered ? Theme.borderStrong : Theme.borderColor

        Text {
            anchors.centerIn: parent
            visible: control.checked
            text: "✓"
            font: Theme.bodyBold
            color: "#08111f"
        }
    }

    contentItem: Text {
        text: control.text
        font: control.font
        color: control.enabled ? Theme.textPrimary : Theme.textMuted
        verticalAlignment: Text.AlignVCenter
        horizontalAlignment: Text.AlignRight
        leftPadding: control.mirrored ? 0 : control.indicator.width + control.spacing
        rightPadding: control.mirrored ? control.indicator.width + control.spacing : 0
    }
}
