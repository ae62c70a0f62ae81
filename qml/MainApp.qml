import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The main shell: top bar over the side bar and the twelve pages. One index is
// shared by the side bar, the page stack and the list of page titles. A page
// is built the first time it is shown, so signing in reads only the
// dashboard; once built it stays, keeping its search, filters and tab, and
// reads again whenever it is shown.
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

    // One place in the page stack, empty until the page is first shown.
    component LazyPage: Loader {
        property bool shown: false
        active: shown
        Component.onCompleted: if (StackLayout.isCurrentItem) shown = true
        StackLayout.onIsCurrentItemChanged: if (StackLayout.isCurrentItem) shown = true
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

                LazyPage {
                    sourceComponent: DashboardPage {
                        onOpenPage: index => shell.navigate(index)
                    }
                }
                LazyPage { sourceComponent: PropertiesPage {} }
                LazyPage { sourceComponent: TenantsPage {} }
                LazyPage { sourceComponent: BuyersPage {} }
                LazyPage { sourceComponent: AccountingPage {} }
                LazyPage { sourceComponent: PaymentsPage {} }
                LazyPage { sourceComponent: ChequesPage {} }
                LazyPage { sourceComponent: InvoicesPage {} }
                LazyPage { sourceComponent: MaintenancePage {} }
                LazyPage { sourceComponent: ReportsPage {} }
                LazyPage { sourceComponent: UsersPage {} }
                LazyPage { sourceComponent: SettingsPage {} }
            }
        }
    }
}
