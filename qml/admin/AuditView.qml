import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// The audit trail for administrators: who changed which record, when, and
// what each field was before and after. Paged in SQL; searched by user name
// or text, narrowed by kind of record, record number and dates.
ColumnLayout {
    id: view
    objectName: "auditView"

    spacing: 12

    readonly property var recordKinds: [
        { label: "كل السجلات", value: "" },
        { label: "العقارات", value: "properties" },
        { label: "الوحدات", value: "units" },
        { label: "المستأجرون", value: "tenants" },
        { label: "العقود", value: "contracts" },
        { label: "الفواتير", value: "invoices" },
        { label: "الدفعات", value: "payments" },
        { label: "المصروفات", value: "expenses" },
        { label: "الصيانة", value: "maintenance_requests" },
        { label: "المشترون", value: "buyers" },
        { label: "الأقساط", value: "installments" },
        { label: "الشيكات", value: "cheques" },
        { label: "قيود اليومية", value: "journal_entries" },
        { label: "المستخدمون", value: "users" },
        { label: "الإعدادات", value: "settings" }
    ]

    function applyQuery() {
        fromField.errorText = fromField.text.trim() === "" ? "" : Input.dateError(fromField.text)
        toField.errorText = toField.text.trim() === "" ? "" : Input.dateError(toField.text)
        recordField.errorText = recordField.text.trim() === "" ? "" : Input.integerError(recordField.text, true)
        if (fromField.errorText !== "" || toField.errorText !== "" || recordField.errorText !== "")
            return
        var filters = {}
        var kind = kindBox.currentIndex > 0 ? recordKinds[kindBox.currentIndex].value : ""
        if (kind !== "")
            filters.table_name = kind
        if (recordField.text.trim() !== "")
            filters.record_id = Input.integer(recordField.text)
        if (fromField.text.trim() !== "")
            filters.date_from = Input.date(fromField.text)
        if (toField.text.trim() !== "")
            filters.date_to = Input.date(toField.text)
        auditList.filters = filters
        auditList.searchText = search.text.trim()
        auditList.reload()
    }

    onVisibleChanged: if (visible) applyQuery()

    RowLayout {
        Layout.fillWidth: true
        layoutDirection: Qt.RightToLeft
        spacing: 10

        SearchBar {
            id: search
            objectName: "auditSearch"
            Layout.fillWidth: true
            placeholderText: "بحث باسم المستخدم أو نص العملية..."
            onTextChanged: view.applyQuery()
        }
        MComboBox {
            id: kindBox
            objectName: "auditKind"
            Layout.preferredWidth: 170
            model: view.recordKinds
            textRole: "label"
            currentIndex: 0
            onActivated: view.applyQuery()
        }
        MTextField {
            id: recordField
            objectName: "auditRecord"
            Layout.preferredWidth: 110
            placeholderText: "رقم السجل"
            onTextChanged: view.applyQuery()
        }
        MTextField {
            id: fromField
            objectName: "auditFrom"
            Layout.preferredWidth: 130
            placeholderText: "من تاريخ"
            onTextChanged: view.applyQuery()
        }
        MTextField {
            id: toField
            objectName: "auditTo"
            Layout.preferredWidth: 130
            placeholderText: "إلى تاريخ"
            onTextChanged: view.applyQuery()
        }
    }

    PagedList {
        id: list
        objectName: "auditList"
        Layout.fillWidth: true
        Layout.fillHeight: true
        model: auditList
        narrowed: search.text.trim() !== "" || kindBox.currentIndex > 0
                  || recordField.text.trim() !== "" || fromField.text.trim() !== ""
                  || toField.text.trim() !== ""
        emptyText: "لا توجد عمليات مسجلة بعد"
        noMatchText: "لا توجد عمليات مطابقة"

        delegate: Rectangle {
            id: row
            required property int index
            required property var model
            readonly property var changes: auditMgr.changes(model.action || "", model.details || "")
            readonly property int shownChanges: Math.min(changes.length, 4)
            objectName: "auditRow_" + index
            width: list.width
            height: 44 + shownChanges * 20 + (changes.length > shownChanges ? 20 : 0)
            radius: 10
            color: Theme.bgCard
            border.width: 1
            border.color: Theme.borderColor

            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 10
                anchors.rightMargin: 16
                spacing: 2

                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 12
                    Text {
                        objectName: "auditUser"
                        Layout.preferredWidth: 110
                        text: row.model.username || "النظام"
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        elide: Text.ElideLeft
                        font: Theme.bodyBold
                        color: Theme.accentGold
                    }
                    Text {
                        objectName: "auditSummary"
                        Layout.fillWidth: true
                        text: auditMgr.summary(row.model.action || "", row.model.table_name || "",
                                               row.model.record_id)
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        elide: Text.ElideLeft
                        font: Theme.bodyBold
                        color: Theme.textPrimary
                    }
                    Text {
                        objectName: "auditTime"
                        // Kept left to right inside the right-to-left row.
                        text: "\u2066" + (row.model.created_at || "") + "\u2069"
                        textFormat: Text.PlainText
                        font: Theme.small
                        color: Theme.textSecondary
                    }
                }
                Repeater {
                    model: row.shownChanges
                    Text {
                        required property int index
                        readonly property var change: row.changes[index]
                        objectName: "auditChange"
                        Layout.fillWidth: true
                        text: (change.field !== "" ? change.field + ": " : "")
                              + (change.before !== "" && change.after !== ""
                                 ? "\u2068" + change.before + "\u2069 ← \u2068" + change.after + "\u2069"
                                 : "\u2068" + (change.before !== "" ? change.before : change.after) + "\u2069")
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        elide: Text.ElideLeft
                        font: Theme.small
                        color: Theme.textSecondary
                    }
                }
                Text {
                    visible: row.changes.length > row.shownChanges
                    Layout.fillWidth: true
                    text: "و" + (row.changes.length - row.shownChanges) + " حقول أخرى"
                    textFormat: Text.PlainText
                    horizontalAlignment: Text.AlignRight
                    font: Theme.small
                    color: Theme.textMuted
                }
            }
        }
    }
}
