#pragma once

#include "core/Desktop.h"

// The desktop the program really runs on: native pickers, the user's
// folders from the platform, the default viewer, and a restart that main()
// carries out once the event loop has ended.
class NativeDesktop : public Desktop
{
public:
    QString chooseFolder(const QString& title, const QString& startFolder) override;
    QString chooseFileToOpen(const QString& title, const QString& startFolder,
                             const QString& filter) override;
    QString chooseFileToSave(const QString& title, const QString& startPath,
                             const QString& filter) override;
    bool openPath(const QString& path) override;
    QString documentsFolder() const override;
    QString exportFolder() const override;
    void restartApplication() override;

    // True once a restart was asked for in this process.
    static bool restartRequested();
};
