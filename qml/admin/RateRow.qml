import QtQuick
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// One currency's exchange rate towards the primary currency: the rate from
// a chosen day on (today by default), with the latest rates recorded below.
// A day keeps its own rate; recording another day adds to the history.
ColumnLayout {
    id: row

    property var currency: ({})
    property string message: ""
    property bool failed: false
    property var history: []

    objectName: "rateRow_" + (currency.code || "")
    spacing: 4

    function load() {
        if (currency.id === undefined)
            return
        history = currencyModel.rateHistory(currency.id, 6)
        var current = currencyModel.rateOn(currency.id, Input.today())
        field.text = current.rate !== undefined ? Number(current.rate).toFixed(4) : ""
        if (dateField.text === "")
            dateField.text = Input.today()
    }

    function save() {
        field.errorText = Input.amountError(field.text)
        dateField.errorText = Input.dateError(dateField.text)
        if (field.errorText !== "" || dateField.errorText !== "")
            return
        failed = !currencyModel.recordRate(currency.id, Input.date(dateField.text),
                                           Input.number(field.text))
        message = failed ? Input.refusal(currencyModel) : "تم حفظ السعر"
        if (!failed)
            load()
    }

    function historyText() {
        var parts = []
        for (var i = 0; i < history.length; ++i)
            parts.push(Input.isolate(history[i].date + ": " + Number(history[i].rate).toFixed(4)))
        return parts.length > 0 ? "الأسعار المسجلة: " + parts.join(" ، ")
                                : "لا يوجد سعر مسجل لهذه العملة"
    }

    Component.onCompleted: load()
    onCurrencyChanged: load()

    RowLayout {
        Layout.fillWidth: true
        layoutDirection: Qt.RightToLeft
        spacing: 12

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
            Layout.preferredWidth: 120
            placeholderText: "0.00"
            onAccepted: row.save()
        }
        Text {
            text: "ابتداءً من:"
            font: Theme.body
            color: Theme.textSecondary
        }
        MTextField {
            id: dateField
            objectName: "rateDateField"
            Layout.preferredWidth: 130
            placeholderText: "yyyy-MM-dd"
            onAccepted: row.save()
        }
        MButton {
            objectName: "rateUpdateButton"
            text: "حفظ السعر"
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
    Text {
        objectName: "rateHistory"
        Layout.fillWidth: true
        text: row.historyText()
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        wrapMode: Text.Wrap
        font: Theme.caption
        color: Theme.textMuted
    }
}
