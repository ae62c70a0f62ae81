import QtQuick
import QtQuick.Controls

ApplicationWindow {
    id: window
    width: 1280
    height: 800
    visible: true
    title: "ساكانوفا - نظام إدارة العقارات والمحاسبة"
}
