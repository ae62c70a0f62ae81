import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// "إضافة وحدة جديدة" for a unit of the property the units dialog shows, or
// "تعديل الوحدة" for one of its units (edit()). The yearly rent is twelve
// monthly rents; a new unit is priced in the primary currency, an existing
// one keeps its own.
MDialog {
    id: dialog

    property int propertyId: 0
    property string errorText: ""
    // The unit being corrected; null while adding.
    property var unit: null
    readonly property int currencyId: unit ? Number(unit.currency_id || Money.primaryId) : Money.primaryId

    objectName: "unitAddDialog"
    title: unit ? "تعديل الوحدة" : "إضافة وحدة جديدة"
    width: 400
    height: 580 + (banner.visible ? banner.height + 12 : 0)

    signal saved(int id)

    readonly property var fields: [numberField, floorField, areaField, rentField, roomsField, saleField]

    function reset() {
        for (var i = 0; i < fields.length; ++i) {
            fields[i].text = ""
            fields[i].errorText = ""
        }
        errorText = ""
    }

    function numberText(value) {
        return value === null || value === undefined || Number(value) === 0 ? "" : String(Number(value))
    }

    function add() {
        unit = null
        reset()
        open()
    }

    function edit(row) {
        reset()
        unit = row
        numberField.text = row.unit_number || ""
        floorField.text = row.floor === null || row.floor === undefined ? "" : String(row.floor)
        areaField.text = numberText(row.area)
        roomsField.text = numberText(row.rooms)
        rentField.text = numberText(row.rent_monthly)
        saleField.text = numberText(row.sale_price)
        open()
    }

    function save() {
        numberField.errorText = Input.requiredError(numberField.text)
        floorField.errorText = Input.integerError(floorField.text, true)
        areaField.errorText = Input.optionalNumberError(areaField.text)
        rentField.errorText = Input.amountError(rentField.text, true)
        roomsField.errorText = Input.integerError(roomsField.text, true)
        saleField.errorText = Input.normalize(saleField.text) === "" ? "" : Input.amountError(saleField.text, false)
        for (var i = 0; i < fields.length; ++i)
            if (fields[i].errorText !== "")
                return
        var rent = Input.number(rentField.text)
        var floor = Input.normalize(floorField.text) === "" ? 0 : Input.integer(floorField.text)
        var area = Input.normalize(areaField.text) === "" ? 0 : Input.number(areaField.text)
        var rooms = Input.normalize(roomsField.text) === "" ? 0 : Input.integer(roomsField.text)
        var sale = Input.normalize(saleField.text) === "" ? 0 : Input.number(saleField.text)
        var id = unit
                ? (unitModel.update(unit.id, numberField.text.trim(), floor, area, rooms,
                                    rent, rent * 12, sale) ? unit.id : -1)
                : unitModel.add(propertyId, numberField.text.trim(), floor, area, rooms,
                                rent, rent * 12, sale, Money.primaryId)
        if (id > 0) {
            reset()
            close()
            saved(id)
        } else {
            errorText = Input.refusal(unitModel)
        }
    }

    onAboutToShow: errorText = ""
    onOpened: numberField.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        GridLayout {
            Layout.fillWidth: true
            columns: 2
            layoutDirection: Qt.RightToLeft
            columnSpacing: 12
            rowSpacing: 10
            MTextField {
                id: numberField
                objectName: "unitNumberField"
                Layout.fillWidth: true
                label: "رقم الوحدة"
            }
            MTextField {
                id: floorField
                objectName: "unitFloorField"
                Layout.fillWidth: true
                label: "الطابق"
            }
            MTextField {
                id: areaField
                objectName: "unitAreaField"
                Layout.fillWidth: true
                label: "المساحة (م²)"
            }
            MTextField {
                id: roomsField
                objectName: "unitRoomsField"
                Layout.fillWidth: true
                label: "عدد الغرف"
            }
        }
        MTextField {
            id: rentField
            objectName: "unitRentField"
            Layout.fillWidth: true
            label: "الإيجار الشهري (" + Money.symbol(dialog.currencyId) + ")"
            placeholderText: "0.00"
        }
        MTextField {
            id: saleField
            objectName: "unitSalePriceField"
            Layout.fillWidth: true
            label: "سعر البيع (" + Money.symbol(dialog.currencyId) + ")"
            placeholderText: "اختياري"
        }
        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "unitSaveButton"
            Layout.fillWidth: true
            text: "حفظ"
            onClicked: dialog.save()
        }
    }
}
