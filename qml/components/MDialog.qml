import QtQuick
import QtQuick.Controls

// A modal dialog centred on the window: a titled header bar with a close
// button, and a content area that takes the dialog's children.
Popup {
    id: dialog

    property string title: ""
    default property alias content: contentArea.data

    // Return or Enter inside the dialog: the dialog's confirm action.
    signal enterPressed()

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: 500
    height: 400
    padding: 0
    modal: true
    // The shade stays while a combo box's list holds the blocking (see
    // lendModality below), so it is the same for both states.
    dim: true
    focus: true
    closePolicy: Popup.CloseOnEscape

    Component {
        id: shade
        Rectangle {
            color: Theme.dark ? "#b3030812" : "#80132033"
        }
    }
    Overlay.modal: shade
    Overlay.modeless: shade

    enter: Transition {
        NumberAnimation { property: "opacity"; from: 0.0; to: 1.0; duration: 200; easing.type: Easing.OutBack }
        NumberAnimation { property: "scale"; from: 0.9; to: 1.0; duration: 200; easing.type: Easing.OutBack }
    }
    exit: Transition {
        NumberAnimation { property: "opacity"; to: 0.0; duration: 150 }
        NumberAnimation { property: "scale"; to: 0.85; duration: 150 }
    }

    background: Rectangle {
        color: Theme.bgSecondary
        radius: 16
        border.width: 1
        border.color: Theme.borderColor
    }

    contentItem: Item {
        Rectangle {
            id: header
            objectName: "mdialogHeader"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: 1
            height: 56
            radius: 15
            color: Theme.bgElevated

            // Squares off the lower corners so only the dialog's top is round.
            Rectangle {
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                height: parent.radius
                color: parent.color
            }

            Rectangle {
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                height: 2
                color: Theme.accentGold
            }

            Text {
                objectName: "mdialogTitle"
                anchors.right: parent.right
                anchors.rightMargin: 20
                anchors.left: closeButton.right
                anchors.leftMargin: 12
                anchors.verticalCenter: parent.verticalCenter
                text: dialog.title
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignRight
                elide: Text.ElideLeft
                font: Theme.headingLargeBold
                color: Theme.textPrimary
            }

            AbstractButton {
                id: closeButton
                objectName: "mdialogClose"
                anchors.left: parent.left
                anchors.leftMargin: 14
                anchors.verticalCenter: parent.verticalCenter
                width: 32
                height: 32
                hoverEnabled: true
                onClicked: dialog.close()

                background: Rectangle {
                    radius: width / 2
                    color: closeButton.hovered ? Theme.dangerColor
                                               : Theme.bgSecondary
                    border.width: 1
                    border.color: closeButton.hovered ? Theme.dangerColor
                                                      : Theme.borderColor
                    Behavior on color { ColorAnimation { duration: 120 } }
                }
                contentItem: Text {
                    text: "×"
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    font: Theme.figure
                    color: closeButton.hovered ? "#ffffff" : Theme.textSecondary
                }
            }
        }

        Item {
            id: contentArea
            objectName: "mdialogContent"
            // Called by controls that keep Return for themselves (MComboBox).
            function confirm() { dialog.enterPressed() }
            // A combo box's open list is a popup of its own beside the
            // dialog in the window's overlay, not inside it, and a modal
            // dialog swallows every wheel event over it: the list could not
            // be scrolled. While a list is open it blocks the window itself
            // and the dialog stops doing so (MComboBox).
            function lendModality(lent) { dialog.modal = !lent }
            // Called when the user edits a field: the banner's refusal was
            // about the earlier input.
            function inputEdited() {
                if ("errorText" in dialog)
                    dialog.errorText = ""
            }
            Keys.onReturnPressed: dialog.enterPressed()
            Keys.onEnterPressed: dialog.enterPressed()
            anchors.top: header.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.topMargin: 25
            anchors.margins: 25
        }
    }
}
