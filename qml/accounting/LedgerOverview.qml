import QtQuick
import QtQuick.Layouts
import "../components"

// The state of the books on one tab: whether they agree with their records,
// the balance sheet as an equation, and the trial balance. Reading them goes
// over the whole journal, so the tab reads them when it is shown and when the
// ledger changes while it is in view, not when the page opens.
ColumnLayout {
    id: overview
    objectName: "ledgerOverview"

    property var accounts: []
    property bool shown: false

    signal accountChosen(int accountId)

    function reload() {
        reconciliation.reload()
        equation.reload()
        trial.reload()
    }

    onShownChanged: if (shown) reload()
    spacing: 10

    ReconciliationPanel {
        id: reconciliation
        Layout.fillWidth: true
    }

    BalanceEquationPanel {
        id: equation
        Layout.fillWidth: true
        accounts: overview.accounts
    }

    TrialBalancePanel {
        id: trial
        Layout.fillWidth: true
        Layout.fillHeight: true
        onAccountChosen: (accountId) => overview.accountChosen(accountId)
    }
}
