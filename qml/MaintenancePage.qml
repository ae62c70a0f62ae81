import QtQuick
import QtQuick.Layouts
import "components"

Item {
    id: page
    objectName: "maintenancePage"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "الصيانة"
            subtitle: "إدارة طلبات الصيانة والإصلاحات"
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
