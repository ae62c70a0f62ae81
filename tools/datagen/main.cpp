// Writes a generated office into a new database file, through the
// application's own schema, for measurements and tests.
//
//   sakanova-datagen --out office.db [--preset large|small] [--seed N]
//                    [--today yyyy-MM-dd] [--set name=value ...]
//
// Sizes for --set: years, properties, units, tenants, activeContracts,
// contractsPerUnit, usageLinesPerInvoice, maintenance, expenses, contractors,
// sales, installmentsPerSale, cheques, journalEntries, auditRows.

#include "OfficeGenerator.h"

#include "core/Database.h"
#include "core/Schema.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <map>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes a generated office database."));
    parser.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("New database file."),
                                       QStringLiteral("path"));
    const QCommandLineOption presetOption(QStringLiteral("preset"),
                                          QStringLiteral("large (default) or small."),
                                          QStringLiteral("name"), QStringLiteral("large"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("Random seed."),
                                        QStringLiteral("n"), QStringLiteral("20240101"));
    const QCommandLineOption todayOption(
        QStringLiteral("today"), QStringLiteral("Last day of the history (default: today)."),
        QStringLiteral("yyyy-MM-dd"));
    const QCommandLineOption setOption(QStringLiteral("set"), QStringLiteral("Override a size."),
                                       QStringLiteral("name=value"));
    parser.addOptions({outOption, presetOption, seedOption, todayOption, setOption});
    parser.process(app);

    QTextStream err(stderr);
    const QString out = parser.value(outOption);
    if (out.isEmpty() || QFile::exists(out)) {
        err << "give --out with a file that does not exist yet\n";
        return 2;
    }
    OfficeGenerator::Sizes sizes = parser.value(presetOption) == QLatin1String("small")
                                       ? OfficeGenerator::smallOffice()
                                       : OfficeGenerator::largeOffice();
    const std::map<QString, int*> named = {
        {QStringLiteral("years"), &sizes.years},
        {QStringLiteral("properties"), &sizes.properties},
        {QStringLiteral("units"), &sizes.units},
        {QStringLiteral("tenants"), &sizes.tenants},
        {QStringLiteral("activeContracts"), &sizes.activeContracts},
        {QStringLiteral("contractsPerUnit"), &sizes.contractsPerUnit},
        {QStringLiteral("usageLinesPerInvoice"), &sizes.usageLinesPerInvoice},
        {QStringLiteral("maintenance"), &sizes.maintenance},
        {QStringLiteral("expenses"), &sizes.expenses},
        {QStringLiteral("contractors"), &sizes.contractors},
        {QStringLiteral("sales"), &sizes.sales},
        {QStringLiteral("installmentsPerSale"), &sizes.installmentsPerSale},
        {QStringLiteral("cheques"), &sizes.cheques},
        {QStringLiteral("journalEntries"), &sizes.journalEntries},
        {QStringLiteral("auditRows"), &sizes.auditRows},
    };
    for (const QString& setting : parser.values(setOption)) {
        const QString name = setting.section(QLatin1Char('='), 0, 0);
        bool ok = false;
        const int value = setting.section(QLatin1Char('='), 1).toInt(&ok);
        const auto found = named.find(name);
        if (found == named.end() || !ok || value < 0) {
            err << "unknown size or bad value: " << setting << "\n";
            return 2;
        }
        *found->second = value;
    }
    const QDate today = parser.isSet(todayOption)
                            ? QDate::fromString(parser.value(todayOption), Qt::ISODate)
                            : QDate::currentDate();
    if (!today.isValid()) {
        err << "bad --today\n";
        return 2;
    }

    QElapsedTimer timer;
    timer.start();
    Database db;
    if (!db.initialize(out)) {
        err << "cannot create " << out << "\n";
        return 1;
    }
    OfficeGenerator generator(db.connection(), sizes, parser.value(seedOption).toULongLong(),
                              today);
    if (!generator.run()) {
        err << "generation failed: " << generator.error() << "\n";
        return 1;
    }
    // The rows are written as the version before the ledger was posted wrote
    // them, without postings: the first start of the program posts them.
    db.execNonQuery(QStringLiteral("DELETE FROM settings WHERE key=?"),
                    {Schema::ledgerHistoryKey()});
    // Statistics for the planner, as a long-used database would have them.
    db.execNonQuery(QStringLiteral("PRAGMA analysis_limit=2000"));
    db.execNonQuery(QStringLiteral("ANALYZE"));
    QTextStream(stdout) << "wrote " << out << " in " << timer.elapsed() << " ms\n";
    return 0;
}
