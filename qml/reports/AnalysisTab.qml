import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Totals.js" as Totals

// The generated analysis, the income of the leading properties and the
// occupancy index. The analysis can be copied as plain text or shared as a PDF.
Item {
    id: tab
    objectName: "analysisTab"

    property var smartAnalysis: ({})
    property var comparison: []

    signal copied(string message)
    signal shareRequested()

    readonly property string analysisText: smartAnalysis.text || ""
    readonly property real occupancy: Number(smartAnalysis.occupancy) || 0
    // Judged on the figure as shown, so "70.0%" is never called excellent.
    readonly property bool healthy: Number(occupancy.toFixed(1)) > 70
    // Properties come with the highest income first; the chart has room for six.
    readonly property var incomeBars: {
        var out = []
        for (var i = 0; i < Math.min(6, comparison.length); ++i) {
            out.push({
                label: String(comparison[i].name || ""),
                value: Number(comparison[i].income) || 0,
                detail: Totals.detail(comparison[i].income_detail, Money),
                color: "#C5A059"
            })
        }
        return out
    }
    readonly property real largestIncome: {
        var top = 0
        for (var i = 0; i < incomeBars.length; ++i)
            top = Math.max(top, incomeBars[i].value)
        return top
    }

    // Each card is read on its own and shows as soon as it arrives; the
    // page is loading until both have, and the cards keep their last
    // figures meanwhile.
    readonly property bool loading: textRead.loading || comparisonRead.loading
    signal loaded()

    function reload() {
        textRead.ask([])
        comparisonRead.ask([])
    }

    function cardArrived() {
        if (!tab.loading)
            tab.loaded()
    }

    property ReportRead textRead: ReportRead {
        call: "analysisText"
        onAnswered: result => {
            tab.smartAnalysis = result
            tab.cardArrived()
        }
    }

    property ReportRead comparisonRead: ReportRead {
        call: "comparison"
        onAnswered: result => {
            tab.comparison = result
            tab.cardArrived()
        }
    }

    // The analysis without its Markdown marks, one paragraph or item a line.
    function plainText() {
        var lines = analysisText.split("\n")
        var out = []
        for (var i = 0; i < lines.length; ++i) {
            var line = lines[i].replace(/^#+\s*/, "").replace(/\*\*/g, "").trim()
            if (line !== "")
                out.push(line)
        }
        return out
    }

    function copyAnalysis() {
        var lines = plainText()
        if (lines.length === 0) {
            copied("لا يوجد تحليل لنسخه بعد")
            return
        }
        clipboardBuffer.text = lines.join("\n")
        clipboardBuffer.selectAll()
        clipboardBuffer.copy()
        clipboardBuffer.text = ""
        copied("تم نسخ التحليل إلى الحافظة")
    }

    function printPayload() {
        var lines = plainText()
        var rows = []
        for (var i = 0; i < lines.length; ++i)
            rows.push({ description: lines[i] })
        var summary = {}
        summary["مؤشر الإشغال"] = occupancy.toFixed(1) + "%"
        return { data: rows, summary: summary }
    }

    // Copying goes through an editor the user never sees: QML has no other
    // way to reach the clipboard.
    TextEdit {
        id: clipboardBuffer
        visible: false
        textFormat: TextEdit.PlainText
    }

    RowLayout {
        anchors.fill: parent
        layoutDirection: Qt.RightToLeft
        spacing: 16

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            radius: 14
            color: Theme.bgCard
            border.width: 1
            border.color: Theme.borderColor

            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 20
                spacing: 12

                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 8
                    Text {
                        text: "✨"
                        font.pixelSize: 18
                    }
                    Text {
                        Layout.fillWidth: true
                        text: "تقرير الذكاء الاصطناعي (Sakanova AI)"
                        horizontalAlignment: Text.AlignRight
                        font: Theme.headingBold
                        color: Theme.accentGold
                    }
                }

                ScrollView {
                    id: textScroll
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    contentWidth: availableWidth
                    clip: true

                    // The text is built by the back end from fixed sentences and
                    // figures (no stored names), so it is rendered as Markdown.
                    Text {
                        objectName: "analysisText"
                        width: textScroll.availableWidth - 8
                        text: tab.analysisText !== "" ? tab.analysisText : "جاري تحليل البيانات..."
                        textFormat: Text.MarkdownText
                        wrapMode: Text.WordWrap
                        horizontalAlignment: Text.AlignRight
                        lineHeight: 1.6
                        font.pixelSize: 15
                        color: Theme.textPrimary
                    }
                }

                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 12
                    MButton {
                        objectName: "copyAnalysisButton"
                        text: "نسخ التحليل"
                        outline: true
                        onClicked: tab.copyAnalysis()
                    }
                    MButton {
                        objectName: "shareAnalysisButton"
                        text: "مشاركة التقرير"
                        outline: true
                        onClicked: tab.shareRequested()
                    }
                    Item { Layout.fillWidth: true }
                }
            }
        }

        ColumnLayout {
            Layout.preferredWidth: 350
            Layout.maximumWidth: 350
            Layout.fillHeight: true
            spacing: 16

            Item {
                Layout.fillWidth: true
                Layout.preferredHeight: 250

                AnalyticsWidget {
                    objectName: "incomeChart"
                    anchors.fill: parent
                    title: "توزيع الإيرادات"
                    maxValue: tab.largestIncome > 0 ? tab.largestIncome : 1
                    data: tab.incomeBars
                }
                Text {
                    anchors.top: parent.top
                    anchors.topMargin: 44
                    anchors.left: parent.left
                    anchors.leftMargin: 20
                    visible: tab.largestIncome <= 0
                    text: "لا توجد إيرادات مسجلة"
                    font.pixelSize: 11
                    color: "#94a3b8"
                }
            }

            Rectangle {
                Layout.fillWidth: true
                Layout.preferredHeight: 150
                radius: 14
                color: Theme.bgCard
                border.width: 1
                border.color: Theme.borderColor

                Column {
                    anchors.centerIn: parent
                    spacing: 6
                    Text {
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: "مؤشر الإشغال"
                        font.pixelSize: 14
                        font.bold: true
                        color: Theme.textSecondary
                    }
                    Text {
                        objectName: "analysisOccupancy"
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: tab.occupancy.toFixed(1) + "%"
                        textFormat: Text.PlainText
                        font.pixelSize: 34
                        font.bold: true
                        color: Theme.accentGold
                    }
                    Text {
                        objectName: "analysisOccupancyNote"
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: tab.healthy ? "إشغال ممتاز" : "معدل متوسط"
                        font.pixelSize: 13
                        color: tab.healthy ? "#22c55e" : "#f59e0b"
                    }
                }
            }

            Item { Layout.fillHeight: true }
        }
    }
}
