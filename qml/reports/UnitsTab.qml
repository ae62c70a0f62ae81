import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"

// Every unit with its area, its monthly rent, its sale price and its status,
// under column headings. A sold unit shows what it was sold for and no rent;
// a figure a unit does not have is a dash, never another figure in its place.
Item {
    id: tab
    objectName: "unitsTab"

    property var units: []

    readonly property bool loading: read.loading
    signal loaded()

    function reload() {
        read.ask([])
    }

    property ReportRead read: ReportRead {
        call: "units"
        onAnswered: result => {
            tab.units = result
            tab.loaded()
        }
    }

    // The printed list keeps every column of the units.
    function printPayload() {
        return { data: unitModel.getAll(), summary: {} }
    }

    function rentOf(unit) {
        var rent = Number(unit.rent_monthly) || 0
        return unit.status === "sold" || rent === 0 ? "—" : Money.format(rent, unit.currency_id)
    }

    function priceOf(unit) {
        var actual = Number(unit.sale_price_actual) || 0
        var listed = Number(unit.sale_price) || 0
        var amount = unit.status === "sold" && actual !== 0 ? actual : listed
        return amount === 0 ? "—" : Money.format(amount, unit.currency_id)
    }

    EmptyNote {
        anchors.centerIn: parent
        width: parent.width
        visible: tab.units.length === 0
        text: "لا توجد وحدات بعد"
    }

    ReportRow {
        id: headings
        objectName: "unitsHeadings"
        anchors.top: parent.top
        width: parent.width - 14
        height: 36
        visible: tab.units.length > 0
        color: Theme.bgElevated

        ReportCell { Layout.fillWidth: true; text: "الوحدة"; font: Theme.smallBold }
        ReportCell { Layout.preferredWidth: 90; text: "المساحة"; font: Theme.smallBold }
        ReportCell { Layout.preferredWidth: 150; text: "الإيجار الشهري"; font: Theme.smallBold }
        ReportCell { Layout.preferredWidth: 160; text: "سعر البيع"; font: Theme.smallBold }
        ReportCell { Layout.preferredWidth: 70; text: "الحالة"; font: Theme.smallBold }
    }

    ListView {
        objectName: "unitsList"
        anchors.top: headings.bottom
        anchors.topMargin: 8
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
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
                objectName: "unitRent"
                Layout.preferredWidth: 150
                text: tab.rentOf(line.modelData)
            }
            ReportCell {
                objectName: "unitPrice"
                Layout.preferredWidth: 160
                strong: true
                text: tab.priceOf(line.modelData)
            }
            StatusBadge {
                objectName: "unitStatus"
                Layout.preferredWidth: 70
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
