import QtQuick
import QtQuick.Layouts
import "components"

Item {
    id: page
    objectName: "paymentsPage"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "المدفوعات"
            subtitle: "تتبع جميع المدفوعات"
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
