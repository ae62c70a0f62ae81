import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A labelled, right-aligned text field. The label line disappears when the
// label is empty, so fields without one take no extra room.
ColumnLayout {
    id: root

    property alias text: field.text
    property alias placeholderText: field.placeholderText
    property string label: ""
    property bool readOnly: false
    property alias echoMode: field.echoMode
    // A check's complaint, shown under the field; empty hides it. It is about
    // the text it was given for, so it goes as soon as the user edits that
    // text (the next check says again what is wrong, if anything).
    property string errorText: ""
    readonly property alias input: field

    signal accepted()

    // A refusal the dialog shows in its banner was about what stood in the
    // fields then; an edit takes it away.
    function tellEnclosingDialog() {
        for (var item = root.parent; item; item = item.parent) {
            if (item.objectName === "mdialogContent" && item.inputEdited !== undefined) {
                item.inputEdited()
                return
            }
        }
    }

    spacing: 6

    Text {
        objectName: "mtextfieldLabel"
        Layout.fillWidth: true
        visible: root.label !== ""
        text: root.label
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignRight
        font: Theme.smallBold
        color: Theme.textSecondary
        elide: Text.ElideLeft
    }

    TextField {
        id: field
        objectName: "mtextfieldInput"
        Layout.fillWidth: true
        Layout.preferredHeight: 42
        implicitWidth: 220
        readOnly: root.readOnly
        horizontalAlignment: TextInput.AlignRight
        verticalAlignment: TextInput.AlignVCenter
        leftPadding: 12
        rightPadding: 12
        font: Theme.bodyLarge
        color: Theme.textPrimary
        placeholderTextColor: Theme.textMuted
        selectionColor: Theme.accentGold
        selectedTextColor: "#08111f"
        selectByMouse: true
        onAccepted: root.accepted()
        onTextEdited: {
            root.errorText = ""
            root.tellEnclosingDialog()
        }

        background: Rectangle {
            radius: 8
            color: Theme.bgInput
            border.width: field.activeFocus || root.errorText !== "" ? 1.5 : 1
            border.color: root.errorText !== "" ? Theme.dangerColor
                          : field.activeFocus ? Theme.accentGold
                                              : Theme.borderColor

            Rectangle {
                anchors.fill: parent
                radius: parent.radius
                color: "#ffffff"
                opacity: 0.03
                visible: !field.activeFocus
            }
        }
    }

    Text {
        objectName: "mtextfieldError"
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
