import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"

// Where this computer keeps the office's books: the file on this computer,
// or a PostgreSQL server several desks share. The first-run setup and the
// settings page both show it; the choice takes effect at the next start.
ColumnLayout {
    id: choice
    objectName: "serverChoice"

    // The line under the fields: the connection test's answer or a refusal.
    property string message: ""
    property bool failed: false
    readonly property bool onServer: serverRadio.checked

    // TLS modes offered: from a server on this computer up to checking the
    // server's certificate and name.
    readonly property var tlsModes: [
        { "mode": "prefer", "label": "عند توفره (هذا الحاسوب فقط)" },
        { "mode": "require", "label": "مطلوب" },
        { "mode": "verify-full", "label": "مطلوب مع التحقق من شهادة الخادم" }
    ]

    // The map ServerSetup takes.
    function value() {
        return {
            "engine": serverRadio.checked ? "postgresql" : "sqlite",
            "host": hostField.text.trim(),
            "port": Number(portField.text.trim() === "" ? "5432" : portField.text.trim()),
            "database": databaseField.text.trim(),
            "user": userField.text.trim(),
            "password": passwordField.text,
            "sslmode": tlsBox.currentIndex >= 0 ? choice.tlsModes[tlsBox.currentIndex].mode : "prefer"
        }
    }

    function load(saved) {
        serverRadio.checked = saved.engine === "postgresql"
        localRadio.checked = !serverRadio.checked
        hostField.text = saved.host
        portField.text = String(saved.port)
        databaseField.text = saved.database
        userField.text = saved.user
        passwordField.text = ""
        passwordField.placeholderText = saved.hasPassword ? "محفوظة (اتركها فارغة لإبقائها)" : ""
        var index = 0
        for (var i = 0; i < tlsModes.length; ++i) {
            if (tlsModes[i].mode === saved.sslmode)
                index = i
        }
        tlsBox.currentIndex = index
        message = ""
    }

    // Empty when the fields can be used; otherwise the reason, shown.
    function check() {
        var problem = serverSetup.problemWith(value())
        failed = problem !== ""
        message = problem
        return problem === ""
    }

    spacing: 8
    Component.onCompleted: load(serverSetup.saved)

    Connections {
        target: serverSetup
        function onConnectionTested(ok, text) {
            choice.failed = !ok
            choice.message = (ok ? "✅ " : "❌ ") + text
        }
    }

    ButtonGroup { id: engineGroup }

    RowLayout {
        Layout.fillWidth: true
        layoutDirection: Qt.RightToLeft
        spacing: 18
        MRadioButton {
            id: localRadio
            objectName: "engineLocal"
            text: "هذا الحاسوب"
            checked: true
            ButtonGroup.group: engineGroup
        }
        MRadioButton {
            id: serverRadio
            objectName: "engineServer"
            text: "خادم مشترك"
            ButtonGroup.group: engineGroup
        }
        Item { Layout.fillWidth: true }
    }

    Text {
        Layout.fillWidth: true
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        wrapMode: Text.Wrap
        font: Theme.caption
        color: Theme.textMuted
        text: serverRadio.checked
              ? "خادم PostgreSQL تعمل عليه عدة أجهزة معاً. كلمة المرور تُحفظ في ملف لا يقرؤه غيرك (أو في ‎~/.pgpass)، والاتصال بخادم على حاسوب آخر مشفّر دائماً."
              : "ملف واحد على هذا الحاسوب، لمكتب يعمل على جهاز واحد."
    }

    GridLayout {
        objectName: "serverFields"
        Layout.fillWidth: true
        visible: serverRadio.checked
        columns: 2
        columnSpacing: 14
        rowSpacing: 8
        layoutDirection: Qt.RightToLeft

        MTextField {
            id: hostField
            objectName: "serverHost"
            Layout.fillWidth: true
            label: "عنوان الخادم"
            placeholderText: "192.168.1.10"
        }
        MTextField {
            id: portField
            objectName: "serverPort"
            Layout.fillWidth: true
            label: "المنفذ"
            placeholderText: "5432"
        }
        MTextField {
            id: databaseField
            objectName: "serverDatabase"
            Layout.fillWidth: true
            label: "قاعدة البيانات"
        }
        MTextField {
            id: userField
            objectName: "serverUser"
            Layout.fillWidth: true
            label: "المستخدم"
        }
        MTextField {
            id: passwordField
            objectName: "serverPassword"
            Layout.fillWidth: true
            label: "كلمة المرور"
            echoMode: TextInput.Password
        }
        MComboBox {
            id: tlsBox
            objectName: "serverTls"
            Layout.fillWidth: true
            label: "التشفير (TLS)"
            model: choice.tlsModes
            textRole: "label"
            currentIndex: 0
        }
    }

    RowLayout {
        Layout.fillWidth: true
        visible: serverRadio.checked
        layoutDirection: Qt.RightToLeft
        spacing: 12
        MButton {
            objectName: "testConnectionButton"
            text: serverSetup.testing ? "جارٍ الاختبار…" : "اختبار الاتصال"
            outline: true
            enabled: !serverSetup.testing
            onClicked: {
                choice.message = ""
                if (!choice.check())
                    return
                if (!serverSetup.testConnection(choice.value())) {
                    choice.failed = true
                    choice.message = serverSetup.lastError
                }
            }
        }
        Item { Layout.fillWidth: true }
    }

    Text {
        objectName: "serverMessage"
        Layout.fillWidth: true
        visible: text !== ""
        text: choice.message
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        wrapMode: Text.Wrap
        font: Theme.body
        color: choice.failed ? Theme.dangerColor : Theme.successColor
    }
}
