import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "قراءات العدادات": the meter readings of one property for one period, one
// row per unit and metered service. The previous reading comes from the last
// period read; the clerk types the current one and sees the consumption and
// its cost at the service's rate as they type. The rent run bills what is
// saved here.
MDialog {
    id: dialog

    property var properties: []
    property var sheet: []
    property string errorText: ""
    property string savedText: ""

    objectName: "meterReadingsDialog"
    title: "قراءات العدادات"
    width: 820
    height: 620

    function reload() {
        var prop = propertyBox.currentRow
        errorText = ""
        sheet = prop && Input.periodError(periodField.text) === ""
                ? meterReadingModel.getSheet(prop.id, Input.period(periodField.text)) : []
    }

    // What the row at `index` reads now: its consumption and cost, or NaN
    // while nothing (or no number) is typed.
    function usage(row, typed, meterChange) {
        var current = Input.number(typed)
        if (Input.normalize(typed) === "" || isNaN(current))
            return { consumption: NaN, cost: NaN }
        var consumption = meterChange ? current : current - Number(row.previous_reading)
        return { consumption: consumption, cost: Math.round(consumption * Number(row.rate) * 100) / 100 }
    }

    function save() {
        periodField.errorText = Input.periodError(periodField.text)
        propertyBox.errorText = propertyBox.currentRow ? "" : "اختر العقار"
        if (periodField.errorText !== "" || propertyBox.errorText !== "")
            return
        var rows = []
        for (var i = 0; i < rowsRepeater.count; ++i) {
            var item = rowsRepeater.itemAt(i)
            if (Input.normalize(item.typed) === "")
                continue
            var current = Input.number(item.typed)
            if (isNaN(current) || current < 0) {
                errorText = "قراءة غير صحيحة للوحدة " + item.row.unit_number + " (" + item.row.service_name + ")"
                return
            }
            rows.push({ unit_id: item.row.unit_id, service_id: item.row.service_id,
                        current_reading: current, meter_change: item.meterChange })
        }
        if (rows.length === 0) {
            errorText = "أدخل قراءة واحدة على الأقل"
            return
        }
        var count = meterReadingModel.saveReadings(Input.period(periodField.text), rows)
        if (count < 0) {
            errorText = Input.refusal(meterReadingModel)
            return
        }
        reload()
        savedText = "تم حفظ " + count + " قراءة"
    }

    onAboutToShow: {
        properties = propertyModel.getAll()
        periodField.text = Input.thisMonth()
        periodField.errorText = ""
        propertyBox.currentIndex = properties.length > 0 ? 0 : -1
        savedText = ""
        reload()
    }
    onEnterPressed: save()

    component Cell: Text {
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        elide: Text.ElideLeft
        font: Theme.body
        color: Theme.textPrimary
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MComboBox {
                id: propertyBox
                objectName: "readingsPropertyBox"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "العقار"
                placeholder: "اختر عقاراً..."
                model: dialog.properties
                textRole: "name"
                onActivated: dialog.reload()
            }
            MTextField {
                id: periodField
                objectName: "readingsPeriodField"
                Layout.preferredWidth: 160
                Layout.alignment: Qt.AlignTop
                label: "الفترة (YYYY-MM)"
                onTextChanged: if (Input.periodError(text) === "") dialog.reload()
            }
        }

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 8
            Cell { Layout.preferredWidth: 70; text: "الوحدة"; color: Theme.textSecondary; font.bold: true }
            Cell { Layout.preferredWidth: 80; text: "الخدمة"; color: Theme.textSecondary; font.bold: true }
            Cell { Layout.preferredWidth: 90; text: "السابقة"; color: Theme.textSecondary; font.bold: true }
            Cell { Layout.preferredWidth: 130; text: "الحالية"; color: Theme.textSecondary; font.bold: true }
            Cell { Layout.preferredWidth: 100; text: "تغيير عداد"; color: Theme.textSecondary; font.bold: true }
            Cell { Layout.preferredWidth: 100; text: "الاستهلاك"; color: Theme.textSecondary; font.bold: true }
            Cell { Layout.fillWidth: true; text: "التكلفة"; color: Theme.textSecondary; font.bold: true }
        }

        ScrollView {
            id: scroller
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            contentWidth: availableWidth

            ColumnLayout {
                width: scroller.availableWidth
                spacing: 4

                Repeater {
                    id: rowsRepeater
                    model: dialog.sheet
                    delegate: RowLayout {
                        id: line
                        required property var modelData
                        required property int index
                        readonly property var row: modelData
                        property alias typed: currentField.text
                        property alias meterChange: changeBox.checked
                        readonly property var figures: dialog.usage(row, typed, meterChange)
                        objectName: "readingRow_" + row.unit_number + "_" + row.service_id
                        // A complaint or a "saved" line goes once the sheet is edited.
                        onTypedChanged: { dialog.errorText = ""; dialog.savedText = "" }
                        onMeterChangeChanged: { dialog.errorText = ""; dialog.savedText = "" }
                        Layout.fillWidth: true
                        layoutDirection: Qt.RightToLeft
                        spacing: 8

                        Cell { Layout.preferredWidth: 70; text: line.row.unit_number; font.bold: true }
                        Cell { Layout.preferredWidth: 80; text: line.row.service_name }
                        Cell {
                            objectName: "readingPrevious"
                            Layout.preferredWidth: 90
                            text: line.meterChange ? "0" : String(Number(line.row.previous_reading))
                            color: Theme.textSecondary
                        }
                        MTextField {
                            id: currentField
                            objectName: "readingCurrentField"
                            // Fixed, so the columns line up whatever a row holds.
                            Layout.preferredWidth: 130
                            Layout.minimumWidth: 130
                            Layout.maximumWidth: 130
                            placeholderText: "القراءة"
                            text: line.row.current_reading === null || line.row.current_reading === undefined
                                  ? "" : String(Number(line.row.current_reading))
                        }
                        MCheckBox {
                            id: changeBox
                            objectName: "readingMeterChange"
                            Layout.preferredWidth: 100
                            // A saved reading taken on a new meter says so again.
                            checked: line.row.meter_change === true
                        }
                        Cell {
                            objectName: "readingConsumption"
                            Layout.preferredWidth: 100
                            text: isNaN(line.figures.consumption) ? "-"
                                  : line.figures.consumption + " " + (line.row.unit_of_measure || "")
                            color: line.figures.consumption < 0 ? Theme.dangerColor : Theme.textPrimary
                        }
                        Cell {
                            objectName: "readingCost"
                            Layout.fillWidth: true
                            text: isNaN(line.figures.cost) ? "-" : Money.format(line.figures.cost, Money.primaryId)
                            color: Theme.accentGold
                        }
                    }
                }
                Cell {
                    objectName: "readingsEmpty"
                    visible: dialog.sheet.length === 0
                    Layout.fillWidth: true
                    text: "لا توجد وحدات بخدمات بعدادات في هذا العقار"
                    color: Theme.textMuted
                }
            }
        }

        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MButton {
                objectName: "readingsSaveButton"
                text: "حفظ القراءات"
                onClicked: dialog.save()
            }
            Cell {
                objectName: "readingsSavedText"
                Layout.fillWidth: true
                text: dialog.savedText
                color: Theme.successColor
            }
        }
    }
}
