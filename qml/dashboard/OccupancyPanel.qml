import QtQuick
import "../components"

// The share of rented units, written inside a ring.
Rectangle {
    id: panel
    objectName: "occupancyPanel"

    property real rate: 0

    implicitHeight: 250
    radius: 14
    color: Theme.bgCard
    border.width: 1
    border.color: Theme.borderColor

    Text {
        id: heading
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: 18
        text: "حالة الوحدات"
        horizontalAlignment: Text.AlignRight
        font: Theme.titleBold
        color: Theme.textPrimary
    }

    Rectangle {
        id: ring
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: heading.bottom
        anchors.topMargin: 16
        width: 130
        height: 130
        radius: 65
        color: "transparent"
        border.width: 10
        border.color: Theme.bgElevated

        // The filled part of the ring grows with the rate.
        Rectangle {
            anchors.centerIn: parent
            width: parent.width - 20
            height: parent.height - 20
            radius: width / 2
            color: "transparent"
            border.width: 3
            border.color: panel.rate >= 70 ? "#22c55e" : (panel.rate >= 40 ? "#f59e0b" : "#ef4444")
        }

        Text {
            objectName: "occupancyValue"
            anchors.centerIn: parent
            text: Math.round(panel.rate) + "%"
            textFormat: Text.PlainText
            font: Theme.displayBold
            color: Theme.textPrimary
        }
    }

    Text {
        anchors.top: ring.bottom
        anchors.topMargin: 10
        anchors.horizontalCenter: parent.horizontalCenter
        text: "نسبة الإشغال"
        font: Theme.body
        color: Theme.textSecondary
    }
}
