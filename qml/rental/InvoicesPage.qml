import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Totals.js" as Totals
import "../components/Input.js" as Input

// The invoices: a paged, searchable table filtered by status with each row's
// view and void actions, the three ways of issuing invoices (rent run, custom
// invoice, service charge) and the meter readings the rent run bills.
Item {
    id: page
    objectName: "invoicesPage"

    readonly property var list: invoiceList
    // Why the last print from a row could not be made; empty once one is.
    property string printFailure: ""

    function applyQuery() {
        var f = {}
        if (statusFilter.value !== "")
            f.status = statusFilter.value
        list.filters = f
        list.searchText = search.text.trim()
    }

    function statusLabel(s) {
        return s === "paid" ? "مدفوعة" : s === "partial" ? "جزئي" : s === "void" ? "ملغاة" : "معلقة"
    }

    function statusFill(s) {
        if (Theme.dark)
            return s === "paid" ? "#1a2e1a" : s === "partial" ? "#2e2a1a" : s === "void" ? "#1e293b" : "#2e1a1a"
        return s === "paid" ? "#dcfce7" : s === "partial" ? "#fef3c7" : s === "void" ? "#e2e8f0" : "#fee2e2"
    }

    function statusText(s) {
        if (Theme.dark)
            return s === "paid" ? "#4ade80" : s === "partial" ? "#fbbf24" : s === "void" ? "#94a3b8" : "#f87171"
        return s === "paid" ? "#166534" : s === "partial" ? "#92400e" : s === "void" ? "#475569" : "#991b1b"
    }

    // Voiding asks first, naming the invoice; the reversal is posted by the
    // model and the list follows its change.
    function askVoid(id, number) {
        voidConfirm.ask("إلغاء فاتورة", "هل تريد إلغاء الفاتورة «" + number
                        + "»؟ يُلغى المتبقي منها من رصيد المستأجر.", "إلغاء الفاتورة",
                        function() {
                            return invoiceModel.voidInvoice(id) ? "" : Input.refusal(invoiceModel)
                        })
    }

    // The list is shared with other pages: this page's search and filter are
    // put back whenever it is shown, the first time included (the shell builds a page
    // when it is first shown, so it starts visible).
    Component.onCompleted: if (visible) { applyQuery(); list.refresh(); countReadings() }
    onVisibleChanged: if (visible) { applyQuery(); list.refresh(); countReadings() }

    // The meter readings saved for this month, on the button that opens them.
    property int readingsThisMonth: 0
    function countReadings() { readingsThisMonth = meterReadingModel.savedCount(Input.thisMonth()) }

    DataWatch {
        targets: [meterReadingModel]
        active: page.visible
        onChanged: page.countReadings()
    }

    DataWatch {
        // Names and units shown in the rows live in these tables.
        targets: [tenantModel, contractModel, unitModel, propertyModel]
        active: page.visible
        onChanged: page.list.refresh()
    }

    component HeaderCell: Text {
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        font: Theme.smallBold
        color: Theme.textSecondary
    }

    component Cell: Text {
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        elide: Text.ElideLeft
        font: Theme.body
        color: Theme.textPrimary
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 16

        PageHeader {
            Layout.fillWidth: true
            title: "الفواتير"
            subtitle: "إدارة الفواتير والمستحقات - متعددة الخدمات والعملات"
            extraContent: [
                MButton {
                    objectName: "customInvoiceButton"
                    text: "+ فاتورة مخصصة"
                    onClicked: customDialog.get().open()
                },
                MButton {
                    objectName: "rentRunOpenButton"
                    text: "📄 إصدار إيجارات الشهر"
                    onClicked: rentDialog.get().open()
                },
                MButton {
                    objectName: "serviceInvoiceButton"
                    text: "⚡ فاتورة خدمة جماعية"
                    outline: true
                    onClicked: serviceDialog.get().open()
                }
            ]
        }

        ErrorBanner {
            objectName: "invoicePrintFailure"
            Layout.fillWidth: true
            text: page.printFailure
        }

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            SearchBar {
                id: search
                objectName: "invoiceSearch"
                Layout.fillWidth: true
                placeholderText: "بحث برقم الفاتورة أو المستأجر أو العقار..."
                onQueryChanged: page.applyQuery()
            }
            FilterBar {
                id: statusFilter
                objectName: "invoiceStatusFilter"
                options: [
                    { label: "الكل", value: "" },
                    { label: "معلقة", value: "pending" },
                    { label: "جزئي", value: "partial" },
                    { label: "مدفوعة", value: "paid" },
                    { label: "ملغاة", value: "void" }
                ]
                onValueChanged: page.applyQuery()
            }
            MButton {
                objectName: "meterReadingsButton"
                text: page.readingsThisMonth > 0
                      ? "قراءات العدادات (" + page.readingsThisMonth + " هذا الشهر)"
                      : "قراءات العدادات"
                outline: true
                onClicked: readingsDialog.get().open()
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            radius: 14
            color: Theme.bgCard
            border.width: 1
            border.color: Theme.borderColor

            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 1
                spacing: 0

                Rectangle {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 44
                    radius: 13
                    color: Theme.bgElevated
                    RowLayout {
                        anchors.fill: parent
                        anchors.leftMargin: 16
                        anchors.rightMargin: 16
                        layoutDirection: Qt.RightToLeft
                        spacing: 10
                        // The same widths as each row's cells, in the same order.
                        HeaderCell { Layout.preferredWidth: 120; text: "رقم الفاتورة" }
                        HeaderCell { Layout.preferredWidth: 130; text: "المستأجر" }
                        HeaderCell { Layout.preferredWidth: 70; text: "الفترة" }
                        HeaderCell { objectName: "invoiceHeadUnit"; Layout.fillWidth: true; text: "العقار / الوحدة" }
                        HeaderCell { Layout.preferredWidth: 110; text: "المبلغ" }
                        HeaderCell { objectName: "invoiceHeadBalance"; Layout.preferredWidth: 110; text: "المتبقي" }
                        HeaderCell { Layout.preferredWidth: 70; text: "الحالة" }
                        HeaderCell { objectName: "invoiceHeadActions"; Layout.preferredWidth: 166; text: "إجراءات" }
                    }
                }

                PagedList {
                    id: table
                    objectName: "invoiceTable"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    spacing: 0
                    model: page.list
                    narrowed: search.text.trim() !== "" || statusFilter.value !== ""
                    emptyText: "لا توجد فواتير بعد"
                    noMatchText: "لا توجد فواتير مطابقة"

                    delegate: Rectangle {
                        id: row
                        required property int index
                        required property var model
                        objectName: "invoiceRow_" + model.invoice_number
                        width: table.width
                        height: 48
                        color: index % 2 ? Theme.bgSecondary : "transparent"

                        RowLayout {
                            anchors.fill: parent
                            anchors.leftMargin: 16
                            anchors.rightMargin: 16
                            layoutDirection: Qt.RightToLeft
                            spacing: 10
                            Cell { Layout.preferredWidth: 120; text: row.model.invoice_number || ""; font: Theme.bodyBold }
                            Cell { Layout.preferredWidth: 130; text: row.model.tenant_name || "" }
                            Cell { Layout.preferredWidth: 70; text: row.model.period || "" }
                            Cell {
                                objectName: "invoiceUnit"
                                Layout.fillWidth: true
                                text: (row.model.property_name || "")
                                      + (row.model.unit_number ? " - " + row.model.unit_number : "")
                            }
                            Cell {
                                Layout.preferredWidth: 110
                                text: Money.format(row.model.total_amount, row.model.currency_id)
                            }
                            Cell {
                                objectName: "invoiceBalance"
                                Layout.preferredWidth: 110
                                text: Money.format(row.model.balance, row.model.currency_id)
                                color: Number(row.model.balance) > 0 ? Theme.textPrimary : Theme.textMuted
                            }
                            Item {
                                Layout.preferredWidth: 70
                                Layout.fillHeight: true
                                StatusBadge {
                                    objectName: "invoiceStatus"
                                    anchors.right: parent.right
                                    anchors.verticalCenter: parent.verticalCenter
                                    text: page.statusLabel(row.model.status)
                                    fill: page.statusFill(row.model.status)
                                    textColor: page.statusText(row.model.status)
                                }
                            }
                            RowLayout {
                                objectName: "invoiceActions"
                                Layout.preferredWidth: 166
                                layoutDirection: Qt.RightToLeft
                                spacing: 6
                                MButton {
                                    objectName: "viewInvoiceButton"
                                    Layout.preferredWidth: 60
                                    Layout.preferredHeight: 34
                                    text: "عرض"
                                    outline: true
                                    leftPadding: 8
                                    rightPadding: 8
                                    onClicked: detailDialog.get().show(row.model.id)
                                }
                                MButton {
                                    objectName: "invoicePrintButton"
                                    Layout.preferredWidth: 34
                                    Layout.preferredHeight: 34
                                    text: "⎙"
                                    outline: true
                                    leftPadding: 4
                                    rightPadding: 4
                                    onClicked: page.printFailure = printCtrl.printInvoice(row.model.id)
                                                                   ? "" : printCtrl.lastError
                                }
                                MButton {
                                    objectName: "voidInvoiceRowButton"
                                    Layout.preferredWidth: 60
                                    Layout.preferredHeight: 34
                                    visible: row.model.status !== "void"
                                    text: "إلغاء"
                                    outline: true
                                    btnColor: Theme.dangerColor
                                    leftPadding: 8
                                    rightPadding: 8
                                    onClicked: page.askVoid(row.model.id, row.model.invoice_number)
                                }
                            }
                        }
                    }
                }
            }
        }

        Text {
            objectName: "invoiceCount"
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignRight
            text: "عدد الفواتير: " + (page.list.totalsPending ? "جارٍ العد…" : page.list.totalCount)
            textFormat: Text.PlainText
            font: Theme.small
            color: Theme.textMuted
        }
        Text {
            objectName: "invoiceTotal"
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignRight
            text: "إجمالي الفواتير: " + (page.list.totalsPending ? "جارٍ الحساب…"
                                         : Totals.converted(page.list.totals.converted, Money))
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font: Theme.small
            color: Theme.textMuted
        }
    }

    LazyDialog {
        id: rentDialog
        dialogComponent: Component {
            RentRunDialog {
                onIssued: count => resultDialog.show(count, rentDialog.dialog.period)
            }
        }
    }

    LazyDialog {
        id: customDialog
        dialogComponent: Component { CustomInvoiceDialog {} }
    }

    LazyDialog {
        id: serviceDialog
        dialogComponent: Component {
            ServiceInvoiceDialog {
                onIssued: count => resultDialog.show(count)
            }
        }
    }

    IssueResultDialog {
        id: resultDialog
    }

    LazyDialog {
        id: detailDialog
        dialogComponent: Component { InvoiceDetailDialog {} }
    }

    LazyDialog {
        id: readingsDialog
        dialogComponent: Component { MeterReadingsDialog {} }
    }

    ConfirmDialog {
        id: voidConfirm
    }
}
