#include "core/Desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QUrl>

namespace {
bool g_restartRequested = false;
} // namespace

Desktop::~Desktop() = default;

QString Desktop::chooseFolder(const QString& title, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(nullptr, title, startFolder,
                                             QFileDialog::ShowDirsOnly);
}

QString Desktop::chooseFileToOpen(const QString& title, const QString& startFolder,
                                  const QString& filter)
{
    return QFileDialog::getOpenFileName(nullptr, title, startFolder, filter);
}

QString Desktop::chooseFileToSave(const QString& title, const QString& startPath,
                                  const QString& filter)
{
    return QFileDialog::getSaveFileName(nullptr, title, startPath, filter);
}

bool Desktop::openPath(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QString Desktop::documentsFolder() const
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString Desktop::exportFolder() const
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return desktop.isEmpty() ? QDir::homePath() : desktop;
}

void Desktop::restartApplication()
{
    g_restartRequested = true;
    QCoreApplication::quit();
}

bool Desktop::restartRequested()
{
    return g_restartRequested;
}
