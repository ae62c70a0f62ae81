import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// "فاتورة خدمة جماعية": the same service charge for every tenant of a property.
MDialog {
    id: dialog

    property var properties: []
    property var currencyList: []
    property string errorText: ""

    readonly property var kinds: ["مياه", "كهرباء", "صيانة عامة", "تنظيف", "مصعد", "حراسة", "خدمة أخرى"]

    objectName: "serviceInvoiceDialog"
    title: "فاتورة خدمة جماعية"
    width: 500
    height: 480 + (banner.visible ? banner.height + 12 : 0)

    // The number of invoices written.
    signal issued(int count)

    function reset() {
        propertyBox.currentIndex = -1
        propertyBox.errorText = ""
        kindBox.currentIndex = 0
        amountField.text = ""
        amountField.errorText = ""
        periodField.text = Input.thisMonth()
        periodField.errorText = ""
        currencyBox.currentIndex = currencyList.length > 0 ? 0 : -1
        errorText = ""
    }

    function issue() {
        var prop = propertyBox.currentRow
        propertyBox.errorText = prop ? "" : "اختر العقار"
        amountField.errorText = Input.amountError(amountField.text, false)
        periodField.errorText = Input.periodError(periodField.text)
        if (propertyBox.errorText !== "" || amountField.errorText !== "" || periodField.errorText !== "")
            return
        var currency = currencyBox.currentRow
        var count = invoiceModel.generatePropertyServiceInvoice(prop.id, kinds[kindBox.currentIndex],
                                                                Input.number(amountField.text),
                                                                Input.period(periodField.text),
                                                                currency ? currency.id : Money.primaryId)
        if (count <= 0) {
            errorText = Input.refusal(invoiceModel)
            return
        }
        reset()
        close()
        issued(count)
    }

    onAboutToShow: {
        properties = propertyModel.getAll()
        currencyList = currencyModel.getAll()
        reset()
    }
    onOpened: propertyBox.input.forceActiveFocus()
    onEnterPressed: issue()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        Text {
            Layout.fillWidth: true
            text: "اختيار نطاق الفاتورة"
            horizontalAlignment: Text.AlignRight
            font: Theme.bodyLargeBold
            color: Theme.accentGold
        }
        MComboBox {
            id: propertyBox
            objectName: "servicePropertyBox"
            Layout.fillWidth: true
            label: "العقار/المشروع:"
            placeholder: "اختر عقاراً..."
            model: dialog.properties
            textRole: "name"
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MComboBox {
                id: kindBox
                objectName: "serviceKindBox"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "نوع الخدمة"
                model: dialog.kinds
            }
            MComboBox {
                id: currencyBox
                objectName: "serviceCurrencyBox"
                Layout.preferredWidth: 150
                Layout.alignment: Qt.AlignTop
                label: "العملة"
                model: dialog.currencyList
                textRole: "code"
            }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField {
                id: amountField
                objectName: "serviceAmountField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "المبلغ لكل مستأجر"
                placeholderText: "0.00"
            }
            MTextField {
                id: periodField
                objectName: "servicePeriodField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "الفترة (YYYY-MM)"
            }
        }
        Text {
            Layout.fillWidth: true
            text: "سيتم إصدار فاتورة منفصلة لكل مستأجر في العقار تلقائياً"
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignRight
            font: Theme.small
            color: Theme.textSecondary
        }
        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "serviceIssueButton"
            Layout.fillWidth: true
            text: "إصدار فواتير لجميع مستأجري العقار"
            onClicked: dialog.issue()
        }
    }
}
