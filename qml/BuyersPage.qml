import QtQuick
import QtQuick.Layouts
import "components"

Item {
    id: page
    objectName: "buyersPage"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "المشترون والمبيعات"
            subtitle: "إدارة المشترين وعقود التمليك والأقساط"
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
