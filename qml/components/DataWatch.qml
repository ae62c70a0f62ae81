import QtQuick

// Tells a page or dialog that a model it reads has changed, so it can show
// current data and not only what its own actions changed. While inactive (a
// hidden page, a closed dialog) changes are ignored: the owner reloads anyway
// when it is shown again.
QtObject {
    id: watch

    property var targets: []
    property bool active: true
    signal changed()

    function fire() {
        if (watch.active)
            watch.changed()
    }

    Component.onCompleted: {
        for (var i = 0; i < targets.length; ++i)
            if (targets[i])
                targets[i].dataChanged.connect(watch.fire)
    }
    Component.onDestruction: {
        for (var i = 0; i < targets.length; ++i)
            if (targets[i])
                targets[i].dataChanged.disconnect(watch.fire)
    }
}
