import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// Maintenance requests by status: open new ones, complete them with a cost.
Item {
    id: page
    objectName: "maintenancePage"

    readonly property var list: maintenanceList

    function applyQuery() {
        var f = {}
        if (statusFilter.value !== "")
            f.status = statusFilter.value
        list.filters = f
        list.searchText = search.text.trim()
    }

    function priorityLabel(p) {
        return p === "high" ? "عاجل" : p === "medium" ? "متوسط" : "منخفض"
    }

    function priorityColor(p) {
        return p === "high" ? "#ef4444" : p === "medium" ? "#f59e0b" : Theme.textSecondary
    }

    function statusLabel(s) {
        return s === "new" ? "جديد" : s === "in_progress" ? "قيد التنفيذ" : "مكتمل"
    }

    // Moves a request between "new" and "in_progress"; a refusal is shown
    // under the list.
    function moveTo(id, status) {
        actionMessage = maintenanceModel.updateStatus(id, status) ? "" : Input.refusal(maintenanceModel)
    }

    property string actionMessage: ""

    function statusColor(s) {
        return s === "new" ? "#ef4444" : s === "in_progress" ? "#f59e0b" : "#22c55e"
    }

    // The shell builds a page when it is first shown, so it starts visible.
    Component.onCompleted: if (visible) { applyQuery(); list.refresh() }
    onVisibleChanged: if (visible) { applyQuery(); list.refresh() }

    DataWatch {
        targets: [unitModel, propertyModel]
        active: page.visible
        onChanged: page.list.refresh()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 16

        PageHeader {
            Layout.fillWidth: true
            title: "الصيانة"
            subtitle: "إدارة طلبات الصيانة والإصلاحات"
            extraContent: [
                MButton {
                    objectName: "addMaintenanceButton"
                    text: "+ طلب صيانة"
                    onClicked: addDialog.open()
                }
            ]
        }

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            FilterBar {
                id: statusFilter
                objectName: "maintenanceStatusFilter"
                options: [
                    { label: "الكل", value: "" },
                    { label: "جديد", value: "new" },
                    { label: "قيد التنفيذ", value: "in_progress" },
                    { label: "مكتمل", value: "completed" }
                ]
                onValueChanged: page.applyQuery()
            }
            SearchBar {
                id: search
                objectName: "maintenanceSearch"
                Layout.fillWidth: true
                placeholderText: "بحث في الطلبات..."
                onQueryChanged: page.applyQuery()
            }
        }

        Text {
            objectName: "maintenanceActionMessage"
            Layout.fillWidth: true
            visible: page.actionMessage !== ""
            horizontalAlignment: Text.AlignRight
            text: page.actionMessage
            textFormat: Text.PlainText
            font: Theme.small
            color: Theme.dangerColor
        }

        PagedList {
            id: table
            objectName: "maintenanceTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: page.list
            spacing: 8
            narrowed: search.text.trim() !== "" || statusFilter.value !== ""
            emptyText: "لا توجد طلبات صيانة بعد"
            noMatchText: "لا توجد طلبات مطابقة"

            delegate: Rectangle {
                id: row
                required property int index
                required property var model
                readonly property bool done: model.status === "completed"
                objectName: "maintenanceRow_" + model.title
                width: table.width
                height: 64
                radius: 10
                color: Theme.bgCard
                border.width: 1
                border.color: Theme.borderColor

                Rectangle {
                    objectName: "maintenanceStatusBar"
                    anchors.right: parent.right
                    anchors.top: parent.top
                    anchors.bottom: parent.bottom
                    anchors.margins: 8
                    width: 4
                    radius: 2
                    color: page.statusColor(row.model.status)
                }

                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 16
                    anchors.rightMargin: 24
                    layoutDirection: Qt.RightToLeft
                    spacing: 14

                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 4
                        Text {
                            Layout.fillWidth: true
                            text: row.model.title || ""
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.bodyLargeBold
                            color: Theme.textPrimary
                        }
                        Text {
                            Layout.fillWidth: true
                            text: (row.model.property_name || "") + " - " + (row.model.unit_number || "")
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.small
                            color: Theme.textSecondary
                        }
                    }
                    StatusBadge {
                        objectName: "maintenancePriority"
                        text: page.priorityLabel(row.model.priority)
                        textColor: page.priorityColor(row.model.priority)
                    }
                    ColumnLayout {
                        Layout.preferredWidth: 150
                        Layout.maximumWidth: 150
                        spacing: 4
                        Text {
                            objectName: "maintenanceStatusText"
                            Layout.fillWidth: true
                            text: page.statusLabel(row.model.status)
                                  + (row.done && row.model.assigned_to ? " · " + row.model.assigned_to : "")
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.smallBold
                            color: page.statusColor(row.model.status)
                        }
                        Text {
                            Layout.fillWidth: true
                            text: row.model.request_date || ""
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            font: Theme.small
                            color: Theme.textMuted
                        }
                        Text {
                            objectName: "maintenanceCost"
                            Layout.fillWidth: true
                            visible: row.done
                            text: "التكلفة: " + Input.isolate(Money.format(row.model.cost, 0))
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            font: Theme.smallBold
                            color: Theme.accentGold
                        }
                    }
                    Item {
                        Layout.preferredWidth: 96
                        Layout.preferredHeight: 34
                        MButton {
                            objectName: "maintenanceProgressButton"
                            anchors.fill: parent
                            visible: !row.done
                            leftPadding: 6
                            rightPadding: 6
                            outline: true
                            text: row.model.status === "in_progress" ? "إرجاع لجديد" : "بدء التنفيذ"
                            onClicked: page.moveTo(row.model.id, row.model.status === "in_progress" ? "new" : "in_progress")
                        }
                    }
                    Item {
                        Layout.preferredWidth: 80
                        Layout.preferredHeight: 34
                        MButton {
                            objectName: "completeMaintenanceButton"
                            anchors.fill: parent
                            visible: !row.done
                            leftPadding: 6
                            rightPadding: 6
                            text: "إكمال"
                            btnColor: Theme.successColor
                            textColor: "#ffffff"
                            onClicked: completeDialog.show(row.model.id, row.model.title)
                        }
                    }
                }
            }
        }
    }

    MaintenanceAddDialog {
        id: addDialog
    }

    MaintenanceCompleteDialog {
        id: completeDialog
    }
}
