import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"

// The sign-in screen. Nothing is filled in; the default administrator password
// is shown as a hint only while the "admin" account still has it, and signing
// in with it asks for a new password before the office opens. A focus scope,
// so the password field keeps the keyboard when the stack focuses the page.
FocusScope {
    id: page
    objectName: "loginPage"

    signal loginSuccess()

    readonly property QtObject theme: ApplicationWindow.window.appTheme
    property bool failed: false
    // The name of the last attempt; after repeated failures the controller
    // counts down that name's wait, shown while the same name is typed.
    property string attemptedName: ""
    readonly property bool waiting: authCtrl.loginWaitSeconds > 0
                                    && userField.text.trim() === attemptedName

    // Signed in with the default password: a new one is chosen first.
    property bool changing: false
    // The new password is being hashed off the window's thread.
    property bool saving: false
    property string mismatch: ""

    function attemptLogin() {
        if (changing)
            return setNewPassword()
        if (waiting)
            return
        if (authCtrl.checkingPassword)
            return
        attemptedName = userField.text.trim()
        // The password is checked off the window's thread; the answer comes
        // back through loginFinished.
        authCtrl.startLogin(userField.text, passwordField.text)
    }

    Connections {
        target: authCtrl
        function onLoginFinished(ok) {
            if (!ok) {
                page.failed = true
                return
            }
            page.failed = false
            if (authCtrl.mustChangePassword) {
                page.changing = true
                newPasswordField.input.forceActiveFocus()
            } else {
                page.loginSuccess()
            }
        }
        function onPasswordSaved(ok) {
            if (!page.saving)
                return
            page.saving = false
            page.failed = !ok
            if (ok) {
                passwordField.text = ""
                page.loginSuccess()
            }
        }
    }

    function setNewPassword() {
        if (saving || authCtrl.checkingPassword)
            return
        mismatch = newPasswordField.text !== repeatPasswordField.text ? "كلمتا المرور غير متطابقتين" : ""
        if (mismatch === "" && authCtrl.startChangePassword(passwordField.text, newPasswordField.text)) {
            failed = false
            saving = true
        } else {
            failed = true
        }
    }

    Component.onCompleted: userField.input.forceActiveFocus()

    // Drifting gold dots behind the form. Positions are fractions of the page
    // so they stay spread out whatever size the window has.
    Repeater {
        model: 20

        Rectangle {
            id: dot
            property real fx: Math.random()
            property real fy: Math.random()
            readonly property real size: 3 + Math.random() * 4
            x: fx * (page.width - size)
            y: fy * (page.height - size)
            width: size
            height: size
            radius: size / 2
            color: page.theme.accentGold

            SequentialAnimation on fy {
                loops: Animation.Infinite
                NumberAnimation { to: Math.random(); duration: 5000 + Math.random() * 8000; easing.type: Easing.InOutSine }
                NumberAnimation { to: Math.random(); duration: 5000 + Math.random() * 8000; easing.type: Easing.InOutSine }
            }

            SequentialAnimation on opacity {
                loops: Animation.Infinite
                NumberAnimation { from: 0.05; to: Math.random() * 0.2; duration: 3000 }
                NumberAnimation { to: 0.05; duration: 3000 }
            }
        }
    }

    component LoginField: ColumnLayout {
        id: fieldRoot

        property string label: ""
        property string icon: ""
        property bool password: false
        property alias text: input.text
        property alias placeholderText: input.placeholderText
        property alias input: input
        property alias revealed: eye.checked

        readonly property QtObject theme: ApplicationWindow.window.appTheme

        signal accepted()

        spacing: 8

        Text {
            Layout.fillWidth: true
            text: fieldRoot.label
            horizontalAlignment: Text.AlignRight
            font: Theme.bodyBold
            color: fieldRoot.theme.textSecondary
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 50
            radius: 12
            color: fieldRoot.theme.bgInput
            border.width: input.activeFocus ? 1.5 : 1
            border.color: input.activeFocus ? fieldRoot.theme.accentGold : fieldRoot.theme.borderColor

            Behavior on border.color { ColorAnimation { duration: 150 } }

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 8
                anchors.rightMargin: 14
                layoutDirection: Qt.RightToLeft
                spacing: 10

                Text {
                    text: fieldRoot.icon
                    font.pixelSize: 18
                    color: fieldRoot.theme.textMuted
                    Layout.alignment: Qt.AlignVCenter
                }

                TextField {
                    id: input
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    horizontalAlignment: TextInput.AlignRight
                    verticalAlignment: TextInput.AlignVCenter
                    leftPadding: 4
                    rightPadding: 4
                    font: Theme.subtitle
                    color: fieldRoot.theme.textPrimary
                    placeholderTextColor: fieldRoot.theme.textMuted
                    selectionColor: fieldRoot.theme.accentGold
                    selectedTextColor: "#08111f"
                    selectByMouse: true
                    echoMode: fieldRoot.password && !eye.checked ? TextInput.Password : TextInput.Normal
                    background: null
                    onAccepted: fieldRoot.accepted()
                }

                AbstractButton {
                    id: eye
                    objectName: fieldRoot.password ? "passwordEye" : ""
                    visible: fieldRoot.password
                    checkable: true
                    focusPolicy: Qt.NoFocus
                    hoverEnabled: true
                    Layout.preferredWidth: 36
                    Layout.preferredHeight: 36
                    Layout.alignment: Qt.AlignVCenter

                    background: Rectangle {
                        radius: 8
                        color: eye.hovered ? fieldRoot.theme.bgElevated : "transparent"
                    }
                    contentItem: Text {
                        text: eye.checked ? "👁" : "👁🗨"
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        font.pixelSize: 14
                        color: fieldRoot.theme.textSecondary
                    }
                }
            }
        }
    }

    // The program's version, for support calls and to tell installations apart.
    Text {
        objectName: "versionLabel"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 14
        text: "الإصدار " + Qt.application.version
        textFormat: Text.PlainText
        font: Theme.caption
        color: page.theme.textMuted
    }

    ColumnLayout {
        anchors.centerIn: parent
        width: 440
        spacing: 0

        Rectangle {
            id: logoTile
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: 104
            Layout.preferredHeight: 104
            radius: 28
            color: page.theme.bgElevated
            border.width: 1.5
            border.color: page.theme.accentGold

            Image {
                anchors.centerIn: parent
                width: 72
                height: 72
                source: "qrc:/assets/logo.ico"
                // The icon file holds one frame per size, smallest first.
                currentFrame: frameCount > 0 ? frameCount - 1 : 0
                fillMode: Image.PreserveAspectFit
                smooth: true
                mipmap: true
            }

            SequentialAnimation on scale {
                loops: Animation.Infinite
                NumberAnimation { from: 1.0; to: 1.05; duration: 2000; easing.type: Easing.InOutSine }
                NumberAnimation { from: 1.05; to: 1.0; duration: 2000; easing.type: Easing.InOutSine }
            }
        }

        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 22
            text: "ساكانوفا"
            font: Theme.heroBold
            color: page.theme.dark ? page.theme.accentGoldLight : page.theme.accentGoldDark
        }

        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 6
            text: "نظام إدارة العقارات والمحاسبة"
            font: Theme.title
            color: page.theme.textSecondary
        }

        Item {
            Layout.fillWidth: true
            Layout.topMargin: 30
            Layout.preferredHeight: card.implicitHeight

            // A soft shadow under the card.
            Rectangle {
                anchors.fill: card
                anchors.topMargin: 10
                anchors.bottomMargin: -14
                anchors.leftMargin: 6
                anchors.rightMargin: 6
                radius: card.radius
                color: page.theme.shadowColor
                opacity: page.theme.dark ? 0.35 : 0.45
            }

            Rectangle {
                id: card
                objectName: "loginCard"
                width: parent.width
                implicitHeight: form.implicitHeight + 64
                height: implicitHeight
                radius: 20
                color: page.theme.bgCard
                border.width: 1
                border.color: page.theme.borderColor

                ColumnLayout {
                    id: form
                    anchors.fill: parent
                    anchors.margins: 32
                    spacing: 18

                    LoginField {
                        id: userField
                        objectName: "usernameField"
                        visible: !page.changing
                        Layout.fillWidth: true
                        label: "اسم المستخدم"
                        icon: "👤"
                        onAccepted: passwordField.input.forceActiveFocus()
                        onTextChanged: page.failed = false
                    }

                    LoginField {
                        id: passwordField
                        objectName: "passwordField"
                        visible: !page.changing
                        Layout.fillWidth: true
                        label: "كلمة المرور"
                        icon: "🔒"
                        placeholderText: "••••••"
                        password: true
                        onAccepted: page.attemptLogin()
                        onTextChanged: page.failed = false
                    }

                    LoginField {
                        id: newPasswordField
                        objectName: "newPasswordField"
                        visible: page.changing
                        Layout.fillWidth: true
                        label: "كلمة المرور الجديدة (8 أحرف على الأقل)"
                        icon: "🔑"
                        password: true
                        onAccepted: repeatPasswordField.input.forceActiveFocus()
                        onTextChanged: page.failed = false
                    }

                    LoginField {
                        id: repeatPasswordField
                        objectName: "repeatPasswordField"
                        visible: page.changing
                        Layout.fillWidth: true
                        label: "تأكيد كلمة المرور الجديدة"
                        icon: "🔑"
                        password: true
                        onAccepted: page.setNewPassword()
                        onTextChanged: page.failed = false
                    }

                    Text {
                        objectName: "loginError"
                        Layout.fillWidth: true
                        visible: page.failed && !page.waiting
                        text: page.changing && page.mismatch !== "" ? page.mismatch
                              : authCtrl.lastError !== "" ? authCtrl.lastError
                              : "اسم المستخدم أو كلمة المرور غير صحيحة"
                        textFormat: Text.PlainText
                        wrapMode: Text.WordWrap
                        horizontalAlignment: Text.AlignHCenter
                        font: Theme.bodyBold
                        color: page.theme.dangerColor
                    }

                    // Counts down by itself: the controller updates the wait
                        // every second, the window never blocks.
                    Text {
                        objectName: "loginWait"
                        Layout.fillWidth: true
                        visible: page.waiting
                        text: authCtrl.loginWaitMessage
                        textFormat: Text.PlainText
                        wrapMode: Text.WordWrap
                        horizontalAlignment: Text.AlignHCenter
                        font: Theme.bodyBold
                        color: page.theme.warningColor
                    }

                    Button {
                        id: loginButton
                        objectName: "loginButton"
                        Layout.fillWidth: true
                        enabled: !page.waiting && !authCtrl.checkingPassword
                        opacity: enabled ? 1.0 : 0.5
                        Layout.preferredHeight: 50
                        Layout.topMargin: 4
                        hoverEnabled: true
                        text: page.changing ? (page.saving ? "جارٍ الحفظ…" : "حفظ كلمة المرور والمتابعة")
                              : authCtrl.checkingPassword ? "جارٍ التحقق…" : "تسجيل الدخول"
                        font: Theme.titleBold
                        scale: pressed ? 0.97 : 1.0
                        onClicked: page.attemptLogin()

                        Behavior on scale { NumberAnimation { duration: 100; easing.type: Easing.OutQuad } }

                        contentItem: Text {
                            text: loginButton.text
                            font: loginButton.font
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                            color: "#08111f"
                        }
                        background: Rectangle {
                            radius: 12
                            gradient: Gradient {
                                GradientStop { position: 0.0; color: loginButton.hovered ? "#e8c76a" : "#d4a843" }
                                GradientStop { position: 1.0; color: loginButton.hovered ? "#d4a843" : "#b8922e" }
                            }
                        }
                    }

                    Text {
                        objectName: "loginHint"
                        Layout.fillWidth: true
                        visible: authCtrl.defaultPasswordInUse
                        // A new office is set up in two steps: this password, then
                        // the company, currency and rates.
                        text: !page.changing ? "بيانات الدخول الافتراضية: admin / vexil"
                              : settingsManager.isFirstRun
                                ? "إعداد المكتب، الخطوة الأولى: كلمة مرور جديدة للمدير بدل الافتراضية"
                                : "كلمة المرور الافتراضية لا تصلح للعمل؛ اختر كلمة مرور جديدة للمدير"
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.WordWrap
                        font: Theme.small
                        color: page.theme.textMuted
                    }
                }
            }
        }
    }
}
