#pragma once

#include "core/Database.h"

#include <QString>

// Work an office file needs once (the history's postings, the register rows
// of older cheques) leaves a "done" mark in its settings, written in the
// same transaction as the work, so a second start does nothing.
namespace DoneOnce {

inline bool isDone(Database* db, const QString& key)
{
    return db->scalar(QStringLiteral("SELECT value FROM settings WHERE key=?"), {key}).toString() ==
           QLatin1String("done");
}

inline bool markDone(Database* db, const QString& key)
{
    return db->execNonQuery(QStringLiteral("INSERT INTO settings (key, value) VALUES (?, 'done') "
                                           "ON CONFLICT (key) DO UPDATE SET value='done'"),
                            {key});
}

} // namespace DoneOnce
