#pragma once

#include <QString>

// The program's run, shared by the entry routine and the test that restarts
// it: one data folder, one instance lock, one window, and a new process on
// the same folder when a restore asked for a restart.
namespace AppMain {

// The per-user data folder (created when missing): where the books, the
// run log and the lock live.
QString dataDirectory();

// Takes the folder's instance lock, opens the books, shows the window until
// it closes and answers the exit code. A restart asked for meanwhile starts
// the program again, with the same arguments, only once the books are
// closed and the lock is free, so the new copy takes both.
int run(const QString& dataDir);

} // namespace AppMain
