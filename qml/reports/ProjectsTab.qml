import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Totals.js" as Totals

// One card per property with its sales, expenses and expected profit, read
// off the window's thread; the cards on screen stay until the new ones arrive.
Item {
    id: tab
    objectName: "projectsTab"

    property string fromDate: ""
    property string toDate: ""
    property var properties: []

    readonly property bool loading: read.loading
    signal loaded()

    function reload() {
        read.ask([fromDate, toDate])
    }

    property ReportRead read: ReportRead {
        call: "projects"
        onAnswered: result => {
            tab.properties = result
            tab.loaded()
        }
    }

    function printPayload() {
        return { data: propertyModel.getAll(), summary: {} }
    }

    function count(value) {
        return value === undefined || value === null ? 0 : value
    }

    EmptyNote {
        anchors.centerIn: parent
        width: parent.width
        visible: tab.properties.length === 0
        text: "لا توجد عقارات بعد"
    }

    ListView {
        id: list
        objectName: "projectsList"
        anchors.fill: parent
        clip: true
        spacing: 12
        model: tab.properties
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}

        delegate: Rectangle {
            id: card
            objectName: "projectCard"
            required property var modelData
            readonly property var figures: modelData.figures || ({})
            width: ListView.view.width - 14
            x: 0
            height: 186
            radius: 14
            color: Theme.bgCard
            border.width: 1
            border.color: Theme.borderColor

            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 16
                spacing: 10

                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 10

                    Text {
                        objectName: "projectName"
                        Layout.fillWidth: true
                        text: card.modelData.name || ""
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        elide: Text.ElideLeft
                        font.pixelSize: 16
                        font.bold: true
                        color: Theme.textPrimary
                    }
                    Rectangle {
                        implicitWidth: unitsBadge.implicitWidth + 20
                        implicitHeight: 24
                        radius: 12
                        color: Theme.bgAccentSoft
                        Text {
                            id: unitsBadge
                            objectName: "projectUnits"
                            anchors.centerIn: parent
                            text: tab.count(card.figures.sold_units) + " / "
                                  + tab.count(card.figures.total_units) + " وحدة مباعة"
                            textFormat: Text.PlainText
                            font.pixelSize: 12
                            font.bold: true
                            color: Theme.dark ? Theme.accentGoldLight : Theme.accentGoldDark
                        }
                    }
                }

                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 12

                    Repeater {
                        model: [
                            { key: "total_revenue", label: "قيمة المبيعات" },
                            { key: "total_expenses", label: "المصروفات" },
                            { key: "expected_profit", label: "الربح المتوقع" }
                        ]

                        ColumnLayout {
                            id: figure
                            required property var modelData
                            Layout.fillWidth: true
                            Layout.preferredWidth: 1
                            spacing: 4
                            Text {
                                Layout.fillWidth: true
                                text: figure.modelData.label
                                horizontalAlignment: Text.AlignRight
                                font.pixelSize: 12
                                color: Theme.textSecondary
                            }
                            Text {
                                objectName: "project_" + figure.modelData.key
                                Layout.fillWidth: true
                                text: Money.format(card.figures[figure.modelData.key] || 0,
                                                   card.figures.currency_id)
                                textFormat: Text.PlainText
                                horizontalAlignment: Text.AlignRight
                                fontSizeMode: Text.HorizontalFit
                                minimumPixelSize: 11
                                font.pixelSize: 16
                                font.bold: true
                                color: Theme.textPrimary
                            }
                            // Each currency's own amount, and the rates the
                            // converted figure still waits for.
                            Text {
                                objectName: "project_" + figure.modelData.key + "_detail"
                                Layout.fillWidth: true
                                visible: text !== ""
                                text: Totals.detail(card.figures[figure.modelData.key + "_detail"], Money)
                                textFormat: Text.PlainText
                                horizontalAlignment: Text.AlignRight
                                elide: Text.ElideLeft
                                font.pixelSize: 11
                                color: Theme.textMuted
                                ToolTip.visible: detailHover.hovered && truncated
                                ToolTip.text: text
                                HoverHandler { id: detailHover }
                            }
                        }
                    }
                }

                // Counts and the unsold value are not tied to dates.
                Text {
                    objectName: "projectLifetimeNote"
                    Layout.fillWidth: true
                    visible: card.figures.range_applied === true
                    text: "عدد الوحدات وقيمة غير المباع: منذ البداية، وباقي الأرقام للفترة المختارة"
                    horizontalAlignment: Text.AlignRight
                    elide: Text.ElideLeft
                    font.pixelSize: 11
                    color: Theme.textMuted
                }
            }
        }
    }
}
