import QtQuick
import QtQuick.Layouts
import "components"

Item {
    id: page
    objectName: "settingsPage"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "الإعدادات"
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
