// The first start on an office file from an older version, the way the
// program starts: how long after the process began the progress window
// was first painted (and after main() began). The run stops there: the
// file's catch-up and history posting go on for many seconds and are timed
// by sakanova-benchmark. On a file already up to date it says that no
// progress window came.
//
//   sakanova-startup-benchmark --db /tmp/office-old.db
//   sakanova-startup-benchmark --db /tmp/office.db --work-only
//
// The file is upgraded in place as far as the run gets, so give it a copy;
// it is used as the data folder's books through a link beside it.

#include "app/AppMain.h"
#include "app/AppSetup.h"
#include "app/StartupWork.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {

// How long ago the process began, from its start time in /proc (kernel
// ticks since boot) and the time since boot now.
double msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command name, which may hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble(); // field 22: starttime
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
    return nowMs - startTicks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// Stops the run at the progress window's first paint.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(const QElapsedTimer& sinceMain)
        : m_sinceMain(sinceMain)
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && qobject_cast<QProgressDialog*>(watched)) {
            std::printf("progress window painted: %.0f ms after the process began, %.0f ms "
                        "after main()\n",
                        msSinceProcessStart(), double(m_sinceMain.nsecsElapsed()) / 1e6);
            std::fflush(stdout);
            // The start-up work is still writing on its own thread; the copy
            // is thrown away, so the run ends here without waiting for it.
            std::_Exit(0);
        }
        return false;
    }

private:
    const QElapsedTimer& m_sinceMain;
};

} // namespace

int main(int argc, char* argv[])
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    const double beforeMain = msSinceProcessStart();
    QApplication app(argc, argv);
    AppSetup::apply();
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("db"), QStringLiteral("older office file (a copy)"),
                      QStringLiteral("path")});
    parser.addOption({QStringLiteral("work-only"),
                      QStringLiteral("only time the start-up work, with no window at all")});
    parser.process(app);
    const QFileInfo file(parser.value(QStringLiteral("db")));
    if (!file.exists()) {
        std::fprintf(stderr, "--db must name an office file\n");
        return 2;
    }
    if (parser.isSet(QStringLiteral("work-only"))) {
        // How long a start's work takes on this file (an up-to-date file
        // should need too little for its progress window to be shown).
        QElapsedTimer work;
        work.start();
        const bool done = StartupWork(file.absoluteFilePath()).run(60000);
        std::printf("start-up work %s in %.0f ms\n", done ? "done" : "FAILED",
                    double(work.nsecsElapsed()) / 1e6);
        return done ? 0 : 1;
    }
    // The data folder the program opens holds the copy as its books.
    const QString dataDir = file.absolutePath() + QStringLiteral("/startup-bench");
    QDir(dataDir).removeRecursively();
    QDir().mkpath(dataDir);
    if (!QFile::link(file.absoluteFilePath(), dataDir + QStringLiteral("/sakanova.db"))) {
        std::fprintf(stderr, "cannot link the file into %s\n", qPrintable(dataDir));
        return 1;
    }
    std::printf("process to main(): %.0f ms\n", beforeMain);
    FirstPaint watch(sinceMain);
    app.installEventFilter(&watch);
    // A file already up to date shows no progress window: the program goes
    // on to its window, and the run ends after a few seconds.
    QTimer::singleShot(5000, [] {
        std::printf("no progress window within 5 s of main() (the file was up to date)\n");
        std::fflush(stdout);
        std::_Exit(0);
    });
    AppMain::run(dataDir);
    return 1;
}
