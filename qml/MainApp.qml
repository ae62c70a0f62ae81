import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The main shell: top bar over the side bar and the twelve pages. One index is
// shared by the side bar, the page stack and the list of page titles; all
// pages are built with the shell so each loads its data once.
FocusScope {
    id: shell
    objectName: "mainApp"

    readonly property var pageTitles: [
        "لوحة التحكم",
        "العقارات والمشاريع",
        "المستأجرون",
        "المشترون والمبيعات",
        "المحاسبة ومراكز التكلفة",
        "المدفوعات",
        "الشيكات",
        "الفواتير",
        "الصيانة",
        "التقارير",
        "المستخدمون",
        "الإعدادات"
    ]
    readonly property alias currentIndex: pages.currentIndex

    // Lets a page send the user to another page, with the side bar following.
    function navigate(index) {
        sideBar.currentIndex = index
        sideBar.menuSelected(index)
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        TopBar {
            id: topBar
            Layout.fillWidth: true
            Layout.preferredHeight: 72
            title: shell.pageTitles[pages.currentIndex]
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            layoutDirection: Qt.RightToLeft
            spacing: 0

            SideBar {
                id: sideBar
                Layout.preferredWidth: 236
                Layout.fillHeight: true
                onMenuSelected: index => pages.currentIndex = index
            }

            StackLayout {
                id: pages
                objectName: "pageStack"
                Layout.fillWidth: true
                Layout.fillHeight: true
                currentIndex: 0

                DashboardPage {
                    onOpenPage: index => shell.navigate(index)
                }
                PropertiesPage {}
                TenantsPage {}
                BuyersPage {}
                AccountingPage {}
                PaymentsPage {}
                ChequesPage {}
                InvoicesPage {}
                MaintenancePage {}
                ReportsPage {}
                UsersPage {}
                SettingsPage {}
            }
        }
    }
}
