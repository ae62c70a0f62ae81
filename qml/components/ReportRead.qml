import QtQuick

// One long read of a page (see ReportCalls for the names), asked of the
// report reader, which runs it off the window's thread. Only the answer to
// the latest ask arrives; meanwhile `loading` is true and the page keeps
// showing what it had, dimmed.
QtObject {
    id: read

    property string call: ""
    property bool loading: false
    // Why the latest ask was refused; empty when it was answered.
    property string error: ""
    // How many answers have arrived; lets a caller wait for one.
    property int answers: 0
    signal answered(var result)

    function ask(args) {
        loading = true
        reportReader.read(read, call, args || [])
    }

    property Connections replies: Connections {
        target: reportReader
        function onReady(asker, name, result, error) {
            if (asker !== read || name !== read.call)
                return
            read.loading = false
            read.error = error
            if (error === "")
                read.answered(result)
            read.answers += 1
        }
    }
}
