// The real window on an office file: how long the window's thread is held by
// signing in, opening each page, a payment and a sale with every list open,
// and signing out and in again; and the process's peak memory through all of
// it. Each step is started from the event loop, and the longest stretch the
// loop was kept from its events meanwhile is printed, with the resident and
// peak sizes after it.
//
//   sakanova-pages-benchmark --db /tmp/office.db
//
// The file is written (a sign-in, a new password, a payment, a sale), so give
// it a copy. It must still have the built-in administrator password.

#include "app/AppContext.h"
#include "app/AppSetup.h"
#include "app/ThreadHoldMeter.h"
#include "core/Database.h"
#include "core/Desktop.h"
#include "core/Schema.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

class NoDesktop : public Desktop
{
public:
    QString chooseFolder(const QString&, const QString&) override { return {}; }
    QString chooseFileToOpen(const QString&, const QString&, const QString&) override { return {}; }
    QString chooseFileToSave(const QString&, const QString&, const QString&) override { return {}; }
    bool openPath(const QString&) override { return true; }
    QString documentsFolder() const override { return QDir::tempPath(); }
    QString exportFolder() const override { return QDir::tempPath(); }
    void restartApplication() override {}
};

// A line of /proc/self/status in megabytes ("VmHWM" the peak resident size,
// "VmRSS" the current one, "RssAnon" its part not backed by files).
double statusMb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// CPU time the calling thread has used.
qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Runs `step`, then the event loop until `done` holds and `settleMs` more (counts and totals come
// back from the reader's thread meanwhile); prints the longest hold of the thread in that time.
bool measure(const char* what, const std::function<void()>& step, const std::function<bool()>& done,
             int settleMs = 1500)
{
    // The step itself runs here, timed on its own; what follows from it
    // (painting, results from the reader's thread) runs in the loop below.
    const qint64 cpuBefore = threadCpuNs();
    QElapsedTimer stepClock;
    stepClock.start();
    step();
    const qint64 stepNs = stepClock.nsecsElapsed();
    ThreadHoldMeter meter;
    // A tick keeps the loop waking; each wait for events ends a hold.
    QTimer tick;
    tick.start(5);
    QElapsedTimer limit;
    limit.start();
    bool reached = false;
    qint64 reachedAt = 0;
    while (limit.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!reached && limit.elapsed() > 0 && done()) {
            reached = true;
            reachedAt = limit.elapsed();
        }
        if (reached && limit.elapsed() - reachedAt >= settleMs)
            break;
    }
    // The thread's own CPU time over the step and its settling: unlike the
    // hold, it does not grow when other programs take the processor.
    const double cpuMs = double(threadCpuNs() - cpuBefore) / 1e6;
    std::printf(
        "%-44s held %8.1f ms   cpu %7.1f ms   rss %6.1f MB (anon %6.1f)   peak %6.1f MB%s\n", what,
        double(std::max(stepNs, meter.longestNs())) / 1e6, cpuMs, statusMb("VmRSS"),
        statusMb("RssAnon"), statusMb("VmHWM"), reached ? "" : "   (never finished)");
    std::fflush(stdout);
    return reached;
}

// The named item in the window's item tree, the visible one first.
void collect(QQuickItem* from, const QString& name, QList<QQuickItem*>& found)
{
    if (from->objectName() == name)
        found << from;
    const QList<QQuickItem*> children = from->childItems();
    for (QQuickItem* child : children)
        collect(child, name, found);
}

QQuickItem* findItem(QQuickWindow* window, const QString& name)
{
    QList<QQuickItem*> items;
    QQuickItem* root = window->contentItem()->parentItem();
    collect(root ? root : window->contentItem(), name, items);
    for (QQuickItem* item : items) {
        if (item->isVisible())
            return item;
    }
    return items.isEmpty() ? nullptr : items.constFirst();
}

void typeInto(QQuickWindow* window, const char* field, const QString& text)
{
    QQuickItem* item = findItem(window, QString::fromLatin1(field));
    auto* input = item ? item->property("input").value<QObject*>() : nullptr;
    if (input)
        input->setProperty("text", text);
}

bool shellShown(QQuickWindow* window)
{
    QQuickItem* stack = findItem(window, QStringLiteral("stackView"));
    auto* current = stack ? stack->property("currentItem").value<QObject*>() : nullptr;
    return current && current->objectName() == QLatin1String("mainApp") &&
           !stack->property("busy").toBool();
}

bool loginShown(QQuickWindow* window)
{
    QQuickItem* stack = findItem(window, QStringLiteral("stackView"));
    auto* current = stack ? stack->property("currentItem").value<QObject*>() : nullptr;
    return current && current->objectName() == QLatin1String("loginPage") &&
           !stack->property("busy").toBool();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    AppSetup::apply();
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption(
        {QStringLiteral("db"), QStringLiteral("office file (a copy)"), QStringLiteral("path")});
    parser.addOption({QStringLiteral("pages"),
                      QStringLiteral("only these pages in each tour, by index (e.g. 6,11)"),
                      QStringLiteral("list")});
    parser.process(app);
    QList<int> only;
    for (const QString& index :
         parser.value(QStringLiteral("pages")).split(QLatin1Char(','), Qt::SkipEmptyParts))
        only << index.toInt();
    const QString path = QFileInfo(parser.value(QStringLiteral("db"))).absoluteFilePath();
    if (!QFileInfo::exists(path)) {
        std::fprintf(stderr, "--db must name an office file\n");
        return 2;
    }
    Database db;
    if (!db.initialize(path)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return 1;
    }
    std::printf("opened: rss %.1f MB, peak %.1f MB\n", statusMb("VmRSS"), statusMb("VmHWM"));

    AppContext backend(&db, QFileInfo(path).absolutePath(), std::make_unique<NoDesktop>());
    QQmlApplicationEngine engine;
    backend.publish(engine.rootContext());
    engine.load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
    auto* window = engine.rootObjects().isEmpty()
                       ? nullptr
                       : qobject_cast<QQuickWindow*>(engine.rootObjects().constFirst());
    if (!window) {
        std::fprintf(stderr, "the window did not load\n");
        return 1;
    }
    measure(
        "login page shown", [] {}, [&] { return loginShown(window); });

    const QString chosen = QStringLiteral("Nakheel-Office-2024");
    QObject* auth =
        engine.rootContext()->contextProperty(QStringLiteral("authCtrl")).value<QObject*>();
    const auto attempt = [&] {
        if (QQuickItem* page = findItem(window, QStringLiteral("loginPage")))
            QMetaObject::invokeMethod(page, "attemptLogin");
    };
    // First sign-in: the built-in password, then a new one as the page asks.
    typeInto(window, "usernameField", QStringLiteral("admin"));
    typeInto(window, "passwordField", Schema::defaultAdminPassword());
    measure(
        "first sign-in (password check)", attempt,
        [&] { return auth->property("isLoggedIn").toBool(); }, 200);
    if (!auth->property("isLoggedIn").toBool())
        std::printf("    refused: %s\n", qPrintable(auth->property("lastError").toString()));
    typeInto(window, "newPasswordField", chosen);
    typeInto(window, "repeatPasswordField", chosen);
    if (!measure("new password, shell and dashboard", attempt, [&] { return shellShown(window); }))
        return 1;

    QQuickItem* pages = findItem(window, QStringLiteral("pageStack"));
    const auto showPage = [&](int index) {
        if (!only.isEmpty() && !only.contains(index))
            return;
        const char* names[] = {"dashboard", "properties", "tenants",  "buyers",      "accounting",
                               "payments",  "cheques",    "invoices", "maintenance", "reports",
                               "users",     "settings",   "expenses"};
        const QByteArray label = QByteArray("open page ") + QByteArray::number(index) + ' ' +
                                 (index < 13 ? names[index] : "");
        measure(
            label.constData(), [&] { pages->setProperty("currentIndex", index); },
            [&] {
                QQuickItem* loader = pages->childItems().value(index);
                auto* page = loader ? loader->property("item").value<QQuickItem*>() : nullptr;
                return page && page->isVisible();
            });
    };
    const int pageCount = int(pages->childItems().size());
    for (int index = 1; index < pageCount; ++index)
        showPage(index);
    showPage(0);

    // A payment and a sale with the invoices and payments pages kept open
    // (the shell keeps the last three pages) and every list published.
    showPage(7);
    showPage(5);
    const QVariantList invoice =
        db.execQuery(QStringLiteral("SELECT id, tenant_id, balance, currency_id FROM invoices "
                                    "WHERE status IN ('unpaid','partial') AND balance > 1 "
                                    "ORDER BY id DESC LIMIT 1"));
    QObject* payments =
        engine.rootContext()->contextProperty(QStringLiteral("paymentModel")).value<QObject*>();
    if (!invoice.isEmpty()) {
        const QVariantMap row = invoice.constFirst().toMap();
        int id = 0;
        measure(
            "a payment with the lists open",
            [&] {
                QMetaObject::invokeMethod(
                    payments, "add", Q_RETURN_ARG(int, id), Q_ARG(int, row.value("id").toInt()),
                    Q_ARG(int, row.value("tenant_id").toInt()), Q_ARG(double, 1.0),
                    Q_ARG(QString, QStringLiteral("cash")),
                    Q_ARG(QString, QDate::currentDate().toString(Qt::ISODate)),
                    Q_ARG(QString, QString()), Q_ARG(int, row.value("currency_id").toInt()));
            },
            [&] { return id != 0; });
        if (id <= 0)
            std::printf("    the payment was refused\n");
    }
    const QVariantList sale = db.execQuery(QStringLiteral(
        "SELECT (SELECT id FROM buyers ORDER BY id LIMIT 1) AS buyer, (SELECT id FROM units "
        "WHERE status='available' ORDER BY id LIMIT 1) AS unit"));
    QObject* installments =
        engine.rootContext()->contextProperty(QStringLiteral("installmentModel")).value<QObject*>();
    if (!sale.isEmpty() && sale.constFirst().toMap().value("unit").toInt() > 0) {
        const QVariantMap row = sale.constFirst().toMap();
        int id = 0;
        measure(
            "a sale with the lists open",
            [&] {
                QMetaObject::invokeMethod(
                    installments, "sellUnit", Q_RETURN_ARG(int, id),
                    Q_ARG(int, row.value("buyer").toInt()), Q_ARG(int, row.value("unit").toInt()),
                    Q_ARG(double, 120000.0), Q_ARG(double, 20000.0), Q_ARG(int, 10),
                    Q_ARG(QString, QDate::currentDate().toString(Qt::ISODate)), Q_ARG(int, 1),
                    Q_ARG(QString, QString()), Q_ARG(QString, QString()));
            },
            [&] { return id != 0; });
        if (id <= 0)
            std::printf("    the sale was refused\n");
    }

    // Signing out and in again after the session.
    // Long enough after the login page shows for what the dropped shell held
    // to have been given back.
    measure(
        "sign out", [&] { QMetaObject::invokeMethod(auth, "logout"); },
        [&] { return loginShown(window); }, 3000);
    typeInto(window, "usernameField", QStringLiteral("admin"));
    typeInto(window, "passwordField", chosen);
    if (!measure("second sign-in, shell and dashboard", attempt,
                 [&] { return shellShown(window); }))
        return 1;
    // The first shell and its page stack went with the sign-out.
    pages = findItem(window, QStringLiteral("pageStack"));
    if (!pages)
        return 1;
    for (int index = 1; index < pageCount; ++index)
        showPage(index);
    std::printf("peak resident size of the whole run: %.1f MB\n", statusMb("VmHWM"));
    return 0;
}
