import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"

// Every unit with its area, its price (the sale price, or the monthly rent
// when it has none) and its status.
Item {
    id: tab
    objectName: "unitsTab"

    property var units: []

    function reload() {
        units = reportCtrl.getUnitsOverview()
    }

    // The printed list keeps every column of the units.
    function printPayload() {
        return { data: unitModel.getAll(), summary: {} }
    }

    function priceOf(unit) {
        var sale = Number(unit.sale_price) || 0
        var amount = sale !== 0 ? sale : (Number(unit.rent_monthly) || 0)
        return Money.format(amount, unit.currency_id)
    }

    EmptyNote {
        anchors.centerIn: parent
        width: parent.width
        visible: tab.units.length === 0
        text: "لا توجد وحدات بعد"
    }

    ListView {
        objectName: "unitsList"
        anchors.fill: parent
        clip: true
        spacing: 8
        model: tab.units
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}

        delegate: ReportRow {
            id: line
            objectName: "unitRow"
            required property var modelData
            width: ListView.view.width - 14
            x: 0

            ReportCell {
                objectName: "unitName"
                Layout.fillWidth: true
                strong: true
                text: (line.modelData.property_name || "") + " - " + (line.modelData.unit_number || "")
            }
            ReportCell {
                objectName: "unitArea"
                Layout.preferredWidth: 90
                text: (line.modelData.area || 0) + " م²"
            }
            ReportCell {
                objectName: "unitPrice"
                Layout.preferredWidth: 160
                strong: true
                text: tab.priceOf(line.modelData)
            }
            StatusBadge {
                objectName: "unitStatus"
                Layout.alignment: Qt.AlignVCenter
                text: line.modelData.status === "available" ? "متاحة"
                      : line.modelData.status === "rented" ? "مؤجرة" : "مباعة"
                textColor: line.modelData.status === "available" ? "#22c55e"
                      : line.modelData.status === "rented" ? "#60a5fa" : "#C5A059"
                fill: Qt.rgba(textColor.r, textColor.g, textColor.b, 0.14)
            }
        }
    }
}
