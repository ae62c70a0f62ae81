import QtQuick
import QtQuick.Layouts
import "../components"
import "../components/ChequeWords.js" as ChequeWords
import "../components/Input.js" as Input

// "جدول الأقساط - …": one buyer's instalments by due date, read afresh on
// every opening and whenever instalments change while it is open.
MDialog {
    id: dialog

    property int buyerId: 0
    property string buyerName: ""
    property var installments: []

    objectName: "installmentsDialog"
    title: "جدول الأقساط - " + buyerName
    width: 850
    height: 650

    function show(id, name) {
        buyerId = id
        buyerName = name
        open()
    }

    // Read at each reload, so a dialog left open past midnight moves on.
    property string today: Input.today()

    function reload() {
        today = Input.today()
        installments = buyerId > 0 ? installmentModel.getByBuyer(buyerId) : []
    }

    onAboutToShow: reload()

    DataWatch {
        targets: [installmentModel]
        active: dialog.visible
        onChanged: dialog.reload()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 14

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            Text {
                Layout.fillWidth: true
                text: "الأقساط المستحقة"
                horizontalAlignment: Text.AlignRight
                font: Theme.titleBold
                color: Theme.textPrimary
            }
            MButton {
                objectName: "addInstallmentButton"
                text: "+ إضافة قسط"
                onClicked: addDialog.open()
            }
        }

        PagedList {
            id: list
            objectName: "installmentList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            rows: dialog.installments
            emptyText: "لا توجد أقساط لهذا المشتري بعد"

            delegate: Rectangle {
                id: row
                required property int index
                readonly property var item: list.rowAt(index)
                readonly property bool paid: item.status === "paid"
                readonly property real remaining: Number(item.installment_amount) - Number(item.paid_amount || 0)
                // Due before today and not fully paid. Dates are "yyyy-MM-dd",
                // so they compare as text.
                readonly property bool overdue: !paid && String(item.due_date || "") !== ""
                                                && String(item.due_date) < dialog.today
                objectName: "installmentRow_" + index
                width: list.width
                height: 62
                radius: 10
                color: overdue ? (Theme.dark ? "#2a1417" : "#fdf0f0") : Theme.bgCard
                border.width: overdue ? 1.5 : 1
                border.color: overdue ? Theme.dangerColor : Theme.borderColor

                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 12
                    anchors.rightMargin: 16
                    layoutDirection: Qt.RightToLeft
                    spacing: 14

                    Text {
                        objectName: "installmentDueDate"
                        Layout.preferredWidth: 90
                        text: row.item.due_date || ""
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        font: row.overdue ? Theme.bodyBold : Theme.body
                        color: row.overdue ? Theme.dangerColor : Theme.textSecondary
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 2
                        Text {
                            Layout.fillWidth: true
                            text: "قسط شقة " + row.item.unit_number
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.bodyLargeBold
                            color: Theme.textPrimary
                        }
                        Text {
                            Layout.fillWidth: true
                            text: row.item.cheque_number
                                  ? "شيك رقم: " + Input.isolate(row.item.cheque_number) + " ("
                                    + (row.item.bank_name || "-") + ")"
                                    + (row.item.cheque_status ? " - " + ChequeWords.statusText(row.item.cheque_status, false) : "")
                                  : "دفع نقدي / دفعات"
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
                            objectName: "installmentAmount"
                            Layout.fillWidth: true
                            text: Money.format(row.item.installment_amount, row.item.currency_id)
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            font: Theme.bodyLargeBold
                            color: Theme.accentGold
                        }
                        Text {
                            objectName: "installmentPaid"
                            Layout.fillWidth: true
                            visible: Number(row.item.paid_amount) > 0 && !row.paid
                            text: "المدفوع: " + Input.isolate(Money.format(row.item.paid_amount, row.item.currency_id))
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            font: Theme.caption
                            color: Theme.textSecondary
                        }
                    }
                    StatusBadge {
                        objectName: "installmentStatus"
                        text: row.paid ? "مدفوع"
                              : row.overdue ? (row.item.status === "partial" ? "متأخر، مدفوع جزئياً" : "متأخر")
                              : row.item.status === "partial" ? "مدفوع جزئياً" : "معلق"
                        textColor: row.paid ? Theme.successColor
                                   : row.overdue ? Theme.dangerColor
                                   : row.item.status === "partial" ? Theme.accentGold : Theme.warningColor
                    }
                    Item {
                        Layout.preferredWidth: 44
                        Layout.preferredHeight: 34
                        MButton {
                            objectName: "collectInstallmentButton"
                            anchors.fill: parent
                            visible: !row.paid
                            leftPadding: 4
                            rightPadding: 4
                            text: "✔️"
                            btnColor: Theme.successColor
                            textColor: "#ffffff"
                            onClicked: payDialog.show(row.item, row.remaining)
                        }
                    }
                }
            }
        }
    }

    InstallmentPayDialog {
        id: payDialog
    }

    InstallmentAddDialog {
        id: addDialog
        buyerId: dialog.buyerId
    }
}
