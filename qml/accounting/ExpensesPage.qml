import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input
import "../components/Totals.js" as Totals

// Money going out: a paged, searchable list of expenses with filters by
// property, unit, category, contractor, currency and dates, their totals per
// currency, and the dialogs that record, correct and remove them.
Item {
    id: page
    objectName: "expensesPage"

    readonly property var list: expenseList
    property var properties: []
    property var units: []
    property var categories: []
    property var contractors: []
    property var currencies: []

    function loadChoices() {
        properties = [{ id: 0, name: "كل العقارات" }].concat(expenseModel.propertyChoices())
        categories = ["كل الفئات"].concat(expenseModel.categories())
        contractors = [{ id: 0, name: "كل المقاولين" }].concat(expenseModel.getContractors())
        currencies = [{ id: 0, code: "كل العملات" }].concat(currencyModel.getAll())
        loadUnits()
    }

    function loadUnits() {
        var prop = propertyFilter.currentRow
        var rows = [{ id: 0, unit_number: "كل الوحدات" }]
        if (prop && prop.id > 0)
            rows = rows.concat(unitModel.getByProperty(prop.id))
        units = rows
        unitFilter.currentIndex = 0
    }

    function chosenId(box) {
        var row = box.currentRow
        return row && row.id > 0 ? Number(row.id) : 0
    }

    function filters() {
        var f = {}
        if (chosenId(propertyFilter) > 0) f.property_id = chosenId(propertyFilter)
        if (chosenId(unitFilter) > 0) f.unit_id = chosenId(unitFilter)
        if (chosenId(contractorFilter) > 0) f.contractor_id = chosenId(contractorFilter)
        if (chosenId(currencyFilter) > 0) f.currency_id = chosenId(currencyFilter)
        if (categoryFilter.currentIndex > 0) f.category = categoryFilter.currentRow
        var from = Input.date(fromField.text)
        var to = Input.date(toField.text)
        if (from !== "") f.date_from = from
        if (to !== "") f.date_to = to
        return f
    }

    function dateProblem(field) {
        return field.text.trim() === "" ? "" : Input.dateError(field.text)
    }

    function applyQuery() {
        fromField.errorText = dateProblem(fromField)
        toField.errorText = dateProblem(toField)
        var f = filters()
        list.filters = f
        list.searchText = search.text.trim()
    }

    function reload() {
        applyQuery()
        list.refresh()
    }

    function narrowed() {
        return search.text.trim() !== "" || Object.keys(filters()).length > 0
    }

    function askRemove(row) {
        confirm.ask("حذف مصروف",
                    "حذف المصروف «" + (row.description || row.category) + "» بمبلغ "
                    + Money.format(row.amount, row.currency_id) + " بتاريخ " + row.expense_date
                    + "؟ يُسجَّل قيد عكسي في الدفاتر.",
                    "حذف", function() {
                        return expenseModel.removeExpense(row.id) ? "" : Input.refusal(expenseModel)
                    })
    }

    // The shell builds a page when it is first shown, so it starts visible.
    Component.onCompleted: if (visible) { loadChoices(); reload() }
    onVisibleChanged: if (visible) { loadChoices(); reload() }

    DataWatch {
        targets: [expenseModel, maintenanceModel, propertyModel, unitModel, contractorModel, currencyModel]
        active: page.visible
        onChanged: page.reload()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 12

        PageHeader {
            Layout.fillWidth: true
            title: "المصروفات"
            subtitle: "المصروفات المدفوعة والمستحقة للمقاولين حسب العقار والفئة"
            extraContent: [
                MButton {
                    objectName: "addExpenseButton"
                    text: "+ تسجيل مصروف"
                    onClicked: expenseDialog.get().show(undefined)
                }
            ]
        }

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 10
            SearchBar {
                id: search
                objectName: "expenseSearch"
                Layout.fillWidth: true
                placeholderText: "بحث بالوصف أو الفئة أو المرجع أو العقار أو المقاول..."
                onTextChanged: page.applyQuery()
            }
            MTextField {
                id: fromField
                objectName: "expenseFromField"
                Layout.preferredWidth: 130
                placeholderText: "من yyyy-MM-dd"
                onTextChanged: page.applyQuery()
            }
            MTextField {
                id: toField
                objectName: "expenseToField"
                Layout.preferredWidth: 130
                placeholderText: "إلى yyyy-MM-dd"
                onTextChanged: page.applyQuery()
            }
        }

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 10
            MComboBox {
                id: propertyFilter
                objectName: "expensePropertyFilter"
                Layout.fillWidth: true
                model: page.properties
                textRole: "name"
                currentIndex: 0
                onActivated: { page.loadUnits(); page.applyQuery() }
            }
            MComboBox {
                id: unitFilter
                objectName: "expenseUnitFilter"
                Layout.fillWidth: true
                model: page.units
                textRole: "unit_number"
                currentIndex: 0
                onActivated: page.applyQuery()
            }
            MComboBox {
                id: categoryFilter
                objectName: "expenseCategoryFilter"
                Layout.fillWidth: true
                model: page.categories
                currentIndex: 0
                onActivated: page.applyQuery()
            }
            MComboBox {
                id: contractorFilter
                objectName: "expenseContractorFilter"
                Layout.fillWidth: true
                model: page.contractors
                textRole: "name"
                currentIndex: 0
                onActivated: page.applyQuery()
            }
            MComboBox {
                id: currencyFilter
                objectName: "expenseCurrencyFilter"
                Layout.preferredWidth: 130
                model: page.currencies
                textRole: "code"
                currentIndex: 0
                onActivated: page.applyQuery()
            }
        }

        PagedList {
            id: table
            objectName: "expenseTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: page.list
            spacing: 6
            narrowed: page.narrowed()
            emptyText: "لا توجد مصروفات بعد"
            noMatchText: "لا توجد مصروفات مطابقة للبحث أو التصفية"

            delegate: Rectangle {
                id: row
                required property int index
                required property var model
                readonly property bool owed: Number(model.is_owed) === 1
                objectName: "expenseRow_" + index
                width: table.width
                height: 56
                radius: 10
                color: Theme.bgCard
                border.width: 1
                border.color: Theme.borderColor

                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 12
                    anchors.rightMargin: 16
                    layoutDirection: Qt.RightToLeft
                    spacing: 12
                    Text {
                        Layout.preferredWidth: 90
                        text: row.model.expense_date || ""
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        font: Theme.body
                        color: Theme.textSecondary
                    }
                    StatusBadge {
                        objectName: "expenseCategory"
                        text: row.model.category || ""
                        textColor: Theme.accentGold
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 2
                        Text {
                            objectName: "expenseDescription"
                            Layout.fillWidth: true
                            text: row.model.description || row.model.category || ""
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.bodyLargeBold
                            color: Theme.textPrimary
                        }
                        Text {
                            Layout.fillWidth: true
                            text: (row.model.property_name || "بدون عقار")
                                  + (row.model.unit_number ? " - " + row.model.unit_number : "")
                                  + (row.model.reference ? "  ·  " + row.model.reference : "")
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.small
                            color: Theme.textSecondary
                        }
                    }
                    ColumnLayout {
                        Layout.preferredWidth: 150
                        spacing: 2
                        Text {
                            Layout.fillWidth: true
                            text: row.model.contractor_name || "—"
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.body
                            color: Theme.textPrimary
                        }
                        Text {
                            objectName: "expensePayState"
                            Layout.fillWidth: true
                            text: row.owed ? "آجل للمقاول" : "مدفوع"
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            font: Theme.small
                            color: row.owed ? Theme.dangerColor : Theme.textMuted
                        }
                    }
                    Text {
                        objectName: "expenseAmount"
                        Layout.preferredWidth: 120
                        text: Money.format(row.model.amount, row.model.currency_id)
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        font: Theme.bodyLargeBold
                        color: Theme.dangerColor
                    }
                    MButton {
                        objectName: "editExpenseButton"
                        text: "تعديل"
                        outline: true
                        onClicked: expenseDialog.get().show(expenseModel.getExpense(row.model.id))
                    }
                    MButton {
                        objectName: "removeExpenseButton"
                        // Removing money already booked is for administrators.
                        visible: authCtrl.isLoggedIn && authCtrl.can("removeMoneyRecord")
                        text: "حذف"
                        outline: true
                        btnColor: Theme.dangerColor
                        onClicked: page.askRemove(row.model)
                    }
                }
            }
        }

        Text {
            objectName: "expenseTotals"
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignRight
            text: page.list.totalsPending ? "الإجمالي: جارٍ الحساب…"
                  : "الإجمالي: " + Totals.converted(page.list.totals.converted, Money)
                    + "   ·   عدد المصروفات: " + page.list.totalCount
            textFormat: Text.PlainText
            font: Theme.bodyBold
            color: Theme.textPrimary
        }
    }

    LazyDialog {
        id: expenseDialog
        dialogComponent: Component { ExpenseDialog {} }
    }

    ConfirmDialog {
        id: confirm
        objectName: "expenseConfirmDialog"
    }
}
