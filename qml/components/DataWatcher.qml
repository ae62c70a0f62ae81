import QtQuick

// Tells a page that one of the back-end objects it reads has changed, so it
// can show current figures without waiting for its own actions. Every source
// is expected to have a `dataChanged` signal.
Item {
    id: watcher

    property var sources: []

    signal changed()

    visible: false

    Instantiator {
        model: watcher.sources

        delegate: Connections {
            required property var modelData
            target: modelData
            ignoreUnknownSignals: true
            function onDataChanged() { watcher.changed() }
        }
    }
}
