import QtQuick
import QtQuick.Layouts

// The sentence a list shows instead of rows when it has none.
Text {
    Layout.fillWidth: true
    horizontalAlignment: Text.AlignHCenter
    wrapMode: Text.WordWrap
    textFormat: Text.PlainText
    font: Theme.body
    color: Theme.textMuted
    topPadding: 8
    bottomPadding: 8
}
