import QtQuick
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "تحصيل قسط": collects money against one instalment. The amount starts at
// what is still owed and may be lowered for a partial collection.
MDialog {
    id: dialog

    property var installment: ({})
    property real remaining: 0
    property string errorText: ""

    objectName: "installmentPayDialog"
    title: "تحصيل قسط"
    width: 420
    height: 330 + (banner.visible ? banner.height + 12 : 0)

    function show(row, left) {
        installment = row
        remaining = Math.max(0, Math.round(left * 100) / 100)
        open()
    }

    function save() {
        amountField.errorText = Input.amountError(amountField.text)
        if (amountField.errorText === "" && Input.number(amountField.text) > remaining + 0.005)
            amountField.errorText = "المبلغ أكبر من المتبقي على القسط"
        if (amountField.errorText !== "")
            return
        if (installmentModel.payInstallment(installment.id, Input.number(amountField.text)))
            close()
        else
            errorText = Input.refusal(installmentModel)
    }

    onAboutToShow: {
        errorText = ""
        amountField.errorText = ""
        amountField.text = remaining.toFixed(2)
    }
    onOpened: {
        amountField.input.forceActiveFocus()
        amountField.input.selectAll()
    }
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        Text {
            objectName: "installmentPayInfo"
            Layout.fillWidth: true
            text: "قسط شقة " + Input.isolate(dialog.installment.unit_number) + " - استحقاق " + Input.isolate(dialog.installment.due_date)
                  + "\nالمتبقي: " + Input.isolate(Money.format(dialog.remaining, dialog.installment.currency_id))
            textFormat: Text.PlainText
            horizontalAlignment: Text.AlignRight
            wrapMode: Text.Wrap
            font: Theme.bodyLarge
            color: Theme.textPrimary
        }
        MTextField {
            id: amountField
            objectName: "installmentPayAmount"
            Layout.fillWidth: true
            label: "المبلغ المحصّل"
        }
        ErrorBanner { id: banner; Layout.fillWidth: true; text: dialog.errorText }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "installmentPayConfirm"
            Layout.fillWidth: true
            text: "تحصيل"
            onClicked: dialog.save()
        }
    }
}
