#include "app/InstanceLock.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>

namespace {

const char* const kHoldArgument = "--hold-lock";

// Child mode: takes the lock on the given folder, says so and waits to be killed.
int holdLock(const QString& dataDir)
{
    InstanceLock lock(dataDir);
    if (lock.acquire() != InstanceLock::Result::Acquired)
        return 2;
    std::printf("locked\n");
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}

} // namespace

class TestInstanceLock : public QObject
{
    Q_OBJECT

private slots:
    void secondHolderIsRefusedUntilTheFirstIsGone()
    {
        QTemporaryDir dir;
        {
            InstanceLock first(dir.path());
            QCOMPARE(first.acquire(), InstanceLock::Result::Acquired);
            // Asking again from the owner is not a second instance.
            QCOMPARE(first.acquire(), InstanceLock::Result::Acquired);

            InstanceLock second(dir.path());
            QCOMPARE(second.acquire(), InstanceLock::Result::HeldByOther);
            QCOMPARE(second.holderPid(), QCoreApplication::applicationPid());
        }
        QVERIFY(!QFile::exists(dir.filePath(InstanceLock::fileName())));
        InstanceLock third(dir.path());
        QCOMPARE(third.acquire(), InstanceLock::Result::Acquired);
    }

    // The lock of a process killed without cleaning up is taken over; while
    // that process still runs it is not, however old the lock is.
    void lockOfKilledProcessIsTakenOver()
    {
        QTemporaryDir dir;
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(),
                     {QString::fromLatin1(kHoldArgument), dir.path()});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("locked"));

        InstanceLock mine(dir.path());
        QCOMPARE(mine.acquire(), InstanceLock::Result::HeldByOther);
        QCOMPARE(mine.holderPid(), holder.processId());

        ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
        QVERIFY(holder.waitForFinished(10000));
        QVERIFY(QFile::exists(dir.filePath(InstanceLock::fileName())));
        QCOMPARE(mine.acquire(), InstanceLock::Result::Acquired);
    }

    void unwritableFolderIsNotMistakenForAnotherInstance()
    {
        QTemporaryDir dir;
        // A regular file where the folder should be: nothing can be created
        // beneath it, even by root.
        const QString blocker = dir.filePath(QStringLiteral("data"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        InstanceLock lock(blocker);
        QCOMPARE(lock.acquire(), InstanceLock::Result::Unwritable);
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], kHoldArgument) == 0)
        return holdLock(QString::fromLocal8Bit(argv[2]));
    TestInstanceLock test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instancelock.moc"
