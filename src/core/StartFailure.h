#pragma once

#include <QString>

class Database;

// The sentence shown when the books cannot be opened at start, naming what
// actually went wrong: another program holding the file, a full disk, a
// folder that cannot be written, a damaged file, or else the driver's words.
namespace StartFailure {

enum class Cause
{
    None,
    Locked,
    DiskFull,
    NotWritable,
    Damaged,
    Other,
};

// Why the last Database::initialize() of `db` failed.
Cause causeOf(const Database& db);
// The Arabic message for the user; `dataDir` is named where it helps.
QString message(const Database& db, const QString& dataDir);
QString folderNotWritable(const QString& dataDir);

} // namespace StartFailure
