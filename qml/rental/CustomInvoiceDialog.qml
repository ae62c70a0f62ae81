import QtQuick
import "../components/Input.js" as Input
import QtQuick.Controls
import QtQuick.Layouts
import "../components"

// "إنشاء فاتورة مخصصة": one invoice for a tenant, built line by line.
MDialog {
    id: dialog

    property var tenantsList: []
    property var currencyList: []
    // Each item: { description, type, quantity, unit_price, total }.
    property var lineItems: []
    property string errorText: ""

    readonly property var kinds: ["إيجار", "مياه", "كهرباء", "صيانة", "مصعد", "تنظيف", "خدمة أخرى"]
    readonly property var currency: currencyBox.currentRow
    readonly property real sum: {
        var s = 0
        for (var i = 0; i < lineItems.length; ++i)
            s += Number(lineItems[i].total)
        return s
    }

    objectName: "customInvoiceDialog"
    title: "إنشاء فاتورة مخصصة"
    width: 600
    height: 650

    signal issued(int id)

    function reset() {
        tenantBox.currentIndex = -1
        tenantBox.errorText = ""
        kindBox.currentIndex = 0
        amountField.text = ""
        amountField.errorText = ""
        periodField.text = Input.thisMonth()
        periodField.errorText = ""
        lineItems = []
        itemsError.text = ""
        errorText = ""
    }

    function addLine() {
        if (Input.normalize(amountField.text) === "")
            return
        amountField.errorText = Input.amountError(amountField.text, false)
        if (amountField.errorText !== "")
            return
        var amount = Input.number(amountField.text)
        var items = lineItems.slice()
        items.push({ description: kinds[kindBox.currentIndex], type: "service", quantity: 1,
                     unit_price: amount, total: amount })
        lineItems = items
        amountField.text = ""
        itemsError.text = ""
    }

    function removeLine(i) {
        var items = lineItems.slice()
        items.splice(i, 1)
        lineItems = items
    }

    function issue() {
        var tenant = tenantBox.currentRow
        tenantBox.errorText = tenant ? "" : "اختر المستأجر"
        periodField.errorText = Input.periodError(periodField.text)
        itemsError.text = lineItems.length === 0 ? "أضف بنداً واحداً على الأقل" : ""
        if (tenantBox.errorText !== "" || periodField.errorText !== "" || itemsError.text !== "")
            return
        var id = invoiceModel.createInvoice(tenant.id, 0, Input.period(periodField.text), lineItems,
                                            currency ? currency.id : Money.primaryId)
        if (id > 0) {
            reset()
            close()
            issued(id)
        } else {
            errorText = Input.refusal(invoiceModel)
        }
    }

    onAboutToShow: {
        tenantsList = tenantModel.getAll()
        currencyList = currencyModel.getAll()
        reset()
        currencyBox.currentIndex = currencyList.length > 0 ? 0 : -1
    }
    onOpened: tenantBox.input.forceActiveFocus()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        MComboBox {
            id: tenantBox
            objectName: "customTenantBox"
            Layout.fillWidth: true
            label: "المستأجر:"
            placeholder: "اختر مستأجراً..."
            model: dialog.tenantsList
            textRole: "full_name"
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField {
                id: periodField
                objectName: "customPeriodField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "الفترة"
                placeholderText: "YYYY-MM"
            }
            MComboBox {
                id: currencyBox
                objectName: "customCurrencyBox"
                Layout.preferredWidth: 160
                Layout.alignment: Qt.AlignTop
                label: "العملة:"
                model: dialog.currencyList
                textRole: "code"
            }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 10
            MComboBox {
                id: kindBox
                objectName: "customKindBox"
                Layout.preferredWidth: 170
                Layout.alignment: Qt.AlignTop
                model: dialog.kinds
            }
            MTextField {
                id: amountField
                objectName: "customAmountField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                placeholderText: "المبلغ"
                onAccepted: dialog.addLine()
            }
            MButton {
                objectName: "customAddLineButton"
                Layout.alignment: Qt.AlignTop
                implicitWidth: 50
                implicitHeight: 42
                text: "+"
                onClicked: dialog.addLine()
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            radius: 10
            color: Theme.bgInput
            border.width: 1
            border.color: itemsError.text !== "" ? Theme.dangerColor : Theme.borderColor

            PagedList {
                id: items
                objectName: "customLines"
                anchors.fill: parent
                anchors.margins: 8
                spacing: 4
                rows: dialog.lineItems
                emptyText: "لم تتم إضافة بنود بعد"

                delegate: Rectangle {
                    id: line
                    required property int index
                    readonly property var item: items.rowAt(index)
                    width: items.width
                    height: 38
                    radius: 6
                    color: Theme.bgCard
                    RowLayout {
                        anchors.fill: parent
                        anchors.leftMargin: 6
                        anchors.rightMargin: 12
                        layoutDirection: Qt.RightToLeft
                        Text {
                            Layout.fillWidth: true
                            text: line.item.description
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            font: Theme.body
                            color: Theme.textPrimary
                        }
                        Text {
                            text: Money.format(line.item.total, dialog.currency ? dialog.currency.id : 0)
                            textFormat: Text.PlainText
                            font: Theme.bodyBold
                            color: Theme.accentGold
                        }
                        AbstractButton {
                            objectName: "customRemoveLine"
                            implicitWidth: 28
                            implicitHeight: 28
                            onClicked: dialog.removeLine(line.index)
                            contentItem: Text {
                                text: "✕"
                                horizontalAlignment: Text.AlignHCenter
                                verticalAlignment: Text.AlignVCenter
                                font.pixelSize: 14
                                color: "#ef4444"
                            }
                        }
                    }
                }
            }
        }
        Text {
            id: itemsError
            objectName: "customItemsError"
            Layout.fillWidth: true
            visible: text !== ""
            textFormat: Text.PlainText
            horizontalAlignment: Text.AlignRight
            font: Theme.caption
            color: Theme.dangerColor
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            Text {
                text: "الإجمالي:"
                font: Theme.bodyLargeBold
                color: Theme.textSecondary
            }
            Text {
                objectName: "customTotal"
                Layout.fillWidth: true
                text: Money.format(dialog.sum, dialog.currency ? dialog.currency.id : 0)
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignRight
                font: Theme.titleBold
                color: Theme.accentGold
            }
        }
        ErrorBanner {
            Layout.fillWidth: true
            text: dialog.errorText
        }
        MButton {
            objectName: "customIssueButton"
            Layout.fillWidth: true
            text: "إصدار الفاتورة"
            onClicked: dialog.issue()
        }
    }
}
