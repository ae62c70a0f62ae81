import QtQuick
import "../components/Input.js" as Input
import QtQuick.Layouts
import "../components"

// "عقود المستأجر - …": one tenant's contracts, newest first, read afresh on
// every opening and whenever contracts or units change while it is open.
MDialog {
    id: dialog

    property int tenantId: 0
    property string tenantName: ""
    property var contracts: []

    objectName: "contractsDialog"
    title: "عقود المستأجر - " + tenantName
    width: 800
    height: 600

    function show(id, name) {
        tenantId = id
        tenantName = name
        open()
    }

    function reload() {
        contracts = tenantId > 0 ? contractModel.getByTenant(tenantId) : []
    }

    onAboutToShow: reload()

    DataWatch {
        targets: [contractModel, unitModel]
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
                text: "قائمة العقود"
                horizontalAlignment: Text.AlignRight
                font: Theme.titleBold
                color: Theme.textPrimary
            }
            MButton {
                objectName: "addContractButton"
                text: "+ عقد جديد"
                onClicked: addDialog.open()
            }
        }

        PagedList {
            id: list
            objectName: "contractsList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            rows: dialog.contracts
            emptyText: "لا توجد عقود لهذا المستأجر بعد"

            delegate: Rectangle {
                id: row
                required property int index
                readonly property var contract: list.rowAt(index)
                readonly property bool active: contract.status === "active"
                objectName: "contractRow_" + contract.unit_number
                width: list.width
                height: 58
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
                        Layout.fillWidth: true
                        text: row.contract.property_name + " - وحدة " + row.contract.unit_number
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        elide: Text.ElideLeft
                        font: Theme.bodyLargeBold
                        color: Theme.textPrimary
                    }
                    Text {
                        text: Input.isolate(row.contract.start_date) + " إلى " + Input.isolate(row.contract.end_date)
                        textFormat: Text.PlainText
                        font: Theme.small
                        color: Theme.textSecondary
                    }
                    Text {
                        objectName: "contractFrequency"
                        text: contractModel.frequencyLabel(row.contract.payment_frequency || "")
                        textFormat: Text.PlainText
                        font: Theme.small
                        color: Theme.textSecondary
                    }
                    Text {
                        Layout.preferredWidth: 120
                        text: Money.format(row.contract.rent_amount, row.contract.currency_id)
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        font: Theme.bodyBold
                        color: Theme.accentGold
                    }
                    StatusBadge {
                        objectName: "contractStatus"
                        text: row.active ? "نشط" : "منتهي"
                        textColor: row.active ? Theme.successColor : Theme.textSecondary
                    }
                    Item {
                        Layout.preferredWidth: 70
                        Layout.preferredHeight: 34
                        MButton {
                            objectName: "terminateContractButton"
                            anchors.fill: parent
                            visible: row.active
                            leftPadding: 6
                            rightPadding: 6
                            text: "إنهاء"
                            outline: true
                            btnColor: "#ef4444"
                            onClicked: {
                                var id = row.contract.id
                                confirm.ask("إنهاء عقد", "هل تريد إنهاء عقد «" + dialog.tenantName + "» على «"
                                            + row.contract.property_name + " - وحدة "
                                            + row.contract.unit_number + "»؟", "إنهاء",
                                            function() {
                                                return contractModel.terminate(id) ? ""
                                                       : Input.refusal(contractModel)
                                            })
                            }
                        }
                    }
                }
            }
        }
    }

    ContractAddDialog {
        id: addDialog
        tenantId: dialog.tenantId
    }

    ConfirmDialog {
        id: confirm
    }
}
