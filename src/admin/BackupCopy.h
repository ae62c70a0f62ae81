#pragma once

#include <QString>

#include <functional>

// Writes a copy of the database file through a connection of its own, so it
// can run on any thread while the window's connection goes on writing: the
// copy is one consistent snapshot of the committed rows, those still in the
// write-ahead log included. The copy is checked before it counts and its
// checksum written beside it.
namespace BackupCopy {

enum class Stage
{
    Copying,
    Checking,
};

// Called now and then with the stage and the share done (0 to 1).
using Progress = std::function<void(Stage stage, double share)>;

// Writes the checked copy of `databaseFile` to `target`. Returns the English
// diagnostic of a failure (and leaves no file behind), empty on success.
QString write(const QString& databaseFile, const QString& target, const Progress& progress = {});

} // namespace BackupCopy
