import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../components"
import "../components/Input.js" as Input

// "استيراد بيانات من إكسل (لصق مباشر)": rows pasted from a spreadsheet (tab
// separated) or typed with commas. A preview of the first lines shows what
// each column will fill and which lines have a problem; after the import the
// counts come from the importer, and the import can be taken back.
MDialog {
    id: dialog

    property string targetTable: "tenants"
    property var preview: ({})
    property var result: ({})
    property string errorText: ""
    property string doneText: ""

    readonly property var columns: preview.columns || []
    readonly property var previewRows: preview.rows || []
    readonly property bool canUndo: importCtrl.lastResult.table === targetTable
                                    && (importCtrl.lastResult.inserted || 0) > 0 && !importCtrl.busy

    objectName: "importDialog"
    title: "استيراد بيانات من إكسل (لصق مباشر)"
    width: 820
    height: 680

    function columnOrder() {
        if (targetTable === "tenants")
            return "الاسم، رقم الهوية، الهاتف، العنوان"
        if (targetTable === "buyers")
            return "الاسم، رقم الهوية، الهاتف"
        return "معرف العقار، رقم الوحدة، المساحة، السعر"
    }

    function refreshPreview() {
        preview = textArea.text.trim() === "" ? ({}) : importCtrl.previewRawCSV(textArea.text, targetTable)
        if (textArea.text.trim() !== "" && importCtrl.lastError !== "")
            errorText = importCtrl.lastError
    }

    function refusedText(lines) {
        var parts = []
        for (var i = 0; i < lines.length; ++i)
            parts.push("السطر " + lines[i].line + ": " + lines[i].reason)
        return parts.join("\n")
    }

    function start() {
        errorText = ""
        doneText = ""
        if (textArea.text.trim() === "") {
            errorText = "الصق البيانات في المربع أولاً"
            return
        }
        // A large paste is written in slices; finished() below takes the end.
        if (!importCtrl.startImport(textArea.text, targetTable))
            errorText = Input.refusal(importCtrl)
    }

    function finished(ok) {
        result = importCtrl.lastResult
        if (ok) {
            doneText = "تم استيراد " + (result.inserted || 0) + " سطراً، وتخطي " + (result.skipped || 0)
                    + " (سطر العناوين)، ورفض " + (result.refused || 0) + " سطراً"
            textArea.text = ""
            preview = ({})
        } else {
            errorText = Input.refusal(importCtrl)
        }
    }

    function undo() {
        var count = importCtrl.lastResult.inserted || 0
        confirm.ask("تراجع عن الاستيراد", "سيتم حذف السجلات الـ " + count + " التي أضافها آخر استيراد. هل تريد المتابعة؟",
                    "تراجع", function() {
                        if (!importCtrl.undoLastImport())
                            return Input.refusal(importCtrl)
                        dialog.result = ({})
                        dialog.errorText = ""
                        dialog.doneText = "تم التراجع عن الاستيراد وحذف " + count + " سجلاً"
                        return ""
                    })
    }

    onAboutToShow: {
        errorText = ""
        doneText = ""
        result = ({})
        refreshPreview()
    }
    onOpened: textArea.forceActiveFocus()

    Connections {
        target: importCtrl
        function onImportFinished(ok) {
            if (dialog.visible)
                dialog.finished(ok)
        }
    }

    Timer {
        id: previewTimer
        interval: 400
        onTriggered: dialog.refreshPreview()
    }

    component Caption: Text {
        Layout.fillWidth: true
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        wrapMode: Text.Wrap
        font: Theme.body
        color: Theme.textSecondary
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        Caption { text: "قم بنسخ البيانات من الإكسل ثم لصقها في المربع أدناه:"; color: Theme.textPrimary }

        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 130
            radius: 8
            color: Theme.bgInput
            border.width: textArea.activeFocus ? 1.5 : 1
            border.color: textArea.activeFocus ? Theme.accentGold : Theme.borderColor
            ScrollView {
                anchors.fill: parent
                anchors.margins: 2
                TextArea {
                    id: textArea
                    objectName: "importText"
                    placeholderText: "انسخ هنا (الاسم، الهوية، الهاتف، العنوان)..."
                    placeholderTextColor: Theme.textMuted
                    color: Theme.textPrimary
                    font: Theme.body
                    horizontalAlignment: TextEdit.AlignRight
                    wrapMode: TextEdit.NoWrap
                    selectByMouse: true
                    background: null
                    onTextChanged: {
                        if (text.trim() !== "")
                            dialog.errorText = ""
                        previewTimer.restart()
                    }
                }
            }
        }

        Caption { text: "ترتيب الأعمدة المطلوب: " + dialog.columnOrder() }

        // Preview: the first lines as they will be stored.
        Caption {
            objectName: "importPreviewSummary"
            visible: dialog.previewRows.length > 0
            font: Theme.bodyBold
            color: Theme.textPrimary
            text: "معاينة: " + (dialog.preview.ready || 0) + " سطراً جاهزة للاستيراد، "
                  + (dialog.preview.problems || 0) + " فيها مشكلة"
                  + (dialog.preview.header ? "، وسطر العناوين سيُتخطى" : "")
                  + (dialog.preview.lines > dialog.previewRows.length
                     ? " (فُحصت أول " + dialog.previewRows.length + " من " + dialog.preview.lines + " سطراً)" : "")
        }
        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 30
            visible: dialog.previewRows.length > 0
            radius: 6
            color: Theme.bgElevated
            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 8
                anchors.rightMargin: 8
                layoutDirection: Qt.RightToLeft
                spacing: 6
                Text { Layout.preferredWidth: 40; text: "السطر"; font.pixelSize: 11; font.bold: true; color: Theme.textSecondary; horizontalAlignment: Text.AlignRight }
                Repeater {
                    model: dialog.columns
                    delegate: Text {
                        required property string modelData
                        Layout.preferredWidth: 95
                        text: modelData
                        textFormat: Text.PlainText
                        elide: Text.ElideLeft
                        horizontalAlignment: Text.AlignRight
                        font.pixelSize: 11
                        font.bold: true
                        color: Theme.textSecondary
                    }
                }
                Text { Layout.fillWidth: true; text: "الملاحظة"; font.pixelSize: 11; font.bold: true; color: Theme.textSecondary; horizontalAlignment: Text.AlignRight }
            }
        }
        ListView {
            id: previewList
            objectName: "importPreviewList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: dialog.previewRows.length > 0
            clip: true
            model: dialog.previewRows
            delegate: Rectangle {
                id: previewRow
                required property var modelData
                required property int index
                objectName: "importPreviewRow_" + index
                width: previewList.width
                height: 28
                color: modelData.problem ? (Theme.dark ? "#3a1518" : "#fde8e8")
                                         : index % 2 ? Theme.bgCard : "transparent"
                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 8
                    anchors.rightMargin: 8
                    layoutDirection: Qt.RightToLeft
                    spacing: 6
                    Text { Layout.preferredWidth: 40; text: String(previewRow.modelData.line); font.pixelSize: 12; color: Theme.textMuted; horizontalAlignment: Text.AlignRight }
                    Repeater {
                        model: previewRow.modelData.fields
                        delegate: Text {
                            required property string modelData
                            Layout.preferredWidth: 95
                            text: modelData
                            textFormat: Text.PlainText
                            elide: Text.ElideLeft
                            horizontalAlignment: Text.AlignRight
                            font.pixelSize: 12
                            color: previewRow.modelData.header ? Theme.textMuted : Theme.textPrimary
                        }
                    }
                    Text {
                        objectName: "importPreviewProblem"
                        Layout.fillWidth: true
                        text: previewRow.modelData.header ? "سطر عناوين، سيُتخطى"
                                                          : previewRow.modelData.problem || "✓"
                        textFormat: Text.PlainText
                        elide: Text.ElideLeft
                        horizontalAlignment: Text.AlignRight
                        font.pixelSize: 12
                        color: previewRow.modelData.problem ? Theme.dangerColor : Theme.successColor
                    }
                }
            }
        }
        Item { Layout.fillHeight: true; visible: dialog.previewRows.length === 0 }

        ErrorBanner {
            id: banner
            Layout.fillWidth: true
            text: dialog.errorText
        }
        ImportProgress {
            Layout.fillWidth: true
        }
        Caption {
            objectName: "importResult"
            visible: dialog.doneText !== ""
            text: dialog.doneText
            font: Theme.bodyBold
            color: Theme.successColor
        }
        Caption {
            objectName: "importRefusedLines"
            visible: (dialog.result.refusedLines || []).length > 0
            text: dialog.refusedText(dialog.result.refusedLines || [])
            color: Theme.dangerColor
            Layout.maximumHeight: 80
            clip: true
        }

        RowLayout {
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            spacing: 10
            MButton {
                objectName: "importStartButton"
                Layout.fillWidth: true
                enabled: !importCtrl.busy
                text: importCtrl.busy ? "جارٍ الاستيراد..." : "بدء الاستيراد الآن"
                onClicked: dialog.start()
            }
            MButton {
                objectName: "importUndoButton"
                visible: dialog.canUndo
                text: "تراجع عن الاستيراد"
                outline: true
                btnColor: "#ef4444"
                onClicked: dialog.undo()
            }
        }
        Caption {
            text: "ملاحظة: افصل بين كل حقل وآخر بفاصلة (,) أو انسخ الصفوف مباشرة."
            font: Theme.caption
            color: Theme.textMuted
        }
    }

    ConfirmDialog {
        id: confirm
    }
}
