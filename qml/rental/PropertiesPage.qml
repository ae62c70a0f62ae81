import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// The properties: a searchable grid of cards with their occupancy and monthly
// revenue, each leading to its units.
Item {
    id: page
    objectName: "propertiesPage"

    property var properties: []

    function reload() {
        var text = search.text.trim()
        properties = text !== "" ? propertyModel.search(text) : propertyModel.getAll()
    }

    function typeLabel(type) {
        return type === "residential" ? "سكني" : type === "commercial" ? "تجاري" : "مختلط"
    }

    function statusLabel(p) {
        var total = Number(p.total_units || 0)
        if (total > 0 && Number(p.sold_units || 0) === total)
            return "مباعة بالكامل"
        return p.status === "active" ? "نشط" : "غير نشط"
    }

    // Rented of the units not sold, as the back end counts it everywhere.
    function occupancy(p) {
        return Math.round(Number(p.occupancy || 0)) + "%"
    }

    // The converted rent, and each currency's own amount when there are several.
    function rentBreakdown(p) {
        var parts = p.monthly_revenue_breakdown || []
        if (parts.length < 2)
            return ""
        var texts = []
        for (var i = 0; i < parts.length; ++i)
            texts.push(Money.format(parts[i].total, parts[i].currency_id))
        return texts.join(" + ")
    }

    // Read once when the page is first shown, and again each time it is.
    Component.onCompleted: if (visible) reload()
    onVisibleChanged: if (visible) reload()

    DataWatch {
        targets: [propertyModel, unitModel, contractModel, installmentModel]
        active: page.visible
        onChanged: page.reload()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "إدارة العقارات"
            subtitle: "إدارة جميع العقارات والوحدات"
            extraContent: [
                MButton {
                    objectName: "addPropertyButton"
                    text: "+ إضافة عقار"
                    onClicked: addDialog.get().open()
                }
            ]
        }

        SearchBar {
            id: search
            objectName: "propertySearch"
            Layout.fillWidth: true
            placeholderText: "بحث عن عقار..."
            onQueryChanged: page.reload()
        }

        GridView {
            id: grid
            objectName: "propertyGrid"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: page.properties
            cellWidth: Math.floor(width / 2)
            cellHeight: 200
            boundsBehavior: Flickable.StopAtBounds
            layoutDirection: Qt.RightToLeft
            ScrollBar.vertical: ScrollBar {}

            Text {
                objectName: "emptyListText"
                anchors.centerIn: parent
                visible: grid.count === 0
                text: search.text.trim() !== "" ? "لا توجد عقارات مطابقة للبحث"
                                                : "لا توجد عقارات بعد، أضف أول عقار"
                textFormat: Text.PlainText
                font: Theme.subtitle
                color: Theme.textMuted
            }

            delegate: Item {
                id: cell
                required property var modelData
                readonly property var prop: modelData
                width: grid.cellWidth
                height: grid.cellHeight

                Rectangle {
                    objectName: "propertyCard_" + cell.prop.name
                    anchors.fill: parent
                    anchors.margins: 8
                    radius: 14
                    color: Theme.bgCard
                    border.width: 1
                    border.color: Theme.borderColor

                    ColumnLayout {
                        anchors.fill: parent
                        anchors.margins: 16
                        spacing: 6

                        RowLayout {
                            Layout.fillWidth: true
                            layoutDirection: Qt.RightToLeft
                            spacing: 10
                            Text {
                                Layout.fillWidth: true
                                text: cell.prop.name
                                textFormat: Text.PlainText
                                horizontalAlignment: Text.AlignRight
                                elide: Text.ElideLeft
                                font: Theme.headingBold
                                color: Theme.textPrimary
                            }
                            StatusBadge {
                                objectName: "propertyStatus"
                                text: page.statusLabel(cell.prop)
                                textColor: cell.prop.status === "active" ? Theme.successColor
                                                                             : Theme.textSecondary
                            }
                        }

                        Text {
                            Layout.fillWidth: true
                            text: page.typeLabel(cell.prop.type) + "  ·  "
                                  + (cell.prop.city || "") + " - " + (cell.prop.address || "")
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.small
                            color: Theme.textSecondary
                        }

                        RowLayout {
                            Layout.fillWidth: true
                            layoutDirection: Qt.RightToLeft
                            spacing: 8
                            Repeater {
                                model: [
                                    { value: String(cell.prop.total_units || 0), caption: "وحدة", gold: false },
                                    { value: String(cell.prop.rented_units || 0), caption: "مؤجرة", gold: false },
                                    { value: String(cell.prop.sold_units || 0), caption: "مباعة", gold: true },
                                    { value: page.occupancy(cell.prop), caption: "إشغال", gold: false }
                                ]
                                delegate: ColumnLayout {
                                    id: figure
                                    required property var modelData
                                    Layout.fillWidth: true
                                    Layout.preferredWidth: 1
                                    spacing: 0
                                    Text {
                                        objectName: "propertyFigure_" + figure.modelData.caption
                                        Layout.fillWidth: true
                                        horizontalAlignment: Text.AlignHCenter
                                        text: figure.modelData.value
                                        textFormat: Text.PlainText
                                        font: Theme.headingLargeBold
                                        color: figure.modelData.gold ? Theme.accentGold : Theme.textPrimary
                                    }
                                    Text {
                                        Layout.fillWidth: true
                                        horizontalAlignment: Text.AlignHCenter
                                        text: figure.modelData.caption
                                        font: Theme.caption
                                        color: Theme.textMuted
                                    }
                                }
                            }
                        }

                        Item { Layout.fillHeight: true }

                        RowLayout {
                            Layout.fillWidth: true
                            layoutDirection: Qt.RightToLeft
                            spacing: 8
                            ColumnLayout {
                                Layout.fillWidth: true
                                spacing: 0
                                Text {
                                    Layout.fillWidth: true
                                    horizontalAlignment: Text.AlignRight
                                    text: "الإيجار الشهري المتعاقد"
                                    font: Theme.caption
                                    color: Theme.textMuted
                                }
                                Text {
                                    objectName: "propertyRevenue"
                                    Layout.fillWidth: true
                                    horizontalAlignment: Text.AlignRight
                                    text: Money.format(cell.prop.monthly_revenue, 0)
                                    textFormat: Text.PlainText
                                    elide: Text.ElideLeft
                                    font: Theme.bodyLargeBold
                                    color: Theme.accentGold
                                }
                                Text {
                                    objectName: "propertyRevenueBreakdown"
                                    Layout.fillWidth: true
                                    visible: text !== ""
                                    horizontalAlignment: Text.AlignRight
                                    text: page.rentBreakdown(cell.prop)
                                    textFormat: Text.PlainText
                                    elide: Text.ElideLeft
                                    font: Theme.caption
                                    color: Theme.textMuted
                                }
                            }
                            MButton {
                                objectName: "manageUnitsButton"
                                implicitHeight: 36
                                text: "إدارة الوحدات"
                                onClicked: unitsDialog.get().show(cell.prop.id, cell.prop.name)
                            }
                            MButton {
                                objectName: "removePropertyButton"
                                implicitWidth: 44
                                implicitHeight: 36
                                leftPadding: 6
                                rightPadding: 6
                                text: "🗑"
                                outline: true
                                btnColor: "#ef4444"
                                onClicked: {
                                    var id = cell.prop.id
                                    confirm.ask("حذف عقار", "هل تريد حذف العقار «" + cell.prop.name + "»؟",
                                                "حذف", function() {
                                                    return propertyModel.remove(id) ? ""
                                                           : Input.refusal(propertyModel)
                                                })
                                }
                            }
                        }
                    }
                }
            }
        }
    }

    LazyDialog {
        id: addDialog
        dialogComponent: Component { PropertyAddDialog {} }
    }

    LazyDialog {
        id: unitsDialog
        dialogComponent: Component { UnitsDialog {} }
    }

    ConfirmDialog {
        id: confirm
    }
}
