#include "core/AppSetup.h"

#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QQuickStyle>
#include <QStringList>

namespace AppSetup {

void apply()
{
    QGuiApplication::setOrganizationName(QStringLiteral("Sakanova"));
    QGuiApplication::setApplicationName(QStringLiteral("Sakanova"));
    QGuiApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/logo.ico")));
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    QGuiApplication::setLayoutDirection(Qt::RightToLeft);

    // The components ask for "Segoe UI, Arial", which Linux desktops rarely
    // have; without a substitute fontconfig picks its generic fallback for
    // Arabic, whose letters are poorly shaped. Noto Sans Arabic carries the
    // Arabic text and digits, Noto Sans the Latin letters.
    const QStringList faces = {QStringLiteral("Noto Sans Arabic"), QStringLiteral("Noto Sans")};
    for (const QString& family : {QStringLiteral("Segoe UI"), QStringLiteral("Arial")})
        QFont::insertSubstitutions(family, faces);
    QFont appFont = QGuiApplication::font();
    appFont.setFamilies(faces);
    QGuiApplication::setFont(appFont);
}

} // namespace AppSetup
