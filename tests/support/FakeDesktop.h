#pragma once

#include "core/Desktop.h"

#include <QStringList>

// Stands in for the desktop in tests: pickers answer with preset paths, and
// viewers and restarts are only recorded, so no dialog blocks and no program
// starts.
class FakeDesktop : public Desktop
{
public:
    struct Record
    {
        QString folderAnswer;
        QString fileAnswer;
        QString documents;
        QString exports;
        QStringList opened;
        int restarts = 0;
    };

    // The record outlives the fake, which AppContext owns and deletes.
    explicit FakeDesktop(Record* record)
        : m_record(record)
    {}

    QString chooseFolder(const QString&, const QString&) override { return m_record->folderAnswer; }
    QString chooseFileToOpen(const QString&, const QString&, const QString&) override
    {
        return m_record->fileAnswer;
    }
    QString chooseFileToSave(const QString&, const QString&, const QString&) override
    {
        return m_record->fileAnswer;
    }
    bool openPath(const QString& path) override
    {
        m_record->opened << path;
        return true;
    }
    QString documentsFolder() const override { return m_record->documents; }
    QString exportFolder() const override { return m_record->exports; }
    void restartApplication() override { ++m_record->restarts; }

private:
    Record* m_record;
};
