#include "core/SqlReader.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QTime>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>

namespace {

// Lists ask for a handful of statements each (search, filters, sort and the
// page after a key all change the text); beyond this many the least recently
// used one is dropped.
constexpr int kMaxKept = 96;

// What the Qt driver binds as NULL: no value, a null value, and null text,
// bytes, dates and times.
bool bindsAsNull(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return true;
    switch (value.typeId()) {
    case QMetaType::QString:
        return static_cast<const QString*>(value.constData())->isNull();
    case QMetaType::QByteArray:
        return static_cast<const QByteArray*>(value.constData())->isNull();
    case QMetaType::QDate:
        return !static_cast<const QDate*>(value.constData())->isValid();
    case QMetaType::QTime:
        return !static_cast<const QTime*>(value.constData())->isValid();
    case QMetaType::QDateTime:
        return !static_cast<const QDateTime*>(value.constData())->isValid();
    default:
        return false;
    }
}

int bindText(sqlite3_stmt* stmt, int index, const QString& text, void (*lifetime)(void*))
{
    return sqlite3_bind_text16(stmt, index, text.utf16(), int(text.size() * sizeof(QChar)),
                               lifetime);
}

QVariant columnValue(sqlite3_stmt* stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, column));
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, column)),
                                   sqlite3_column_bytes(stmt, column)));
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        const int size = sqlite3_column_bytes(stmt, column);
        // Empty text stays empty rather than null: null text binds as NULL
        // when a caller writes the value back.
        if (size == 0)
            return QVariant(QStringLiteral(""));
        return QVariant(QString::fromUtf8(text, size));
    }
    }
}

// The last text read from one column. Lists repeat a column's text from row
// to row (a status, a currency, a date, a property's name): a repeat shares
// the text already read instead of decoding it again.
struct LastText
{
    std::string bytes;
    QString text;
};

QVariant columnValue(sqlite3_stmt* stmt, int column, LastText& last)
{
    if (sqlite3_column_type(stmt, column) == SQLITE_TEXT) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        const int size = sqlite3_column_bytes(stmt, column);
        if (size == 0)
            return QVariant(QStringLiteral(""));
        if (size_t(size) != last.bytes.size() || memcmp(text, last.bytes.data(), size) != 0) {
            last.bytes.assign(text, size);
            last.text = QString::fromUtf8(text, size);
        }
        return QVariant(last.text);
    }
    return columnValue(stmt, column);
}

} // namespace

SqlReader::~SqlReader()
{
    clear();
}

void SqlReader::attach(sqlite3* handle)
{
    if (handle == m_handle)
        return;
    clear();
    m_handle = handle;
}

void SqlReader::clear()
{
    for (Kept& kept : m_cache)
        sqlite3_finalize(kept.stmt);
    m_cache.clear();
}

void SqlReader::fail(const char* what)
{
    // Worded as QSqlError::text() words the Qt driver's errors: SQLite's
    // message, then what was being done.
    m_error = QString::fromUtf8(sqlite3_errmsg(m_handle));
    if (!m_error.isEmpty())
        m_error += QLatin1Char(' ');
    m_error += QLatin1String(what);
}

SqlReader::Kept* SqlReader::start(const QString& sql, const QVariantList& params, Status& status,
                                  bool writes)
{
    status = Status::Failed;
    m_error.clear();
    if (!m_handle) {
        m_error = QStringLiteral("Driver not loaded");
        return nullptr;
    }
    auto found = m_cache.find(sql);
    if (found == m_cache.end()) {
        const QByteArray text = sql.toUtf8();
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        const int rc =
            sqlite3_prepare_v2(m_handle, text.constData(), int(text.size()), &stmt, &tail);
        if (rc != SQLITE_OK) {
            fail("Unable to execute statement");
            sqlite3_finalize(stmt);
            return nullptr;
        }
        if (!stmt || (tail && !QByteArray(tail).trimmed().isEmpty())) {
            fail(stmt ? "Unable to execute multiple statements at a time"
                      : "Unable to execute statement");
            sqlite3_finalize(stmt);
            return nullptr;
        }
        if (m_cache.size() >= kMaxKept) {
            auto oldest =
                std::min_element(m_cache.begin(), m_cache.end(), [](const Kept& a, const Kept& b) {
                    return a.lastUse < b.lastUse;
                });
            sqlite3_finalize(oldest->stmt);
            m_cache.erase(oldest);
        }
        Kept kept;
        kept.stmt = stmt;
        kept.readOnly = sqlite3_stmt_readonly(stmt) != 0;
        found = m_cache.insert(sql, kept);
    }
    Kept& kept = *found;
    kept.lastUse = ++m_uses;
    if (!kept.readOnly && !writes) {
        status = Status::NotARead;
        return nullptr;
    }
    if (sqlite3_bind_parameter_count(kept.stmt) != params.size()) {
        m_error = QStringLiteral("Parameter count mismatch");
        return nullptr;
    }
    if (!bind(kept.stmt, params)) {
        finish(kept);
        return nullptr;
    }
    status = Status::Done;
    return &kept;
}

bool SqlReader::bind(sqlite3_stmt* stmt, const QVariantList& params)
{
    // Text and bytes held by `params` stay put until the statement is reset;
    // converted values are copied by SQLite.
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& value = params.at(i);
        const int index = i + 1;
        int rc = SQLITE_OK;
        if (bindsAsNull(value)) {
            rc = sqlite3_bind_null(stmt, index);
        } else {
            switch (value.typeId()) {
            case QMetaType::QByteArray: {
                const auto* bytes = static_cast<const QByteArray*>(value.constData());
                rc = sqlite3_bind_blob(stmt, index, bytes->constData(), int(bytes->size()),
                                       SQLITE_STATIC);
                break;
            }
            case QMetaType::Bool:
            case QMetaType::Int:
                rc = sqlite3_bind_int(stmt, index, value.toInt());
                break;
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
                rc = sqlite3_bind_int64(stmt, index, value.toLongLong());
                break;
            case QMetaType::Double:
                rc = sqlite3_bind_double(stmt, index, value.toDouble());
                break;
            case QMetaType::QDateTime:
                rc = bindText(stmt, index, value.toDateTime().toString(Qt::ISODateWithMs),
                              SQLITE_TRANSIENT);
                break;
            case QMetaType::QTime:
                rc = bindText(stmt, index, value.toTime().toString(QStringLiteral("hh:mm:ss.zzz")),
                              SQLITE_TRANSIENT);
                break;
            case QMetaType::QString:
                rc = bindText(stmt, index, *static_cast<const QString*>(value.constData()),
                              SQLITE_STATIC);
                break;
            default:
                rc = bindText(stmt, index, value.toString(), SQLITE_TRANSIENT);
                break;
            }
        }
        if (rc != SQLITE_OK) {
            fail("Unable to bind parameters");
            return false;
        }
    }
    return true;
}

bool SqlReader::step(Kept& kept, Status& status)
{
    const int rc = sqlite3_step(kept.stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        fail("Unable to fetch row");
        status = Status::Failed;
    }
    return false;
}

void SqlReader::finish(Kept& kept)
{
    // A reset statement holds no read lock, and cleared bindings point at
    // none of the caller's values.
    sqlite3_reset(kept.stmt);
    sqlite3_clear_bindings(kept.stmt);
}

void SqlReader::refreshNames(Kept& kept)
{
    // Stepping may have prepared the statement again for a changed schema
    // (a column added to a table read with *): its names are read again.
    const int prepared = sqlite3_stmt_status(kept.stmt, SQLITE_STMTSTATUS_REPREPARE, 0);
    if (prepared == kept.prepared)
        return;
    kept.prepared = prepared;
    kept.columns.clear();
    const int count = sqlite3_column_count(kept.stmt);
    std::map<QString, int> byName;
    for (int i = 0; i < count; ++i) {
        QString name = QString::fromUtf8(sqlite3_column_name(kept.stmt, i));
        name.remove(QLatin1Char('"'));
        kept.columns << name;
        byName[name] = i;
    }
    kept.emptyRow.clear();
    kept.keyColumns.clear();
    for (const auto& [name, column] : byName) {
        kept.emptyRow.insert(kept.emptyRow.constEnd(), name, QVariant());
        kept.keyColumns.push_back(column);
    }
}

SqlReader::Status SqlReader::forEachRow(const QString& sql, const QVariantList& params,
                                        const std::function<void(QVector<QVariant>&)>& onRow,
                                        QStringList* columns)
{
    Status status;
    Kept* kept = start(sql, params, status);
    if (!kept)
        return status;
    bool more = step(*kept, status);
    if (status == Status::Done) {
        refreshNames(*kept);
        if (columns)
            *columns = kept->columns;
    }
    const int count = int(kept->columns.size());
    std::vector<LastText> last(count);
    QVector<QVariant> row;
    for (; more; more = step(*kept, status)) {
        if (row.size() != count) // moved out by the last call
            row.resize(count);
        for (int i = 0; i < count; ++i)
            row[i] = columnValue(kept->stmt, i, last[i]);
        onRow(row);
    }
    finish(*kept);
    return status;
}

SqlReader::Status SqlReader::readRows(const QString& sql, const QVariantList& params, Rows& result)
{
    result = Rows();
    const Status status = forEachRow(
        sql, params, [&result](QVector<QVariant>& row) { result.rows.append(std::move(row)); },
        &result.columns);
    if (status != Status::Done)
        result = Rows();
    return status;
}

SqlReader::Status SqlReader::readMaps(const QString& sql, const QVariantList& params,
                                      QVariantList& result)
{
    result.clear();
    Status status;
    Kept* kept = start(sql, params, status);
    if (!kept)
        return status;
    bool more = step(*kept, status);
    if (more)
        refreshNames(*kept);
    std::vector<LastText> last(kept->columns.size());
    for (; more; more = step(*kept, status)) {
        // Copying the empty row's tree costs no key comparisons; the values
        // then go in walking it in key order.
        QVariant& slot = result.emplaceBack(kept->emptyRow);
        auto* row = static_cast<QVariantMap*>(slot.data());
        auto value = row->begin();
        for (const int column : kept->keyColumns) {
            *value = columnValue(kept->stmt, column, last[column]);
            ++value;
        }
    }
    finish(*kept);
    if (status != Status::Done)
        result.clear();
    return status;
}

SqlReader::Status SqlReader::readValue(const QString& sql, const QVariantList& params,
                                       QVariant& value)
{
    value = QVariant();
    Status status;
    Kept* kept = start(sql, params, status);
    if (!kept)
        return status;
    if (step(*kept, status) && sqlite3_column_count(kept->stmt) > 0)
        value = columnValue(kept->stmt, 0);
    finish(*kept);
    return status;
}

SqlReader::Status SqlReader::write(const QString& sql, const QVariantList& params,
                                   qint64* insertedId)
{
    Status status;
    Kept* kept = start(sql, params, status, true);
    if (!kept)
        return status;
    int rc = SQLITE_ROW;
    while (rc == SQLITE_ROW)
        rc = sqlite3_step(kept->stmt);
    if (rc != SQLITE_DONE) {
        fail("Unable to fetch row");
        status = Status::Failed;
    }
    finish(*kept);
    if (status == Status::Done && insertedId)
        *insertedId = sqlite3_last_insert_rowid(m_handle);
    return status;
}
