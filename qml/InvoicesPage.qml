import QtQuick
import QtQuick.Layouts
import "components"

Item {
    id: page
    objectName: "invoicesPage"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "الفواتير"
            subtitle: "إدارة الفواتير والمستحقات - متعددة الخدمات والعملات"
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
