pragma Singleton
import QtQuick

// The colour theme. The window publishes this very object as its `appTheme`
// property, which is how pages read it (ApplicationWindow.window.appTheme).
// Being a singleton it is also reachable where an item has no window, as the
// contents of a closed popup do, so the shared components use it directly.
// The colours are bindings on the stored theme mode: switching the theme
// recolours everything at once, and anything but "light" is dark.
QtObject {
    readonly property bool dark: settingsManager.themeMode !== "light"

    readonly property color bgPrimary: dark ? "#08111f" : "#f4f7fb"
    readonly property color bgSecondary: dark ? "#101a2c" : "#ffffff"
    readonly property color bgElevated: dark ? "#13213a" : "#eef3f9"
    readonly property color bgCard: dark ? "#111c31" : "#ffffff"
    readonly property color bgSidebar: dark ? "#09111d" : "#e8eef6"
    readonly property color bgInput: dark ? "#0a1629" : "#f7fafd"
    readonly property color bgAccentSoft: dark ? "#2e2411" : "#f6e8b8"
    readonly property color accentGold: "#c79a36"
    readonly property color accentGoldLight: "#e7c96f"
    readonly property color accentGoldDark: "#9b7420"
    readonly property color textPrimary: dark ? "#f8fbff" : "#132033"
    readonly property color textSecondary: dark ? "#9db0c9" : "#5b6b80"
    readonly property color textMuted: dark ? "#6f84a2" : "#7b8da4"
    readonly property color borderColor: dark ? "#1d304b" : "#d7e1ec"
    readonly property color borderStrong: dark ? "#33537d" : "#c4d4e5"
    readonly property color successColor: "#16a34a"
    readonly property color warningColor: "#d97706"
    readonly property color dangerColor: "#dc2626"
    readonly property color shadowColor: dark ? "#000000" : "#b7c6d8"

    // Text styles: one family and a scale of pixel sizes, each plain or
    // bold. A text takes a whole style (`font: Theme.body`). An instance of
    // a component whose root sets a style also switches to a whole one:
    // setting a part there (`font.bold: true`) would drop the family.
    readonly property string fontFamily: "Segoe UI, Arial"
    readonly property font microBold: Qt.font({ family: fontFamily, pixelSize: 10, bold: true })
    readonly property font caption: Qt.font({ family: fontFamily, pixelSize: 11 })
    readonly property font captionBold: Qt.font({ family: fontFamily, pixelSize: 11, bold: true })
    readonly property font small: Qt.font({ family: fontFamily, pixelSize: 12 })
    readonly property font smallBold: Qt.font({ family: fontFamily, pixelSize: 12, bold: true })
    readonly property font body: Qt.font({ family: fontFamily, pixelSize: 13 })
    readonly property font bodyBold: Qt.font({ family: fontFamily, pixelSize: 13, bold: true })
    readonly property font bodyLarge: Qt.font({ family: fontFamily, pixelSize: 14 })
    readonly property font bodyLargeBold: Qt.font({ family: fontFamily, pixelSize: 14, bold: true })
    readonly property font subtitle: Qt.font({ family: fontFamily, pixelSize: 15 })
    readonly property font subtitleBold: Qt.font({ family: fontFamily, pixelSize: 15, bold: true })
    readonly property font title: Qt.font({ family: fontFamily, pixelSize: 16 })
    readonly property font titleBold: Qt.font({ family: fontFamily, pixelSize: 16, bold: true })
    readonly property font headingBold: Qt.font({ family: fontFamily, pixelSize: 17, bold: true })
    readonly property font headingLargeBold: Qt.font({ family: fontFamily, pixelSize: 18, bold: true })
    readonly property font figure: Qt.font({ family: fontFamily, pixelSize: 20 })
    readonly property font figureBold: Qt.font({ family: fontFamily, pixelSize: 20, bold: true })
    readonly property font figureLargeBold: Qt.font({ family: fontFamily, pixelSize: 22, bold: true })
    readonly property font pageTitleBold: Qt.font({ family: fontFamily, pixelSize: 24, bold: true })
    readonly property font displayBold: Qt.font({ family: fontFamily, pixelSize: 28, bold: true })
    readonly property font heroBold: Qt.font({ family: fontFamily, pixelSize: 38, bold: true })
    // A stats card's caption, and the side bar's name spaced out.
    readonly property font cardLabel: Qt.font({ family: fontFamily, pixelSize: 11, bold: true, capitalization: Font.AllUppercase })
    readonly property font brand: Qt.font({ family: fontFamily, pixelSize: 22, bold: true, letterSpacing: 1 })
}
