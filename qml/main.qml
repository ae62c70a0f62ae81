import QtQuick
import QtQuick.Controls

ApplicationWindow {
    id: window
    objectName: "mainWindow"

    width: 1280
    height: 800
    minimumWidth: 1024
    minimumHeight: 700
    visible: true
    title: "ساكانوفا - نظام إدارة العقارات والمحاسبة"
    color: appTheme.bgPrimary

    // Every document reads its colours from here (ApplicationWindow.window.appTheme).
    // The values are bindings on the stored theme mode, so switching the theme
    // recolours the whole interface at once; anything but "light" is dark.
    readonly property QtObject appTheme: QtObject {
        objectName: "appTheme"
        readonly property bool dark: settingsManager.themeMode !== "light"

        readonly property color bgPrimary: dark ? "#08111f" : "#f4f7fb"
        readonly property color bgSecondary: dark ? "#101a2c" : "#ffffff"
        readonly property color bgElevated: dark ? "#13213a" : "#eef3f9"
        readonly property color bgCard: dark ? "#111c31" : "#ffffff"
        readonly property color bgSidebar: dark ? "#09111d" : "#e8eef6"
        readonly property color bgInput: dark ? "#0a1629" : "#f7fafd"
        readonly property color bgAccentSoft: dark ? "#2e2411" : "#f6e8b8"
        readonly property color accentGold: "#c79a36"
        readonly property color accentGoldLight: "#e7c96f"
        readonly property color accentGoldDark: "#9b7420"
        readonly property color textPrimary: dark ? "#f8fbff" : "#132033"
        readonly property color textSecondary: dark ? "#9db0c9" : "#5b6b80"
        readonly property color textMuted: dark ? "#6f84a2" : "#7b8da4"
        readonly property color borderColor: dark ? "#1d304b" : "#d7e1ec"
        readonly property color borderStrong: dark ? "#33537d" : "#c4d4e5"
        readonly property color successColor: "#16a34a"
        readonly property color warningColor: "#d97706"
        readonly property color dangerColor: "#dc2626"
        readonly property color shadowColor: dark ? "#000000" : "#b7c6d8"
    }

    background: Rectangle {
        objectName: "windowBackground"
        clip: true
        gradient: Gradient {
            GradientStop { position: 0.0; color: window.appTheme.dark ? "#07101d" : "#f7f9fc" }
            GradientStop { position: 0.55; color: window.appTheme.bgPrimary }
            GradientStop { position: 1.0; color: window.appTheme.dark ? "#0e1930" : "#eaf1f8" }
        }

        Rectangle {
            readonly property real diameter: window.width * 0.42
            width: diameter
            height: diameter
            radius: diameter / 2
            x: -diameter * 0.12
            y: -diameter * 0.28
            color: window.appTheme.dark ? "#153154" : "#dce7f4"
            opacity: window.appTheme.dark ? 0.16 : 0.75
        }

        Rectangle {
            readonly property real diameter: window.width * 0.32
            width: diameter
            height: diameter
            radius: diameter / 2
            x: parent.width - diameter + diameter * 0.08
            y: parent.height - diameter + diameter * 0.22
            color: window.appTheme.dark ? "#8f6c22" : "#f3df9d"
            opacity: window.appTheme.dark ? 0.10 : 0.45
        }
    }

    Component {
        id: loginComponent
        LoginPage {
            StackView.onRemoved: destroy()
            onLoginSuccess: window.showStage(settingsManager.isFirstRun ? setupComponent : mainComponent)
        }
    }

    Component {
        id: setupComponent
        SetupPage {
            StackView.onRemoved: destroy()
            onSetupComplete: window.showStage(mainComponent)
        }
    }

    Component {
        id: mainComponent
        MainApp {
            StackView.onRemoved: destroy()
        }
    }

    // Replaces the current stage with a new one. The page is created here,
    // already inside the window, rather than by the StackView: that way every
    // document finds ApplicationWindow.window (and so the theme) while its
    // bindings are first evaluated.
    function showStage(component, operation) {
        const page = component.createObject(stack)
        if (stack.depth === 0)
            stack.push(page, {}, StackView.Immediate)
        else
            stack.replace(null, page, {}, operation === undefined ? StackView.PushTransition : operation)
    }

    Component.onCompleted: showStage(loginComponent)

    // Signing out drops the shell, so the next user gets fresh pages that
    // match their role; the login page comes back with its fields reset.
    Connections {
        target: authCtrl
        function onAuthChanged() {
            if (!authCtrl.isLoggedIn && stack.currentItem && stack.currentItem.objectName !== "loginPage")
                window.showStage(loginComponent, StackView.PopTransition)
        }
    }

    StackView {
        id: stack
        objectName: "stackView"
        anchors.fill: parent

        pushEnter: Transition {
            NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 300; easing.type: Easing.InOutQuad }
            NumberAnimation { property: "x"; from: -50; to: 0; duration: 300; easing.type: Easing.OutCubic }
        }
        pushExit: Transition {
            NumberAnimation { property: "opacity"; from: 1; to: 0; duration: 200 }
        }
        popEnter: Transition {
            NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 300 }
        }
        popExit: Transition {
            NumberAnimation { property: "opacity"; from: 1; to: 0; duration: 200 }
        }
        // The stages replace each other, so replacing animates as pushing does.
        replaceEnter: pushEnter
        replaceExit: pushExit
    }
}
