import QtQuick

// The light "loading" mark a page shows while its figures are read again:
// the old figures stay on screen until the new ones arrive.
Text {
    property bool loading: false
    objectName: "loadingNote"
    visible: loading
    text: "جارٍ التحميل…"
    textFormat: Text.PlainText
    font: Theme.small
    color: Theme.textSecondary
}
