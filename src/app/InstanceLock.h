#pragma once

#include <QLockFile>
#include <QString>

// One running copy of the program per data folder. Two copies writing the
// same books check rows that the other one is about to change, so a second
// start is refused. The lock file is held for the life of this object; a
// lock left by a process that no longer runs is taken over.
class InstanceLock
{
public:
    enum class Result
    {
        Acquired,
        // Another live process holds the lock.
        HeldByOther,
        // The lock file could not be written: the folder is not writable or
        // the disk is full.
        Unwritable,
    };

    explicit InstanceLock(const QString& dataDir);
    ~InstanceLock();

    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Result acquire();
    // Lets go of the lock before the object ends (a restart hands it over).
    void release() { m_lock.unlock(); }
    // The process id written in the lock by its holder, or 0 when unknown.
    qint64 holderPid() const;
    QString filePath() const { return m_path; }

    static QString fileName();

private:
    QString m_path;
    QLockFile m_lock;
};
