#include "app/NativeDesktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QUrl>

namespace {
bool g_restartRequested = false;
} // namespace

QString NativeDesktop::chooseFolder(const QString& title, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(nullptr, title, startFolder,
                                             QFileDialog::ShowDirsOnly);
}

QString NativeDesktop::chooseFileToOpen(const QString& title, const QString& startFolder,
                                        const QString& filter)
{
    return QFileDialog::getOpenFileName(nullptr, title, startFolder, filter);
}

QString NativeDesktop::chooseFileToSave(const QString& title, const QString& startPath,
                                        const QString& filter)
{
    return QFileDialog::getSaveFileName(nullptr, title, startPath, filter);
}

bool NativeDesktop::openPath(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QString NativeDesktop::documentsFolder() const
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString NativeDesktop::exportFolder() const
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return desktop.isEmpty() ? QDir::homePath() : desktop;
}

void NativeDesktop::restartApplication()
{
    g_restartRequested = true;
    QCoreApplication::quit();
}

bool NativeDesktop::restartRequested()
{
    return g_restartRequested;
}
