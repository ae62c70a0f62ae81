#pragma once

#include <QDir>
#include <QImage>
#include <QQuickWindow>
#include <QString>
#include <QTest>

// Pictures of the window for tools/screenshots.sh: when SAKANOVA_SHOTS_DIR
// is set, saveShot writes <dir>/<name>-<theme>.png; otherwise it does
// nothing, so the tests run as usual.
namespace ShotSaver {

inline QString theme()
{
    return qEnvironmentVariable("SAKANOVA_SHOTS_THEME", QStringLiteral("dark"));
}

inline void saveShot(QQuickWindow* window, const QString& name)
{
    const QString dir = qEnvironmentVariable("SAKANOVA_SHOTS_DIR");
    if (dir.isEmpty() || !window)
        return;
    QDir().mkpath(dir);
    QTest::qWait(350); // dialog and list animations
    window->grabWindow().save(dir + QLatin1Char('/') + name + QLatin1Char('-') + theme() +
                              QStringLiteral(".png"));
}

} // namespace ShotSaver
