import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// Appearance, currencies and rates, the company profile printed on
// documents, the export to Excel (a workbook, or CSV files), backup and
// restore, and where this computer keeps the books (with the move of this
// computer's file to a shared server).
Item {
    id: page
    objectName: "settingsPage"

    property var currencies: []
    property var missingRates: []
    property string busyWith: ""
    property string exportMessage: ""
    property bool exportFailed: false
    property string backupMessage: ""
    property bool backupFailed: false
    property string profileMessage: ""
    property string storageMessage: ""
    property bool storageFailed: false
    property bool profileFailed: false

    function reload() {
        currencies = currencyModel.getAll()
        missingRates = page.may("exchangeRates") ? currencyModel.missingRates() : []
        nameField.text = settingsManager.companyName
        phoneField.text = settingsManager.companyPhone
        addressField.text = settingsManager.companyAddress
        emailField.text = settingsManager.companyEmail
    }

    // Long work runs after the window has painted its "working" line, and
    // only one at a time.
    function run(what, work) {
        if (busyWith !== "")
            return
        busyWith = what
        Qt.callLater(function() {
            work()
            page.busyWith = ""
        })
    }

    // "xlsx" (one workbook, the default) or "csv" (a folder of files). It is
    // written off the window's thread; the result line comes with
    // exportFinished.
    function exportData(format) {
        page.exportMessage = ""
        if (!backupManager.startExport(format)) {
            page.exportFailed = true
            page.exportMessage = "❌ " + Input.refusal(backupManager)
        }
    }

    // The copy and its check run off the window's thread; the result line
    // comes with backupFinished (the automatic backup's too).
    function backupNow() {
        if (!backupManager.startBackup()) {
            page.backupFailed = true
            page.backupMessage = "❌ فشل في إنشاء النسخة: " + Input.refusal(backupManager)
        }
    }

    // Follows the signed-in role, which the binding reads first.
    function may(action) {
        return authCtrl.currentRole !== "" && authCtrl.can(action)
    }

    function restore() {
        var file = backupManager.browseRestoreFile()
        if (file === "")
            return
        confirm.ask("استعادة نسخة احتياطية",
                    "ستحل النسخة «" + file + "» محل جميع البيانات الحالية. هل تريد المتابعة؟",
                    "استعادة", function() {
                        page.backupFailed = false
                        page.backupMessage = ""
                        // On a server it goes on off the window's thread,
                        // its end told by restoreFinished.
                        if (!backupManager.restoreBackup(file))
                            return Input.refusal(backupManager)
                        return ""
                    })
    }

    function saveStorage() {
        storageMessage = ""
        if (storageChoice.onServer && !storageChoice.check())
            return
        storageFailed = !serverSetup.save(storageChoice.value())
        storageMessage = storageFailed ? "❌ " + Input.refusal(serverSetup)
                                       : "تم الحفظ؛ يسري عند التشغيل التالي"
    }

    // Every row of this computer's file goes to the server, checked there
    // before it is kept; the end comes with moveFinished.
    function moveToServer() {
        storageMessage = ""
        if (!storageChoice.check())
            return
        confirm.ask("نقل البيانات إلى الخادم",
                    "تُنسخ كل بيانات هذا الحاسوب إلى الخادم وتُطابَق أعدادها ومجاميعها، ويتوقف الحفظ على هذا الحاسوب حتى إعادة التشغيل. هل تريد المتابعة؟",
                    "نقل", function() {
                        if (!serverSetup.startMove(storageChoice.value()))
                            return Input.refusal(serverSetup)
                        return ""
                    })
    }

    function saveProfile() {
        settingsManager.updateCompanyProfile(nameField.text.trim(), phoneField.text.trim(),
                                             addressField.text.trim(), emailField.text.trim())
        profileFailed = settingsManager.lastError !== ""
        profileMessage = profileFailed ? settingsManager.lastError : "تم حفظ بيانات الشركة"
    }

    // Read once when the page is first shown, and again each time it is.
    Component.onCompleted: if (visible) reload()
    onVisibleChanged: if (visible) reload()

    DataWatch {
        targets: [currencyModel]
        active: page.visible
        onChanged: {
            page.currencies = currencyModel.getAll()
            page.missingRates = page.may("exchangeRates") ? currencyModel.missingRates() : []
        }
    }

    Connections {
        target: backupManager
        function onExportFinished(ok, message) {
            page.exportFailed = !ok
            if (!ok)
                page.exportMessage = "❌ " + message
            else
                page.exportMessage = message.endsWith(".xlsx")
                        ? "تم التصدير بنجاح إلى ملف Excel: " + Input.isolate(message)
                        : "تم التصدير بنجاح بصيغة CSV متوافقة مع Excel: " + Input.isolate(message)
        }
        function onBackupFinished(ok, message) {
            page.backupFailed = !ok
            page.backupMessage = ok ? "✅ تم إنشاء النسخة بنجاح وتم التحقق منها: " + message
                                    : "❌ فشل في إنشاء النسخة: " + message
        }
    }

    Connections {
        target: backupManager
        function onRestoreFinished(ok, message) {
            page.backupFailed = !ok
            page.backupMessage = ok ? "" : "❌ " + message
        }
    }

    Connections {
        target: serverSetup
        function onMoveFinished(ok, message) {
            page.storageFailed = !ok
            page.storageMessage = (ok ? "✅ " : "❌ ") + message
        }
    }


    component Heading: Text {
        Layout.fillWidth: true
        horizontalAlignment: Text.AlignRight
        font: Theme.headingBold
        color: Theme.textPrimary
    }
    component Line: Text {
        Layout.fillWidth: true
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        wrapMode: Text.Wrap
        font: Theme.body
        color: Theme.textSecondary
    }
    component Section: Rectangle {
        default property alias content: inner.data
        Layout.fillWidth: true
        implicitHeight: inner.implicitHeight + 36
        radius: 14
        color: Theme.bgCard
        border.width: 1
        border.color: Theme.borderColor
        ColumnLayout {
            id: inner
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: 18
            spacing: 10
        }
    }

    ScrollView {
        id: scroller
        anchors.fill: parent
        anchors.margins: 28
        contentWidth: availableWidth
        clip: true

        ColumnLayout {
            width: scroller.availableWidth
            spacing: 18

            PageHeader {
                Layout.fillWidth: true
                title: "الإعدادات"
                subtitle: "المظهر والعملات وبيانات الشركة والنسخ الاحتياطي"
            }

            Section {
                Heading { text: "🎨 المظهر الداخلي" }
                Line { text: "بدّل بين الوضع الليلي والنهاري، ويتم حفظ الاختيار داخل النظام." }
                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 14
                    Repeater {
                        model: [
                            { "mode": "dark", "title": "الوضع الليلي", "text": "مناسب للعمل الطويل والتركيز العالي" },
                            { "mode": "light", "title": "الوضع النهاري", "text": "ألوان فاتحة للطباعة والعرض المكتبي" }
                        ]
                        delegate: Rectangle {
                            id: themeCard
                            required property var modelData
                            readonly property bool current: settingsManager.themeMode === modelData.mode
                            objectName: "themeCard_" + modelData.mode
                            Layout.fillWidth: true
                            Layout.preferredHeight: 84
                            radius: 12
                            color: current ? Theme.bgElevated : Theme.bgSecondary
                            border.width: current ? 2 : 1
                            border.color: current ? Theme.accentGold : Theme.borderColor
                            ColumnLayout {
                                anchors.fill: parent
                                anchors.margins: 14
                                spacing: 4
                                Text {
                                    Layout.fillWidth: true
                                    text: themeCard.modelData.title
                                    horizontalAlignment: Text.AlignRight
                                    font: Theme.subtitleBold
                                    color: themeCard.current ? Theme.accentGold : Theme.textPrimary
                                }
                                Text {
                                    Layout.fillWidth: true
                                    text: themeCard.modelData.text
                                    horizontalAlignment: Text.AlignRight
                                    font: Theme.small
                                    color: Theme.textSecondary
                                }
                            }
                            MouseArea {
                                anchors.fill: parent
                                cursorShape: Qt.PointingHandCursor
                                onClicked: settingsManager.setThemeMode(themeCard.modelData.mode)
                            }
                        }
                    }
                }
            }

            // Administrators' sections: hidden from the other roles, whose
            // calls the back end refuses anyway.
            Section {
                objectName: "currencySection"
                visible: page.may("exchangeRates")
                Heading { text: "💱 العملات وأسعار الصرف" }
                Line { text: "العملة الأساسية: " + settingsManager.primaryCurrency }
                Line {
                    text: "سعر الصرف: قيمة وحدة واحدة من العملة بالعملة الأساسية (" + Money.primarySymbol + ")"
                    color: Theme.textMuted
                    font: Theme.caption
                }
                // Amounts in these currencies cannot be converted until a
                // rate covering their day is recorded.
                Repeater {
                    model: page.missingRates
                    delegate: Text {
                        required property var modelData
                        objectName: "missingRate_" + modelData.code
                        Layout.fillWidth: true
                        text: "⚠️ " + modelData.text
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        wrapMode: Text.Wrap
                        font: Theme.bodyBold
                        color: Theme.dangerColor
                    }
                }
                Repeater {
                    model: page.currencies
                    delegate: RateRow {
                        required property var modelData
                        Layout.fillWidth: true
                        currency: modelData
                        visible: Number(modelData.is_primary) !== 1
                    }
                }
            }

            Section {
                objectName: "companySection"
                visible: page.may("companyProfile")
                Heading { text: "🏢 بيانات الشركة (للمستندات)" }
                GridLayout {
                    Layout.fillWidth: true
                    columns: 2
                    layoutDirection: Qt.RightToLeft
                    columnSpacing: 14
                    rowSpacing: 10
                    MTextField { id: nameField; objectName: "companyNameField"; Layout.fillWidth: true; label: "اسم الشركة" }
                    MTextField { id: phoneField; objectName: "companyPhoneField"; Layout.fillWidth: true; label: "رقم الهاتف" }
                    MTextField { id: addressField; objectName: "companyAddressField"; Layout.fillWidth: true; label: "العنوان" }
                    MTextField { id: emailField; objectName: "companyEmailField"; Layout.fillWidth: true; label: "البريد الإلكتروني" }
                }
                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 12
                    MButton {
                        objectName: "saveCompanyButton"
                        text: "حفظ بيانات الشركة"
                        onClicked: page.saveProfile()
                    }
                    Line {
                        objectName: "companyMessage"
                        text: page.profileMessage
                        color: page.profileFailed ? Theme.dangerColor : Theme.successColor
                    }
                }
            }

            Section {
                objectName: "dataSection"
                visible: page.may("exportAll")
                Heading { text: "إدارة البيانات" }
                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 12
                    MButton {
                        objectName: "exportXlsxButton"
                        iconSymbol: "📥"
                        text: backupManager.exportRunning ? "جارٍ التصدير..." : "تصدير البيانات إلى Excel (xlsx)"
                        enabled: page.busyWith === "" && !backupManager.exportRunning
                        onClicked: page.exportData("xlsx")
                    }
                    MButton {
                        objectName: "exportCsvButton"
                        text: "ملفات CSV"
                        outline: true
                        enabled: page.busyWith === "" && !backupManager.exportRunning
                        onClicked: page.exportData("csv")
                    }
                    Line {
                        objectName: "exportMessage"
                        text: page.exportMessage
                        color: page.exportFailed ? Theme.dangerColor : Theme.successColor
                    }
                }
                ColumnLayout {
                    objectName: "exportProgress"
                    Layout.fillWidth: true
                    visible: backupManager.exportRunning
                    spacing: 4
                    Line {
                        text: backupManager.exportStage + " "
                              + Math.round(backupManager.exportProgress * 100) + "٪"
                        color: Theme.textSecondary
                    }
                    ProgressBar {
                        Layout.fillWidth: true
                        from: 0
                        to: 1
                        value: backupManager.exportProgress
                    }
                }
            }

            Section {
                objectName: "storageSection"
                visible: page.may("restoreBackup")
                Heading { text: "🗄️ مكان حفظ البيانات" }
                Line {
                    objectName: "storageNowLine"
                    text: "يعمل البرنامج الآن على: " + (serverSetup.runningOnServer ? "خادم مشترك" : "هذا الحاسوب")
                }
                ServerChoice {
                    id: storageChoice
                    Layout.fillWidth: true
                    enabled: !serverSetup.moving
                }
                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 12
                    MButton {
                        objectName: "saveStorageButton"
                        text: "حفظ"
                        enabled: !serverSetup.moving
                        onClicked: page.saveStorage()
                    }
                    MButton {
                        objectName: "moveToServerButton"
                        visible: storageChoice.onServer && !serverSetup.runningOnServer
                        text: serverSetup.moving ? "جارٍ النقل…" : "نقل بيانات هذا الحاسوب إلى الخادم"
                        outline: true
                        enabled: !serverSetup.moving
                        onClicked: page.moveToServer()
                    }
                    Item { Layout.fillWidth: true }
                }
                ColumnLayout {
                    objectName: "moveProgress"
                    Layout.fillWidth: true
                    visible: serverSetup.moving
                    spacing: 4
                    Line { text: serverSetup.moveStage }
                    ProgressBar {
                        Layout.fillWidth: true
                        from: 0
                        to: 1
                        value: serverSetup.moveProgress
                    }
                }
                Line {
                    objectName: "storageMessage"
                    visible: text !== ""
                    text: page.storageMessage
                    color: page.storageFailed ? Theme.dangerColor : Theme.successColor
                }
                RowLayout {
                    objectName: "storageRestartRow"
                    Layout.fillWidth: true
                    visible: serverSetup.restartNeeded
                    layoutDirection: Qt.RightToLeft
                    spacing: 12
                    Line { Layout.fillWidth: true; text: "يسري مكان الحفظ الجديد بعد إعادة التشغيل." }
                    MButton {
                        objectName: "storageRestartButton"
                        text: "إعادة التشغيل الآن"
                        onClicked: {
                            if (!serverSetup.restartNow()) {
                                page.storageFailed = true
                                page.storageMessage = "❌ " + Input.refusal(serverSetup)
                            }
                        }
                    }
                }
            }

            Section {
                Heading { text: "💾 النسخ الاحتياطي" }
                Line { objectName: "backupPathLine"; text: "مسار النسخ: " + Input.isolate(backupManager.backupPath) }
                RowLayout {
                    Layout.fillWidth: true
                    layoutDirection: Qt.RightToLeft
                    spacing: 10
                    MButton {
                        objectName: "changeBackupPathButton"
                        visible: page.may("backupSettings")
                        text: "تغيير"
                        outline: true
                        enabled: page.busyWith === ""
                        onClicked: {
                            var folder = backupManager.browseBackupPath()
                            if (folder !== "")
                                backupManager.backupPath = folder
                        }
                    }
                    MButton {
                        objectName: "backupNowButton"
                        text: backupManager.backupRunning && !backupManager.restoreRunning
                              ? "جارٍ إنشاء النسخة..." : "إنشاء نسخة الآن"
                        enabled: page.busyWith === "" && !backupManager.backupRunning
                                 && !backupManager.restartRequired
                        onClicked: {
                            page.backupMessage = ""
                            page.backupNow()
                        }
                    }
                    MButton {
                        objectName: "restoreButton"
                        visible: page.may("restoreBackup")
                        text: "استعادة نسخة"
                        outline: true
                        enabled: page.busyWith === "" && !backupManager.backupRunning
                                 && !backupManager.restartRequired
                        onClicked: page.restore()
                    }
                    Item { Layout.fillWidth: true }
                }
                ColumnLayout {
                    objectName: "backupProgress"
                    Layout.fillWidth: true
                    visible: backupManager.backupRunning
                    spacing: 4
                    Line {
                        objectName: "backupStageLine"
                        text: backupManager.backupStage + " "
                              + Math.round(backupManager.backupProgress * 100) + "٪"
                        color: Theme.textSecondary
                    }
                    ProgressBar {
                        Layout.fillWidth: true
                        from: 0
                        to: 1
                        value: backupManager.backupProgress
                    }
                }
                Line {
                    objectName: "backupMessage"
                    visible: text !== ""
                    text: page.backupMessage
                    color: page.backupFailed ? "#ef4444" : "#22c55e"
                }
                Rectangle {
                    objectName: "restartBox"
                    Layout.fillWidth: true
                    visible: backupManager.restartRequired
                    implicitHeight: restartRow.implicitHeight + 24
                    radius: 10
                    color: Theme.bgAccentSoft
                    border.width: 1
                    border.color: "#d4a843"
                    RowLayout {
                        id: restartRow
                        anchors.fill: parent
                        anchors.margins: 12
                        layoutDirection: Qt.RightToLeft
                        spacing: 12
                        Line {
                            objectName: "restoreMessage"
                            Layout.fillWidth: true
                            text: "✅ تم استعادة النسخة بنجاح. ستحل البيانات المستعادة محل البيانات الحالية عند إعادة التشغيل، "
                                  + "ولن يُحفظ أي تغيير حتى ذلك الحين."
                                  + (backupManager.restoreNotice !== "" ? "\n" + backupManager.restoreNotice : "")
                            color: Theme.textPrimary
                        }
                        MButton {
                            objectName: "restartNowButton"
                            text: "إعادة التشغيل الآن"
                            onClicked: {
                                if (!backupManager.restartNow())
                                    page.backupMessage = "❌ " + Input.refusal(backupManager)
                            }
                        }
                    }
                }
            }
        }
    }

    ConfirmDialog {
        id: confirm
    }
}
