import QtQuick
import QtQuick.Layouts
import "components"

Item {
    id: page
    objectName: "tenantsPage"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "إدارة المستأجرين"
            subtitle: "إدارة وتتبع جميع المستأجرين وعقودهم"
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
