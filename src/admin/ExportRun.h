#pragma once

#include "core/DatabaseSettings.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QThread;

// The bulk export, one workbook or a folder of CSV files, written either
// from a connection the caller holds (write) or on a thread of its own
// (start). On a large office it takes minutes, so the window starts it and
// follows its progress: the thread reads through a read-only connection of
// its own inside one read transaction, so every table is of the same moment
// while the window's connection goes on writing.
class ExportRun : public QObject
{
    Q_OBJECT

public:
    enum class Format
    {
        Workbook,
        CsvFolder
    };

    struct Result
    {
        bool ok = false;
        // The workbook file, or the folder of CSV files.
        QString target;
        // CSV tables that could not be written (the others were).
        QStringList failedTables;
        // English diagnostic when not ok.
        QString error;
        // True when anything was written that the user can open.
        bool wroteSomething = false;
    };

    // Share done (0 to 1) and, in Arabic, what is being written.
    using Progress = std::function<void(double share, const QString& stage)>;

    explicit ExportRun(QObject* parent = nullptr);
    // Waits for a running export to end.
    ~ExportRun() override;

    static Result write(Format format, const QSqlDatabase& db, const QString& target,
                        const Progress& progress = {});

    // Starts writing from the books `source` names, on a connection of its
    // own; false while another export runs. Its end comes with finished().
    bool start(Format format, const DatabaseSettings& source, const QString& target);
    bool running() const { return m_running; }
    double progress() const { return m_progress; }
    QString stage() const { return m_stage; }

signals:
    void runningChanged();
    void progressChanged();
    void finished(const ExportRun::Result& result);

private:
    std::unique_ptr<QThread> m_worker;
    bool m_running = false;
    double m_progress = 0;
    QString m_stage;
};

Q_DECLARE_METATYPE(ExportRun::Result)
