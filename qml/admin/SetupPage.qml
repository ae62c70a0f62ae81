import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"

// First-run setup: the office picks its primary currency once.
FocusScope {
    id: page
    objectName: "setupPage"

    signal setupComplete()

    readonly property QtObject theme: ApplicationWindow.window.appTheme
    readonly property var currencies: [
        { code: "ILS", name: "شيكل إسرائيلي", symbol: "₪" },
        { code: "USD", name: "دولار أمريكي", symbol: "$" },
        { code: "JOD", name: "دينار أردني", symbol: "د.ا" }
    ]

    // The checked row's code; the shekel when nothing is checked.
    function selectedCode() {
        return currencyGroup.checkedButton ? currencyGroup.checkedButton.code : "ILS"
    }

    function finish() {
        settingsManager.setPrimaryCurrency(selectedCode())
        settingsManager.completeSetup()
        setupComplete()
    }

    ButtonGroup {
        id: currencyGroup
    }

    Item {
        anchors.centerIn: parent
        width: 520
        height: card.height

        Rectangle {
            anchors.fill: card
            anchors.topMargin: 10
            anchors.bottomMargin: -14
            anchors.leftMargin: 6
            anchors.rightMargin: 6
            radius: card.radius
            color: page.theme.shadowColor
            opacity: page.theme.dark ? 0.35 : 0.45
        }

        Rectangle {
            id: card
            width: parent.width
            height: content.implicitHeight + 72
            radius: 20
            color: page.theme.bgCard
            border.width: 1
            border.color: page.theme.borderColor

            ColumnLayout {
                id: content
                anchors.fill: parent
                anchors.margins: 36
                spacing: 0

                Rectangle {
                    Layout.alignment: Qt.AlignHCenter
                    Layout.preferredWidth: 64
                    Layout.preferredHeight: 64
                    radius: 18
                    color: page.theme.bgAccentSoft
                    border.width: 1.5
                    border.color: page.theme.accentGold

                    Text {
                        anchors.centerIn: parent
                        text: "⚙"
                        font.pixelSize: 30
                        color: page.theme.accentGold
                    }
                }

                Text {
                    Layout.alignment: Qt.AlignHCenter
                    Layout.topMargin: 18
                    text: "إعداد النظام"
                    font: Theme.displayBold
                    color: page.theme.textPrimary
                }

                Text {
                    Layout.alignment: Qt.AlignHCenter
                    Layout.topMargin: 8
                    text: "اختر العملة الأساسية للنظام"
                    font: Theme.subtitle
                    color: page.theme.textSecondary
                }

                Repeater {
                    model: page.currencies

                    Rectangle {
                        id: row
                        required property var modelData
                        required property int index
                        objectName: "currencyRow_" + modelData.code

                        Layout.fillWidth: true
                        Layout.preferredHeight: 64
                        Layout.topMargin: index === 0 ? 28 : 12
                        radius: 12
                        color: radio.checked ? page.theme.bgAccentSoft
                                             : (rowMouse.containsMouse ? page.theme.bgElevated : page.theme.bgInput)
                        border.width: radio.checked ? 1.5 : 1
                        border.color: radio.checked ? page.theme.accentGold : page.theme.borderColor

                        Behavior on color { ColorAnimation { duration: 150 } }

                        MouseArea {
                            id: rowMouse
                            anchors.fill: parent
                            hoverEnabled: true
                            cursorShape: Qt.PointingHandCursor
                            onClicked: radio.checked = true
                        }

                        RowLayout {
                            anchors.fill: parent
                            anchors.leftMargin: 20
                            anchors.rightMargin: 14
                            layoutDirection: Qt.RightToLeft
                            spacing: 12

                            RadioButton {
                                id: radio
                                objectName: "currencyRadio_" + row.modelData.code
                                readonly property string code: row.modelData.code
                                ButtonGroup.group: currencyGroup
                                checked: row.index === 0
                                Layout.alignment: Qt.AlignVCenter
                                Layout.preferredWidth: 24
                                Layout.preferredHeight: 24
                                padding: 0

                                indicator: Rectangle {
                                    implicitWidth: 22
                                    implicitHeight: 22
                                    x: (radio.width - width) / 2
                                    y: (radio.height - height) / 2
                                    radius: 11
                                    color: "transparent"
                                    border.width: 2
                                    border.color: radio.checked ? page.theme.accentGold : page.theme.borderStrong

                                    Rectangle {
                                        anchors.centerIn: parent
                                        width: 10
                                        height: 10
                                        radius: 5
                                        color: page.theme.accentGold
                                        visible: radio.checked
                                    }
                                }
                                contentItem: Item {}
                            }

                            Text {
                                Layout.fillWidth: true
                                Layout.alignment: Qt.AlignVCenter
                                text: row.modelData.name
                                horizontalAlignment: Text.AlignRight
                                font: radio.checked ? Theme.titleBold : Theme.title
                                color: page.theme.textPrimary
                            }

                            Text {
                                Layout.alignment: Qt.AlignVCenter
                                text: row.modelData.symbol
                                font: Theme.figureBold
                                color: page.theme.dark ? page.theme.accentGoldLight : page.theme.accentGoldDark
                            }
                        }
                    }
                }

                MButton {
                    objectName: "setupStartButton"
                    Layout.fillWidth: true
                    Layout.topMargin: 28
                    Layout.preferredHeight: 46
                    text: "بدء استخدام النظام"
                    onClicked: page.finish()
                }
            }
        }
    }
}
