import QtQuick

// A dialog built the first time it is needed rather than with its page: a
// page holding several dialogs made every opening of the page wait for all
// of them. `dialog` is the built one (null until then); open it through
// get(), e.g. `addDialog.get().open()`.
Loader {
    id: lazy

    property Component dialogComponent
    property var dialog: null

    // Builds the dialog if it is not built yet, and returns it.
    function get() {
        active = true
        return dialog
    }

    active: false
    sourceComponent: Item {
        Component.onCompleted: lazy.dialog = lazy.dialogComponent.createObject(this)
        Component.onDestruction: lazy.dialog = null
    }
}
