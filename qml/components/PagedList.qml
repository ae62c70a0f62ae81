import QtQuick
import QtQuick.Controls

// A list that takes either a row list or a paged list model, and says in a
// sentence when there is nothing to show. Delegates read their record with
// rowAt(index); a paged model is fetched a screenful at a time by the view.
//
// A long row list is given as `rows`: the view then only counts it and each
// delegate reads its own row straight from the script array. Reading a row
// through `model` converts the whole array again for every row read.
ListView {
    id: list

    property string emptyText: "لا توجد بيانات بعد"
    // Said instead of emptyText while a search or filter is narrowing the list.
    property string noMatchText: "لا توجد نتائج مطابقة للبحث"
    property bool narrowed: false
    // The row list, kept as the script array it is.
    property var rows: undefined

    function rowAt(i) {
        if (rows !== undefined && rows !== null)
            return rows[i] !== undefined && rows[i] !== null ? rows[i] : ({})
        if (!model)
            return ({})
        if (model.length !== undefined)
            return model[i] !== undefined ? model[i] : ({})
        return model.get(i)
    }

    model: rows !== undefined && rows !== null ? rows.length : undefined

    clip: true
    spacing: 8
    boundsBehavior: Flickable.StopAtBounds
    ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

    Text {
        objectName: "emptyListText"
        anchors.centerIn: parent
        width: parent.width - 40
        visible: list.count === 0
        text: list.narrowed ? list.noMatchText : list.emptyText
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        font: Theme.subtitle
        color: Theme.textMuted
    }
}
