import QtQuick
import QtQuick.Layouts
import "components"

Item {
    id: page
    objectName: "propertiesPage"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "إدارة العقارات"
            subtitle: "إدارة جميع العقارات والوحدات"
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
