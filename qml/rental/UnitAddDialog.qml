import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// "إضافة وحدة جديدة": a unit of the property the units dialog shows. The
// yearly rent is twelve monthly rents; the unit is priced in the primary
// currency.
MDialog {
    id: dialog

    property int propertyId: 0
    property string errorText: ""

    objectName: "unitAddDialog"
    title: "إضافة وحدة جديدة"
    width: 400
    height: 500 + (banner.visible ? banner.height + 12 : 0)

    signal saved(int id)

    readonly property var fields: [numberField, floorField, areaField, rentField, roomsField]

    function reset() {
        for (var i = 0; i < fields.length; ++i) {
            fields[i].text = ""
            fields[i].errorText = ""
        }
        errorText = ""
    }

    function save() {
        numberField.errorText = Input.requiredError(numberField.text)
        floorField.errorText = Input.integerError(floorField.text, true)
        areaField.errorText = Input.optionalNumberError(areaField.text)
        rentField.errorText = Input.amountError(rentField.text, true)
        roomsField.errorText = Input.integerError(roomsField.text, true)
        for (var i = 0; i < fields.length; ++i)
            if (fields[i].errorText !== "")
                return
        var rent = Input.number(rentField.text)
        var floor = Input.normalize(floorField.text) === "" ? 0 : Input.integer(floorField.text)
        var area = Input.normalize(areaField.text) === "" ? 0 : Input.number(areaField.text)
        var rooms = Input.normalize(roomsField.text) === "" ? 0 : Input.integer(roomsField.text)
        var id = unitModel.add(propertyId, numberField.text.trim(), floor, area, rooms,
                               rent, rent * 12, 0, Money.primaryId)
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
            label: "الإيجار الشهري (" + Money.primarySymbol + ")"
            placeholderText: "0.00"
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
