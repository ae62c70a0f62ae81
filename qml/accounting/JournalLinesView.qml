import QtQuick
import QtQuick.Layouts
import "../components"

// The lines of one journal entry in columns: account, debit, credit, in the
// entry's own currency. `entry` is a row of accountModel.getJournalEntry.
ColumnLayout {
    id: view
    objectName: "journalLinesView"

    property var entry: ({})
    readonly property var lines: entry.line_items !== undefined ? entry.line_items : []

    spacing: 0

    component Cell: Text {
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideLeft
        font: Theme.small
        color: Theme.textPrimary
    }

    RowLayout {
        Layout.fillWidth: true
        Layout.preferredHeight: 22
        layoutDirection: Qt.RightToLeft
        spacing: 10
        Cell { Layout.fillWidth: true; text: "الحساب"; font.bold: true; color: Theme.textMuted; font.pixelSize: 11 }
        Cell { Layout.preferredWidth: 130; text: "مدين"; font.bold: true; color: Theme.textMuted; font.pixelSize: 11 }
        Cell { Layout.preferredWidth: 130; text: "دائن"; font.bold: true; color: Theme.textMuted; font.pixelSize: 11 }
    }

    Repeater {
        model: view.lines
        delegate: Rectangle {
            id: line
            required property var modelData
            required property int index
            objectName: "journalLine_" + index
            Layout.fillWidth: true
            Layout.preferredHeight: 24
            color: "transparent"
            Rectangle {
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.top: parent.top
                height: 1
                color: Theme.borderColor
            }
            RowLayout {
                anchors.fill: parent
                layoutDirection: Qt.RightToLeft
                spacing: 10
                Cell {
                    objectName: "journalLineAccount"
                    Layout.fillWidth: true
                    // A credit line sits a step in, as a journal is written.
                    leftPadding: 0
                    rightPadding: Number(line.modelData.credit) > 0 && Number(line.modelData.debit) === 0 ? 24 : 0
                    text: (line.modelData.code ? line.modelData.code + " " : "") + (line.modelData.name_ar || "")
                }
                Cell {
                    objectName: "journalLineDebit"
                    Layout.preferredWidth: 130
                    text: Number(line.modelData.debit) !== 0 ? Money.format(line.modelData.debit, view.entry.currency_id) : ""
                }
                Cell {
                    objectName: "journalLineCredit"
                    Layout.preferredWidth: 130
                    text: Number(line.modelData.credit) !== 0 ? Money.format(line.modelData.credit, view.entry.currency_id) : ""
                }
            }
        }
    }
}
