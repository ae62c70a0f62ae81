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
}
