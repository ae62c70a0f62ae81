import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// Records an expense, or corrects one (`expenseId` above 0): its category,
// the property and unit it belongs to (both optional), the contractor who
// did the work (optional) and whether the amount is paid now or owed to it.
MDialog {
    id: dialog

    property int expenseId: 0
    property var categoryList: []
    property var properties: []
    property var units: []
    property var contractors: []
    property var currencies: []
    property string errorText: ""

    readonly property string otherCategory: "فئة أخرى..."
    readonly property var payLabels: ["مدفوع الآن", "آجل للمقاول"]

    objectName: "expenseDialog"
    title: expenseId > 0 ? "تعديل مصروف" : "تسجيل مصروف"
    width: 620
    height: 560 + (categoryField.visible ? 76 : 0) + (banner.visible ? banner.height + 12 : 0)

    signal saved(int id)

    function indexOfId(rows, id) {
        for (var i = 0; i < rows.length; ++i)
            if (Number(rows[i].id) === Number(id))
                return i
        return 0
    }

    function loadUnits() {
        var prop = propertyBox.currentRow
        var rows = [{ id: 0, unit_number: "كامل العقار" }]
        if (prop && prop.id > 0)
            rows = rows.concat(unitModel.getByProperty(prop.id))
        units = rows
        unitBox.currentIndex = 0
    }

    // `row` is the expense to correct, or undefined for a new one.
    function show(row) {
        categoryList = expenseModel.categories().concat([otherCategory])
        properties = [{ id: 0, name: "بدون عقار" }].concat(propertyModel.getAll())
        contractors = [{ id: 0, name: "بدون مقاول" }].concat(expenseModel.getContractors())
        currencies = currencyModel.getAll()
        expenseId = row ? Number(row.id) : 0
        errorText = ""
        categoryField.text = ""
        categoryBox.errorText = ""
        amountField.errorText = ""
        dateField.errorText = ""
        categoryField.errorText = ""
        payBox.errorText = ""
        if (row) {
            var c = categoryList.indexOf(row.category)
            categoryBox.currentIndex = c >= 0 ? c : categoryList.length - 1
            if (c < 0)
                categoryField.text = row.category || ""
            propertyBox.currentIndex = indexOfId(properties, row.property_id || 0)
            loadUnits()
            unitBox.currentIndex = indexOfId(units, row.unit_id || 0)
            contractorBox.currentIndex = indexOfId(contractors, row.contractor_id || 0)
            payBox.currentIndex = Number(row.is_owed) === 1 ? 1 : 0
            amountField.text = String(row.amount)
            currencyBox.currentIndex = indexOfId(currencies, row.currency_id || Money.primaryId)
            dateField.text = row.expense_date || Input.today()
            descriptionField.text = row.description || ""
            referenceField.text = row.reference || ""
        } else {
            categoryBox.currentIndex = -1
            propertyBox.currentIndex = 0
            loadUnits()
            contractorBox.currentIndex = 0
            payBox.currentIndex = 0
            amountField.text = ""
            currencyBox.currentIndex = indexOfId(currencies, Money.primaryId)
            dateField.text = Input.today()
            descriptionField.text = ""
            referenceField.text = ""
        }
        open()
    }

    function category() {
        var chosen = categoryBox.currentRow
        return chosen === otherCategory ? categoryField.text.trim() : (chosen || "")
    }

    function save() {
        categoryBox.errorText = categoryBox.currentIndex < 0 ? "اختر الفئة" : ""
        categoryField.errorText = categoryBox.currentRow === otherCategory
                ? Input.requiredError(categoryField.text) : ""
        amountField.errorText = Input.amountError(amountField.text, false)
        dateField.errorText = Input.dateError(dateField.text)
        var contractor = contractorBox.currentRow
        var owed = payBox.currentIndex === 1
        payBox.errorText = owed && !(contractor && contractor.id > 0) ? "اختر المقاول أولاً" : ""
        if (categoryBox.errorText !== "" || categoryField.errorText !== "" || amountField.errorText !== ""
                || dateField.errorText !== "" || payBox.errorText !== "")
            return
        var prop = propertyBox.currentRow
        var unit = unitBox.currentRow
        var currency = currencyBox.currentRow
        var fields = {
            "property_id": prop ? prop.id : 0,
            "unit_id": unit ? unit.id : 0,
            "contractor_id": contractor ? contractor.id : 0,
            "category": category(),
            "description": descriptionField.text.trim(),
            "amount": Input.number(amountField.text),
            "expense_date": Input.date(dateField.text),
            "currency_id": currency ? currency.id : 0,
            "is_owed": owed,
            "reference": referenceField.text.trim()
        }
        var ok = expenseId > 0 ? expenseModel.updateExpense(expenseId, fields)
                               : expenseModel.addExpense(fields)
        if (ok === true || ok > 0) {
            var id = expenseId > 0 ? expenseId : ok
            errorText = ""
            close()
            saved(id)
        } else {
            errorText = Input.refusal(expenseModel)
        }
    }

    onOpened: categoryBox.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MComboBox {
                id: categoryBox
                objectName: "expenseCategoryBox"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "الفئة"
                placeholder: "اختر الفئة..."
                model: dialog.categoryList
                onActivated: categoryBox.errorText = ""
            }
            MTextField {
                id: dateField
                objectName: "expenseDateField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "التاريخ"
                placeholderText: "yyyy-MM-dd"
            }
        }
        MTextField {
            id: categoryField
            objectName: "expenseOtherCategoryField"
            Layout.fillWidth: true
            visible: categoryBox.currentRow === dialog.otherCategory
            label: "اسم الفئة"
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MComboBox {
                id: propertyBox
                objectName: "expensePropertyBox"
                Layout.fillWidth: true
                label: "العقار (اختياري)"
                model: dialog.properties
                textRole: "name"
                onActivated: dialog.loadUnits()
            }
            MComboBox {
                id: unitBox
                objectName: "expenseUnitBox"
                Layout.fillWidth: true
                label: "الوحدة (اختياري)"
                model: dialog.units
                textRole: "unit_number"
            }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MComboBox {
                id: contractorBox
                objectName: "expenseContractorBox"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "المقاول / المورد (اختياري)"
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
                objectName: "expensePayBox"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "الدفع"
                model: dialog.payLabels
                onActivated: payBox.errorText = ""
            }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField {
                id: amountField
                objectName: "expenseAmountField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "المبلغ"
                placeholderText: "0.00"
            }
            MComboBox {
                id: currencyBox
                objectName: "expenseCurrencyBox"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "العملة"
                model: dialog.currencies
                textRole: "code"
            }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField {
                id: descriptionField
                objectName: "expenseDescriptionField"
                Layout.fillWidth: true
                label: "الوصف"
            }
            MTextField {
                id: referenceField
                objectName: "expenseReferenceField"
                Layout.preferredWidth: 200
                label: "المرجع / رقم الفاتورة"
            }
        }
        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "expenseSaveButton"
            Layout.fillWidth: true
            text: dialog.expenseId > 0 ? "حفظ التعديل" : "حفظ المصروف"
            onClicked: dialog.save()
        }
    }
}
