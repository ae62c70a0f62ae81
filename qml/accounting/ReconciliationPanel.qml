import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// Whether the books agree: debits with credits, every entry with itself,
// every account with its lines, and receivables, payables and cheques under
// collection with the invoices, instalments, contractors and cheques they
// stand for. One green line when they agree; otherwise each difference with
// both sides.
Rectangle {
    id: panel
    objectName: "reconciliationPanel"

    property var findings: []
    property bool checked: false

    function reload() {
        read.ask([])
    }

    // Read off the window's thread; the findings on screen stay until the
    // new ones arrive.
    readonly property bool loading: read.loading
    property ReportRead read: ReportRead {
        call: "reconcile"
        onAnswered: result => {
            panel.findings = result
            panel.checked = true
        }
    }

    implicitHeight: column.implicitHeight + 24
    radius: 12
    color: Theme.bgCard
    border.width: 1
    border.color: !checked ? Theme.borderColor : (findings.length === 0 ? Theme.successColor : Theme.dangerColor)

    component Cell: Text {
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        verticalAlignment: Text.AlignVCenter
        wrapMode: Text.Wrap
        font: Theme.body
        color: Theme.textPrimary
    }

    ColumnLayout {
        id: column
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 12
        spacing: 6

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 10
            Cell {
                objectName: "reconciliationSummary"
                Layout.fillWidth: true
                font.bold: true
                font.pixelSize: 14
                // While the books are read again the line says so, in its
                // own place, so nothing below it moves.
                text: panel.loading ? "مطابقة الدفاتر: جارٍ التحقق…"
                      : !panel.checked ? "مطابقة الدفاتر"
                      : panel.findings.length === 0
                        ? "✔ الدفاتر متطابقة: المدين يساوي الدائن، وأرصدة الحسابات تطابق قيودها وسجلاتها"
                        : "✖ الدفاتر غير متطابقة: " + panel.findings.length + " فرق"
                color: panel.loading || !panel.checked ? Theme.textPrimary
                       : panel.findings.length === 0 ? Theme.successColor : Theme.dangerColor
            }
            MButton {
                objectName: "reconcileButton"
                text: "تحقق الآن"
                outline: true
                implicitHeight: 32
                onClicked: panel.reload()
            }
        }

        ListView {
            id: list
            objectName: "reconciliationFindings"
            Layout.fillWidth: true
            Layout.preferredHeight: Math.min(contentHeight, 150)
            visible: panel.findings.length > 0
            clip: true
            spacing: 4
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }
            model: panel.findings
            delegate: Rectangle {
                id: finding
                required property var modelData
                required property int index
                objectName: "finding_" + index
                width: list.width
                height: findingColumn.implicitHeight + 10
                radius: 8
                color: Theme.bgElevated
                ColumnLayout {
                    id: findingColumn
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    anchors.leftMargin: 10
                    anchors.rightMargin: 10
                    spacing: 2
                    Cell {
                        objectName: "findingCheck"
                        Layout.fillWidth: true
                        font.bold: true
                        color: Theme.dangerColor
                        text: finding.modelData.check + (finding.modelData.subject ? " - " + finding.modelData.subject : "")
                              + " (" + (finding.modelData.currency_code || "") + ")"
                    }
                    Cell {
                        objectName: "findingSides"
                        Layout.fillWidth: true
                        color: Theme.textSecondary
                        text: finding.modelData.ledger_label + ": " + Input.isolate(Money.format(finding.modelData.ledger, finding.modelData.currency_id))
                              + "   |   " + finding.modelData.records_label + ": " + Input.isolate(Money.format(finding.modelData.records, finding.modelData.currency_id))
                              + "   |   الفرق: " + Input.isolate(Money.format(finding.modelData.difference, finding.modelData.currency_id))
                    }
                }
            }
        }
    }
}
