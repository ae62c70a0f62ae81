#include "TableSnapshot.h"

#include "core/Database.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

QString tableSnapshot(Database* db)
{
    // A server keeps no rowid: its rows are put in order here instead.
    const bool server = db->isPostgres();
    QSqlQuery tables(db->connection());
    tables.exec(server ? QStringLiteral("SELECT table_name FROM information_schema.tables WHERE "
                                        "table_schema=current_schema() AND table_type='BASE "
                                        "TABLE' ORDER BY table_name")
                       : QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND "
                                        "name NOT LIKE 'sqlite_%' ORDER BY name"));
    QStringList lines;
    while (tables.next()) {
        const QString table = tables.value(0).toString();
        QSqlQuery rows(db->connection());
        rows.exec(QStringLiteral("SELECT * FROM ") + table +
                  (server ? QString() : QStringLiteral(" ORDER BY rowid")));
        QStringList tableLines;
        while (rows.next()) {
            QStringList fields;
            for (int i = 0; i < rows.record().count(); ++i)
                fields << (rows.isNull(i) ? QStringLiteral("NULL") : rows.value(i).toString());
            tableLines << table + QLatin1Char('|') + fields.join(QLatin1Char('|'));
        }
        if (server)
            tableLines.sort();
        lines << tableLines;
    }
    return lines.join(QLatin1Char('\n'));
}
