import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// Six report tabs over a date range the user can change, and a print button
// that sends the tab on screen to a PDF. Only the tab on screen is read, when
// it is shown, when the range changes and when the books change.
Item {
    id: page
    objectName: "reportsPage"

    readonly property var tabTitles: ["الذكاء الاصطناعي", "الملخص المالي", "أداء المشاريع",
        "حالة الوحدات", "الأقساط المتأخرة", "تقرير الشيكات"]
    property int currentTab: 0
    property string fromDate: new Date().getFullYear() + "-01-01"
    property string toDate: Input.today()
    property string fromError: ""
    property string toError: ""
    // The last thing an action here has to report (printed file, copy, refusal).
    property string statusText: ""
    property bool statusIsError: false
    property bool printing: false
    property bool sharing: false
    // How many times a tab has been read; lets a caller wait for a reload.
    property int loadCount: 0

    readonly property var tabs: [analysisTab, financialTab, projectsTab, unitsTab, overdueTab,
        chequesTab]

    // Until a range is typed, each tab reads its own usual one: the year so
    // far, and for cheques the month's start to 90 days ahead, so the
    // post-dated ones show.
    property bool rangeTyped: false

    function usualRange() {
        if (rangeTyped)
            return
        var from = currentTab === 5 ? Input.thisMonth() + "-01" : new Date().getFullYear() + "-01-01"
        var to = currentTab === 5 ? Input.dayFromToday(90) : Input.today()
        fromDate = from
        toDate = to
        fromField.text = from
        toField.text = to
    }

    // The tabs read off the window's thread; loadCount counts their answers.
    function refresh() {
        usualRange()
        tabs[currentTab].reload()
    }

    function tabLoaded() {
        loadCount += 1
    }

    function scheduleRefresh() {
        if (visible)
            Qt.callLater(refresh)
    }

    function report(text, isError) {
        statusText = text
        statusIsError = isError === true
    }

    // Short enough to stand under the narrow range fields.
    function dateProblem(typed, parsed) {
        if (Input.normalize(typed) === "")
            return "أدخل التاريخ"
        return parsed === "" ? "تاريخ غير صحيح، yyyy-MM-dd" : ""
    }

    // Takes the typed range when both ends are real dates in order; otherwise
    // the fields say what is wrong and the figures stay as they are.
    function applyRange() {
        var from = Input.date(fromField.text)
        var to = Input.date(toField.text)
        fromError = dateProblem(fromField.text, from)
        toError = dateProblem(toField.text, to)
        if (fromError === "" && toError === "" && from > to)
            fromError = "«من» بعد «إلى»"
        if (fromError !== "" || toError !== "")
            return false
        fromField.text = from
        toField.text = to
        fromDate = from
        toDate = to
        rangeTyped = true
        report("", false)
        refresh()
        return true
    }

    // Prints tab `tab` over the range as its own paper; printCtrl reports
    // the file or the failure through its signals. When sharing, the file's
    // folder is opened instead of the file.
    function printTab(tab, share) {
        if (printing)
            return
        printing = true
        sharing = share === true
        report(sharing ? "جاري حفظ التحليل..." : "جاري إنشاء ملف PDF...", false)
        printCtrl.printReportTab(tab, fromDate, toDate, sharing)
        printing = false
        sharing = false
    }

    function shareAnalysis() {
        printTab(0, true)
    }

    function printCurrentTab() {
        printTab(currentTab, false)
    }

    Component.onCompleted: scheduleRefresh()
    onVisibleChanged: scheduleRefresh()
    onCurrentTabChanged: scheduleRefresh()

    DataWatch {
        active: page.visible
        targets: [propertyModel, unitModel, tenantModel, contractModel, invoiceModel,
            paymentModel, maintenanceModel, expenseModel, chequeModel, buyerModel,
            installmentModel, currencyModel]
        onChanged: page.scheduleRefresh()
    }

    Connections {
        target: printCtrl
        enabled: page.printing
        function onPrintFinished(success, filePath) {
            if (success)
                page.report((page.sharing ? "تم حفظ التحليل وفتح مجلده: " : "تم حفظ التقرير: ")
                            + filePath, false)
        }
        function onPrintError(message) { page.report(message, true) }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 16

        PageHeader {
            Layout.fillWidth: true
            title: "التقارير والتحليلات الذكية"
            subtitle: "تحليلات الأداء المالي المدعومة بالذكاء الاصطناعي"

            extraContent: [
                Column {
                    spacing: 2
                    MTextField {
                        id: fromField
                        objectName: "reportFromField"
                        width: 140
                        placeholderText: "من"
                        text: page.fromDate
                        onAccepted: page.applyRange()
                    }
                    Text {
                        objectName: "reportFromError"
                        width: 140
                        height: 14
                        text: page.fromError
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        fontSizeMode: Text.HorizontalFit
                        minimumPixelSize: 8
                        font.pixelSize: 11
                        color: Theme.dangerColor
                    }
                },
                Column {
                    spacing: 2
                    MTextField {
                        id: toField
                        objectName: "reportToField"
                        width: 140
                        placeholderText: "إلى"
                        text: page.toDate
                        onAccepted: page.applyRange()
                    }
                    Text {
                        objectName: "reportToError"
                        width: 140
                        height: 14
                        text: page.toError
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        fontSizeMode: Text.HorizontalFit
                        minimumPixelSize: 8
                        font.pixelSize: 11
                        color: Theme.dangerColor
                    }
                },
                MButton {
                    objectName: "reportUpdateButton"
                    text: "تحديث"
                    btnColor: Theme.bgElevated
                    textColor: Theme.textPrimary
                    onClicked: page.applyRange()
                },
                MButton {
                    objectName: "reportPrintButton"
                    text: page.printing ? "جاري الطباعة..." : "طباعة"
                    iconSymbol: "⎙"
                    outline: true
                    enabled: !page.printing
                    onClicked: page.printCurrentTab()
                }
            ]
        }

        // The tab labels, first on the right.
        Row {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 8

            Repeater {
                model: page.tabTitles

                AbstractButton {
                    id: tabButton
                    required property string modelData
                    required property int index
                    readonly property bool current: page.currentTab === index
                    objectName: "reportTab_" + index
                    height: 38
                    width: tabLabel.implicitWidth + 28
                    hoverEnabled: true
                    onClicked: page.currentTab = index

                    background: Rectangle {
                        radius: 8
                        color: tabButton.current ? Theme.accentGold
                               : (tabButton.hovered ? Theme.bgElevated : Theme.bgSecondary)
                        border.width: 1
                        border.color: tabButton.current ? Theme.accentGold : Theme.borderColor
                    }
                    contentItem: Text {
                        id: tabLabel
                        text: tabButton.modelData
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        font: tabButton.current ? Theme.bodyBold : Theme.body
                        color: tabButton.current ? "#08111f" : Theme.textPrimary
                    }
                }
            }

            LoadingNote {
                objectName: "reportLoading"
                height: 38
                verticalAlignment: Text.AlignVCenter
                loading: page.tabs[page.currentTab].loading
            }
        }

        StackLayout {
            id: tabStack
            objectName: "reportTabs"
            Layout.fillWidth: true
            Layout.fillHeight: true
            currentIndex: page.currentTab

            AnalysisTab {
                id: analysisTab
                onLoaded: page.tabLoaded()
                onCopied: text => page.report(text, false)
                onShareRequested: page.shareAnalysis()
            }
            FinancialTab {
                id: financialTab
                onLoaded: page.tabLoaded()
                fromDate: page.fromDate
                toDate: page.toDate
            }
            ProjectsTab {
                id: projectsTab
                onLoaded: page.tabLoaded()
                fromDate: page.fromDate
                toDate: page.toDate
            }
            UnitsTab {
                id: unitsTab
                onLoaded: page.tabLoaded()
            }
            OverdueTab {
                id: overdueTab
                onLoaded: page.tabLoaded()
            }
            ChequesTab {
                id: chequesTab
                onLoaded: page.tabLoaded()
                fromDate: page.fromDate
                toDate: page.toDate
            }
        }

        Text {
            objectName: "reportStatus"
            Layout.fillWidth: true
            visible: text !== ""
            text: page.statusText
            textFormat: Text.PlainText
            horizontalAlignment: Text.AlignRight
            elide: Text.ElideMiddle
            font: Theme.small
            color: page.statusIsError ? Theme.dangerColor : Theme.successColor
        }
    }
}
