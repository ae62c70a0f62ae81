import QtQuick
import QtQuick.Layouts
import "components"

Item {
    id: page
    objectName: "accountingPage"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "المحاسبة"
            subtitle: "نظام القيد المزدوج - دليل الحسابات وقيود اليومية"
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
