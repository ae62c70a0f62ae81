#include "app/AppSetup.h"

#include "core/FreeMemory.h"

#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QQuickStyle>

#ifndef SAKANOVA_VERSION
#error "SAKANOVA_VERSION comes from the project version in CMakeLists.txt"
#endif

namespace AppSetup {

void apply()
{
    FreeMemory::reuseFreedHeap();
    QGuiApplication::setOrganizationName(QStringLiteral("Sakanova"));
    QGuiApplication::setApplicationName(QStringLiteral("Sakanova"));
    QGuiApplication::setApplicationVersion(QStringLiteral(SAKANOVA_VERSION));
    // Names the installed menu entry, so desktops show its icon for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.sakanova.Sakanova"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/logo.ico")));
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    QGuiApplication::setLayoutDirection(Qt::RightToLeft);

    // The default face for every text that names no family of its own (the
    // icons do not): Noto Sans Arabic for Arabic and digits, Noto Sans for
    // Latin letters, DejaVu Sans and Noto Sans Symbols for the menu's
    // technical symbols (monochrome, so they take the theme's colours), and
    // the colour emoji font for pictographs ahead of the monochrome symbol
    // font that also has some of them. Texts that ask for "Segoe UI, Arial"
    // get their Arabic from fontconfig, which picks Noto Sans Arabic too.
    QFont appFont = QGuiApplication::font();
    appFont.setFamilies({
        QStringLiteral("Noto Sans Arabic"),
        QStringLiteral("Noto Sans"),
        QStringLiteral("DejaVu Sans"),
        QStringLiteral("Noto Sans Symbols"),
        QStringLiteral("Noto Color Emoji"),
        QStringLiteral("Noto Sans Symbols2"),
    });
    QGuiApplication::setFont(appFont);
}

} // namespace AppSetup
