import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// User accounts. Every signed-in user may change their own password; an
// administrator also adds and removes accounts and resets others' passwords.
Item {
    id: page
    objectName: "usersPage"

    property var users: []
    readonly property bool isAdmin: authCtrl.currentRole === "admin"

    function reload() {
        users = authCtrl.getUsers()
    }

    // "" when done, else the reason, as the confirm dialog expects.
    function removeUser(name) {
        if (!authCtrl.removeUser(name))
            return Input.refusal(authCtrl)
        reload()
        return ""
    }

    Component.onCompleted: reload()
    onVisibleChanged: if (visible) reload()

    Connections {
        target: authCtrl
        function onAuthChanged() { page.reload() }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 20

        PageHeader {
            Layout.fillWidth: true
            title: "إدارة المستخدمين"
            subtitle: "التحكم في صلاحيات الوصول للنظام"
            extraContent: [
                MButton {
                    objectName: "changeOwnPasswordButton"
                    text: "🔑 تغيير كلمة المرور"
                    outline: true
                    onClicked: passwordDialog.open()
                },
                MButton {
                    objectName: "addUserButton"
                    visible: page.isAdmin
                    text: "+ مستخدم جديد"
                    onClicked: addDialog.open()
                }
            ]
        }

        TabBar {
            id: tabs
            objectName: "usersTabs"
            visible: page.isAdmin
            Layout.preferredWidth: 360
            Layout.alignment: Qt.AlignRight
            background: Rectangle { color: "transparent" }
            Repeater {
                model: ["المستخدمون", "سجل العمليات"]
                delegate: TabButton {
                    id: tab
                    required property string modelData
                    required property int index
                    objectName: "usersTab_" + index
                    text: modelData
                    font: tabs.currentIndex === index ? Theme.bodyBold : Theme.body
                    contentItem: Text {
                        text: tab.text
                        font: tab.font
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        color: tabs.currentIndex === tab.index ? "#08111f" : Theme.textSecondary
                    }
                    background: Rectangle {
                        radius: 8
                        color: tabs.currentIndex === tab.index ? Theme.accentGold : Theme.bgCard
                        border.width: 1
                        border.color: Theme.borderColor
                    }
                }
            }
        }

        // The trail is for administrators only; a clerk never has it built.
        Loader {
            objectName: "auditLoader"
            Layout.fillWidth: true
            Layout.fillHeight: true
            active: page.isAdmin && tabs.currentIndex === 1
            visible: active
            sourceComponent: AuditView {}
        }

        PagedList {
            id: list
            objectName: "userList"
            visible: !page.isAdmin || tabs.currentIndex === 0
            Layout.fillWidth: true
            Layout.fillHeight: true
            rows: page.users
            emptyText: "لا يوجد مستخدمون بعد"

            delegate: Rectangle {
                id: row
                required property int index
                readonly property var user: list.rowAt(index)
                readonly property bool removable: page.isAdmin && user.username !== "admin"
                objectName: "userRow_" + user.username
                width: list.width
                height: 66
                radius: 12
                color: Theme.bgCard
                border.width: 1
                border.color: Theme.borderColor

                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 14
                    anchors.rightMargin: 18
                    layoutDirection: Qt.RightToLeft
                    spacing: 14

                    Text { text: "👤"; font.pixelSize: 22 }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 2
                        Text {
                            Layout.fillWidth: true
                            text: row.user.username || ""
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            elide: Text.ElideLeft
                            font: Theme.subtitleBold
                            color: Theme.textPrimary
                        }
                        Text {
                            Layout.fillWidth: true
                            text: "آخر دخول: " + (row.user.last_login ? row.user.last_login : "أبداً")
                            textFormat: Text.PlainText
                            horizontalAlignment: Text.AlignRight
                            font: Theme.small
                            color: Theme.textSecondary
                        }
                    }
                    StatusBadge {
                        objectName: "userRole"
                        text: row.user.role === "admin" ? "مدير نظام" : "موظف"
                        textColor: row.user.role === "admin" ? Theme.accentGold : Theme.textSecondary
                    }
                    // As wide as its buttons: a fixed width pushed the delete
                    // button past the card's edge.
                    Row {
                        layoutDirection: Qt.RightToLeft
                        spacing: 6
                        MButton {
                            objectName: "resetPasswordButton"
                            visible: page.isAdmin && row.user.id !== authCtrl.currentUserId
                            implicitHeight: 34
                            text: "🔑 كلمة المرور"
                            outline: true
                            onClicked: resetDialog.show(row.user.username)
                        }
                        MButton {
                            objectName: "removeUserButton"
                            visible: row.removable
                            implicitWidth: 44
                            implicitHeight: 34
                            leftPadding: 6
                            rightPadding: 6
                            text: "🗑"
                            outline: true
                            btnColor: "#ef4444"
                            // Bound to the page: the row is rebuilt when the list reloads.
                            onClicked: confirm.ask("حذف مستخدم", "هل تريد حذف المستخدم «" + row.user.username + "»؟",
                                                   "حذف", page.removeUser.bind(page, row.user.username))
                        }
                    }
                }
            }
        }
    }

    UserAddDialog {
        id: addDialog
        onSaved: page.reload()
    }

    PasswordChangeDialog {
        id: passwordDialog
    }

    PasswordResetDialog {
        id: resetDialog
    }

    ConfirmDialog {
        id: confirm
    }
}
