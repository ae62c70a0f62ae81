import QtQuick
import QtQuick.Layouts
import "components"

Item {
    id: page
    objectName: "reportsPage"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "التقارير والتحليلات الذكية"
            subtitle: "تحليلات الأداء المالي المدعومة بالذكاء الاصطناعي"
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
