import QtQuick
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "إضافة قيد يومية": a manual two-line entry, one account debited and one
// credited by the same amount, dated today unless the clerk dates it (a
// month-end adjustment is made in the days after). It says why it will not
// save.
MDialog {
    id: dialog

    property var accounts: []
    property string errorText: ""

    objectName: "journalEntryDialog"
    title: "إضافة قيد يومية"
    width: 450
    height: 560 + (banner.visible ? banner.height + 12 : 0)

    function save() {
        descField.errorText = Input.requiredError(descField.text)
        dateField.errorText = Input.dateError(dateField.text)
        debitBox.errorText = debitBox.currentRow ? "" : "اختر الحساب المدين"
        creditBox.errorText = creditBox.currentRow ? "" : "اختر الحساب الدائن"
        debitField.errorText = Input.amountError(debitField.text)
        creditField.errorText = Input.amountError(creditField.text)
        errorText = ""
        if (descField.errorText !== "" || dateField.errorText !== "" || debitBox.errorText !== "" || creditBox.errorText !== ""
                || debitField.errorText !== "" || creditField.errorText !== "")
            return
        if (debitBox.currentRow.id === creditBox.currentRow.id) {
            errorText = "لا يصح أن يكون الحساب المدين هو نفسه الحساب الدائن"
            return
        }
        var debit = Input.number(debitField.text)
        var credit = Input.number(creditField.text)
        if (Math.abs(debit - credit) > 0.005) {
            errorText = "القيد غير متوازن: مبلغ المدين لا يساوي مبلغ الدائن"
            return
        }
        var description = descField.text.trim()
        var lines = [
            { "account_id": debitBox.currentRow.id, "debit": debit, "credit": 0, "description": description },
            { "account_id": creditBox.currentRow.id, "debit": 0, "credit": credit, "description": description }
        ]
        var id = accountModel.createJournalEntry(Input.date(dateField.text), description, "manual", 0, lines,
                                                 refField.text.trim())
        if (id > 0) {
            descField.text = ""
            refField.text = ""
            debitField.text = ""
            creditField.text = ""
            debitBox.currentIndex = -1
            creditBox.currentIndex = -1
            close()
        } else {
            errorText = Input.refusal(accountModel)
        }
    }

    onAboutToShow: {
        accounts = accountModel.getAll()
        dateField.text = Input.today()
        var fields = [descField, refField, dateField, debitBox, creditBox, debitField, creditField]
        for (var i = 0; i < fields.length; ++i)
            fields[i].errorText = ""
        errorText = ""
    }
    onOpened: descField.input.forceActiveFocus()
    onEnterPressed: save()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        MTextField { id: descField; objectName: "journalDescField"; Layout.fillWidth: true; label: "الوصف / البيان" }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MTextField {
                id: refField
                objectName: "journalRefField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "المرجع"
            }
            MTextField {
                id: dateField
                objectName: "journalDateField"
                Layout.preferredWidth: 150
                Layout.alignment: Qt.AlignTop
                label: "تاريخ القيد"
                placeholderText: "yyyy-MM-dd"
            }
        }
        Text {
            Layout.fillWidth: true
            text: "تفاصيل القيد (مدين/دائن)"
            horizontalAlignment: Text.AlignRight
            font: Theme.bodyBold
            color: Theme.accentGold
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MComboBox {
                id: debitBox
                objectName: "journalDebitAccount"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "الحساب المدين"
                placeholder: "الحساب المدين..."
                model: dialog.accounts
                displayFunction: function(a) { return a.code + " - " + a.name_ar }
            }
            MTextField {
                id: debitField
                objectName: "journalDebitAmount"
                Layout.preferredWidth: 130
                Layout.alignment: Qt.AlignTop
                label: "مبلغ المدين"
                placeholderText: "مبلغ المدين"
            }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            MComboBox {
                id: creditBox
                objectName: "journalCreditAccount"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "الحساب الدائن"
                placeholder: "الحساب الدائن..."
                model: dialog.accounts
                displayFunction: function(a) { return a.code + " - " + a.name_ar }
            }
            MTextField {
                id: creditField
                objectName: "journalCreditAmount"
                Layout.preferredWidth: 130
                Layout.alignment: Qt.AlignTop
                label: "مبلغ الدائن"
                placeholderText: "مبلغ الدائن"
            }
        }
        ErrorBanner { id: banner; Layout.fillWidth: true; text: dialog.errorText }
        Item { Layout.fillHeight: true }
        MButton {
            objectName: "journalSaveButton"
            Layout.fillWidth: true
            text: "حفظ القيد"
            onClicked: dialog.save()
        }
    }
}
