import QtQuick
import QtQuick.Controls

// A small bar chart on its own dark panel. Bars are scaled against maxValue
// and deliberately not clamped: a value above it shows as a bar taller than
// the chart, which is easier to notice than a silently capped one.
Rectangle {
    id: widget

    property string title: ""
    // Each entry: { label, value, color, detail }; detail (optional) is what
    // the value is made of, each currency's own amount, shown with the
    // amount when the bar is hovered.
    property var data: []
    property real maxValue: 100

    // A caption that would not fit over its bar, millions or thousands
    // short; the whole amount is in the bar's hover text.
    function shortAmount(value) {
        if (Math.abs(value) >= 1000000)
            return (value / 1000000).toLocaleString(Qt.locale(), "f", 1) + " م"
        return (value / 1000).toLocaleString(Qt.locale(), "f", 0) + " ألف"
    }

    function hoverText(entry) {
        var head = (entry.label !== undefined ? String(entry.label) + ": " : "")
                + Money.format(Number(entry.value) || 0, 0)
        return entry.detail ? head + "\n" + entry.detail : head
    }

    implicitWidth: 360
    implicitHeight: 250
    height: 250
    radius: 14
    color: Theme.bgCard
    border.width: 1
    border.color: Theme.borderColor

    // `data` is the chart's entries here, so the panel's own children are
    // listed explicitly instead of going through Item's default property.
    children: [
        Text {
            id: titleText
            objectName: "analyticsTitle"
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.margins: 20
            text: widget.title
            textFormat: Text.PlainText
            horizontalAlignment: Text.AlignRight
            elide: Text.ElideLeft
            font: Theme.titleBold
            color: Theme.textPrimary
        },

        // The area the bars grow in: between the title (with room for the value
        // captions) and the labels under the bars.
        Item {
            id: chartArea
            objectName: "analyticsChartArea"
            anchors.top: titleText.bottom
            anchors.topMargin: 28
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 38
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.leftMargin: 20
            anchors.rightMargin: 20

            Row {
                id: bars
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.bottom: parent.bottom
                layoutDirection: Qt.RightToLeft
                spacing: 20

                Repeater {
                    model: widget.data

                    Item {
                        id: slot
                        required property var modelData
                        readonly property real amount: Number(modelData.value) || 0
                        width: 30
                        height: chartArea.height

                        Rectangle {
                            id: bar
                            objectName: "analyticsBar"
                            property real targetHeight: widget.maxValue > 0
                                                        ? slot.amount / widget.maxValue * chartArea.height : 0
                            anchors.bottom: parent.bottom
                            width: 30
                            height: targetHeight
                            radius: 4
                            color: slot.modelData.color || "#c79a36"

                            Behavior on height {
                                NumberAnimation { duration: 1000; easing.type: Easing.OutQuart }
                            }
                        }

                        // The bar and its caption: hovering names the month
                        // or property, the amount and what it is made of.
                        MouseArea {
                            id: barHover
                            objectName: "analyticsBarHover"
                            anchors.fill: parent
                            hoverEnabled: true
                        }
                        ToolTip.visible: barHover.containsMouse
                        ToolTip.text: widget.hoverText(slot.modelData)

                        Text {
                            id: caption
                            objectName: "analyticsBarValue"
                            readonly property string whole: slot.amount.toLocaleString(Qt.locale(), "f", 0)
                            anchors.bottom: bar.top
                            anchors.bottomMargin: 5
                            anchors.horizontalCenter: bar.horizontalCenter
                            // Each caption keeps to its bar and the gaps
                            // beside it, or neighbours run into each other.
                            text: wholeWidth.advanceWidth <= slot.width + bars.spacing - 4
                                  ? whole : widget.shortAmount(slot.amount)
                            textFormat: Text.PlainText
                            font: Theme.microBold
                            color: Theme.textSecondary

                            TextMetrics {
                                id: wholeWidth
                                font: Theme.microBold
                                text: caption.whole
                            }
                        }

                        // A long name is cut short under its bar and
                        // shown whole on hover.
                        Text {
                            id: barLabel
                            objectName: "analyticsBarLabel"
                            anchors.top: parent.bottom
                            anchors.topMargin: 8
                            anchors.horizontalCenter: parent.horizontalCenter
                            width: slot.width + 14
                            horizontalAlignment: Text.AlignHCenter
                            elide: Text.ElideRight
                            text: slot.modelData.label !== undefined ? String(slot.modelData.label) : ""
                            textFormat: Text.PlainText
                            font: Theme.caption
                            color: Theme.textMuted

                            MouseArea {
                                id: labelHover
                                anchors.fill: parent
                                hoverEnabled: barLabel.truncated
                            }
                            ToolTip.visible: labelHover.containsMouse
                            ToolTip.text: barLabel.text
                        }
                    }
                }
            }
        }
    ]
}
