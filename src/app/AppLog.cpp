#include "app/AppLog.h"

#include <QFile>
#include <QQmlError>
#include <QTextStream>

namespace {

QFile& logFile()
{
    static QFile file;
    return file;
}

} // namespace

bool AppLog::open(const QString& dataDir)
{
    QFile& file = logFile();
    if (file.isOpen())
        return true;
    file.setFileName(dataDir + QStringLiteral("/app.log"));
    return file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
}

bool AppLog::isOpen()
{
    return logFile().isOpen();
}

void AppLog::writeLine(const QString& line)
{
    QFile& file = logFile();
    if (!file.isOpen())
        return;
    QTextStream out(&file);
    out << line << Qt::endl;
}

void AppLog::writeQmlErrors(const QList<QQmlError>& errors)
{
    QFile& file = logFile();
    if (!file.isOpen())
        return;
    QTextStream out(&file);
    for (const QQmlError& error : errors)
        out << "QML Error: " << error.toString() << Qt::endl;
    out.flush();
}

void AppLog::close()
{
    logFile().close();
}
