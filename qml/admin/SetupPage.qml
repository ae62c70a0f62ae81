import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// First-run setup of a new office, shown once after the administrator has
// replaced the default password: where this computer keeps the books, the
// company profile printed on documents, the primary currency and today's
// rates of the other currencies. Nothing here is final: the settings page
// changes all of it later. A desk that joins a shared server only names the
// server: the office there is set up once, from its first desk.
FocusScope {
    id: page
    objectName: "setupPage"

    signal setupComplete()

    readonly property QtObject theme: ApplicationWindow.window.appTheme
    // The stored currencies in a fixed order, so the rows do not move when
    // another one is chosen as primary.
    property var currencies: []
    property string errorText: ""
    // The server was chosen and saved: the next start opens it.
    property bool serverSaved: false

    // The currency checked when the page opens: the stored primary, or the
    // first currency of a file that has none.
    property string initialCode: ""

    function selectedCode() {
        return currencyGroup.checkedButton ? currencyGroup.checkedButton.code : initialCode
    }

    function selectedSymbol() {
        for (var i = 0; i < currencies.length; ++i) {
            if (currencies[i].code === selectedCode())
                return currencies[i].symbol
        }
        return ""
    }

    // The rate fields of the currencies that are not primary and were filled.
    function filledRates() {
        var rates = []
        for (var i = 0; i < rateRows.count; ++i) {
            var row = rateRows.itemAt(i)
            if (row && row.visible && row.field.text.trim() !== "")
                rates.push(row)
        }
        return rates
    }

    function finish() {
        errorText = ""
        if (storage.onServer) {
            if (!storage.check())
                return
            if (!serverSetup.save(storage.value()))
                return void (errorText = Input.refusal(serverSetup))
            serverSaved = true
            return
        }
        nameField.errorText = Input.requiredError(nameField.text)
        var valid = nameField.errorText === ""
        var rates = filledRates()
        for (var i = 0; i < rates.length; ++i) {
            rates[i].field.errorText = Input.amountError(rates[i].field.text)
            valid = valid && rates[i].field.errorText === ""
        }
        if (!valid)
            return

        settingsManager.updateCompanyProfile(nameField.text.trim(), phoneField.text.trim(),
                                             addressField.text.trim(), emailField.text.trim())
        if (settingsManager.lastError !== "")
            return void (errorText = Input.refusal(settingsManager))
        settingsManager.setPrimaryCurrency(selectedCode())
        if (settingsManager.lastError !== "")
            return void (errorText = Input.refusal(settingsManager))
        // A rate recorded against the old primary would be read the wrong
        // way round, so the rates follow the currency change.
        for (var j = 0; j < rates.length; ++j) {
            if (!currencyModel.recordRate(rates[j].currency.id, Input.today(),
                                          Input.number(rates[j].field.text)))
                return void (errorText = Input.refusal(currencyModel))
        }
        if (!settingsManager.completeSetup())
            return void (errorText = Input.refusal(settingsManager))
        setupComplete()
    }

    Component.onCompleted: {
        var rows = currencyModel.getAll()
        rows.sort(function(a, b) { return a.id - b.id })
        initialCode = settingsManager.primaryCurrency !== "" ? settingsManager.primaryCurrency
                    : rows.length > 0 ? rows[0].code : ""
        currencies = rows
        nameField.text = settingsManager.companyName
        phoneField.text = settingsManager.companyPhone
        addressField.text = settingsManager.companyAddress
        emailField.text = settingsManager.companyEmail
        nameField.input.forceActiveFocus()
    }

    ButtonGroup {
        id: currencyGroup
    }

    Rectangle {
        id: card
        anchors.centerIn: parent
        width: 660
        height: content.implicitHeight + 56
        radius: 20
        color: page.theme.bgCard
        border.width: 1
        border.color: page.theme.borderColor

        ColumnLayout {
            id: content
            anchors.fill: parent
            anchors.margins: 28
            spacing: 10

            Text {
                Layout.fillWidth: true
                text: "إعداد المكتب"
                horizontalAlignment: Text.AlignHCenter
                font: Theme.displayBold
                color: page.theme.textPrimary
            }

            Text {
                Layout.fillWidth: true
                text: "مرة واحدة عند أول تشغيل: بيانات الشركة التي تظهر على المطبوعات، والعملة الأساسية، وأسعار صرف العملات الأخرى. يمكن تعديلها لاحقاً من صفحة الإعدادات."
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                font: Theme.body
                color: page.theme.textSecondary
            }

            SectionTitle { text: "مكان حفظ البيانات" }

            ServerChoice {
                id: storage
                Layout.fillWidth: true
                enabled: !page.serverSaved
            }

            SectionTitle { visible: !storage.onServer; text: "بيانات الشركة" }

            GridLayout {
                Layout.fillWidth: true
                visible: !storage.onServer
                columns: 2
                columnSpacing: 14
                rowSpacing: 8
                layoutDirection: Qt.RightToLeft

                MTextField {
                    id: nameField
                    objectName: "setupCompanyName"
                    Layout.fillWidth: true
                    label: "اسم الشركة"
                    onAccepted: phoneField.input.forceActiveFocus()
                }
                MTextField {
                    id: phoneField
                    objectName: "setupCompanyPhone"
                    Layout.fillWidth: true
                    label: "الهاتف"
                    onAccepted: addressField.input.forceActiveFocus()
                }
                MTextField {
                    id: addressField
                    objectName: "setupCompanyAddress"
                    Layout.fillWidth: true
                    label: "العنوان"
                    onAccepted: emailField.input.forceActiveFocus()
                }
                MTextField {
                    id: emailField
                    objectName: "setupCompanyEmail"
                    Layout.fillWidth: true
                    label: "البريد الإلكتروني"
                    onAccepted: page.finish()
                }
            }

            SectionTitle { visible: !storage.onServer; text: "العملة الأساسية" }

            RowLayout {
                Layout.fillWidth: true
                visible: !storage.onServer
                layoutDirection: Qt.RightToLeft
                spacing: 10

                Repeater {
                    model: page.currencies

                    Rectangle {
                        id: row
                        required property var modelData
                        objectName: "currencyRow_" + modelData.code

                        Layout.fillWidth: true
                        Layout.preferredHeight: 48
                        radius: 12
                        color: radio.checked ? page.theme.bgAccentSoft
                                             : (rowMouse.containsMouse ? page.theme.bgElevated : page.theme.bgInput)
                        border.width: radio.checked ? 1.5 : 1
                        border.color: radio.checked ? page.theme.accentGold : page.theme.borderColor

                        MouseArea {
                            id: rowMouse
                            anchors.fill: parent
                            hoverEnabled: true
                            cursorShape: Qt.PointingHandCursor
                            onClicked: radio.checked = true
                        }

                        RowLayout {
                            anchors.fill: parent
                            anchors.leftMargin: 12
                            anchors.rightMargin: 8
                            layoutDirection: Qt.RightToLeft
                            spacing: 6

                            MRadioButton {
                                id: radio
                                objectName: "currencyRadio_" + row.modelData.code
                                readonly property string code: row.modelData.code
                                ButtonGroup.group: currencyGroup
                                checked: row.modelData.code === page.initialCode
                            }
                            Text {
                                Layout.fillWidth: true
                                text: row.modelData.name_ar
                                textFormat: Text.PlainText
                                horizontalAlignment: Text.AlignRight
                                elide: Text.ElideLeft
                                font: radio.checked ? Theme.bodyBold : Theme.body
                                color: page.theme.textPrimary
                            }
                            Text {
                                text: row.modelData.symbol
                                textFormat: Text.PlainText
                                font: Theme.figureBold
                                color: page.theme.dark ? page.theme.accentGoldLight : page.theme.accentGoldDark
                            }
                        }
                    }
                }
            }

            SectionTitle { visible: !storage.onServer; text: "أسعار الصرف اليوم (اختياري)" }

            Repeater {
                id: rateRows
                model: page.currencies

                RowLayout {
                    id: rateRow
                    required property var modelData
                    readonly property var currency: modelData
                    readonly property alias field: rateField
                    objectName: "setupRateRow_" + modelData.code
                    Layout.fillWidth: true
                    visible: !storage.onServer && modelData.code !== page.selectedCode()
                    layoutDirection: Qt.RightToLeft
                    spacing: 12

                    Text {
                        Layout.preferredWidth: 230
                        text: "1 " + rateRow.modelData.name_ar + " (" + rateRow.modelData.symbol + ") ="
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        font: Theme.body
                        color: page.theme.textPrimary
                    }
                    MTextField {
                        id: rateField
                        objectName: "setupRate_" + rateRow.modelData.code
                        Layout.preferredWidth: 140
                        placeholderText: "0.00"
                        onAccepted: page.finish()
                    }
                    Text {
                        Layout.fillWidth: true
                        text: page.selectedSymbol()
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        font: Theme.bodyBold
                        color: page.theme.textSecondary
                    }
                }
            }

            ErrorBanner {
                objectName: "setupError"
                Layout.fillWidth: true
                text: page.errorText
            }

            Text {
                objectName: "setupServerSaved"
                Layout.fillWidth: true
                visible: page.serverSaved
                text: "حُفظ الخادم المشترك لهذا الحاسوب. يعمل البرنامج عليه بعد إعادة التشغيل."
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignRight
                wrapMode: Text.Wrap
                font: Theme.bodyBold
                color: Theme.successColor
            }

            MButton {
                objectName: "setupStartButton"
                Layout.fillWidth: true
                Layout.topMargin: 6
                Layout.preferredHeight: 44
                text: page.serverSaved ? "إعادة التشغيل الآن"
                                       : storage.onServer ? "حفظ والعمل على الخادم"
                                                          : "حفظ الإعداد وبدء العمل"
                onClicked: {
                    if (!page.serverSaved)
                        return page.finish()
                    if (!serverSetup.restartNow())
                        page.errorText = Input.refusal(serverSetup)
                }
            }
        }
    }

    component SectionTitle: Text {
        Layout.fillWidth: true
        Layout.topMargin: 6
        horizontalAlignment: Text.AlignRight
        font: Theme.bodyBold
        color: Theme.accentGold
    }
}
