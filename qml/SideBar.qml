import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "components"

// The navigation column on the right: logo, the menu entries (each names
// its page index in the page stack; entries added later keep the earlier
// pages' indexes), and the signed-in user.
Rectangle {
    id: sideBar
    objectName: "sideBar"

    property int currentIndex: 0
    signal menuSelected(int index)

    readonly property QtObject theme: ApplicationWindow.window.appTheme
    // On a short screen (720 px) the logo and user areas give up room, and
    // the entries shrink so every one stays in view without scrolling.
    readonly property bool compact: height < 800
    readonly property var entries: [
        { icon: "⎋", label: "لوحة التحكم", page: 0 },
        { icon: "🏢", label: "العقارات", page: 1 },
        { icon: "⌘", label: "المستأجرون", page: 2 },
        { icon: "⌥", label: "المشترون", page: 3 },
        { icon: "≣", label: "المحاسبة", page: 4 },
        { icon: "⌬", label: "المدفوعات", page: 5 },
        { icon: "⇣", label: "المصروفات", page: 12 },
        { icon: "◈", label: "الشيكات", page: 6 },
        { icon: "📄", label: "الفواتير", page: 7 },
        { icon: "⚙", label: "الصيانة", page: 8 },
        { icon: "⏚", label: "التقارير", page: 9 },
        { icon: "⌗", label: "المستخدمون", page: 10 },
        { icon: "⚿", label: "الإعدادات", page: 11 }
    ]

    // The menu position of page `page`.
    function positionOf(page) {
        for (var i = 0; i < entries.length; ++i)
            if (entries[i].page === page)
                return i
        return -1
    }

    color: theme.bgSidebar
    border.width: 1
    border.color: theme.borderColor

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 1
        spacing: 0

        // Logo area
        Item {
            Layout.fillWidth: true
            Layout.preferredHeight: sideBar.compact ? 68 : 100

            Row {
                anchors.centerIn: parent
                layoutDirection: Qt.RightToLeft
                spacing: 12

                Rectangle {
                    width: 40
                    height: 40
                    radius: 10
                    color: sideBar.theme.bgElevated
                    border.width: 1.5
                    border.color: sideBar.theme.accentGold
                    anchors.verticalCenter: parent.verticalCenter

                    Image {
                        anchors.centerIn: parent
                        width: 24
                        height: 24
                        source: "qrc:/assets/logo.ico"
                        // The icon file holds one frame per size, smallest first.
                        currentFrame: frameCount > 0 ? frameCount - 1 : 0
                        fillMode: Image.PreserveAspectFit
                        smooth: true
                        mipmap: true
                    }
                }

                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: "ساكانوفا"
                    font: Theme.brand
                    color: sideBar.theme.textPrimary
                }
            }

            Rectangle {
                anchors.bottom: parent.bottom
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.leftMargin: 20
                anchors.rightMargin: 20
                height: 1
                color: sideBar.theme.borderColor
            }
        }

        ListView {
            id: menu
            objectName: "sideBarMenu"
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.topMargin: sideBar.compact ? 6 : 12
            clip: true
            spacing: 4
            model: sideBar.entries
            boundsBehavior: Flickable.StopAtBounds
            currentIndex: sideBar.positionOf(sideBar.currentIndex)

            ScrollBar.vertical: ScrollBar {
                // On the left, away from the selection bar at the right edge.
                LayoutMirroring.enabled: true
                policy: ScrollBar.AsNeeded
                width: 6
                contentItem: Rectangle {
                    implicitWidth: 4
                    radius: 2
                    color: sideBar.theme.borderStrong
                    opacity: menu.moving || parent.hovered ? 0.9 : 0.5
                }
            }

            delegate: Item {
                id: entry
                required property var modelData
                required property int index
                readonly property bool selected: sideBar.currentIndex === modelData.page

                objectName: "menuEntry_" + modelData.page
                width: ListView.view.width
                height: Math.max(32, Math.min(48, Math.floor((menu.height + menu.spacing) / menu.count) - menu.spacing))

                Rectangle {
                    anchors.fill: parent
                    anchors.leftMargin: 14
                    anchors.rightMargin: 14
                    radius: 10
                    color: entry.selected ? sideBar.theme.bgElevated
                                          : (entryMouse.containsMouse ? sideBar.theme.bgSecondary : "transparent")

                    Behavior on color { ColorAnimation { duration: 150 } }

                    Rectangle {
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        width: 4
                        height: 24
                        radius: 2
                        color: sideBar.theme.accentGold
                        visible: entry.selected
                    }

                    Row {
                        anchors.right: parent.right
                        anchors.rightMargin: 18
                        anchors.verticalCenter: parent.verticalCenter
                        layoutDirection: Qt.RightToLeft
                        spacing: 12

                        Text {
                            width: 24
                            anchors.verticalCenter: parent.verticalCenter
                            horizontalAlignment: Text.AlignHCenter
                            text: entry.modelData.icon
                            font.pixelSize: 18
                            color: entry.selected ? sideBar.theme.accentGold : sideBar.theme.textMuted
                        }

                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: entry.modelData.label
                            font: entry.selected ? Theme.bodyLargeBold : Theme.bodyLarge
                            color: entry.selected ? sideBar.theme.textPrimary : sideBar.theme.textSecondary
                        }
                    }
                }

                MouseArea {
                    id: entryMouse
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: {
                        sideBar.currentIndex = entry.modelData.page
                        sideBar.menuSelected(entry.modelData.page)
                    }
                }
            }
        }

        // User area
        Item {
            Layout.fillWidth: true
            Layout.preferredHeight: sideBar.compact ? 64 : 80

            Rectangle {
                anchors.top: parent.top
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.leftMargin: 20
                anchors.rightMargin: 20
                height: 1
                color: sideBar.theme.borderColor
            }

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 14
                anchors.rightMargin: 18
                layoutDirection: Qt.RightToLeft
                spacing: 10

                Rectangle {
                    Layout.preferredWidth: 40
                    Layout.preferredHeight: 40
                    Layout.alignment: Qt.AlignVCenter
                    radius: 20
                    gradient: Gradient {
                        GradientStop { position: 0.0; color: sideBar.theme.accentGoldLight }
                        GradientStop { position: 1.0; color: sideBar.theme.accentGold }
                    }

                    Text {
                        objectName: "userInitial"
                        anchors.centerIn: parent
                        text: authCtrl.currentUser.length > 0 ? authCtrl.currentUser.charAt(0).toUpperCase() : ""
                        textFormat: Text.PlainText
                        font: Theme.headingBold
                        color: "#08111f"
                    }
                }

                Column {
                    Layout.fillWidth: true
                    Layout.alignment: Qt.AlignVCenter
                    spacing: 2

                    Text {
                        objectName: "userName"
                        width: parent.width
                        text: authCtrl.currentUser
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        elide: Text.ElideLeft
                        font: Theme.bodyLargeBold
                        color: sideBar.theme.textPrimary
                    }

                    Text {
                        objectName: "userRole"
                        width: parent.width
                        text: authCtrl.currentRole === "admin" ? "مدير النظام" : "مستخدم"
                        horizontalAlignment: Text.AlignRight
                        font: Theme.small
                        color: sideBar.theme.textMuted
                    }
                }

                Button {
                    id: logoutButton
                    objectName: "logoutButton"
                    flat: true
                    hoverEnabled: true
                    Layout.preferredWidth: 36
                    Layout.preferredHeight: 36
                    Layout.alignment: Qt.AlignVCenter
                    text: "→"
                    onClicked: authCtrl.logout()

                    contentItem: Text {
                        text: logoutButton.text
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        font: Theme.headingLargeBold
                        color: logoutButton.hovered ? sideBar.theme.dangerColor : sideBar.theme.textSecondary
                    }
                    background: Rectangle {
                        radius: 8
                        color: logoutButton.hovered ? sideBar.theme.bgSecondary : "transparent"
                        border.width: logoutButton.hovered ? 1 : 0
                        border.color: sideBar.theme.borderColor
                    }
                }
            }
        }
    }
}
