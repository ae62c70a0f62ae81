import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "إتمام عملية بيع وحدة عقارية": sells an available unit to the buyer, for
// cash or by monthly instalments backed by numbered cheques.
MDialog {
    id: dialog

    property int buyerId: 0
    property string buyerName: ""
    property var availableUnits: []
    property var currencyList: []
    property bool cash: false
    property string errorText: ""

    readonly property var unit: unitBox.currentRow
    readonly property var currency: currencyBox.currentRow
    readonly property int installmentCount: {
        if (cash)
            return 1
        var n = Input.integer(countField.text)
        return isNaN(n) || n < 1 ? 1 : n
    }
    readonly property real monthly: {
        var price = Input.number(priceField.text)
        var down = Input.number(downField.text)
        if (isNaN(price))
            return 0
        return (price - (isNaN(down) ? 0 : down)) / installmentCount
    }

    objectName: "salesDialog"
    title: "إتمام عملية بيع وحدة عقارية"
    width: 500
    height: 640

    function show(id, name) {
        buyerId = id
        buyerName = name
        open()
    }

    function reload() {
        availableUnits = unitModel.getAvailable()
        currencyList = currencyModel.getAll()
    }

    function reset() {
        unitBox.currentIndex = -1
        currencyBox.currentIndex = currencyList.length > 0 ? 0 : -1
        cash = false
        var fields = [priceField, downField, countField, chequeField, bankField, dateField]
        for (var i = 0; i < fields.length; ++i) {
            fields[i].text = ""
            fields[i].errorText = ""
        }
        unitBox.errorText = ""
        currencyBox.errorText = ""
        dateField.text = Input.today()
        errorText = ""
    }

    function save() {
        unitBox.errorText = unit ? "" : "اختر الوحدة المباعة"
        currencyBox.errorText = currency ? "" : "اختر العملة"
        priceField.errorText = Input.amountError(priceField.text)
        downField.errorText = Input.amountError(downField.text, true)
        if (downField.errorText === "" && priceField.errorText === ""
                && Input.number(downField.text) > Input.number(priceField.text))
            downField.errorText = "الدفعة الأولى أكبر من سعر البيع"
        countField.errorText = ""
        if (!cash) {
            var n = Input.integer(countField.text)
            countField.errorText = Input.integerError(countField.text, true)
            if (countField.errorText === "" && !isNaN(n) && n < 1)
                countField.errorText = "أدخل عدداً أكبر من صفر"
        }
        dateField.errorText = Input.dateError(dateField.text)
        if (!unit || !currency)
            return
        if (priceField.errorText !== "" || downField.errorText !== "" || countField.errorText !== ""
                || dateField.errorText !== "")
            return
        var result = installmentModel.sellUnit(buyerId, unit.id, Input.number(priceField.text),
                                               Input.number(downField.text), cash ? 0 : installmentCount,
                                               Input.date(dateField.text), currency.id,
                                               cash ? "" : Input.normalize(chequeField.text).replace(/,/g, ""),
                                               cash ? "" : bankField.text.trim())
        if (result > 0) {
            close()
        } else {
            errorText = Input.refusal(installmentModel)
        }
    }

    onAboutToShow: {
        reload()
        reset()
    }
    onOpened: unitBox.input.forceActiveFocus()
    onEnterPressed: save()
    onCashChanged: if (cash) downField.text = priceField.text

    DataWatch {
        targets: [unitModel, currencyModel]
        active: dialog.visible
        onChanged: dialog.availableUnits = unitModel.getAvailable()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        ScrollView {
            id: scroller
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: availableWidth
            clip: true

            ColumnLayout {
                width: scroller.availableWidth
                spacing: 10

                Text {
                    Layout.fillWidth: true
                    text: "المشتري: " + dialog.buyerName
                    textFormat: Text.PlainText
                    horizontalAlignment: Text.AlignRight
                    font: Theme.bodyLargeBold
                    color: Theme.accentGold
                }
                MComboBox {
                    id: unitBox
                    objectName: "saleUnitBox"
                    Layout.fillWidth: true
                    label: "اختر الوحدة المباعة"
                    placeholder: dialog.availableUnits.length > 0 ? "اختر وحدة..." : "لا توجد وحدات متاحة للبيع"
                    model: dialog.availableUnits
                    displayFunction: function(u) { return u.property_name + " - وحدة " + u.unit_number }
                    onActivated: {
                        unitBox.errorText = ""
                        priceField.text = Number(dialog.unit.sale_price) > 0 ? String(dialog.unit.sale_price) : ""
                        if (dialog.cash)
                            downField.text = priceField.text
                    }
                }
                MTextField {
                    id: priceField
                    onTextChanged: errorText = ""
                    objectName: "salePriceField"
                    Layout.fillWidth: true
                    label: "سعر البيع الإجمالي"
                    placeholderText: "0.00"
                }
                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 14
                    Text {
                        text: "نوع البيع:"
                        font: Theme.bodyBold
                        color: Theme.textSecondary
                    }
                    MRadioButton {
                        objectName: "saleByInstallments"
                        text: "أقساط"
                        checked: !dialog.cash
                        onClicked: dialog.cash = false
                    }
                    MRadioButton {
                        objectName: "saleByCash"
                        text: "كاش (نقدي)"
                        checked: dialog.cash
                        onClicked: dialog.cash = true
                    }
                    Item { Layout.fillWidth: true }
                }
                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 12
                    MTextField {
                        id: downField
                    onTextChanged: errorText = ""
                        objectName: "saleDownField"
                        Layout.fillWidth: true
                        Layout.alignment: Qt.AlignTop
                        label: dialog.cash ? "المبلغ المدفوع كاش" : "الدفعة الأولى (مقدم)"
                        placeholderText: "0.00"
                    }
                    MTextField {
                        id: countField
                    onTextChanged: errorText = ""
                        objectName: "saleCountField"
                        Layout.fillWidth: true
                        Layout.alignment: Qt.AlignTop
                        visible: !dialog.cash
                        label: "عدد الأقساط"
                        placeholderText: "12"
                    }
                }
                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 12
                    visible: !dialog.cash
                    MTextField {
                        id: chequeField
                    onTextChanged: errorText = ""
                        objectName: "saleChequeField"
                        Layout.fillWidth: true
                        label: "رقم أول شيك"
                        placeholderText: "1001"
                    }
                    MTextField {
                        id: bankField
                        objectName: "saleBankField"
                        Layout.fillWidth: true
                        label: "اسم البنك"
                        placeholderText: "بنك فلسطين"
                    }
                }
                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 12
                    MTextField {
                        id: dateField
                    onTextChanged: errorText = ""
                        objectName: "saleDateField"
                        Layout.fillWidth: true
                        Layout.alignment: Qt.AlignTop
                        label: "تاريخ البيع / بدء الأقساط"
                    }
                    MComboBox {
                        id: currencyBox
                        objectName: "saleCurrencyBox"
                        Layout.preferredWidth: 130
                        Layout.alignment: Qt.AlignTop
                        label: "العملة:"
                        placeholder: "اختر..."
                        model: dialog.currencyList
                        textRole: "code"
                    }
                }
                Rectangle {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 44
                    radius: 8
                    color: Theme.bgAccentSoft
                    Text {
                        objectName: "monthlyPreview"
                        anchors.fill: parent
                        anchors.rightMargin: 14
                        anchors.leftMargin: 14
                        verticalAlignment: Text.AlignVCenter
                        horizontalAlignment: Text.AlignRight
                        text: "القسط الشهري: " + Input.isolate(Money.format(dialog.monthly, dialog.currency ? dialog.currency.id : 0))
                        textFormat: Text.PlainText
                        font: Theme.bodyLargeBold
                        color: Theme.textPrimary
                    }
                }
            }
        }

        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }
        MButton {
            objectName: "saleConfirmButton"
            Layout.fillWidth: true
            text: "تأكيد البيع وحفظ البيانات"
            onClicked: dialog.save()
        }
    }
}
