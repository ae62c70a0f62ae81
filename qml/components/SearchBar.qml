import QtQuick
import QtQuick.Controls

// The search bar above a list: a magnifier and a field. `text` follows what
// is typed; `query` takes it once typing pauses (or at Enter, or at once when
// the field is cleared), so a list searches once per pause, not per key.
// Pages search on queryChanged.
Rectangle {
    id: bar

    property alias text: field.text
    property alias placeholderText: field.placeholderText
    readonly property alias input: field
    // The text searched for: `text` as it stood when typing paused.
    property string query: ""
    // How long typing must pause before the text is searched, in ms.
    property int pause: 200

    // Searches the text as it stands now, without waiting for the pause.
    function settle() {
        pauseTimer.stop()
        query = field.text
    }

    Timer {
        id: pauseTimer
        interval: bar.pause
        onTriggered: bar.query = field.text
    }

    implicitHeight: 46
    height: 46
    radius: 10
    color: Theme.bgCard
    border.width: field.activeFocus ? 1.5 : 1
    border.color: field.activeFocus ? Theme.accentGold : Theme.borderColor

    Text {
        id: icon
        anchors.right: parent.right
        anchors.rightMargin: 14
        anchors.verticalCenter: parent.verticalCenter
        text: "⌕"
        font.pixelSize: 20
        color: Theme.textMuted
    }

    TextField {
        id: field
        objectName: "searchInput"
        anchors.right: icon.left
        anchors.rightMargin: 8
        anchors.left: parent.left
        anchors.leftMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        horizontalAlignment: TextInput.AlignRight
        font: Theme.bodyLarge
        color: Theme.textPrimary
        placeholderTextColor: Theme.textMuted
        selectByMouse: true
        background: null
        onTextChanged: {
            if (text === "")
                bar.settle()
            else
                pauseTimer.restart()
        }
        onAccepted: bar.settle()
    }
}
