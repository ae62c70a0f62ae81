#include "admin/XlsxExport.h"

#include "admin/ExportTables.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <xlsxwriter.h>

using ExportTables::Column;
using ExportTables::Kind;
using ExportTables::Table;

namespace {

// Spreadsheets hold at most this many characters in a cell.
constexpr int cellTextLimit = 32767;

// XML 1.0 has no place for most control characters; they are dropped.
QByteArray cellText(const QString& value)
{
    QString text = value.left(cellTextLimit);
    text.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF;
    });
    return text.toUtf8();
}

double columnWidth(Kind kind)
{
    switch (kind) {
    case Kind::Key:
    case Kind::Integer:
    case Kind::Real:
        return 11;
    case Kind::Amount:
    case Kind::Timestamp:
        return 18;
    case Kind::Code:
    case Kind::Label:
    case Kind::Date:
        return 14;
    case Kind::Text:
        break;
    }
    return 26;
}

class Writer
{
public:
    Writer(lxw_workbook* book, const ExportTables::Currencies& currencies)
        : m_book(book)
        , m_currencies(currencies)
    {
        m_heading = workbook_add_format(book);
        format_set_bold(m_heading);
        format_set_bg_color(m_heading, 0xE8E2CF);
        format_set_border(m_heading, LXW_BORDER_THIN);
        m_date = workbook_add_format(book);
        format_set_num_format(m_date, "yyyy-mm-dd");
        m_stamp = workbook_add_format(book);
        format_set_num_format(m_stamp, "yyyy-mm-dd hh:mm");
        m_text = workbook_add_format(book);
        format_set_num_format(m_text, "@");
    }

    bool table(const Table& table, const QSqlDatabase& db, QString* error)
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.exec(ExportTables::selectSql(table))) {
            *error = table.name + QStringLiteral(": ") + query.lastError().text();
            return false;
        }
        lxw_worksheet* sheet = startSheet(table, 1);
        lxw_row_t row = 0;
        int part = 1;
        while (query.next()) {
            if (row == static_cast<lxw_row_t>(XlsxExport::rowsPerSheet())) {
                sheet = startSheet(table, ++part);
                row = 0;
            }
            ++row;
            const QVariant currency =
                table.currencyColumn >= 0 ? query.value(table.currencyColumn) : QVariant();
            for (int c = 0; c < table.columns.size(); ++c) {
                if (!cell(sheet, row, static_cast<lxw_col_t>(c), table.columns.at(c),
                          query.value(c), currency)) {
                    *error = table.name + QStringLiteral(": a cell could not be written");
                    return false;
                }
            }
        }
        if (query.lastError().isValid()) {
            *error = table.name + QStringLiteral(": ") + query.lastError().text();
            return false;
        }
        return sheet != nullptr;
    }

private:
    lxw_worksheet* startSheet(const Table& table, int part)
    {
        const QString title =
            part == 1 ? table.sheetTitle : table.sheetTitle + QStringLiteral(" %1").arg(part);
        lxw_worksheet* sheet = workbook_add_worksheet(m_book, cellText(title).constData());
        if (!sheet)
            return nullptr;
        worksheet_right_to_left(sheet);
        worksheet_freeze_panes(sheet, 1, 0);
        for (int c = 0; c < table.columns.size(); ++c) {
            const Column& column = table.columns.at(c);
            const auto index = static_cast<lxw_col_t>(c);
            worksheet_set_column(sheet, index, index, columnWidth(column.kind), nullptr);
            worksheet_write_string(sheet, 0, index, cellText(column.heading).constData(),
                                   m_heading);
        }
        return sheet;
    }

    // "#,##0.00 ₪": the currency's own decimals and symbol.
    lxw_format* amountFormat(const QString& symbol, int decimals)
    {
        const QString key = QString::number(decimals) + QLatin1Char(' ') + symbol;
        auto found = m_amounts.constFind(key);
        if (found != m_amounts.constEnd())
            return *found;
        lxw_format* format = workbook_add_format(m_book);
        QString pattern = QStringLiteral("#,##0");
        if (decimals > 0)
            pattern += QLatin1Char('.') + QString(decimals, QLatin1Char('0'));
        QString plain = symbol;
        plain.remove(QLatin1Char('"'));
        if (!plain.isEmpty())
            pattern += QStringLiteral(" \"") + plain + QLatin1Char('"');
        format_set_num_format(format, pattern.toUtf8().constData());
        m_amounts.insert(key, format);
        return format;
    }

    bool cell(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t col, const Column& column,
              const QVariant& value, const QVariant& currency)
    {
        if (!sheet)
            return false;
        if (value.isNull())
            return true;
        lxw_error result = LXW_NO_ERROR;
        switch (column.kind) {
        case Kind::Key:
        case Kind::Integer:
        case Kind::Real:
            result = worksheet_write_number(sheet, row, col, value.toDouble(), nullptr);
            break;
        case Kind::Amount:
            result = worksheet_write_number(
                sheet, row, col, value.toDouble(),
                amountFormat(m_currencies.symbolFor(currency), m_currencies.decimalsFor(currency)));
            break;
        case Kind::Date:
        case Kind::Timestamp: {
            const QString text = value.toString();
            const QDateTime stamp =
                column.kind == Kind::Date
                    ? QDateTime(QDate::fromString(text, Qt::ISODate), QTime(0, 0))
                    : QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (stamp.isValid() && stamp.date().year() >= 1900) {
                lxw_datetime when{
                    stamp.date().year(),   stamp.date().month(),
                    stamp.date().day(),    stamp.time().hour(),
                    stamp.time().minute(), static_cast<double>(stamp.time().second())};
                result = worksheet_write_datetime(sheet, row, col, &when,
                                                  column.kind == Kind::Date ? m_date : m_stamp);
            } else {
                // Text that is not a date stays as it was typed.
                result =
                    worksheet_write_string(sheet, row, col, cellText(text).constData(), nullptr);
            }
            break;
        }
        case Kind::Label:
            result = worksheet_write_string(
                sheet, row, col,
                cellText(ExportTables::label(column, value.toString())).constData(), nullptr);
            break;
        case Kind::Code:
            result = worksheet_write_string(sheet, row, col, cellText(value.toString()).constData(),
                                            m_text);
            break;
        case Kind::Text:
            result = worksheet_write_string(sheet, row, col, cellText(value.toString()).constData(),
                                            nullptr);
            break;
        }
        return result == LXW_NO_ERROR;
    }

    lxw_workbook* m_book;
    const ExportTables::Currencies& m_currencies;
    lxw_format* m_heading = nullptr;
    lxw_format* m_date = nullptr;
    lxw_format* m_stamp = nullptr;
    lxw_format* m_text = nullptr;
    QHash<QString, lxw_format*> m_amounts;
};

} // namespace

int XlsxExport::rowsPerSheet()
{
    return LXW_ROW_MAX - 1;
}

bool XlsxExport::write(const QSqlDatabase& db, const QString& filePath, QString* error,
                       const Step& step)
{
    QString problem;
    const auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        QFile::remove(filePath);
        return false;
    };
    if (!db.isOpen())
        return fail(QStringLiteral("Database not connected"));
    if (!QFileInfo(filePath).absoluteDir().exists())
        return fail(QStringLiteral("Export folder does not exist"));
    QFile::remove(filePath);

    // Rows go to temporary files one at a time, so a large table does not
    // have to fit in memory.
    QByteArray tmp = QDir::tempPath().toUtf8();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmp.data();
    const QByteArray path = QFile::encodeName(filePath);
    lxw_workbook* book = workbook_new_opt(path.constData(), &options);
    if (!book)
        return fail(QStringLiteral("Failed to create workbook"));

    const ExportTables::Currencies currencies = ExportTables::readCurrencies(db);
    Writer writer(book, currencies);
    bool ok = true;
    const QList<Table>& tables = ExportTables::tables();
    const int total = int(tables.size()) + 1;
    for (int i = 0; i < tables.size(); ++i) {
        if (step)
            step(i, total, tables.at(i).sheetTitle);
        if (!writer.table(tables.at(i), db, &problem)) {
            ok = false;
            break;
        }
    }
    if (ok && step)
        step(total - 1, total, QString());
    const lxw_error closed = workbook_close(book);
    if (!ok)
        return fail(problem);
    if (closed != LXW_NO_ERROR)
        return fail(QStringLiteral("Failed to write workbook: ") +
                    QString::fromUtf8(lxw_strerror(closed)));
    return true;
}
