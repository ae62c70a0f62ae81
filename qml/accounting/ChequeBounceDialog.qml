import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input
import "../components/ChequeWords.js" as ChequeWords

// Returning a cheque and replacing it, in one dialog. Opened on a pending
// received cheque it records the bounce (the invoice or instalment it paid is
// open again) and may replace it at once; opened on a bounced one it only
// replaces it: by a new cheque (number, bank, due date) or in cash. An issued
// cheque returned makes its contractor owed again; the office pays anew from
// the contractor's row.
MDialog {
    id: dialog

    // The cheque's row as the list shows it.
    property var cheque: ({})
    readonly property bool bouncing: cheque.status === "pending"
    readonly property bool issued: cheque.type === "issued"
    // A cheque given for an invoice or an instalment can be replaced here.
    readonly property bool replaceable: !issued && (cheque.installment_id > 0 || cheque.payment_id > 0)
    // "none" (bounce only), "cheque" or "cash".
    property string replacement: bouncing ? "none" : "cheque"
    property string errorText: ""
    property int bounces: 0

    objectName: "chequeBounceDialog"
    title: bouncing ? "ارتجاع شيك" : "استبدال شيك مرتجع"
    width: 520
    height: (replaceable ? 500 : 300) + (banner.visible ? banner.height + 12 : 0)

    function openFor(row) {
        cheque = row
        replacement = row.status === "pending" ? "none" : "cheque"
        bounces = chequeModel.payerBounces(row.id)
        numberField.text = ""
        bankField.text = row.bank_name || ""
        dueField.text = Input.today()
        numberField.errorText = ""
        dueField.errorText = ""
        errorText = ""
        open()
    }

    function replaceNow() {
        if (cheque.installment_id > 0)
            return installmentModel.replaceBounced(cheque.id, replacement, numberField.text.trim(),
                                                   bankField.text.trim(), Input.date(dueField.text)) > 0
                    ? "" : Input.refusal(installmentModel)
        return paymentModel.replaceBounced(cheque.id, replacement === "cash" ? "cash" : "cheque",
                                           Input.today(), numberField.text.trim(),
                                           bankField.text.trim(), Input.date(dueField.text)) > 0
                ? "" : Input.refusal(paymentModel)
    }

    function confirm() {
        if (replacement === "cheque") {
            numberField.errorText = Input.requiredError(numberField.text)
            dueField.errorText = Input.dateError(dueField.text)
            if (numberField.errorText !== "" || dueField.errorText !== "")
                return
        }
        if (bouncing && !chequeModel.bounce(cheque.id)) {
            errorText = Input.refusal(chequeModel)
            return
        }
        if (replacement !== "none") {
            var why = replaceNow()
            if (why !== "") {
                // The bounce itself stands; the replacement can be tried again.
                cheque = Object.assign({}, cheque, { "status": "bounced" })
                errorText = why
                return
            }
        }
        close()
    }

    onOpened: (replacement === "cheque" ? numberField.input : confirmButton).forceActiveFocus()
    onEnterPressed: confirm()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        Text {
            objectName: "bounceChequeText"
            Layout.fillWidth: true
            text: "شيك رقم " + Input.isolate(dialog.cheque.cheque_number)
                  + (dialog.issued ? " إلى " + (dialog.cheque.payee_name || "-")
                                   : " من " + (dialog.cheque.payer_name || "-")) + " بمبلغ "
                  + Input.isolate(Money.format(dialog.cheque.amount, dialog.cheque.currency_id))
                  + (dialog.cheque.bank_name ? " - " + dialog.cheque.bank_name : "") + " - استحقاق "
                  + Input.isolate(dialog.cheque.due_date)
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignRight
            font: Theme.bodyBold
            color: Theme.textPrimary
        }
        Text {
            objectName: "bounceEffectText"
            Layout.fillWidth: true
            visible: dialog.bouncing
            text: dialog.replaceable
                  ? "يعود المبلغ ديناً على الدافع، وتُفتح الفاتورة أو القسط الذي سدده من جديد."
                  : dialog.issued && dialog.cheque.contractor_payment_id > 0
                    ? "يعود المبلغ مستحقاً للمقاول وتُعكس دفعته في الدفاتر؛ تُسدَّد له من جديد من صفحة المقاولين."
                    : "الشيك للمتابعة فقط ولا يدخل الدفاتر: يُسجل مرتجعاً فقط."
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignRight
            font: Theme.small
            color: Theme.textSecondary
        }
        Text {
            objectName: "payerBouncesText"
            Layout.fillWidth: true
            visible: dialog.bounces > 0
            text: "شيكات مرتجعة سابقة لهذا الدافع: " + Input.isolate(dialog.bounces)
            textFormat: Text.PlainText
            horizontalAlignment: Text.AlignRight
            font: Theme.smallBold
            color: Theme.dangerColor
        }

        Text {
            Layout.fillWidth: true
            visible: dialog.replaceable
            text: "الاستبدال"
            horizontalAlignment: Text.AlignRight
            font: Theme.bodyBold
            color: Theme.accentGold
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            visible: dialog.replaceable
            spacing: 14
            MRadioButton {
                objectName: "replaceNone"
                visible: dialog.bouncing
                text: "لاحقاً"
                checked: dialog.replacement === "none"
                onClicked: dialog.replacement = "none"
            }
            MRadioButton {
                objectName: "replaceByCheque"
                text: "بشيك جديد"
                checked: dialog.replacement === "cheque"
                onClicked: dialog.replacement = "cheque"
            }
            MRadioButton {
                objectName: "replaceByCash"
                text: "نقداً"
                checked: dialog.replacement === "cash"
                onClicked: dialog.replacement = "cash"
            }
            Item { Layout.fillWidth: true }
        }
        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            visible: dialog.replaceable && dialog.replacement === "cheque"
            spacing: 12
            MTextField {
                id: numberField
                objectName: "replaceNumberField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "رقم الشيك الجديد"
                onTextChanged: if (text.trim() !== "") errorText = ""
            }
            MTextField {
                id: bankField
                objectName: "replaceBankField"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                label: "اسم البنك"
            }
        }
        MTextField {
            id: dueField
            objectName: "replaceDueField"
            Layout.fillWidth: true
            visible: dialog.replaceable && dialog.replacement === "cheque"
            label: "تاريخ الاستحقاق (YYYY-MM-DD)"
            onTextChanged: if (Input.date(text) !== "") errorText = ""
        }
        ErrorBanner { id: banner; objectName: "bounceError"; Layout.fillWidth: true; text: dialog.errorText }
        Item { Layout.fillHeight: true }
        MButton {
            id: confirmButton
            objectName: "bounceConfirmButton"
            Layout.fillWidth: true
            btnColor: dialog.bouncing ? "#ef4444" : Theme.accentGold
            textColor: "#ffffff"
            text: dialog.bouncing
                  ? (dialog.replacement === "none" ? "تسجيل الارتجاع" : "تسجيل الارتجاع والاستبدال")
                  : "تسجيل الاستبدال"
            onClicked: dialog.confirm()
        }
    }
}
