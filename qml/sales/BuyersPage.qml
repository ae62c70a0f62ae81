import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Totals.js" as Totals

// Buyers and unit sales: each buyer with what is still owed, and the sale,
// instalments, cheque and statement dialogs opened from the buyer's row.
Item {
    id: page
    objectName: "buyersPage"

    // The confirmation of the last save made from a dialog that changes
    // nothing else on the page (a cheque kept for follow-up, say).
    property string notice: ""

    // What a buyer still owes, each currency apart ("90,000.00 ₪ + 4,000.00
    // $"); empty until the list reader has summed it. The list is paged and
    // read in SQL; sales, instalments and cheques bring it up to date.
    // Reads the rows and balances again (after rows written some other way).
    function reload() {
        buyerList.refresh()
    }

    function balanceText(balances) {
        return balances ? Totals.format(balances, Money) : ""
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "المشترون والمبيعات"
            subtitle: "إدارة المشترين وعقود التمليك والأقساط"
            extraContent: [
                MButton {
                    objectName: "addBuyerButton"
                    text: "+ مشتري جديد"
                    onClicked: addDialog.get().open()
                }
            ]
        }

        Rectangle {
            objectName: "buyersNotice"
            visible: page.notice !== ""
            Layout.fillWidth: true
            implicitHeight: noticeText.implicitHeight + 16
            radius: 10
            color: Theme.bgElevated
            border.width: 1
            border.color: Theme.successColor
            Text {
                id: noticeText
                objectName: "buyersNoticeText"
                anchors.fill: parent
                anchors.margins: 8
                text: "✅ " + page.notice
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignRight
                verticalAlignment: Text.AlignVCenter
                wrapMode: Text.Wrap
                font: Theme.body
                color: Theme.successColor
            }
            Timer {
                running: page.notice !== ""
                interval: 8000
                onTriggered: page.notice = ""
            }
        }

        PagedList {
            id: list
            objectName: "buyerList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: buyerList
            emptyText: "لا يوجد مشترون بعد"

            delegate: Rectangle {
                id: row
                required property int index
                required property var model
                objectName: "buyerRow_" + (model.full_name || "")
                width: list.width
                height: 76
                radius: 12
                color: Theme.bgCard
                border.width: 1
                border.color: Theme.borderColor

                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 14
                    anchors.rightMargin: 18
                    layoutDirection: Qt.RightToLeft
                    spacing: 14

                    Rectangle {
                        Layout.preferredWidth: 44
                        Layout.preferredHeight: 44
                        radius: 22
                        color: Theme.bgElevated
                        Text {
                            anchors.centerIn: parent
                            text: "👤"
                            font.pixelSize: 20
                        }
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 4
                        Text {
                            Layout.fillWidth: true
                            text: row.model.full_name || ""
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.subtitleBold
                            color: Theme.textPrimary
                        }
                        Text {
                            Layout.fillWidth: true
                            text: "رقم الهوية: " + (row.model.id_number || "-")
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.small
                            color: Theme.textSecondary
                        }
                    }
                    ColumnLayout {
                        Layout.preferredWidth: 200
                        spacing: 2
                        Text {
                            id: balanceText
                            objectName: "buyerBalance"
                            Layout.fillWidth: true
                            text: page.balanceText(row.model.balances)
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            fontSizeMode: Text.HorizontalFit
                            minimumPixelSize: 10
                            elide: Text.ElideLeft
                            font: Theme.subtitleBold
                            color: Theme.accentGold
                            ToolTip.visible: balanceHover.hovered && balanceText.truncated
                            ToolTip.text: balanceText.text
                            HoverHandler { id: balanceHover }
                        }
                        Text {
                            Layout.fillWidth: true
                            text: "رصيد المشتري"
                            horizontalAlignment: Text.AlignRight
                            font: Theme.caption
                            color: Theme.textMuted
                        }
                    }
                    Row {
                        layoutDirection: Qt.RightToLeft
                        spacing: 6
                        MButton {
                            objectName: "sellButton"
                            implicitHeight: 34
                            text: "💰 بيع"
                            outline: true
                            onClicked: salesDialog.get().show(row.model.id, row.model.full_name)
                        }
                        MButton {
                            objectName: "installmentsButton"
                            implicitHeight: 34
                            text: "📅 أقساط"
                            outline: true
                            onClicked: installmentsDialog.get().show(row.model.id, row.model.full_name)
                        }
                        MButton {
                            objectName: "buyerChequeButton"
                            implicitHeight: 34
                            text: "🎫 شيك"
                            outline: true
                            onClicked: chequeDialog.get().show(row.model.id, row.model.full_name)
                        }
                        MButton {
                            objectName: "buyerStatementButton"
                            implicitHeight: 34
                            text: "📄 كشف"
                            outline: true
                            onClicked: statementDialog.get().show(row.model.id, row.model.full_name)
                        }
                    }
                }
            }
        }
    }

    LazyDialog {
        id: addDialog
        dialogComponent: Component { BuyerAddDialog {} }
    }
    LazyDialog {
        id: salesDialog
        dialogComponent: Component { SalesDialog {} }
    }
    LazyDialog {
        id: installmentsDialog
        dialogComponent: Component { InstallmentsDialog {} }
    }
    LazyDialog {
        id: chequeDialog
        dialogComponent: Component {
            BuyerChequeDialog {
                onSaved: message => page.notice = message
            }
        }
    }
    LazyDialog {
        id: statementDialog
        dialogComponent: Component { BuyerStatementDialog {} }
    }
}
