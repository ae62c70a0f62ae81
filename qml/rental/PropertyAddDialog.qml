import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// "إضافة عقار جديد": name, kind, city and address of a new property.
MDialog {
    id: dialog

    objectName: "propertyAddDialog"
    title: "إضافة عقار جديد"
    width: 480
    height: 420 + (banner.visible ? banner.height + 12 : 0)

    readonly property var typeLabels: ["سكني", "تجاري", "مختلط"]
    readonly property var typeValues: ["residential", "commercial", "mixed"]
    property string errorText: ""

    signal saved(int id)

    function reset() {
        nameField.text = ""
        cityField.text = ""
        addressField.text = ""
        typeBox.currentIndex = 0
        nameField.errorText = ""
        errorText = ""
    }

    function save() {
        nameField.errorText = Input.requiredError(nameField.text)
        if (nameField.errorText !== "")
            return
        var id = propertyModel.add(nameField.text.trim(), typeValues[typeBox.currentIndex],
                                   addressField.text.trim(), cityField.text.trim(), "")
        if (id > 0) {
            reset()
            close()
            saved(id)
        } else {
            errorText = Input.refusal(propertyModel)
        }
    }

    onAboutToShow: errorText = ""
    onOpened: nameField.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        MTextField {
            id: nameField
            objectName: "propertyNameField"
            Layout.fillWidth: true
            label: "اسم العقار"
        }
        MComboBox {
            id: typeBox
            objectName: "propertyTypeBox"
            Layout.fillWidth: true
            label: "النوع"
            model: dialog.typeLabels
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField {
                id: cityField
                objectName: "propertyCityField"
                Layout.fillWidth: true
                label: "المدينة"
            }
            MTextField {
                id: addressField
                objectName: "propertyAddressField"
                Layout.fillWidth: true
                label: "العنوان"
            }
        }
        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "propertySaveButton"
            Layout.fillWidth: true
            text: "حفظ"
            onClicked: dialog.save()
        }
    }
}
