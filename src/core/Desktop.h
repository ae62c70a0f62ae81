#pragma once

#include <QString>

// The program's few contacts with the desktop around it: the native folder
// and file pickers, the user's folders, and handing a file or folder to the
// desktop's default viewer. Everything that would block on a dialog or start
// another program goes through here, so tests put a recording fake in its
// place; the running program uses NativeDesktop (app/NativeDesktop.h).
class Desktop
{
public:
    Desktop() = default;
    virtual ~Desktop();

    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // A folder chosen in the native picker; empty when cancelled.
    virtual QString chooseFolder(const QString& title, const QString& startFolder) = 0;
    // An existing file chosen for opening; empty when cancelled.
    virtual QString chooseFileToOpen(const QString& title, const QString& startFolder,
                                     const QString& filter) = 0;
    // A file name chosen for saving; empty when cancelled.
    virtual QString chooseFileToSave(const QString& title, const QString& startPath,
                                     const QString& filter) = 0;
    // Opens a file or folder with the desktop's default handler.
    virtual bool openPath(const QString& path) = 0;

    // Where printed documents go: the user's documents folder.
    virtual QString documentsFolder() const = 0;
    // Where exports go: the user's desktop folder, or the home folder when
    // the platform reports no desktop.
    virtual QString exportFolder() const = 0;

    // Ends this run so that the program starts again once everything is
    // closed (after a restore, say); main() starts the new process.
    virtual void restartApplication() = 0;
};
