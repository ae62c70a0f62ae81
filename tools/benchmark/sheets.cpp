// Times the spreadsheet paths on a generated paste and office:
//
//   sakanova-sheets-benchmark [--rows N] [--db office.db --export folder]
//
// With --rows (default 1000000) it builds a tenants paste of N rows and
// times the preview, the import in one go and the import in slices (its
// longest slice is how long the window would wait at most), each on a fresh
// database. With --db and --export it writes the office's workbook and CSV
// files into the folder, for looking at them in a spreadsheet.

#include "admin/CsvExport.h"
#include "admin/XlsxExport.h"
#include "core/Database.h"
#include "insight/ImportController.h"
#include "insight/PasteReader.h"
#include "rental/UnitModel.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

QString paste(int rows)
{
    QString text;
    text.reserve(qsizetype(rows) * 48);
    text += QStringLiteral("الاسم\tرقم الهوية\tالهاتف\tالعنوان\n");
    for (int i = 1; i <= rows; ++i)
        text += QStringLiteral("مستأجر رقم %1\t%2\t059%3\tرام الله، شارع %4\n")
                    .arg(i)
                    .arg(400000000 + i)
                    .arg(i, 7, 10, QLatin1Char('0'))
                    .arg(i % 97);
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption rowsOption(QStringLiteral("rows"), QStringLiteral("Pasted rows."),
                                        QStringLiteral("n"), QStringLiteral("1000000"));
    const QCommandLineOption dbOption(QStringLiteral("db"), QStringLiteral("Office to export."),
                                      QStringLiteral("path"));
    const QCommandLineOption exportOption(QStringLiteral("export"),
                                          QStringLiteral("Folder for the exported files."),
                                          QStringLiteral("folder"));
    parser.addOptions({rowsOption, dbOption, exportOption});
    parser.process(app);
    QTextStream out(stdout);
    QTemporaryDir dir;

    if (parser.isSet(dbOption)) {
        const QString copy = dir.filePath(QStringLiteral("office.db"));
        Database db;
        if (!QFile::copy(parser.value(dbOption), copy) || !db.initialize(copy)) {
            out << "cannot open " << parser.value(dbOption) << "\n";
            return 1;
        }
        const QString folder = parser.value(exportOption);
        QDir().mkpath(folder);
        QElapsedTimer clock;
        clock.start();
        QString error;
        const bool ok =
            XlsxExport::write(db.connection(), folder + QStringLiteral("/office.xlsx"), &error);
        out << "workbook: " << (ok ? "written" : error) << " in " << clock.elapsed() << " ms\n";
        clock.restart();
        for (const QString& table : CsvExport::tables())
            CsvExport::writeTable(db.connection(), table,
                                  folder + QLatin1Char('/') + table + QStringLiteral(".csv"));
        out << "CSV files written in " << clock.elapsed() << " ms\n";
        return ok ? 0 : 1;
    }

    const int rows = parser.value(rowsOption).toInt();
    QElapsedTimer clock;
    clock.start();
    const QString text = paste(rows);
    out << "paste of " << rows << " rows, " << text.size() << " characters, built in "
        << clock.elapsed() << " ms\n";

    clock.restart();
    const int counted = PasteReader::countRows(text);
    out << "row count alone: " << clock.elapsed() << " ms (" << counted << " rows)\n";

    int run = 0;
    const auto fresh = [&](auto&& work) {
        const QString path = dir.filePath(QStringLiteral("run%1.db").arg(++run));
        Database db;
        if (!db.initialize(path))
            return false;
        UnitModel units(&db);
        ImportController import(&db, &units);
        work(db, import);
        return true;
    };

    fresh([&](Database&, ImportController& import) {
        clock.restart();
        const QVariantMap preview = import.previewRawCSV(text, QStringLiteral("tenants"));
        out << "preview: " << clock.elapsed() << " ms (rows counted "
            << preview.value(QStringLiteral("lines")).toInt() << ", shown "
            << preview.value(QStringLiteral("rows")).toList().size() << ")\n";
    });
    fresh([&](Database&, ImportController& import) {
        clock.restart();
        const bool ok = import.importRawCSV(text, QStringLiteral("tenants"));
        out << "import in one go: " << clock.elapsed() << " ms, " << (ok ? "ok" : "refused")
            << ", inserted " << import.lastResult().value(QStringLiteral("inserted")).toInt()
            << "\n";
    });
    fresh([&](Database&, ImportController& import) {
        QEventLoop loop;
        QElapsedTimer gap;
        qint64 longest = 0;
        int slices = 0;
        QObject::connect(&import, &ImportController::progressChanged, [&] {
            longest = std::max(longest, gap.restart());
            ++slices;
        });
        bool ok = false;
        QObject::connect(&import, &ImportController::importFinished, [&](bool done) {
            ok = done;
            loop.quit();
        });
        clock.restart();
        const bool started = import.startImport(text, QStringLiteral("tenants"));
        const qint64 startMs = clock.elapsed();
        gap.start();
        if (started)
            loop.exec();
        out << "import in slices: " << clock.elapsed() << " ms, " << (ok ? "ok" : "refused")
            << ", start call " << startMs << " ms, " << slices << " slices, longest slice "
            << longest << " ms, inserted "
            << import.lastResult().value(QStringLiteral("inserted")).toInt() << "\n";
        clock.restart();
        const bool undone = import.undoLastImport();
        out << "undo: " << clock.elapsed() << " ms, " << (undone ? "ok" : "refused") << "\n";
    });
    return 0;
}
