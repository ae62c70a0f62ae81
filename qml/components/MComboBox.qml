import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A labelled choice in the application's look. `model` is a row list or a
// list of strings; `placeholder` stands in while nothing is chosen.
ColumnLayout {
    id: root

    property string label: ""
    property alias model: box.model
    property alias textRole: box.textRole
    property alias currentIndex: box.currentIndex
    property string placeholder: ""
    // A check's complaint; a new choice takes it away until the next check.
    property string errorText: ""
    // Turns a row into its line in the list; used when textRole is not enough.
    property var displayFunction: null
    readonly property alias input: box
    readonly property var currentRow: box.currentIndex >= 0 && box.model && box.model.length !== undefined
                                      ? box.model[box.currentIndex] : undefined

    signal activated(int index)

    spacing: 6

    // The content area of the dialog the box sits in, or null on a page.
    function enclosingDialog() {
        for (var item = root.parent; item; item = item.parent) {
            if (item.objectName === "mdialogContent" && item.confirm !== undefined)
                return item
        }
        return null
    }

    function confirmEnclosing(event) {
        var dialog = box.popup.visible ? null : enclosingDialog()
        if (dialog)
            dialog.confirm()
        event.accepted = dialog !== null
    }

    function textOf(row) {
        if (row === undefined || row === null)
            return ""
        if (root.displayFunction)
            return String(root.displayFunction(row))
        if (box.textRole !== "")
            return row[box.textRole] !== undefined && row[box.textRole] !== null
                    ? String(row[box.textRole]) : ""
        return String(row)
    }

    Text {
        Layout.fillWidth: true
        visible: root.label !== ""
        text: root.label
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        font: Theme.smallBold
        color: Theme.textSecondary
        elide: Text.ElideLeft
    }

    ComboBox {
        id: box
        objectName: "mcomboInput"
        Layout.fillWidth: true
        Layout.preferredHeight: 42
        implicitWidth: 220
        font: Theme.bodyLarge
        onActivated: index => {
            root.errorText = ""
            var dialog = root.enclosingDialog()
            if (dialog)
                dialog.inputEdited()
            root.activated(index)
        }
        // The combo box keeps Return for itself even with its list closed, so
        // a dialog never heard it: with the list closed, Return confirms the
        // dialog the box sits in, as it does from a text field.
        Keys.priority: Keys.BeforeItem
        Keys.onReturnPressed: event => root.confirmEnclosing(event)
        Keys.onEnterPressed: event => root.confirmEnclosing(event)
        displayText: currentIndex < 0 ? root.placeholder : root.textOf(model[currentIndex])

        contentItem: Text {
            leftPadding: 30
            rightPadding: 12
            text: box.displayText
            textFormat: Text.PlainText
            font: box.font
            color: box.currentIndex < 0 ? Theme.textMuted : Theme.textPrimary
            horizontalAlignment: Text.AlignRight
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideLeft
        }

        indicator: Text {
            x: 10
            anchors.verticalCenter: parent.verticalCenter
            text: "▾"
            font.pixelSize: 14
            color: Theme.textSecondary
        }

        background: Rectangle {
            radius: 8
            color: Theme.bgInput
            border.width: box.activeFocus || root.errorText !== "" ? 1.5 : 1
            border.color: root.errorText !== "" ? Theme.dangerColor
                          : box.activeFocus ? Theme.accentGold : Theme.borderColor
        }

        delegate: ItemDelegate {
            id: option
            required property int index
            required property var modelData
            width: choices.width - 8
            height: 38
            highlighted: box.highlightedIndex === index
            contentItem: Text {
                text: root.textOf(option.modelData)
                textFormat: Text.PlainText
                font: box.font
                color: Theme.textPrimary
                horizontalAlignment: Text.AlignRight
                verticalAlignment: Text.AlignVCenter
                elide: Text.ElideLeft
            }
            background: Rectangle {
                color: option.highlighted ? Theme.bgElevated : "transparent"
            }
        }

        // The list opens at least as wide as its longest choice, so a short
        // box does not cut words such as "خدمة أخرى".
        TextMetrics {
            id: metrics
            font: box.font
        }

        popup: Popup {
            id: choices
            property real widest: 0
            y: box.height + 2
            width: Math.max(box.width, widest + 48)
            // Opened leftwards from the box's right edge, as the page reads.
            x: box.width - width
            // Modal without a shade: a press outside closes the list and goes
            // no further. Inside a dialog the list takes the blocking over from
            // it, or the dialog would keep the wheel from the list.
            modal: true
            dim: false
            closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
            onOpened: {
                var dialog = root.enclosingDialog()
                if (dialog && dialog.lendModality)
                    dialog.lendModality(true)
            }
            onClosed: {
                var dialog = root.enclosingDialog()
                if (dialog && dialog.lendModality)
                    dialog.lendModality(false)
            }
            onAboutToShow: {
                var widestSeen = 0
                var rows = box.model
                var count = rows && rows.length !== undefined ? Math.min(rows.length, 300) : 0
                for (var i = 0; i < count; ++i) {
                    metrics.text = root.textOf(rows[i])
                    widestSeen = Math.max(widestSeen, metrics.advanceWidth)
                }
                widest = widestSeen
            }
            implicitHeight: Math.min(contentItem.implicitHeight + 8, 260)
            padding: 4
            contentItem: ListView {
                clip: true
                implicitHeight: contentHeight
                model: box.popup.visible ? box.delegateModel : null
                currentIndex: box.highlightedIndex
                ScrollIndicator.vertical: ScrollIndicator {}
            }
            background: Rectangle {
                radius: 8
                color: Theme.bgSecondary
                border.width: 1
                border.color: Theme.borderStrong
            }
        }
    }

    Text {
        objectName: "mcomboError"
        Layout.fillWidth: true
        visible: root.errorText !== ""
        text: root.errorText
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        wrapMode: Text.Wrap
        font: Theme.caption
        color: Theme.dangerColor
    }
}
