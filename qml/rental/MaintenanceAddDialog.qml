import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// "طلب صيانة جديد": a new maintenance request on a unit.
MDialog {
    id: dialog

    property var units: []
    property string errorText: ""

    readonly property var priorityLabels: ["منخفضة", "متوسطة", "عالية"]
    readonly property var priorityValues: ["low", "medium", "high"]

    objectName: "maintenanceAddDialog"
    title: "طلب صيانة جديد"
    width: 450
    height: 500 + (banner.visible ? banner.height + 12 : 0)

    signal saved(int id)

    function reset() {
        unitBox.currentIndex = -1
        unitBox.errorText = ""
        titleField.text = ""
        titleField.errorText = ""
        descriptionField.text = ""
        priorityBox.currentIndex = 1
        errorText = ""
    }

    function save() {
        var unit = unitBox.currentRow
        unitBox.errorText = unit ? "" : "اختر الوحدة"
        titleField.errorText = Input.requiredError(titleField.text)
        if (unitBox.errorText !== "" || titleField.errorText !== "")
            return
        var id = maintenanceModel.add(unit.id, unit.property_id, titleField.text.trim(),
                                      descriptionField.text.trim(), priorityValues[priorityBox.currentIndex])
        if (id > 0) {
            reset()
            close()
            saved(id)
        } else {
            errorText = Input.refusal(maintenanceModel)
        }
    }

    onAboutToShow: {
        units = unitModel.getAll()
        reset()
    }
    onOpened: unitBox.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        MComboBox {
            id: unitBox
            objectName: "maintenanceUnitBox"
            Layout.fillWidth: true
            label: "اختر الوحدة"
            placeholder: "اختر وحدة..."
            model: dialog.units
            displayFunction: function(u) { return u.property_name + " - " + u.unit_number }
        }
        MTextField {
            id: titleField
            objectName: "maintenanceTitleField"
            Layout.fillWidth: true
            label: "عنوان الطلب"
        }
        MTextField {
            id: descriptionField
            objectName: "maintenanceDescriptionField"
            Layout.fillWidth: true
            label: "الوصف"
        }
        MComboBox {
            id: priorityBox
            objectName: "maintenancePriorityBox"
            Layout.fillWidth: true
            label: "الأولوية:"
            model: dialog.priorityLabels
        }
        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "maintenanceSaveButton"
            Layout.fillWidth: true
            text: "حفظ الطلب"
            onClicked: dialog.save()
        }
    }
}
