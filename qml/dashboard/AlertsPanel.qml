import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"

// The active alerts on their own dark panel. The list scrolls once there are
// more alerts than fit in 200 pixels; each row's button asks the page to open
// the page that deals with it.
Rectangle {
    id: panel
    objectName: "alertsPanel"

    property var alerts: []
    // How many alerts there are when `alerts` holds only the first of each kind.
    property int total: 0
    readonly property bool shortened: total > alerts.length

    signal follow(string type, var alert)

    // Alert kinds that have a page to follow them up on.
    function canFollow(type) {
        return type === "overdue" || type === "payment_due" || type === "overdue_invoice"
                || type === "cheque" || type === "cheque_bounced" || type === "contract"
    }

    implicitHeight: column.implicitHeight + 36
    radius: 14
    color: Theme.bgCard
    border.width: 1
    border.color: Theme.borderColor

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 18
        spacing: 10

        // Anchored, not laid out: a row laid out while the panel was hidden
        // kept the width of the first, shorter count, and a long one ran out
        // of the panel.
        Item {
            Layout.fillWidth: true
            implicitHeight: Math.max(alertsTitle.implicitHeight, alertsCount.implicitHeight)

            Text {
                id: alertsCount
                objectName: "alertsCount"
                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                text: Math.max(panel.total, panel.alerts.length).toLocaleString(Qt.locale(), "f", 0)
                      + " تنبيه"
                textFormat: Text.PlainText
                font: Theme.small
                color: Theme.textSecondary
            }

            Text {
                id: alertsTitle
                anchors.left: alertsCount.right
                anchors.leftMargin: 8
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                text: "🔔 تنبيهات هامة"
                horizontalAlignment: Text.AlignRight
                elide: Text.ElideLeft
                font: Theme.titleBold
                color: "#ef4444"
            }
        }

        ListView {
            id: list
            objectName: "alertsList"
            Layout.fillWidth: true
            Layout.preferredHeight: Math.min(contentHeight, 200)
            clip: true
            spacing: 6
            model: panel.alerts
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar { policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded }

            delegate: Rectangle {
                id: row
                objectName: "alertRow"
                required property var modelData
                required property int index
                width: ListView.view.width - 12
                x: 0
                height: 50
                radius: 8
                color: Theme.bgElevated
                border.width: 1
                border.color: modelData.severity === "high" ? "#ef4444" : Theme.borderColor

                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 10
                    anchors.rightMargin: 14
                    layoutDirection: Qt.RightToLeft
                    spacing: 12

                    Column {
                        Layout.fillWidth: true
                        Layout.alignment: Qt.AlignVCenter
                        spacing: 2

                        Text {
                            objectName: "alertTitle"
                            width: parent.width
                            text: row.modelData.title || ""
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.bodyBold
                            color: Theme.textPrimary
                        }

                        Text {
                            objectName: "alertDetail"
                            width: parent.width
                            text: row.modelData.detail || ""
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.caption
                            color: Theme.textSecondary
                        }
                    }

                    MButton {
                        objectName: "alertFollow"
                        Layout.preferredHeight: 30
                        implicitWidth: 78
                        visible: panel.canFollow(row.modelData.type)
                        text: "متابعة"
                        font: Theme.smallBold
                        outline: true
                        onClicked: panel.follow(row.modelData.type, row.modelData)
                    }
                }
            }
        }

        Text {
            objectName: "alertsShortened"
            Layout.fillWidth: true
            visible: panel.shortened
            text: "تُعرض أوائل التنبيهات من كل نوع؛ البقية في صفحاتها"
            textFormat: Text.PlainText
            horizontalAlignment: Text.AlignRight
            wrapMode: Text.Wrap
            font: Theme.caption
            color: Theme.textMuted
        }
    }
}
