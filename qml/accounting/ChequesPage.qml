import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input
import "../components/Totals.js" as Totals

// Received and issued cheques: status boxes, tabs by kind, and cashing or
// returning a pending cheque. The list is paged and filtered in SQL.
Item {
    id: page
    objectName: "chequesPage"

    // One entry per tab: the list filters it applies.
    readonly property var tabFilters: [
        ({}),
        ({ "type": "received" }),
        ({ "type": "issued" }),
        ({ "status": "pending", "date_from": page.tomorrow() })
    ]
    property var statusBoxes: []

    function tomorrow() {
        var d = new Date()
        d.setDate(d.getDate() + 1)
        return Input.pad(d.getFullYear(), 4) + "-" + Input.pad(d.getMonth() + 1, 2) + "-" + Input.pad(d.getDate(), 2)
    }

    function reload() {
        var boxes = [
            { "status": "pending", "label": "معلق", "color": "#f59e0b" },
            { "status": "paid", "label": "تم الصرف", "color": "#22c55e" },
            { "status": "bounced", "label": "مرتجع", "color": "#ef4444" }
        ]
        // Counted and summed by SQL: a long-kept office has tens of
        // thousands of cheques, too many to read as rows for three figures.
        for (var i = 0; i < boxes.length; ++i) {
            var totals = chequeModel.getStatusTotals(boxes[i].status)
            boxes[i].count = totals.count
            boxes[i].sums = totals.sums
        }
        statusBoxes = boxes
        chequeList.filters = tabFilters[tabs.currentIndex]
        chequeList.searchText = search.text.trim()
        chequeList.reload()
    }

    // "" when done, else the reason, as the confirm dialog expects.
    function bounce(id) {
        return chequeModel.updateStatus(id, "bounced") ? "" : Input.refusal(chequeModel)
    }

    function setStatus(id, status) {
        if (!chequeModel.updateStatus(id, status))
            failure.text = Input.refusal(chequeModel)
        else
            failure.text = ""
    }

    Component.onCompleted: reload()
    onVisibleChanged: if (visible) reload()

    DataWatch {
        targets: [chequeModel, currencyModel]
        active: page.visible
        onChanged: page.reload()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 16

        PageHeader {
            Layout.fillWidth: true
            title: "إدارة الشيكات"
            subtitle: "تتبع الشيكات الصادرة والواردة - متعدد العملات"
            extraContent: [
                MButton {
                    objectName: "addChequeButton"
                    text: "+ تسجيل شيك"
                    onClicked: addDialog.open()
                }
            ]
        }

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 14
            Repeater {
                model: page.statusBoxes
                delegate: Rectangle {
                    id: box
                    required property var modelData
                    objectName: "chequeStatusBox_" + modelData.status
                    Layout.fillWidth: true
                    Layout.preferredHeight: 76
                    radius: 12
                    color: Theme.bgCard
                    border.width: 1
                    border.color: box.modelData.color
                    ColumnLayout {
                        anchors.fill: parent
                        anchors.margins: 12
                        spacing: 4
                        Text {
                            objectName: "chequeStatusCount"
                            Layout.fillWidth: true
                            text: box.modelData.label + ": " + box.modelData.count
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            font: Theme.bodyLargeBold
                            color: box.modelData.color
                        }
                        Text {
                            objectName: "chequeStatusSum"
                            Layout.fillWidth: true
                            text: Totals.format(box.modelData.sums, Money)
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.titleBold
                            color: Theme.textPrimary
                        }
                    }
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 12
            TabBar {
                id: tabs
                objectName: "chequeTabs"
                Layout.preferredWidth: 560
                onCurrentIndexChanged: page.reload()
                background: Rectangle { color: "transparent" }
                Repeater {
                    model: ["الكل", "الشيكات الواردة", "الشيكات الصادرة", "مؤجلة (مستقبلية)"]
                    delegate: TabButton {
                        id: tab
                        required property string modelData
                        required property int index
                        objectName: "chequeTab_" + index
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
            SearchBar {
                id: search
                objectName: "chequeSearch"
                Layout.fillWidth: true
                placeholderText: "بحث برقم الشيك أو البنك أو الاسم..."
                onQueryChanged: page.reload()
            }
        }

        ErrorBanner {
            id: failure
            objectName: "chequeFailure"
            Layout.fillWidth: true
        }

        PagedList {
            id: list
            objectName: "chequeList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: chequeList
            narrowed: search.text.trim() !== ""
            emptyText: tabs.currentIndex === 3 ? "لا توجد شيكات مؤجلة" : "لا توجد شيكات بعد"
            noMatchText: "لا يوجد شيك مطابق للبحث"

            delegate: Rectangle {
                id: row
                required property int index
                required property var model
                readonly property bool pending: model.status === "pending"
                objectName: "chequeRow_" + model.cheque_number
                width: list.width
                height: 64
                radius: 10
                color: Theme.bgCard
                border.width: 1
                border.color: Theme.borderColor

                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 12
                    anchors.rightMargin: 16
                    layoutDirection: Qt.RightToLeft
                    spacing: 14

                    Text {
                        text: row.model.type === "received" ? "📥" : "📤"
                        font.pixelSize: 22
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 2
                        Text {
                            Layout.fillWidth: true
                            text: "رقم: " + row.model.cheque_number
                                  + ((row.model.payer_name || row.model.payee_name)
                                     ? " - " + (row.model.payer_name || row.model.payee_name) : "")
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.bodyLargeBold
                            color: Theme.textPrimary
                        }
                        Text {
                            Layout.fillWidth: true
                            text: (row.model.bank_name || "-") + " | استحقاق: " + Input.isolate(row.model.due_date)
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.small
                            color: Theme.textSecondary
                        }
                    }
                    Text {
                        objectName: "chequeAmount"
                        Layout.preferredWidth: 150
                        text: Money.format(row.model.amount, row.model.currency_id)
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        font: Theme.bodyLargeBold
                        color: Theme.accentGold
                    }
                    StatusBadge {
                        objectName: "chequeStatus"
                        text: row.model.status === "paid" ? "تم الصرف" : row.pending ? "مؤجل" : "مرتجع"
                        textColor: row.model.status === "paid" ? "#22c55e" : row.pending ? "#f59e0b" : "#ef4444"
                    }
                    Row {
                        Layout.preferredWidth: 190
                        layoutDirection: Qt.RightToLeft
                        spacing: 6
                        visible: row.pending
                        MButton {
                            objectName: "cashChequeButton"
                            implicitHeight: 34
                            text: "✔ صرف"
                            btnColor: Theme.successColor
                            textColor: "#ffffff"
                            onClicked: page.setStatus(row.model.id, "paid")
                        }
                        MButton {
                            objectName: "bounceChequeButton"
                            implicitHeight: 34
                            text: "✕ ارتجاع"
                            outline: true
                            btnColor: "#ef4444"
                            // The action is bound to the page: the row may be rebuilt
                            // while the question is open.
                            onClicked: confirm.ask("ارتجاع شيك", "هل تريد تسجيل الشيك رقم «"
                                                   + row.model.cheque_number + "» كشيك مرتجع؟", "ارتجاع",
                                                   page.bounce.bind(page, row.model.id))
                        }
                    }
                    Item {
                        Layout.preferredWidth: 190
                        visible: !row.pending
                    }
                }
            }
        }
    }

    ChequeAddDialog {
        id: addDialog
    }

    ConfirmDialog {
        id: confirm
    }
}
