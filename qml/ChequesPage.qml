import QtQuick
import QtQuick.Layouts
import "components"

Item {
    id: page
    objectName: "chequesPage"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "إدارة الشيكات"
            subtitle: "تتبع الشيكات الصادرة والواردة - متعدد العملات"
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
