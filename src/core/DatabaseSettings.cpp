#include "core/DatabaseSettings.h"

#include <QFile>
#include <QFileInfo>

bool DatabaseSettings::readPassword(QString* password, QString* error) const
{
    password->clear();
    if (passwordFile.isEmpty())
        return true;
    QFile file(passwordFile);
    const QFileInfo info(file);
    if (!info.exists() || !info.isFile()) {
        *error = QStringLiteral("password file %1 not found").arg(passwordFile);
        return false;
    }
    // A password anyone on the computer can read is no secret: refuse the
    // file rather than use it.
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (file.permissions() & others) {
        *error = QStringLiteral("password file %1 may be read by others; allow its owner only "
                                "(chmod 600)")
                     .arg(passwordFile);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("password file %1 cannot be read: %2")
                     .arg(passwordFile, file.errorString());
        return false;
    }
    const QByteArray firstLine = file.readLine();
    *password = QString::fromUtf8(firstLine).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    return true;
}
