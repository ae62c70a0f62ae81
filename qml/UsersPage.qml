import QtQuick
import QtQuick.Layouts
import "components"

Item {
    id: page
    objectName: "usersPage"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "إدارة المستخدمين"
            subtitle: "التحكم في صلاحيات الوصول للنظام"
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
