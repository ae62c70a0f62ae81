import QtQuick
import QtQuick.Layouts
import "components"

Item {
    id: page
    objectName: "dashboardPage"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "لوحة التحكم"
            subtitle: "مرحباً بك في نظام ساكانوفا لإدارة العقارات"
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
