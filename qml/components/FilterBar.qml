import QtQuick
import QtQuick.Controls

// A row of exclusive filter buttons; `value` is the chosen option's value
// ("" for the option that shows everything).
Row {
    id: bar

    // Each option: { label, value }.
    property var options: []
    property string value: ""

    layoutDirection: Qt.RightToLeft
    spacing: 8

    Repeater {
        model: bar.options
        delegate: AbstractButton {
            id: chip
            required property var modelData
            readonly property bool selected: bar.value === modelData.value
            objectName: "filter_" + (modelData.value === "" ? "all" : modelData.value)
            implicitWidth: caption.implicitWidth + 28
            implicitHeight: 36
            hoverEnabled: true
            onClicked: bar.value = modelData.value

            background: Rectangle {
                radius: 18
                color: chip.selected ? Theme.accentGold
                     : chip.hovered ? Theme.bgElevated : Theme.bgCard
                border.width: 1
                border.color: chip.selected ? Theme.accentGold : Theme.borderColor
            }
            contentItem: Text {
                id: caption
                text: chip.modelData.label
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                font: chip.selected ? Theme.bodyBold : Theme.body
                color: chip.selected ? "#08111f" : Theme.textSecondary
            }
        }
    }
}
