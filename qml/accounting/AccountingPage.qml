import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input
import "../components/Totals.js" as Totals

// Double-entry accounting: the chart of accounts, the journal (paged),
// contractors and suppliers, the cost centres of every project, and the
// trial balance with the check that the books agree. Each account opens its
// ledger.
Item {
    id: page
    objectName: "accountingPage"

    property var accounts: []
    property var contractors: []
    property var costCenters: []

    readonly property var accountTypes: ({ "asset": "أصول", "liability": "خصوم", "equity": "حقوق ملكية",
                                           "revenue": "إيرادات", "expense": "مصروفات" })
    readonly property var centreTypes: ({ "project": "المشروع", "floor": "الطابق" })

    function reload() {
        accounts = accountModel.getAll()
        loadTab()
        if (overview.shown)
            overview.reload()
    }

    // Only the tab in view reads its rows: what contractors are owed, the
    // cost centres and the journal each go over long histories, and a tab
    // out of view would still build its rows. The others are read when
    // their tab is chosen (the trial balance tab reads its own when shown).
    function loadTab() {
        var tab = tabs.currentIndex
        contractors = tab === 2 ? contractorModel.getAll() : []
        // A card reads its own centres, off the window's thread, when the
        // list builds it: a large office pays for the few cards on screen.
        var cards = []
        if (tab === 3) {
            var properties = propertyModel.getAll()
            for (var i = 0; i < properties.length; ++i)
                cards.push({ "id": properties[i].id, "name": properties[i].name })
        }
        costCenters = cards
        if (tab === 1) {
            journalList.searchText = ""
            journalList.reload()
        }
    }

    // "1,200.00 ₪ + 40.00 $": what a contractor is owed, per currency.
    function balancesText(balances) {
        var parts = []
        for (var i = 0; balances && i < balances.length; ++i)
            if (Number(balances[i].balance) !== 0)
                parts.push(Money.format(balances[i].balance, balances[i].currency_id))
        return parts.length > 0 ? parts.join(" + ") : Money.format(0)
    }

    function askRemoveContractor(row) {
        removeConfirm.ask("حذف مقاول", "حذف المقاول «" + row.name + "» من السجل؟", "حذف", function() {
            return contractorModel.removeContractor(row.id) ? "" : contractorModel.lastError
        })
    }

    // Read once when the page is first shown, and again each time it is.
    Component.onCompleted: if (visible) reload()
    onVisibleChanged: if (visible) reload()

    DataWatch {
        targets: [accountModel, expenseModel, contractorModel, maintenanceModel, propertyModel, unitModel, installmentModel, paymentModel, invoiceModel, chequeModel]
        active: page.visible
        onChanged: page.reload()
    }

    // A cell cut short shows its whole text under the mouse.
    component Cell: Text {
        id: cell
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        elide: Text.ElideLeft
        font: Theme.body
        color: Theme.textPrimary
        HoverHandler { id: cellHover }
        ToolTip.visible: cell.truncated && cellHover.hovered
        ToolTip.text: cell.text
        ToolTip.delay: 400
    }
    component HeaderCell: Cell {
        font: Theme.smallBold
        color: Theme.textSecondary
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 16

        PageHeader {
            Layout.fillWidth: true
            title: "المحاسبة"
            subtitle: "نظام القيد المزدوج - دليل الحسابات وقيود اليومية"
            extraContent: [
                MButton {
                    objectName: "addJournalEntryButton"
                    text: "تسجيل قيد يدوي"
                    onClicked: entryDialog.get().open()
                }
            ]
        }

        TabBar {
            id: tabs
            objectName: "accountingTabs"
            onCurrentIndexChanged: page.loadTab()
            Layout.fillWidth: true
            background: Rectangle { color: "transparent" }
            Repeater {
                model: ["دليل الحسابات", "قيود اليومية", "المقاولون والموردون", "مراكز التكلفة", "ميزان المراجعة"]
                delegate: TabButton {
                    id: tab
                    required property string modelData
                    required property int index
                    objectName: "accountingTab_" + index
                    text: modelData
                    font: tabs.currentIndex === index ? Theme.bodyBold : Theme.body
                    contentItem: Text {
                        text: tab.text
                        font: tab.font
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        color: tabs.currentIndex === tab.index ? "#08111f" : Theme.textSecondary
                    }
                    background: Rectangle {
                        radius: 8
                        color: tabs.currentIndex === tab.index ? Theme.accentGold : Theme.bgCard
                        border.width: 1
                        border.color: Theme.borderColor
                    }
                }
            }
        }

        StackLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            currentIndex: tabs.currentIndex

            // Chart of accounts.
            PagedList {
                id: accountList
                objectName: "accountList"
                rows: page.accounts
                spacing: 0
                emptyText: "لا توجد حسابات بعد"
                delegate: Rectangle {
                    id: accountRow
                    required property int index
                    readonly property var item: accountList.rowAt(index)
                    objectName: "accountRow_" + item.code
                    width: accountList.width
                    height: 46
                    color: index % 2 ? Theme.bgSecondary : Theme.bgCard
                    RowLayout {
                        anchors.fill: parent
                        anchors.leftMargin: 16
                        anchors.rightMargin: 16
                        layoutDirection: Qt.RightToLeft
                        spacing: 12
                        Cell { Layout.preferredWidth: 80; text: accountRow.item.code || ""; color: Theme.textSecondary }
                        Cell { Layout.fillWidth: true; text: accountRow.item.name_ar || ""; font: Theme.bodyBold }
                        StatusBadge {
                            objectName: "accountType"
                            text: page.accountTypes[accountRow.item.type] || accountRow.item.type
                            textColor: Theme.accentGold
                        }
                        Cell {
                            objectName: "accountBalance"
                            Layout.preferredWidth: 150
                            text: Money.plain(accountRow.item.balance)
                        }
                        MButton {
                            objectName: "accountLedgerButton"
                            implicitHeight: 30
                            outline: true
                            text: "دفتر الحساب"
                            onClicked: ledgerDialog.get().show(Number(accountRow.item.id))
                        }
                    }
                }
            }

            // Journal, newest first, a screenful at a time.
            PagedList {
                id: journalView
                objectName: "journalView"
                model: tabs.currentIndex === 1 ? journalList : null
                spacing: 6
                emptyText: "لا توجد قيود يومية بعد"
                delegate: Rectangle {
                    id: entryRow
                    required property int index
                    required property var model
                    readonly property var entry: accountModel.getJournalEntry(model.id)
                    objectName: "journalRow_" + index
                    width: journalView.width
                    height: Math.max(58, entryLayout.implicitHeight + 20)
                    radius: 10
                    color: Theme.bgCard
                    border.width: 1
                    border.color: Theme.borderColor
                    RowLayout {
                        id: entryLayout
                        anchors.fill: parent
                        anchors.margins: 10
                        anchors.leftMargin: 16
                        anchors.rightMargin: 16
                        layoutDirection: Qt.RightToLeft
                        spacing: 12
                        Cell { Layout.preferredWidth: 90; Layout.alignment: Qt.AlignTop; text: entryRow.model.entry_date || ""; color: Theme.textSecondary }
                        ColumnLayout {
                            Layout.fillWidth: true
                            spacing: 2
                            Cell { Layout.fillWidth: true; text: entryRow.model.description || ""; font: Theme.bodyBold }
                            JournalLinesView {
                                Layout.fillWidth: true
                                entry: entryRow.entry
                            }
                        }
                        ColumnLayout {
                            Layout.preferredWidth: 200
                            Layout.maximumWidth: 200
                            Layout.fillWidth: false
                            Layout.alignment: Qt.AlignTop
                            spacing: 6
                            StatusBadge {
                                objectName: "journalSource"
                                Layout.alignment: Qt.AlignRight
                                text: entryRow.entry.source || ""
                                textColor: Theme.accentGold
                            }
                            Cell {
                                objectName: "journalReference"
                                Layout.fillWidth: true
                                text: entryRow.model.reference ? "المرجع: " + entryRow.model.reference : ""
                                color: Theme.textSecondary
                            }
                        }
                    }
                }
            }

            // Contractors and suppliers.
            ColumnLayout {
                spacing: 10
                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    Cell {
                        Layout.fillWidth: true
                        text: "تتبع المقاولين والموردين حسب بنود العمل"
                        color: Theme.textSecondary
                    }
                    MButton {
                        objectName: "addContractorButton"
                        text: "+ إضافة مورد"
                        onClicked: contractorDialog.get().open()
                    }
                }
                Rectangle {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 40
                    radius: 8
                    color: Theme.bgElevated
                    RowLayout {
                        anchors.fill: parent
                        anchors.leftMargin: 16
                        anchors.rightMargin: 16
                        layoutDirection: Qt.RightToLeft
                        spacing: 12
                        // The name takes what the other columns leave.
                        HeaderCell { Layout.fillWidth: true; Layout.minimumWidth: 160; text: "الاسم" }
                        HeaderCell { Layout.preferredWidth: 120; text: "التخصص" }
                        HeaderCell { Layout.preferredWidth: 120; text: "الهاتف" }
                        HeaderCell { Layout.preferredWidth: 200; text: "الرصيد المستحق" }
                        HeaderCell { Layout.preferredWidth: 210; text: "" }
                    }
                }
                PagedList {
                    id: contractorList
                    objectName: "contractorList"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    spacing: 0
                    rows: page.contractors
                    emptyText: "لا يوجد مقاولون أو موردون بعد"
                    delegate: Rectangle {
                        id: contractorRow
                        required property int index
                        readonly property var item: contractorList.rowAt(index)
                        objectName: "contractorRow_" + item.name
                        width: contractorList.width
                        height: 44
                        color: index % 2 ? Theme.bgSecondary : "transparent"
                        RowLayout {
                            anchors.fill: parent
                            anchors.leftMargin: 16
                            anchors.rightMargin: 16
                            layoutDirection: Qt.RightToLeft
                            spacing: 12
                            Cell {
                                objectName: "contractorNameCell"
                                Layout.fillWidth: true
                                Layout.minimumWidth: 160
                                text: contractorRow.item.name || ""
                                font: Theme.bodyBold
                            }
                            Cell { Layout.preferredWidth: 120; text: contractorRow.item.trade || "" }
                            Cell { Layout.preferredWidth: 120; text: contractorRow.item.phone || "" }
                            Cell {
                                objectName: "contractorBalance"
                                Layout.preferredWidth: 200
                                text: page.balancesText(contractorRow.item.balances)
                            }
                            Row {
                                Layout.preferredWidth: 210
                                Layout.minimumWidth: implicitWidth
                                layoutDirection: Qt.RightToLeft
                                spacing: 6
                                MButton {
                                    objectName: "payContractorButton"
                                    height: 32
                                    text: "دفع"
                                    onClicked: payDialog.get().show(contractorRow.item.id, contractorRow.item.name)
                                }
                                MButton {
                                    objectName: "contractorStatementButton"
                                    height: 32
                                    text: "كشف"
                                    outline: true
                                    onClicked: statementDialog.get().show(contractorRow.item.id, contractorRow.item.name)
                                }
                                MButton {
                                    objectName: "removeContractorButton"
                                    height: 32
                                    text: "حذف"
                                    outline: true
                                    btnColor: Theme.dangerColor
                                    onClicked: page.askRemoveContractor(contractorRow.item)
                                }
                            }
                        }
                    }
                }
            }

            // Cost centres, one card per project.
            ColumnLayout {
                spacing: 6
                PagedList {
                    id: centreList
                    objectName: "costCentreList"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    rows: page.costCenters
                    spacing: 12
                    emptyText: "لا توجد مشاريع بعد"
                    delegate: Rectangle {
                        id: card
                        required property int index
                        readonly property var project: centreList.rowAt(index)
                        property var centres: []
                        property ReportRead read: ReportRead {
                            call: "costCentres"
                            onAnswered: result => card.centres = result
                        }
                        Component.onCompleted: if (project.id !== undefined) read.ask([project.id])
                        objectName: "costCentreCard_" + project.name
                        width: centreList.width
                        height: cardColumn.implicitHeight + 28
                        radius: 14
                        color: Theme.bgCard
                        border.width: 1
                        border.color: Theme.borderColor
                        ColumnLayout {
                            id: cardColumn
                            anchors.left: parent.left
                            anchors.right: parent.right
                            anchors.top: parent.top
                            anchors.margins: 14
                            spacing: 6
                            Cell {
                                Layout.fillWidth: true
                                text: "مركز تكلفة المشروع: " + card.project.name
                                font: Theme.subtitleBold
                                color: Theme.accentGold
                            }
                            Repeater {
                                model: card.centres
                                delegate: ColumnLayout {
                                    id: centre
                                    required property var modelData
                                    Layout.fillWidth: true
                                    spacing: 2
                                    // Each currency's own amounts and any rate still missing,
                                    // under a figure converted from several currencies.
                                    readonly property string breakdown: {
                                        var parts = []
                                        var revenue = Totals.detail(modelData.revenue_detail, Money)
                                        var expenses = Totals.detail(modelData.expenses_detail, Money)
                                        if (revenue !== "")
                                            parts.push("الإيراد: " + revenue)
                                        if (expenses !== "")
                                            parts.push("التكلفة: " + expenses)
                                        return parts.join("   ·   ")
                                    }
                                    RowLayout {
                                        Layout.fillWidth: true
                                        layoutDirection: Qt.RightToLeft
                                        spacing: 14
                                        Cell {
                                            Layout.fillWidth: true
                                            text: (page.centreTypes[centre.modelData.type] || "الوحدة") + " - " + centre.modelData.name
                                        }
                                        Cell { Layout.preferredWidth: 170; text: "الإيراد " + Input.isolate(Money.format(centre.modelData.revenue)); color: Theme.successColor }
                                        Cell { Layout.preferredWidth: 170; text: "التكلفة " + Input.isolate(Money.format(centre.modelData.expenses)); color: Theme.dangerColor }
                                        Cell { Layout.preferredWidth: 170; text: "الربح " + Input.isolate(Money.format(centre.modelData.profit)); font: Theme.bodyBold }
                                    }
                                    Cell {
                                        objectName: "centreBreakdown"
                                        Layout.fillWidth: true
                                        visible: centre.breakdown !== ""
                                        text: centre.breakdown
                                        font: Theme.caption
                                        color: Theme.textMuted
                                    }
                                }
                            }
                            LoadingNote {
                                objectName: "centresLoading"
                                Layout.alignment: Qt.AlignRight
                                loading: card.read.loading
                            }
                            Cell {
                                Layout.fillWidth: true
                                visible: card.centres.length === 0 && card.read.answers > 0
                                text: "لا توجد مراكز تكلفة لهذا المشروع"
                                color: Theme.textMuted
                            }
                        }
                    }
                }
            }

            // Trial balance, the balance sheet and whether the books agree.
            LedgerOverview {
                id: overview
                accounts: page.accounts
                shown: page.visible && tabs.currentIndex === 4
                onAccountChosen: (accountId) => ledgerDialog.get().show(accountId)
            }
        }

    }

    LazyDialog {
        id: entryDialog
        dialogComponent: Component { JournalEntryDialog {} }
    }

    LazyDialog {
        id: contractorDialog
        dialogComponent: Component { ContractorAddDialog {} }
    }

    LazyDialog {
        id: payDialog
        dialogComponent: Component { ContractorPayDialog {} }
    }

    LazyDialog {
        id: statementDialog
        dialogComponent: Component { ContractorStatementDialog {} }
    }

    ConfirmDialog {
        id: removeConfirm
        objectName: "contractorConfirmDialog"
    }

    LazyDialog {
        id: ledgerDialog
        dialogComponent: Component { AccountLedgerDialog {} }
    }
}
