import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// "إكمال طلب الصيانة": closes a request with its cost, which is booked as an
// expense in the primary currency, paid now or owed to the contractor who did
// the work.
MDialog {
    id: dialog

    property int reqId: 0
    property string requestTitle: ""
    property string errorText: ""

    objectName: "maintenanceCompleteDialog"
    title: "إكمال طلب الصيانة"
    property var contractors: []
    readonly property var payLabels: ["مدفوع الآن", "آجل للمقاول"]

    width: 420
    height: 420 + (banner.visible ? banner.height + 12 : 0)

    signal completed(int id)

    function show(id, name) {
        reqId = id
        requestTitle = name
        open()
    }

    function confirm() {
        costField.errorText = Input.amountError(costField.text, true)
        var contractor = contractorBox.currentRow
        var contractorId = contractor ? Number(contractor.id) : 0
        var owed = payBox.currentIndex === 1
        payBox.errorText = owed && contractorId <= 0 ? "اختر المقاول أولاً" : ""
        if (costField.errorText !== "" || payBox.errorText !== "")
            return
        if (maintenanceModel.completeWith(reqId, Input.number(costField.text), contractorId, owed)) {
            costField.text = ""
            close()
            completed(reqId)
        } else {
            errorText = Input.refusal(maintenanceModel)
        }
    }

    onAboutToShow: {
        contractors = [{ id: 0, name: "بدون مقاول" }].concat(expenseModel.getContractors())
        contractorBox.currentIndex = 0
        payBox.currentIndex = 0
        payBox.errorText = ""
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
        MComboBox {
            id: contractorBox
            objectName: "maintenanceContractorBox"
            Layout.fillWidth: true
            label: "المقاول الذي نفّذ العمل (اختياري)"
            model: dialog.contractors
            textRole: "name"
            onActivated: {
                payBox.errorText = ""
                if (!(contractorBox.currentRow && contractorBox.currentRow.id > 0))
                    payBox.currentIndex = 0
            }
        }
        MComboBox {
            id: payBox
            objectName: "maintenancePayBox"
            Layout.fillWidth: true
            label: "الدفع"
            model: dialog.payLabels
            onActivated: payBox.errorText = ""
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
