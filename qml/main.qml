import QtQuick
import QtQuick.Controls
import "components"
import "admin"

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

    // Every document reads its colours through this property.
    readonly property QtObject appTheme: Theme

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
            // A new office is set up by its administrator, once.
            onLoginSuccess: window.showStage(settingsManager.isFirstRun && authCtrl.currentRole === "admin"
                                             ? setupComponent : mainComponent())
        }
    }

    Component {
        id: setupComponent
        SetupPage {
            StackView.onRemoved: destroy()
            onSetupComplete: window.showStage(mainComponent())
        }
    }

    // The shell is made from its file at each sign-in rather than named in
    // this document: once a session ends nothing refers to it any more, and
    // the engine lets go of the compiled pages with all they built. The
    // login page also comes up sooner, without compiling every page first.
    function mainComponent() {
        const component = Qt.createComponent("MainApp.qml")
        if (component.status === Component.Error)
            console.error(component.errorString())
        return component
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
