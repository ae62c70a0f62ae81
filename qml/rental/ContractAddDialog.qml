import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// "إنشاء عقد جديد": a rental contract for one tenant on a free unit. The
// contract is in the unit's own currency.
MDialog {
    id: dialog

    property int tenantId: 0
    property var availableUnits: []
    property string errorText: ""

    objectName: "contractAddDialog"
    title: "إنشاء عقد جديد"
    width: 450
    height: 550 + (banner.visible ? banner.height + 12 : 0)

    signal saved(int id)

    readonly property var fields: [startField, endField, rentField, depositField]

    function reset() {
        unitBox.currentIndex = -1
        unitBox.errorText = ""
        startField.text = Input.today()
        endField.text = ""
        rentField.text = ""
        depositField.text = "0"
        for (var i = 0; i < fields.length; ++i)
            fields[i].errorText = ""
        errorText = ""
    }

    function save() {
        var unit = unitBox.currentRow
        unitBox.errorText = unit ? "" : "اختر وحدة متاحة"
        startField.errorText = Input.dateError(startField.text)
        endField.errorText = Input.dateError(endField.text)
        if (startField.errorText === "" && endField.errorText === ""
                && Input.date(endField.text) <= Input.date(startField.text))
            endField.errorText = "يجب أن يكون تاريخ الانتهاء بعد تاريخ البدء"
        rentField.errorText = Input.amountError(rentField.text, false)
        depositField.errorText = Input.normalize(depositField.text) === ""
                ? "" : Input.amountError(depositField.text, true)
        if (unitBox.errorText !== "")
            return
        for (var i = 0; i < fields.length; ++i)
            if (fields[i].errorText !== "")
                return
        var deposit = Input.normalize(depositField.text) === "" ? 0 : Input.number(depositField.text)
        var currency = unit.currency_id ? Number(unit.currency_id) : Money.primaryId
        var id = contractModel.add(unit.id, tenantId, Input.date(startField.text),
                                   Input.date(endField.text), Input.number(rentField.text),
                                   "monthly", deposit, currency)
        if (id > 0) {
            reset()
            close()
            saved(id)
        } else {
            errorText = Input.refusal(contractModel)
        }
    }

    onAboutToShow: {
        availableUnits = unitModel.getAvailable()
        reset()
    }
    onOpened: unitBox.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        MComboBox {
            id: unitBox
            objectName: "contractUnitBox"
            Layout.fillWidth: true
            label: "اختر الوحدة المتاحة"
            placeholder: "اختر وحدة..."
            model: dialog.availableUnits
            displayFunction: function(u) { return u.property_name + " - " + u.unit_number }
            onActivated: {
                var u = currentRow
                if (u && rentField.text.trim() === "" && Number(u.rent_monthly) > 0)
                    rentField.text = Money.plain(u.rent_monthly, u.currency_id)
            }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField {
                id: startField
                objectName: "contractStartField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "تاريخ البدء"
                placeholderText: "YYYY-MM-DD"
            }
            MTextField {
                id: endField
                objectName: "contractEndField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "تاريخ الانتهاء"
                placeholderText: "YYYY-MM-DD"
            }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField {
                id: rentField
                objectName: "contractRentField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "مبلغ الإيجار"
                placeholderText: "0.00"
            }
            MTextField {
                id: depositField
                objectName: "contractDepositField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "التأمين"
            }
        }
        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "contractSaveButton"
            Layout.fillWidth: true
            text: "حفظ العقد"
            onClicked: dialog.save()
        }
    }
}
