#include "app/InstanceLock.h"

#include <QDir>

InstanceLock::InstanceLock(const QString& dataDir)
    : m_path(QDir(dataDir).filePath(fileName()))
    , m_lock(m_path)
{
    // A copy of the program may run for weeks: the lock never goes stale by
    // age, only when the process that wrote it is gone.
    m_lock.setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

QString InstanceLock::fileName()
{
    return QStringLiteral("sakanova.lock");
}

InstanceLock::Result InstanceLock::acquire()
{
    if (m_lock.isLocked() || m_lock.tryLock(0))
        return Result::Acquired;
    return m_lock.error() == QLockFile::LockFailedError ? Result::HeldByOther : Result::Unwritable;
}

qint64 InstanceLock::holderPid() const
{
    qint64 pid = 0;
    QString hostname;
    QString appname;
    return m_lock.getLockInfo(&pid, &hostname, &appname) ? pid : 0;
}
