import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input
import "../components/Totals.js" as Totals
import "../components/ChequeWords.js" as ChequeWords

// Received and issued cheques: status boxes (received and issued apart),
// tabs by kind, cashing or returning a pending cheque, replacing a bounced
// one, and the cash calendar. The list is paged and filtered in SQL.
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

    // The status boxes, read in one grouped read.
    function loadBoxes() {
        var boxes = [
            { "status": "pending" },
            { "status": "paid" },
            { "status": "bounced" }
        ]
        // Counted and summed by SQL in one read, received and issued apart:
        // money coming in is never added to money going out.
        var totals = chequeModel.getRegisterTotals()
        for (var i = 0; i < boxes.length; ++i) {
            boxes[i].label = ChequeWords.statusText(boxes[i].status, false)
            boxes[i].color = ChequeWords.statusColor(boxes[i].status, false)
            boxes[i].received = totals.received[boxes[i].status]
            boxes[i].issued = totals.issued[boxes[i].status]
        }
        statusBoxes = boxes
    }

    // The tab's filters and the search; the list reads again only when
    // they change, so the rows on screen are not built twice.
    function applyQuery() {
        if (tabs.currentIndex >= 0 && tabs.currentIndex < tabFilters.length)
            chequeList.filters = tabFilters[tabs.currentIndex]
        chequeList.searchText = search.text.trim()
    }

    function reload() {
        loadBoxes()
        applyQuery()
        chequeList.refresh()
    }

    function boxLine(totals) {
        return totals.count + " - " + Input.isolate(totals.count > 0 ? Totals.format(totals.sums, Money)
                                                                     : Money.format(0, 0))
    }

    // A plain copy of a list row: the row itself goes when the list reloads.
    function rowOf(m) {
        var keys = ["id", "cheque_number", "type", "status", "amount", "currency_id", "bank_name",
                    "due_date", "payer_name", "payee_name", "installment_id", "payment_id",
                    "replaced_by_payment_id", "contractor_payment_id"]
        var out = {}
        for (var i = 0; i < keys.length; ++i)
            out[keys[i]] = m[keys[i]]
        return out
    }

    function clearCheque(id) {
        failure.text = chequeModel.clear(id) ? "" : Input.refusal(chequeModel)
    }

    // Read once when the page is first shown, and again each time it is.
    Component.onCompleted: if (visible) reload()
    onVisibleChanged: if (visible) reload()

    DataWatch {
        targets: [chequeModel, currencyModel, paymentModel, installmentModel]
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
                    onClicked: addDialog.get().open()
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
                    Layout.preferredHeight: 84
                    radius: 12
                    color: Theme.bgCard
                    border.width: 1
                    border.color: box.modelData.color
                    ColumnLayout {
                        anchors.fill: parent
                        anchors.margins: 10
                        spacing: 2
                        Text {
                            objectName: "chequeStatusLabel"
                            Layout.fillWidth: true
                            text: box.modelData.label
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            font: Theme.bodyLargeBold
                            color: box.modelData.color
                        }
                        Text {
                            objectName: "chequeReceivedLine"
                            Layout.fillWidth: true
                            text: "📥 واردة: " + page.boxLine(box.modelData.received)
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            // Large sums in two currencies shrink to fit the box
                            // before anything is cut off.
                            fontSizeMode: Text.HorizontalFit
                            minimumPixelSize: 9
                            elide: Text.ElideLeft
                            font: Theme.bodyBold
                            color: Theme.textPrimary
                        }
                        Text {
                            objectName: "chequeIssuedLine"
                            Layout.fillWidth: true
                            text: "📤 صادرة: " + page.boxLine(box.modelData.issued)
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            // Large sums in two currencies shrink to fit the box
                            // before anything is cut off.
                            fontSizeMode: Text.HorizontalFit
                            minimumPixelSize: 9
                            elide: Text.ElideLeft
                            font: Theme.bodyBold
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
                Layout.preferredWidth: 700
                onCurrentIndexChanged: if (page.visible) page.applyQuery()
                background: Rectangle { color: "transparent" }
                Repeater {
                    model: ["الكل", "الشيكات الواردة", "الشيكات الصادرة", "مؤجلة (مستقبلية)", "التقويم النقدي"]
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
                visible: tabs.currentIndex < 4
                objectName: "chequeSearch"
                Layout.fillWidth: true
                placeholderText: "بحث برقم الشيك أو البنك أو الاسم..."
                onQueryChanged: page.applyQuery()
            }
        }

        ErrorBanner {
            id: failure
            objectName: "chequeFailure"
            Layout.fillWidth: true
        }

        Flickable {
            objectName: "cashCalendarScroll"
            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: tabs.currentIndex === 4
            clip: true
            contentHeight: calendarLoader.implicitHeight
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}
            // Built when its tab is chosen: the calendar reads every open
            // invoice, instalment, cheque and bill, which opening the page
            // should not wait for.
            Loader {
                id: calendarLoader
                width: parent.width - 14
                active: tabs.currentIndex === 4
                sourceComponent: CashCalendarView {
                    days: 30
                }
            }
        }

        PagedList {
            id: list
            objectName: "chequeList"
            visible: tabs.currentIndex < 4
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
                readonly property bool received: model.type !== "issued"
                readonly property bool replaced: model.replaced_by_payment_id > 0
                readonly property bool replaceable: model.status === "bounced" && received && !replaced
                                                    && (model.installment_id > 0 || model.payment_id > 0)
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
                            text: "رقم: " + Input.isolate(row.model.cheque_number)
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
                        text: ChequeWords.statusText(row.model.status, row.replaced)
                        textColor: ChequeWords.statusColor(row.model.status, row.replaced)
                    }
                    Row {
                        Layout.preferredWidth: 190
                        layoutDirection: Qt.RightToLeft
                        spacing: 6
                        MButton {
                            objectName: "cashChequeButton"
                            visible: row.pending
                            implicitHeight: 34
                            text: "✔ صرف"
                            btnColor: Theme.successColor
                            textColor: "#ffffff"
                            onClicked: page.clearCheque(row.model.id)
                        }
                        MButton {
                            objectName: "bounceChequeButton"
                            visible: row.pending
                            implicitHeight: 34
                            text: "✕ ارتجاع"
                            outline: true
                            btnColor: "#ef4444"
                            onClicked: bounceDialog.get().openFor(page.rowOf(row.model))
                        }
                        MButton {
                            objectName: "replaceChequeButton"
                            visible: row.replaceable
                            implicitHeight: 34
                            text: "↻ استبدال"
                            outline: true
                            onClicked: bounceDialog.get().openFor(page.rowOf(row.model))
                        }
                    }
                }
            }
        }
    }

    LazyDialog {
        id: addDialog
        dialogComponent: Component { ChequeAddDialog {} }
    }

    LazyDialog {
        id: bounceDialog
        dialogComponent: Component { ChequeBounceDialog {} }
    }
}
