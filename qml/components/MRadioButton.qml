import QtQuick
import QtQuick.Controls

// A radio button in the application's colours: in the dark theme the Basic
// style drew the unchecked disc bright white and the checked one dark.
RadioButton {
    id: control

    spacing: 8
    font: Theme.body

    indicator: Rectangle {
        implicitWidth: 20
        implicitHeight: 20
        x: control.mirrored ? control.width - width - control.rightPadding : control.leftPadding
        y: control.topPadding + (control.availableHeight - height) / 2
        radius: 10
        color: Theme.bgInput
        border.width: control.checked ? 2 : 1
        border.color: control.checked ? Theme.accentGold
                                      : control.hovered ? Theme.borderStrong : Theme.borderColor

        Rectangle {
            anchors.centerIn: parent
            width: 10
            height: 10
            radius: 5
            visible: control.checked
            color: Theme.accentGold
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
