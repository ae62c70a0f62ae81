import QtQuick
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// One currency's exchange rate towards the primary currency, editable.
RowLayout {
    id: row

    property var currency: ({})
    property string message: ""
    property bool failed: false

    objectName: "rateRow_" + (currency.code || "")
    layoutDirection: Qt.RightToLeft
    spacing: 12

    function load() {
        field.text = settingsManager.getExchangeRate(currency.id, Money.primaryId).toFixed(4)
    }

    function save() {
        field.errorText = Input.amountError(field.text)
        if (field.errorText !== "")
            return
        failed = !currencyModel.setRate(currency.id, Money.primaryId, Input.number(field.text))
        message = failed ? Input.refusal(currencyModel) : "تم التحديث"
    }

    Component.onCompleted: load()
    onCurrencyChanged: load()

    Text {
        Layout.preferredWidth: 180
        text: row.currency.name_ar + " (" + row.currency.symbol + ")"
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        font: Theme.bodyLargeBold
        color: Theme.textPrimary
    }
    Text {
        text: "سعر الصرف:"
        font: Theme.body
        color: Theme.textSecondary
    }
    MTextField {
        id: field
        objectName: "rateField"
        Layout.preferredWidth: 140
        placeholderText: "0.00"
        onAccepted: row.save()
    }
    MButton {
        objectName: "rateUpdateButton"
        text: "تحديث"
        onClicked: row.save()
    }
    Text {
        objectName: "rateMessage"
        Layout.fillWidth: true
        text: row.message
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        wrapMode: Text.Wrap
        font: Theme.small
        color: row.failed ? Theme.dangerColor : Theme.successColor
    }
}
