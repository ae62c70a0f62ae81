import QtQuick
import QtQuick.Layouts
import "../components"

// The balance sheet as one line: assets against liabilities, equity and the
// profit not yet closed into equity, with what is left over (zero when the
// books balance). Amounts are in the primary currency.
Rectangle {
    id: panel
    objectName: "balanceEquationPanel"

    property var sheet: ({})
    // Revenue and expense accounts as the chart lists them, for files whose
    // balance sheet does not carry the profit itself.
    property var accounts: []

    function reload() {
        sheet = accountModel.getBalanceSheet()
    }

    readonly property real profit: {
        if (sheet.profit !== undefined)
            return Number(sheet.profit)
        // Revenue is kept as credit (negative), expenses as debit.
        var sum = 0
        for (var i = 0; i < accounts.length; ++i)
            if (accounts[i].type === "revenue" || accounts[i].type === "expense")
                sum += Number(accounts[i].balance || 0)
        return -sum
    }
    readonly property real difference: sheet.difference !== undefined
        ? Number(sheet.difference)
        : Number(sheet.assets || 0) - (Number(sheet.liabilities || 0) + Number(sheet.equity || 0) + profit)
    readonly property bool balanced: Math.abs(difference) < 0.005

    implicitHeight: row.implicitHeight + 20
    radius: 12
    color: Theme.bgCard
    border.width: 1
    border.color: balanced ? Theme.borderColor : Theme.dangerColor

    component Figure: ColumnLayout {
        property string label: ""
        property real amount: 0
        property color tint: Theme.textPrimary
        spacing: 2
        Text {
            Layout.alignment: Qt.AlignHCenter
            text: parent.label
            textFormat: Text.PlainText
            font: Theme.caption
            color: Theme.textSecondary
        }
        Text {
            objectName: "figureAmount"
            Layout.alignment: Qt.AlignHCenter
            text: Money.format(Math.abs(parent.amount) < 0.005 ? 0 : parent.amount, 0)
            textFormat: Text.PlainText
            font: Theme.bodyLargeBold
            color: parent.tint
        }
    }
    component Sign: Text {
        textFormat: Text.PlainText
        font: Theme.headingLargeBold
        color: Theme.accentGold
    }

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.margins: 10
        layoutDirection: Qt.RightToLeft
        spacing: 10
        Text {
            text: "الميزانية:"
            textFormat: Text.PlainText
            font: Theme.bodyBold
            color: Theme.textPrimary
        }
        Figure { objectName: "sheetAssets"; Layout.fillWidth: true; label: "الأصول"; amount: Number(panel.sheet.assets || 0) }
        Sign { text: "=" }
        Figure { objectName: "sheetLiabilities"; Layout.fillWidth: true; label: "الخصوم"; amount: Number(panel.sheet.liabilities || 0) }
        Sign { text: "+" }
        Figure { objectName: "sheetEquity"; Layout.fillWidth: true; label: "حقوق الملكية"; amount: Number(panel.sheet.equity || 0) }
        Sign { text: "+" }
        Figure { objectName: "sheetProfit"; Layout.fillWidth: true; label: "ربح الفترة"; amount: panel.profit }
        Rectangle { Layout.preferredWidth: 1; Layout.fillHeight: true; color: Theme.borderColor }
        Figure {
            objectName: "sheetDifference"
            Layout.fillWidth: true
            label: "الفرق"
            amount: panel.difference
            tint: panel.balanced ? Theme.successColor : Theme.dangerColor
        }
    }
}
