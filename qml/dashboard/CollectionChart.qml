import QtQuick
import "../components"
import "../components/Totals.js" as Totals

// Tenant and buyer payments of the last months, one bar per month scaled to
// the largest; the current month stands out. A period with nothing collected
// says so rather than showing an empty frame.
Item {
    id: chart
    objectName: "collectionChart"

    // Oldest first: { month, label, total } as the dashboard controller gives them.
    property var months: []
    // Some month leaves out money whose day has no exchange rate.
    property bool incomplete: false

    readonly property real largest: {
        var top = 0
        for (var i = 0; i < months.length; ++i)
            top = Math.max(top, Number(months[i].total) || 0)
        return top
    }
    readonly property var bars: {
        var out = []
        for (var i = 0; i < months.length; ++i) {
            out.push({
                label: months[i].label,
                value: Number(months[i].total) || 0,
                detail: Totals.detail(months[i].detail, Money),
                color: i === months.length - 1 ? "#f59e0b" : "#C5A059"
            })
        }
        return out
    }

    implicitHeight: 250

    AnalyticsWidget {
        id: widget
        anchors.fill: parent
        title: "معدلات التحصيل (آخر 6 شهور)"
        maxValue: chart.largest > 0 ? chart.largest : 1
        data: chart.bars
    }

    Text {
        objectName: "collectionChartNote"
        anchors.top: parent.top
        anchors.topMargin: 44
        anchors.left: parent.left
        anchors.leftMargin: 20
        visible: text !== ""
        text: chart.largest <= 0 ? "لا توجد تحصيلات في هذه الفترة"
                                 : (chart.incomplete ? "⚠️ بعض الأشهر ينقصها سعر صرف" : "")
        textFormat: Text.PlainText
        font: Theme.caption
        color: Theme.textSecondary
    }
}
