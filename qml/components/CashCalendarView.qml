import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// What is due in and out over the next 7, 30 or 90 days, per currency: a
// compact card on the dashboard (totals per currency), in full on the cheques
// page (day by day, printable). What fell due earlier and is still open
// leads as one "overdue" line. Currencies are never added together.
Rectangle {
    id: view
    objectName: "cashCalendar"

    property bool compact: false
    property int days: 30
    property var calendar: ({})
    readonly property var currencies: calendar.currencies || []
    // How many times the figures were read; lets a caller wait for a reload.
    property int loadCount: 0

    readonly property bool loading: read.loading

    function reload() {
        read.ask([days])
    }

    // Read off the window's thread; the figures on screen stay until the
    // new ones arrive.
    property ReportRead read: ReportRead {
        call: "calendar"
        onAnswered: result => {
            view.calendar = result
            view.loadCount += 1
        }
    }

    function hasOverdue(currency) {
        var late = currency.overdue || {}
        return (late["in"] || 0) !== 0 || (late.out || 0) !== 0
    }

    function amount(value, currencyId) {
        return "\u2068" + Money.format(value, currencyId) + "\u2069"
    }

    function linesText(lines, currencyId) {
        var parts = []
        for (var i = 0; i < lines.length; ++i)
            parts.push((lines[i].direction === "out" ? "− " : "+ ") + lines[i].label + " "
                       + amount(lines[i].amount, currencyId))
        return parts.join("  ·  ")
    }

    // The calendar as a printable report: one row per currency and day.
    function printCalendar() {
        var rows = []
        for (var i = 0; i < currencies.length; ++i) {
            var c = currencies[i]
            if (hasOverdue(c))
                rows.push({ "1 التاريخ": "متأخر", "2 العملة": c.code,
                            "3 الوارد": Money.plain(c.overdue["in"], c.currency_id),
                            "4 الصادر": Money.plain(c.overdue.out, c.currency_id),
                            "5 الصافي": Money.plain(c.overdue.net, c.currency_id) })
            for (var j = 0; j < c.days.length; ++j) {
                var d = c.days[j]
                rows.push({ "1 التاريخ": d.date, "2 العملة": c.code,
                            "3 الوارد": Money.plain(d["in"], c.currency_id),
                            "4 الصادر": Money.plain(d.out, c.currency_id),
                            "5 الصافي": Money.plain(d.net, c.currency_id) })
            }
        }
        var summary = {}
        summary["الفترة"] = calendar.from + " - " + calendar.to
        for (var k = 0; k < currencies.length; ++k) {
            var cur = currencies[k]
            summary["الصافي " + cur.code] = Money.format(cur.net, cur.currency_id) + " (وارد "
                    + Money.format(cur["in"], cur.currency_id) + "، صادر "
                    + Money.format(cur.out, cur.currency_id) + ")"
        }
        printCtrl.printReport("التقويم النقدي - " + days + " يوماً", "cash_calendar", rows, summary)
    }

    onDaysChanged: reload()
    Component.onCompleted: reload()
    onVisibleChanged: if (visible) reload()

    DataWatch {
        targets: [chequeModel, paymentModel, installmentModel, invoiceModel, currencyModel,
            contractorModel, expenseModel]
        active: view.visible
        onChanged: view.reload()
    }

    implicitHeight: column.implicitHeight + 28
    radius: 14
    color: Theme.bgCard
    border.width: 1
    border.color: Theme.borderColor

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 14
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 8
            Text {
                Layout.fillWidth: true
                text: "📆 التقويم النقدي"
                horizontalAlignment: Text.AlignRight
                font: Theme.titleBold
                color: Theme.accentGold
            }
            LoadingNote {
                objectName: "cashCalendarLoading"
                loading: view.loading
            }
            Repeater {
                model: [7, 30, 90]
                delegate: MButton {
                    id: span
                    required property int modelData
                    objectName: "cashDays_" + modelData
                    implicitHeight: 28
                    implicitWidth: 64
                    text: modelData + " يوم"
                    font: Theme.smallBold
                    outline: view.days !== modelData
                    onClicked: view.days = modelData
                }
            }
            MButton {
                objectName: "cashPrintButton"
                visible: !view.compact
                implicitHeight: 28
                text: "🖨 طباعة"
                font: Theme.smallBold
                outline: true
                onClicked: view.printCalendar()
            }
        }

        Text {
            objectName: "cashEmpty"
            Layout.fillWidth: true
            visible: view.currencies.length === 0
            text: "لا شيء مستحق خلال " + view.days + " يوماً"
            horizontalAlignment: Text.AlignRight
            font: Theme.body
            color: Theme.textSecondary
        }

        Repeater {
            model: view.currencies
            delegate: ColumnLayout {
                id: block
                required property var modelData
                objectName: "cashCurrency_" + modelData.code
                Layout.fillWidth: true
                spacing: 4

                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 14
                    Text {
                        Layout.preferredWidth: 46
                        text: block.modelData.code
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        font: Theme.bodyBold
                        color: Theme.textPrimary
                    }
                    Text {
                        objectName: "cashIn"
                        Layout.fillWidth: true
                        text: "وارد " + view.amount(block.modelData["in"], block.modelData.currency_id)
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        elide: Text.ElideLeft
                        font: Theme.body
                        color: Theme.successColor
                    }
                    Text {
                        objectName: "cashOut"
                        Layout.fillWidth: true
                        text: "صادر " + view.amount(block.modelData.out, block.modelData.currency_id)
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        elide: Text.ElideLeft
                        font: Theme.body
                        color: Theme.dangerColor
                    }
                    Text {
                        objectName: "cashNet"
                        Layout.fillWidth: true
                        text: "الصافي " + view.amount(block.modelData.net, block.modelData.currency_id)
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        elide: Text.ElideLeft
                        font: Theme.bodyBold
                        color: Theme.textPrimary
                    }
                }

                // Still open from before the first day: one line, first.
                Rectangle {
                    id: lateRow
                    objectName: "cashOverdue"
                    readonly property var late: block.modelData.overdue || ({})
                    visible: view.hasOverdue(block.modelData)
                    Layout.fillWidth: true
                    implicitHeight: view.compact ? 26 : 40
                    radius: 8
                    color: view.compact ? "transparent" : Theme.bgElevated
                    border.width: view.compact ? 0 : 1
                    border.color: Theme.dangerColor
                    RowLayout {
                        anchors.fill: parent
                        anchors.leftMargin: 10
                        anchors.rightMargin: view.compact ? 0 : 10
                        layoutDirection: Qt.RightToLeft
                        spacing: 12
                        Text {
                            Layout.preferredWidth: view.compact ? 46 : 90
                            text: "⚠ متأخر"
                            horizontalAlignment: Text.AlignRight
                            font: Theme.smallBold
                            color: Theme.dangerColor
                        }
                        Text {
                            objectName: "cashOverdueLines"
                            Layout.fillWidth: true
                            text: view.compact
                                  ? "وارد " + view.amount(lateRow.late["in"] || 0, block.modelData.currency_id)
                                    + "  ·  صادر " + view.amount(lateRow.late.out || 0, block.modelData.currency_id)
                                  : view.linesText(lateRow.late.lines || [], block.modelData.currency_id)
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.small
                            color: Theme.textSecondary
                        }
                        Text {
                            Layout.preferredWidth: 150
                            visible: !view.compact
                            text: "الصافي " + view.amount(lateRow.late.net || 0, block.modelData.currency_id)
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            font: Theme.smallBold
                            color: (lateRow.late.net || 0) < 0 ? Theme.dangerColor : Theme.successColor
                        }
                    }
                }

                Repeater {
                    model: view.compact ? [] : block.modelData.days
                    delegate: Rectangle {
                        id: dayRow
                        required property var modelData
                        objectName: "cashDay"
                        Layout.fillWidth: true
                        implicitHeight: 40
                        radius: 8
                        color: Theme.bgElevated
                        RowLayout {
                            anchors.fill: parent
                            anchors.leftMargin: 10
                            anchors.rightMargin: 10
                            layoutDirection: Qt.RightToLeft
                            spacing: 12
                            Text {
                                objectName: "cashDayDate"
                                Layout.preferredWidth: 90
                                text: dayRow.modelData.date
                                textFormat: Text.PlainText
                                horizontalAlignment: Text.AlignRight
                                font: Theme.smallBold
                                color: Theme.textPrimary
                            }
                            Text {
                                Layout.fillWidth: true
                                text: view.linesText(dayRow.modelData.lines, block.modelData.currency_id)
                                textFormat: Text.PlainText
                                horizontalAlignment: Text.AlignRight
                                elide: Text.ElideLeft
                                font: Theme.small
                                color: Theme.textSecondary
                            }
                            Text {
                                Layout.preferredWidth: 150
                                text: "الصافي " + view.amount(dayRow.modelData.net, block.modelData.currency_id)
                                textFormat: Text.PlainText
                                horizontalAlignment: Text.AlignRight
                                font: Theme.smallBold
                                color: dayRow.modelData.net < 0 ? Theme.dangerColor : Theme.successColor
                            }
                        }
                    }
                }
            }
        }
    }
}
