import QtQuick
import QtQuick.Layouts
import "../components"

// One line of a report list: a card whose children sit right to left.
Rectangle {
    default property alias cells: row.data

    height: 56
    radius: 10
    color: Theme.bgCard
    border.width: 1
    border.color: Theme.borderColor

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 14
        anchors.rightMargin: 16
        layoutDirection: Qt.RightToLeft
        spacing: 14
    }
}
