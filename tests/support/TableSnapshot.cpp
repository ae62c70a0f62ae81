#include "TableSnapshot.h"

#include "core/Database.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

QString tableSnapshot(Database* db)
{
    QSqlQuery tables(db->connection());
    tables.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT "
                               "LIKE 'sqlite_%' ORDER BY name"));
    QStringList lines;
    while (tables.next()) {
        const QString table = tables.value(0).toString();
        QSqlQuery rows(db->connection());
        rows.exec(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" ORDER BY rowid"));
        while (rows.next()) {
            QStringList fields;
            for (int i = 0; i < rows.record().count(); ++i)
                fields << (rows.isNull(i) ? QStringLiteral("NULL") : rows.value(i).toString());
            lines << table + QLatin1Char('|') + fields.join(QLatin1Char('|'));
        }
    }
    return lines.join(QLatin1Char('\n'));
}
