import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// "إكمال طلب الصيانة": closes a request with its cost, which is booked as an
// expense in the primary currency.
MDialog {
    id: dialog

    property int reqId: 0
    property string requestTitle: ""
    property string errorText: ""

    objectName: "maintenanceCompleteDialog"
    title: "إكمال طلب الصيانة"
    width: 350
    height: 270 + (banner.visible ? banner.height + 12 : 0)

    signal completed(int id)

    function show(id, name) {
        reqId = id
        requestTitle = name
        open()
    }

    function confirm() {
        costField.errorText = Input.amountError(costField.text, true)
        if (costField.errorText !== "")
            return
        if (maintenanceModel.complete(reqId, Input.number(costField.text))) {
            costField.text = ""
            close()
            completed(reqId)
        } else {
            errorText = Input.refusal(maintenanceModel)
        }
    }

    onAboutToShow: {
        costField.text = ""
        costField.errorText = ""
        errorText = ""
    }
    onOpened: costField.input.forceActiveFocus()
    onEnterPressed: confirm()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        Text {
            Layout.fillWidth: true
            text: dialog.requestTitle
            textFormat: Text.PlainText
            horizontalAlignment: Text.AlignRight
            elide: Text.ElideLeft
            font: Theme.body
            color: Theme.textSecondary
        }
        MTextField {
            id: costField
            objectName: "maintenanceCostField"
            Layout.fillWidth: true
            label: "تكلفة الصيانة (" + Money.primarySymbol + ")"
            placeholderText: "0.00"
        }
        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "maintenanceCompleteButton"
            Layout.fillWidth: true
            text: "تأكيد الإكمال"
            onClicked: dialog.confirm()
        }
    }
}
