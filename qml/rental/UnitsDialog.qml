import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// "إدارة الوحدات - …": the units of one property, read afresh every time the
// dialog opens and whenever units change while it is open.
MDialog {
    id: dialog

    property int propertyId: 0
    property string propertyName: ""
    property var units: []

    objectName: "unitsDialog"
    title: "إدارة الوحدات - " + propertyName
    width: 800
    height: 600

    function show(id, name) {
        propertyId = id
        propertyName = name
        open()
    }

    function reload() {
        units = propertyId > 0 ? unitModel.getByProperty(propertyId) : []
    }

    function statusLabel(status) {
        return status === "available" ? "متاحة" : status === "rented" ? "مؤجرة" : "مباعة"
    }

    function statusColor(status) {
        return status === "available" ? Theme.successColor
             : status === "rented" ? "#3b82f6" : Theme.accentGold
    }

    onAboutToShow: reload()

    DataWatch {
        targets: [unitModel, contractModel, installmentModel]
        active: dialog.visible
        onChanged: dialog.reload()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 14

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            Text {
                Layout.fillWidth: true
                text: "قائمة الوحدات"
                horizontalAlignment: Text.AlignRight
                font: Theme.titleBold
                color: Theme.textPrimary
            }
            MButton {
                objectName: "addUnitButton"
                text: "+ إضافة وحدة"
                onClicked: addDialog.add()
            }
        }

        PagedList {
            id: list
            objectName: "unitsList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            rows: dialog.units
            emptyText: "لا توجد وحدات في هذا العقار بعد"

            delegate: Rectangle {
                id: row
                required property int index
                readonly property var unit: list.rowAt(index)
                objectName: "unitRow_" + unit.unit_number
                width: list.width
                height: 54
                radius: 10
                color: Theme.bgCard
                border.width: 1
                border.color: Theme.borderColor

                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 12
                    anchors.rightMargin: 16
                    layoutDirection: Qt.RightToLeft
                    spacing: 16

                    Text {
                        Layout.preferredWidth: 110
                        text: row.unit.unit_number
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        elide: Text.ElideLeft
                        font: Theme.subtitleBold
                        color: Theme.textPrimary
                    }
                    Text {
                        Layout.preferredWidth: 80
                        text: "طابق " + (row.unit.floor !== null && row.unit.floor !== undefined ? row.unit.floor : "-")
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        font: Theme.body
                        color: Theme.textSecondary
                    }
                    Text {
                        Layout.preferredWidth: 90
                        text: Number(row.unit.area || 0).toLocaleString(Qt.locale(), "f", 0) + " م²"
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        font: Theme.body
                        color: Theme.textSecondary
                    }
                    Text {
                        objectName: "unitRent"
                        Layout.fillWidth: true
                        text: Money.format(row.unit.rent_monthly, row.unit.currency_id)
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        font: Theme.bodyBold
                        color: Theme.accentGold
                    }
                    StatusBadge {
                        text: dialog.statusLabel(row.unit.status)
                        textColor: dialog.statusColor(row.unit.status)
                        fill: Theme.bgElevated
                    }
                    MButton {
                        objectName: "editUnitButton"
                        implicitWidth: 44
                        implicitHeight: 34
                        leftPadding: 6
                        rightPadding: 6
                        text: "✎"
                        outline: true
                        onClicked: addDialog.edit(row.unit)
                    }
                    MButton {
                        objectName: "removeUnitButton"
                        implicitWidth: 44
                        implicitHeight: 34
                        leftPadding: 6
                        rightPadding: 6
                        text: "🗑"
                        outline: true
                        btnColor: "#ef4444"
                        onClicked: {
                            var id = row.unit.id
                            confirm.ask("حذف وحدة", "هل تريد حذف الوحدة «" + row.unit.unit_number
                                        + "» من «" + dialog.propertyName + "»؟", "حذف",
                                        function() {
                                            return unitModel.remove(id) ? "" : Input.refusal(unitModel)
                                        })
                        }
                    }
                }
            }
        }
    }

    UnitAddDialog {
        id: addDialog
        propertyId: dialog.propertyId
    }

    ConfirmDialog {
        id: confirm
    }
}
