#pragma once

#include "core/Desktop.h"

#include <QDir>
#include <QString>
#include <QStringList>

// Stands in for the desktop: pickers return preset answers, opened paths are
// only recorded, and the documents and export folders live under a folder
// the test owns. Nothing ever blocks or starts another program.
class FakeDesktop : public Desktop
{
public:
    explicit FakeDesktop(const QString& root)
        : m_documents(root + QStringLiteral("/Documents"))
        , m_export(root + QStringLiteral("/Desktop"))
    {}

    QString chooseFolder(const QString& title, const QString& startFolder) override
    {
        calls << QStringLiteral("chooseFolder|") + title + QLatin1Char('|') + startFolder;
        return folderAnswer;
    }
    QString chooseFileToOpen(const QString& title, const QString& startFolder,
                             const QString& filter) override
    {
        calls << QStringLiteral("chooseFileToOpen|") + title + QLatin1Char('|') + startFolder +
                     QLatin1Char('|') + filter;
        return fileAnswer;
    }
    QString chooseFileToSave(const QString& title, const QString& startPath,
                             const QString& filter) override
    {
        calls << QStringLiteral("chooseFileToSave|") + title + QLatin1Char('|') + startPath +
                     QLatin1Char('|') + filter;
        return fileAnswer;
    }
    bool openPath(const QString& path) override
    {
        opened << path;
        return true;
    }
    QString documentsFolder() const override { return m_documents; }
    QString exportFolder() const override { return m_export; }

    // A restart (after a restore) is only counted.
    void restartApplication() override { ++restarts; }

    void setDocumentsFolder(const QString& path) { m_documents = path; }
    void setExportFolder(const QString& path) { m_export = path; }

    QString folderAnswer;
    QString fileAnswer;
    QStringList calls;
    QStringList opened;
    int restarts = 0;

private:
    QString m_documents;
    QString m_export;
};
