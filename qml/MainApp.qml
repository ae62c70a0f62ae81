import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "rental"
import "sales"
import "accounting"
import "admin"
import "dashboard"
import "reports"
import "components"

// The main shell: top bar over the side bar and the twelve pages. One index is
// shared by the side bar, the page stack and the list of page titles. A page
// is built when it is shown, so signing in reads only the dashboard. The few
// pages shown last stay built, keeping their search, filters and tab for the
// user going back and forth between them; older ones are let go, so a long
// session does not hold every page and its rows. Every page reads again
// whenever it is shown.
FocusScope {
    id: shell
    objectName: "mainApp"
    // The window's stage stack lets go of the shell at sign-out.
    StackView.onRemoved: destroy()

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
        "الإعدادات",
        "المصروفات"
    ]
    readonly property alias currentIndex: pages.currentIndex
    // Indexes of the pages kept built, the latest shown first.
    property var keptPages: [0]
    readonly property int keptPageCount: 3

    // Lets a page send the user to another page, with the side bar following.
    function navigate(index) {
        sideBar.currentIndex = index
        sideBar.menuSelected(index)
    }

    function keep(index) {
        var kept = keptPages.filter(i => i !== index)
        kept.unshift(index)
        keptPages = kept.slice(0, keptPageCount)
        // A page let go gives its memory back.
        if (kept.length > keptPageCount)
            sessionMemory.pageReleased()
    }

    // The settings page's headings lead with colour emoji, whose glyphs are
    // decoded and scaled the first time they are drawn: over 20 ms as the
    // page opened. Drawn once here, under the top bar's opaque background
    // where nobody sees them, they are ready before the page is asked for.
    Text {
        parent: topBar
        z: -1
        text: "🎨💱🏢🗄️💾"
        font: Theme.headingBold
        textFormat: Text.PlainText
        Accessible.ignored: true
    }

    // One place in the page stack, holding its page while it is kept.
    component LazyPage: Loader {
        active: shell.keptPages.indexOf(StackLayout.index) >= 0
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

        // A shared server out of reach: said across the window until the
        // connection is back; the writes meanwhile are refused with a reason.
        ErrorBanner {
            objectName: "serverBanner"
            Layout.fillWidth: true
            Layout.margins: visible ? 8 : 0
            text: serverLink.message
        }

        // A restore on the server (this desk's or another's) holds the
        // books until it is done: the pages keep what they show, and a read
        // or a save meanwhile is refused as busy rather than holding the
        // window.
        ErrorBanner {
            objectName: "restoreBanner"
            Layout.fillWidth: true
            Layout.margins: visible ? 8 : 0
            text: backupManager.restoreRunning
                  ? "تجري استعادة نسخة احتياطية على الخادم (" + backupManager.backupStage
                    + ")؛ قد لا تتحدّث الصفحات ولا يُحفظ شيء حتى تنتهي"
                  : serverLink.restoreElsewhere
                    ? "تجري استعادة نسخة احتياطية على الخادم من جهاز آخر؛ قد لا تتحدّث الصفحات ولا يُحفظ شيء حتى تنتهي"
                    : ""
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
                onCurrentIndexChanged: shell.keep(currentIndex)

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
                LazyPage { sourceComponent: ExpensesPage {} }
            }
        }
    }
}
