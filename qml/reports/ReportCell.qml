import QtQuick
import QtQuick.Layouts
import "../components"

// A cell of a report line; `strong` for the line's main figure or name.
Text {
    property bool strong: false

    Layout.alignment: Qt.AlignVCenter
    textFormat: Text.PlainText
    horizontalAlignment: Text.AlignRight
    elide: Text.ElideLeft
    font: strong ? Theme.bodyLargeBold : Theme.body
    color: strong ? Theme.textPrimary : Theme.textSecondary
}
