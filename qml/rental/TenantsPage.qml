import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../admin"
import "../components/Input.js" as Input
import "../components/Totals.js" as Totals

// The tenants: a searchable table with each tenant's contracts and
// statement, and the import of tenants pasted from a spreadsheet.
Item {
    id: page
    objectName: "tenantsPage"

    // The row buttons' width, the widest a row has needed.
    property real actionsWidth: 160

    // The list is paged and read in SQL, the rows' balances on the list
    // reader; writes to tenants, contracts, invoices, payments and cheques
    // bring it up to date by themselves.
    function applyQuery() {
        tenantList.searchText = search.text.trim()
    }

    // Reads the rows and balances again (after rows written some other way).
    function reload() {
        applyQuery()
        tenantList.refresh()
    }

    // What a tenant owes, each currency apart ("1,500.00 ₪ + 40.00 $");
    // empty until the reader has summed it.
    function balanceText(balances) {
        return balances ? Totals.format(balances, Money) : ""
    }

    Component.onCompleted: if (visible) applyQuery()
    onVisibleChanged: if (visible) applyQuery()

    component HeaderCell: Text {
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        font: Theme.smallBold
        color: Theme.textSecondary
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

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "إدارة المستأجرين"
            subtitle: "إدارة وتتبع جميع المستأجرين وعقودهم"
            extraContent: [
                MButton {
                    objectName: "importTenantsButton"
                    text: "استيراد من إكسل"
                    outline: true
                    onClicked: importDialog.get().open()
                },
                MButton {
                    objectName: "addTenantButton"
                    text: "+ مستأجر جديد"
                    onClicked: addDialog.get().open()
                }
            ]
        }

        SearchBar {
            id: search
            objectName: "tenantSearch"
            Layout.fillWidth: true
            placeholderText: "بحث عن مستأجر..."
            onQueryChanged: page.applyQuery()
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
                        spacing: 8
                        // The name takes what the fixed columns leave; the
                        // actions take only the room their buttons need.
                        HeaderCell { Layout.fillWidth: true; Layout.minimumWidth: 120; text: "الاسم" }
                        HeaderCell { Layout.preferredWidth: 90; text: "رقم الهوية" }
                        HeaderCell { Layout.preferredWidth: 100; text: "الهاتف" }
                        HeaderCell { Layout.preferredWidth: 170; text: "البريد" }
                        HeaderCell { Layout.preferredWidth: 45; text: "العقود" }
                        HeaderCell { Layout.preferredWidth: 120; text: "الرصيد" }
                        Item { Layout.preferredWidth: page.actionsWidth }
                    }
                }

                PagedList {
                    id: list
                    objectName: "tenantList"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    spacing: 0
                    model: tenantList
                    narrowed: search.text.trim() !== ""
                    emptyText: "لا يوجد مستأجرون بعد"
                    noMatchText: "لا يوجد مستأجر مطابق للبحث"

                    delegate: Rectangle {
                        id: row
                        required property int index
                        required property var model
                        objectName: "tenantRow_" + (model.full_name || "")
                        width: list.width
                        height: 52
                        color: index % 2 ? Theme.bgSecondary : "transparent"

                        RowLayout {
                            anchors.fill: parent
                            anchors.leftMargin: 16
                            anchors.rightMargin: 16
                            layoutDirection: Qt.RightToLeft
                            spacing: 8
                            Cell {
                                objectName: "tenantNameCell"
                                Layout.fillWidth: true
                                Layout.minimumWidth: 120
                                text: row.model.full_name || ""
                                font: Theme.bodyBold
                            }
                            Cell { Layout.preferredWidth: 90; text: row.model.id_number || "" }
                            Cell { Layout.preferredWidth: 100; text: row.model.phone || "" }
                            Cell {
                                objectName: "tenantEmailCell"
                                Layout.preferredWidth: 170
                                text: row.model.email || ""
                                // An address reads left to right: its end is cut, not its name.
                                elide: Text.ElideRight
                            }
                            Cell {
                                objectName: "tenantContractCount"
                                Layout.preferredWidth: 45
                                text: String(row.model.active_contracts !== undefined
                                             ? row.model.active_contracts : "")
                            }
                            Cell {
                                objectName: "tenantBalanceCell"
                                Layout.preferredWidth: 120
                                text: page.balanceText(row.model.balances)
                            }
                            Row {
                                objectName: "tenantActions"
                                Layout.preferredWidth: page.actionsWidth
                                layoutDirection: Qt.RightToLeft
                                onImplicitWidthChanged: page.actionsWidth = Math.max(page.actionsWidth, implicitWidth)
                                Component.onCompleted: page.actionsWidth = Math.max(page.actionsWidth, implicitWidth)
                                spacing: 8
                                MButton {
                                    objectName: "tenantStatementButton"
                                    implicitHeight: 34
                                    // As wide as the word, not the buttons' usual 90.
                                    implicitWidth: implicitContentWidth + leftPadding + rightPadding
                                    leftPadding: 14
                                    rightPadding: 14
                                    text: "كشف"
                                    outline: true
                                    onClicked: statementDialog.get().show(row.model.id, row.model.full_name)
                                }
                                MButton {
                                    objectName: "tenantContractsButton"
                                    implicitHeight: 34
                                    // As wide as the word, not the buttons' usual 90.
                                    implicitWidth: implicitContentWidth + leftPadding + rightPadding
                                    leftPadding: 14
                                    rightPadding: 14
                                    text: "العقود"
                                    onClicked: contractsDialog.get().show(row.model.id, row.model.full_name)
                                }
                                MButton {
                                    objectName: "removeTenantButton"
                                    implicitWidth: 44
                                    implicitHeight: 34
                                    leftPadding: 6
                                    rightPadding: 6
                                    text: "🗑"
                                    btnColor: "#ef4444"
                                    textColor: "#ffffff"
                                    onClicked: {
                                        var id = row.model.id
                                        confirm.ask("حذف مستأجر", "هل تريد حذف المستأجر «"
                                                    + row.model.full_name + "»؟", "حذف",
                                                    function() {
                                                        return tenantModel.remove(id) ? ""
                                                               : Input.refusal(tenantModel)
                                                    })
                                    }
                                }
                            }
                        }
                    }
                }
            }
        }
    }

    LazyDialog {
        id: addDialog
        dialogComponent: Component { TenantAddDialog {} }
    }

    LazyDialog {
        id: contractsDialog
        dialogComponent: Component { ContractsDialog {} }
    }

    LazyDialog {
        id: statementDialog
        dialogComponent: Component { StatementDialog {} }
    }

    LazyDialog {
        id: importDialog
        dialogComponent: Component {
            ImportDialog {
                targetTable: "tenants"
            }
        }
    }

    ConfirmDialog {
        id: confirm
    }
}
