import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "components"

// The bar across the top of the shell: the current page's title, the
// night/day switch, and today's date with the signed-in role.
Rectangle {
    id: topBar
    objectName: "topBar"

    property string title: ""
    readonly property string subtitle: "إدارة المشاريع العقارية، المشترين، الحسابات، والتقارير من شاشة واحدة"
    readonly property QtObject theme: ApplicationWindow.window.appTheme
    readonly property var arabicDayNames: ["الأحد", "الاثنين", "الثلاثاء", "الأربعاء", "الخميس", "الجمعة", "السبت"]

    property date today: new Date()

    // "dddd dd/MM/yyyy" with the day named in Arabic and the digits kept Latin,
    // like every other figure in the interface.
    function formatToday(d) {
        return arabicDayNames[d.getDay()] + " " + Qt.formatDate(d, "dd/MM/yyyy")
    }

    implicitHeight: 72
    color: theme.bgSecondary
    border.width: 1
    border.color: theme.borderColor

    // Keeps the date right when the application stays open past midnight.
    Timer {
        interval: 60000
        running: true
        repeat: true
        onTriggered: topBar.today = new Date()
    }

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 24
        anchors.rightMargin: 24
        layoutDirection: Qt.RightToLeft
        spacing: 16

        Column {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            spacing: 3

            Text {
                objectName: "topBarTitle"
                width: parent.width
                text: topBar.title
                horizontalAlignment: Text.AlignRight
                elide: Text.ElideLeft
                font: Theme.figureLargeBold
                color: topBar.theme.textPrimary
            }

            Text {
                objectName: "topBarSubtitle"
                width: parent.width
                text: topBar.subtitle
                horizontalAlignment: Text.AlignRight
                elide: Text.ElideLeft
                font: Theme.small
                color: topBar.theme.textSecondary
            }
        }

        Rectangle {
            objectName: "themeSwitch"
            Layout.preferredWidth: 170
            Layout.preferredHeight: 40
            Layout.alignment: Qt.AlignVCenter
            radius: 10
            color: topBar.theme.bgInput
            border.width: 1
            border.color: topBar.theme.borderColor

            Row {
                anchors.fill: parent
                anchors.margins: 4
                layoutDirection: Qt.RightToLeft

                Repeater {
                    model: [
                        { mode: "dark", label: "ليلي" },
                        { mode: "light", label: "نهاري" }
                    ]

                    Rectangle {
                        id: segment
                        required property var modelData
                        readonly property bool active: settingsManager.themeMode === modelData.mode
                        objectName: "themeSegment_" + modelData.mode

                        width: parent.width / 2
                        height: parent.height
                        radius: 7
                        color: active ? topBar.theme.accentGold
                                      : (segmentMouse.containsMouse ? topBar.theme.bgElevated : "transparent")

                        Behavior on color { ColorAnimation { duration: 180 } }

                        Text {
                            anchors.centerIn: parent
                            text: segment.modelData.label
                            font: segment.active ? Theme.bodyBold : Theme.body
                            color: segment.active ? "#08111f" : topBar.theme.textSecondary
                        }

                        MouseArea {
                            id: segmentMouse
                            anchors.fill: parent
                            hoverEnabled: true
                            cursorShape: Qt.PointingHandCursor
                            onClicked: settingsManager.setThemeMode(segment.modelData.mode)
                        }
                    }
                }
            }
        }

        Rectangle {
            objectName: "dateBox"
            Layout.preferredWidth: 176
            Layout.preferredHeight: 40
            Layout.alignment: Qt.AlignVCenter
            radius: 10
            color: topBar.theme.bgElevated
            border.width: 1
            border.color: topBar.theme.borderColor

            Column {
                anchors.centerIn: parent
                spacing: 0

                Text {
                    objectName: "todayText"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: topBar.formatToday(topBar.today)
                    font: Theme.smallBold
                    color: topBar.theme.textPrimary
                }

                Text {
                    objectName: "roleText"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: authCtrl.currentRole === "admin" ? "صلاحية مدير" : "صلاحية مستخدم"
                    font: Theme.caption
                    color: topBar.theme.accentGold
                }
            }
        }
    }
}
