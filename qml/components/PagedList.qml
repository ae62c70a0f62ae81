import QtQuick
import QtQuick.Controls

// A list that takes either a row list or a paged list model, and says in a
// sentence when there is nothing to show. Delegates read their record with
// rowAt(index); a paged model is fetched a screenful at a time by the view.
ListView {
    id: list

    property string emptyText: "لا توجد بيانات بعد"
    // Said instead of emptyText while a search or filter is narrowing the list.
    property string noMatchText: "لا توجد نتائج مطابقة للبحث"
    property bool narrowed: false

    function rowAt(i) {
        if (!model)
            return ({})
        if (model.length !== undefined)
            return model[i] !== undefined ? model[i] : ({})
        return model.get(i)
    }

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
