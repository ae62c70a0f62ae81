import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"

// One account's ledger: its entries oldest first, each with date,
// description, the event it came from, debit, credit and the running balance
// of its currency, a page at a time. It opens on the latest page; the
// running balance carries over from the pages before.
MDialog {
    id: dialog
    objectName: "accountLedgerDialog"

    property int accountId: 0
    property int pageSize: 50
    property int offset: 0
    property var ledger: ({})
    readonly property var rows: ledger.rows !== undefined ? ledger.rows : []
    readonly property int total: ledger.total !== undefined ? Number(ledger.total) : 0
    readonly property int pages: Math.max(1, Math.ceil(total / pageSize))
    readonly property int page: Math.floor(offset / pageSize) + 1

    title: ledger.code !== undefined ? "دفتر الحساب - " + ledger.code + " " + ledger.name_ar : "دفتر الحساب"
    width: 960
    height: 620

    function show(id) {
        if (id !== accountId)
            ledger = ({})
        accountId = id
        // The last page: recent entries are what a clerk looks for.
        read.ask([id, -1, pageSize])
        open()
    }

    function load(at) {
        offset = Math.max(0, Math.min(at, (pages - 1) * pageSize))
        read.ask([accountId, offset, pageSize])
    }

    // Read off the window's thread; the page on screen stays until the new
    // one arrives.
    readonly property bool loading: read.loading
    property ReportRead read: ReportRead {
        call: "accountLedger"
        onAnswered: result => {
            dialog.ledger = result
            dialog.offset = result.offset !== undefined ? Number(result.offset) : 0
        }
    }

    function sided(amount, currencyId) {
        var n = Number(amount)
        if (Math.abs(n) < 0.005)
            return Money.format(0, currencyId)
        return Money.format(Math.abs(n), currencyId) + (n > 0 ? " مدين" : " دائن")
    }

    DataWatch {
        // Every model that writes money posts to the ledger.
        targets: [accountModel, invoiceModel, paymentModel, installmentModel, expenseModel, chequeModel]
        active: dialog.visible
        onChanged: dialog.load(dialog.offset)
    }

    component Cell: Text {
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideLeft
        font: Theme.small
        color: Theme.textPrimary
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        Flow {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 8
            Cell {
                text: "الرصيد:"
                font.bold: true
                color: Theme.textSecondary
            }
            Repeater {
                model: dialog.ledger.closing !== undefined ? dialog.ledger.closing : []
                delegate: StatusBadge {
                    required property var modelData
                    objectName: "ledgerClosing_" + modelData.currency_code
                    text: dialog.sided(modelData.balance, modelData.currency_id)
                    textColor: Theme.accentGold
                }
            }
            Cell {
                visible: dialog.total === 0
                text: Money.format(0, 0)
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 34
            radius: 8
            color: Theme.bgElevated
            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 12
                anchors.rightMargin: 12
                layoutDirection: Qt.RightToLeft
                spacing: 8
                Cell { Layout.preferredWidth: 84; text: "التاريخ"; font.bold: true; color: Theme.textSecondary }
                Cell { Layout.fillWidth: true; text: "البيان"; font.bold: true; color: Theme.textSecondary }
                Cell { Layout.preferredWidth: 200; text: "المرجع"; font.bold: true; color: Theme.textSecondary }
                Cell { Layout.preferredWidth: 110; text: "مدين"; font.bold: true; color: Theme.textSecondary }
                Cell { Layout.preferredWidth: 110; text: "دائن"; font.bold: true; color: Theme.textSecondary }
                Cell { Layout.preferredWidth: 140; text: "الرصيد"; font.bold: true; color: Theme.textSecondary }
            }
        }

        PagedList {
            id: list
            objectName: "ledgerList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0
            rows: dialog.rows
            emptyText: "لا توجد حركات على هذا الحساب بعد"
            delegate: Rectangle {
                id: row
                required property int index
                readonly property var item: list.rowAt(index)
                objectName: "ledgerRow_" + index
                width: list.width
                height: 38
                color: index % 2 ? Theme.bgCard : "transparent"
                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 12
                    anchors.rightMargin: 12
                    layoutDirection: Qt.RightToLeft
                    spacing: 8
                    Cell { Layout.preferredWidth: 84; text: row.item.entry_date || ""; color: Theme.textSecondary }
                    Cell { Layout.fillWidth: true; text: row.item.description || "" }
                    Cell {
                        objectName: "ledgerSource"
                        Layout.preferredWidth: 200
                        text: (row.item.source || "") + (row.item.reference ? " - " + row.item.reference : "")
                        color: Theme.accentGold
                    }
                    Cell {
                        objectName: "ledgerDebit"
                        Layout.preferredWidth: 110
                        text: Number(row.item.debit) !== 0 ? Money.format(row.item.debit, row.item.currency_id) : ""
                    }
                    Cell {
                        objectName: "ledgerCredit"
                        Layout.preferredWidth: 110
                        text: Number(row.item.credit) !== 0 ? Money.format(row.item.credit, row.item.currency_id) : ""
                    }
                    Cell {
                        objectName: "ledgerBalance"
                        Layout.preferredWidth: 140
                        text: dialog.sided(row.item.balance, row.item.currency_id)
                        font.bold: true
                    }
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 8
            MButton {
                objectName: "ledgerFirstButton"
                text: "الأقدم"
                outline: true
                enabled: dialog.offset > 0
                onClicked: dialog.load(0)
            }
            MButton {
                objectName: "ledgerPreviousButton"
                text: "السابق"
                outline: true
                enabled: dialog.offset > 0
                onClicked: dialog.load(dialog.offset - dialog.pageSize)
            }
            Cell {
                objectName: "ledgerPageText"
                Layout.fillWidth: true
                horizontalAlignment: Text.AlignHCenter
                color: Theme.textSecondary
                text: dialog.loading ? "جارٍ التحميل…" : dialog.total === 0 ? ""
                      : "الحركات " + (dialog.offset + 1) + " - " + (dialog.offset + dialog.rows.length)
                        + " من " + dialog.total + " (صفحة " + dialog.page + " من " + dialog.pages + ")"
            }
            MButton {
                objectName: "ledgerNextButton"
                text: "التالي"
                outline: true
                enabled: dialog.page < dialog.pages
                onClicked: dialog.load(dialog.offset + dialog.pageSize)
            }
            MButton {
                objectName: "ledgerLastButton"
                text: "الأحدث"
                outline: true
                enabled: dialog.page < dialog.pages
                onClicked: dialog.load((dialog.pages - 1) * dialog.pageSize)
            }
        }
    }
}
