// One desk of a shared office, for the tests that race two of them on one
// server: it opens the server, waits for the start signal so that both
// desks begin together, and then pays every invoice and sells every unit it
// is given through the application's own models. What it managed is
// written on its standard output, one "word number" pair a line.
#include "core/Database.h"
#include "core/Reasons.h"
#include "finance/InstallmentModel.h"
#include "rental/PaymentModel.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTextStream>
#include <QThread>

namespace {

int number(const char* name)
{
    return qEnvironmentVariableIntValue(name);
}

bool touch(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

void waitFor(const QString& path)
{
    while (!QFile::exists(path))
        QThread::msleep(1);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    DatabaseSettings settings;
    settings.engine = DatabaseSettings::Engine::PostgreSQL;
    settings.host = qEnvironmentVariable("SAKANOVA_DESK_HOST");
    settings.port = number("SAKANOVA_DESK_PORT");
    settings.database = qEnvironmentVariable("SAKANOVA_DESK_DATABASE");

    Database db;
    if (!db.initialize(settings)) {
        QTextStream(stderr) << "desk cannot open the server: " << db.initErrorText() << '\n';
        return 2;
    }
    PaymentModel payments(&db);
    InstallmentModel sales(&db);
    if (!touch(qEnvironmentVariable("SAKANOVA_DESK_READY")))
        return 3;
    waitFor(qEnvironmentVariable("SAKANOVA_DESK_GO"));

    const int firstInvoice = number("SAKANOVA_DESK_FIRST_INVOICE");
    const int firstUnit = number("SAKANOVA_DESK_FIRST_UNIT");
    const int tenant = number("SAKANOVA_DESK_TENANT");
    const int buyer = number("SAKANOVA_DESK_BUYER");
    const int count = number("SAKANOVA_DESK_COUNT");
    const QString day = QStringLiteral("2026-03-01");
    int paid = 0;
    int sold = 0;
    // Losing the race is the expected refusal: the other desk paid the
    // invoice or sold the unit first. Any other reason is a fault, and a
    // fast desk may well win every race, so the count alone proves nothing.
    QString unexpected;
    QTextStream out(stdout);
    for (int i = 0; i < count; ++i) {
        if (payments.add(firstInvoice + i, tenant, 60, QStringLiteral("cash"), day,
                         QStringLiteral("سباق %1").arg(i), 1) > 0)
            ++paid;
        else if (payments.lastError() != Reasons::amountAboveBalance())
            unexpected = payments.lastError();
        if (sales.sellUnit(buyer, firstUnit + i, 1200, 300, 3, day, 1) > 0)
            ++sold;
        else if (sales.lastError() != Reasons::unitSold())
            unexpected = sales.lastError();
    }
    out << "paid " << paid << '\n' << "sold " << sold << '\n';
    if (!unexpected.isEmpty())
        out << "reason " << unexpected << '\n';
    out.flush();

    // A last payment on the word of the test, timed, so the other desk can
    // tell how soon its page showed it.
    const int lastInvoice = number("SAKANOVA_DESK_LAST_INVOICE");
    if (lastInvoice > 0) {
        waitFor(qEnvironmentVariable("SAKANOVA_DESK_GO_LAST"));
        const int id = payments.add(lastInvoice, tenant, 10, QStringLiteral("bank"), day,
                                    QStringLiteral("أخيرة"), 1);
        out << "committed " << (id > 0 ? QDateTime::currentMSecsSinceEpoch() : 0) << '\n';
        out.flush();
    }
    return 0;
}
