#include "core/PgReader.h"

#include <QAtomicInteger>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QTime>

#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>

namespace {

// Kept statements per connection before the least used half is dropped: the
// pages use a few hundred, lists with every filter and order a few more.
constexpr int kMostKept = 2000;

// The server's type numbers (pg_type.oid) of the columns converted here.
enum : Oid
{
    kBool = 16,
    kBytea = 17,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kDate = 1082,
    kTime = 1083,
    kTimestamp = 1114,
    kTimestampTz = 1184,
    kNumeric = 1700
};

QMetaType typeOf(Oid type)
{
    switch (type) {
    case kBool:
    case kInt8:
        return QMetaType::fromType<qlonglong>();
    case kInt2:
    case kInt4:
        return QMetaType::fromType<int>();
    case kOid:
        return QMetaType::fromType<uint>();
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return QMetaType::fromType<double>();
    case kDate:
        return QMetaType::fromType<QDate>();
    case kTime:
        return QMetaType::fromType<QTime>();
    case kTimestamp:
    case kTimestampTz:
        return QMetaType::fromType<QDateTime>();
    case kBytea:
        return QMetaType::fromType<QByteArray>();
    default:
        return QMetaType::fromType<QString>();
    }
}

QDateTime timestampOf(const char* text, bool withZone)
{
    QString value = QString::fromLatin1(text);
    value.replace(QLatin1Char(' '), QLatin1Char('T'));
    // The server writes a whole-hour offset as "+03"; Qt reads "+03:00".
    static const QRegularExpression shortOffset(QStringLiteral("[+-]\\d\\d$"));
    if (withZone && shortOffset.match(value).hasMatch())
        value += QStringLiteral(":00");
    const QDateTime parsed = QDateTime::fromString(value, Qt::ISODateWithMs);
    return withZone ? parsed.toLocalTime() : parsed;
}

QVariant valueOf(const PGresult* result, int row, int column, Oid type)
{
    if (PQgetisnull(result, row, column))
        return QVariant(typeOf(type));
    const char* text = PQgetvalue(result, row, column);
    switch (type) {
    case kBool:
        return QVariant(qlonglong(text[0] == 't' ? 1 : 0));
    case kInt8:
        return QVariant(qlonglong(std::strtoll(text, nullptr, 10)));
    case kInt2:
    case kInt4:
        return QVariant(int(std::strtoll(text, nullptr, 10)));
    case kOid:
        return QVariant(uint(std::strtoull(text, nullptr, 10)));
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return QVariant(QByteArray::fromRawData(text, PQgetlength(result, row, column)).toDouble());
    case kDate:
        return QVariant(QDate::fromString(QString::fromLatin1(text), Qt::ISODate));
    case kTime:
        return QVariant(QTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs));
    case kTimestamp:
    case kTimestampTz:
        return QVariant(timestampOf(text, type == kTimestampTz));
    case kBytea: {
        size_t length = 0;
        unsigned char* bytes =
            PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &length);
        if (!bytes)
            return QVariant(QByteArray());
        QByteArray value(reinterpret_cast<const char*>(bytes), qsizetype(length));
        PQfreemem(bytes);
        return QVariant(value);
    }
    default:
        return QVariant(QString::fromUtf8(text, PQgetlength(result, row, column)));
    }
}

struct ResultDeleter
{
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

} // namespace

PgReader::~PgReader() = default;

void PgReader::attach(pg_conn* handle)
{
    if (handle != m_handle) {
        m_kept.clear();
        m_handle = handle;
    }
}

void PgReader::clear()
{
    m_kept.clear();
    m_handle = nullptr;
}

QByteArray PgReader::numbered(const QString& sql)
{
    const QByteArray text = sql.toUtf8();
    QByteArray out;
    out.reserve(text.size() + 16);
    int marker = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = text.at(i);
        if (c == '\'' || c == '"') {
            // A quoted string or name, its quote doubled inside; an E'…'
            // string also escapes with a backslash.
            const bool backslashes =
                c == '\'' && i > 0 && (text.at(i - 1) == 'E' || text.at(i - 1) == 'e');
            out += c;
            for (++i; i < size; ++i) {
                const char d = text.at(i);
                out += d;
                if (backslashes && d == '\\' && i + 1 < size) {
                    out += text.at(++i);
                } else if (d == c) {
                    if (i + 1 < size && text.at(i + 1) == c)
                        out += text.at(++i);
                    else
                        break;
                }
            }
        } else if (c == '-' && i + 1 < size && text.at(i + 1) == '-') {
            const qsizetype end = text.indexOf('\n', i);
            const qsizetype stop = end < 0 ? size : end;
            out += text.mid(i, stop - i);
            i = stop - 1;
        } else if (c == '/' && i + 1 < size && text.at(i + 1) == '*') {
            const qsizetype end = text.indexOf("*/", i + 2);
            const qsizetype stop = end < 0 ? size : end + 2;
            out += text.mid(i, stop - i);
            i = stop - 1;
        } else if (c == '?') {
            out += '$' + QByteArray::number(++marker);
        } else {
            out += c;
        }
    }
    return out;
}

bool PgReader::parameterText(const QVariant& value, QByteArray* text)
{
    if (!value.isValid() || value.isNull())
        return false;
    switch (value.typeId()) {
    case QMetaType::Bool:
        // As the file binds it: 1 or 0, which a boolean, an integer and a
        // text parameter all take.
        *text = value.toBool() ? "1" : "0";
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        *text = QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest).toLatin1();
        break;
    case QMetaType::QDate:
        *text = value.toDate().toString(Qt::ISODate).toLatin1();
        break;
    case QMetaType::QTime:
        *text = value.toTime().toString(Qt::ISODateWithMs).toLatin1();
        break;
    case QMetaType::QDateTime:
        *text = value.toDateTime().toString(Qt::ISODateWithMs).toLatin1();
        break;
    case QMetaType::QByteArray:
        *text = "\\x" + value.toByteArray().toHex();
        break;
    default:
        *text = value.toString().toUtf8();
        break;
    }
    return true;
}

bool PgReader::isRead(const QString& sql)
{
    static const QRegularExpression firstWord(QStringLiteral("^\\s*\\(*\\s*([A-Za-z]+)"));
    static const QRegularExpression changes(QStringLiteral("\\b(INSERT|UPDATE|DELETE|MERGE)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QString word = firstWord.match(sql).captured(1).toUpper();
    if (word == QLatin1String("SELECT") || word == QLatin1String("VALUES"))
        return true;
    return word == QLatin1String("WITH") && !changes.match(sql).hasMatch();
}

void PgReader::fail(pg_result* result)
{
    const char* message = result ? PQresultErrorMessage(result) : nullptr;
    if (!message || !*message)
        message = m_handle ? PQerrorMessage(m_handle) : "no connection to the server";
    m_error = QString::fromUtf8(message).trimmed();
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (state)
        m_error += QStringLiteral(" (%1)").arg(QLatin1String(state));
}

void PgReader::trim()
{
    std::vector<quint64> uses;
    uses.reserve(m_kept.size());
    for (const Kept& kept : std::as_const(m_kept))
        uses.push_back(kept.lastUse);
    std::nth_element(uses.begin(), uses.begin() + uses.size() / 2, uses.end());
    const quint64 median = uses[uses.size() / 2];
    QByteArray drop;
    for (auto it = m_kept.begin(); it != m_kept.end();) {
        if (it->lastUse < median) {
            drop += "DEALLOCATE " + it->name + ";";
            it = m_kept.erase(it);
        } else {
            ++it;
        }
    }
    if (!drop.isEmpty())
        PQclear(PQexec(m_handle, drop.constData()));
}

PgReader::Kept* PgReader::prepare(const QString& sql)
{
    const auto found = m_kept.find(sql);
    if (found != m_kept.end())
        return &found.value();
    if (m_kept.size() >= kMostKept)
        trim();
    Kept kept;
    // Named for the whole process, as two readers may share a connection:
    // the reader's own number in the high half, its statements' in the low.
    static QAtomicInteger<quint64> readers;
    if (m_serial == 0)
        m_serial = (readers.fetchAndAddRelaxed(1) + 1) << 32;
    kept.name = "sakanova_read_" + QByteArray::number(++m_serial);
    Result prepared(
        PQprepare(m_handle, kept.name.constData(), numbered(sql).constData(), 0, nullptr));
    if (!prepared || PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
        fail(prepared.get());
        return nullptr;
    }
    return &m_kept.insert(sql, kept).value();
}

pg_result* PgReader::execute(const Kept& kept, const QVariantList& params)
{
    std::vector<QByteArray> texts(size_t(params.size()));
    std::vector<const char*> values(size_t(params.size()), nullptr);
    for (int i = 0; i < params.size(); ++i) {
        if (parameterText(params.at(i), &texts[size_t(i)]))
            values[size_t(i)] = texts[size_t(i)].constData();
    }
    return PQexecPrepared(m_handle, kept.name.constData(), int(params.size()), values.data(),
                          nullptr, nullptr, 0);
}

pg_result* PgReader::run(const QString& sql, const QVariantList& params, SqlReader::Status& status)
{
    status = SqlReader::Status::Failed;
    m_error.clear();
    if (!m_handle) {
        m_error = QStringLiteral("database not open");
        return nullptr;
    }
    if (!isRead(sql)) {
        status = SqlReader::Status::NotARead;
        return nullptr;
    }
    Kept* kept = prepare(sql);
    if (!kept)
        return nullptr;
    kept->lastUse = ++m_uses;
    Result result(execute(*kept, params));
    const auto state = [&result] {
        const char* code = result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
        return QByteArray(code ? code : "");
    };
    // A kept statement the server no longer has, or whose tables changed
    // shape since: prepared again once, unless a transaction is under way
    // (the failure has ended it already).
    if ((state() == "26000" || state() == "0A000") &&
        PQtransactionStatus(m_handle) == PQTRANS_IDLE) {
        const QByteArray name = kept->name;
        m_kept.remove(sql);
        PQclear(PQexec(m_handle, ("DEALLOCATE " + name).constData()));
        kept = prepare(sql);
        if (!kept)
            return nullptr;
        kept->lastUse = m_uses;
        result.reset(execute(*kept, params));
    }
    if (!result || PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
        fail(result.get());
        return nullptr;
    }
    status = SqlReader::Status::Done;
    return result.release();
}

SqlReader::Status PgReader::forEachRow(const QString& sql, const QVariantList& params,
                                       const std::function<void(QVector<QVariant>&)>& onRow)
{
    SqlReader::Status status;
    const Result result(run(sql, params, status));
    if (!result)
        return status;
    const int count = PQnfields(result.get());
    std::vector<Oid> types(static_cast<size_t>(count));
    for (int c = 0; c < count; ++c)
        types[size_t(c)] = PQftype(result.get(), c);
    const int rows = PQntuples(result.get());
    QVector<QVariant> values(count);
    for (int r = 0; r < rows; ++r) {
        // A row handed to `onRow` may have been moved out of.
        values.resize(count);
        for (int c = 0; c < count; ++c)
            values[c] = valueOf(result.get(), r, c, types[size_t(c)]);
        onRow(values);
    }
    return status;
}

SqlReader::Status PgReader::readRows(const QString& sql, const QVariantList& params,
                                     SqlReader::Rows& result)
{
    SqlReader::Status status;
    const Result read(run(sql, params, status));
    if (!read)
        return status;
    const int count = PQnfields(read.get());
    std::vector<Oid> types(static_cast<size_t>(count));
    for (int c = 0; c < count; ++c) {
        types[size_t(c)] = PQftype(read.get(), c);
        result.columns << QString::fromUtf8(PQfname(read.get(), c));
    }
    const int rows = PQntuples(read.get());
    result.rows.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        QVector<QVariant> values(count);
        for (int c = 0; c < count; ++c)
            values[c] = valueOf(read.get(), r, c, types[size_t(c)]);
        result.rows.append(std::move(values));
    }
    return status;
}

SqlReader::Status PgReader::readMaps(const QString& sql, const QVariantList& params,
                                     QVariantList& result)
{
    SqlReader::Status status;
    const Result read(run(sql, params, status));
    if (!read)
        return status;
    // Each row's map is filled in key order, so every insert lands at its
    // end; of two columns with the same name the later one is kept.
    std::map<QString, int> columns;
    const int count = PQnfields(read.get());
    for (int c = 0; c < count; ++c)
        columns[QString::fromUtf8(PQfname(read.get(), c))] = c;
    std::vector<std::pair<QString, int>> ordered(columns.begin(), columns.end());
    std::vector<Oid> types;
    for (const auto& column : ordered)
        types.push_back(PQftype(read.get(), column.second));
    const int rows = PQntuples(read.get());
    result.reserve(result.size() + rows);
    for (int r = 0; r < rows; ++r) {
        QVariantMap row;
        for (size_t i = 0; i < ordered.size(); ++i)
            row.insert(row.constEnd(), ordered[i].first,
                       valueOf(read.get(), r, ordered[i].second, types[i]));
        result.append(row);
    }
    return status;
}

SqlReader::Status PgReader::readValue(const QString& sql, const QVariantList& params,
                                      QVariant& value)
{
    SqlReader::Status status;
    const Result read(run(sql, params, status));
    value = QVariant();
    if (read && PQntuples(read.get()) > 0 && PQnfields(read.get()) > 0)
        value = valueOf(read.get(), 0, 0, PQftype(read.get(), 0));
    return status;
}

pg_conn* PgReader::connectionOf(const QSqlDatabase& db)
{
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    // Qt names the type after libpq's struct.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}
