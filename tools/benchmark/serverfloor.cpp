#include "serverfloor.h"

#include "core/PgReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>

#include <libpq-fe.h>

#include <vector>

namespace {

// A statement's parameters as the text libpq sends, null for NULL.
class Parameters
{
public:
    explicit Parameters(const QVariantList& params)
        : m_texts(size_t(params.size()))
        , m_values(size_t(params.size()), nullptr)
    {
        for (int i = 0; i < params.size(); ++i) {
            if (PgReader::parameterText(params.at(i), &m_texts[size_t(i)]))
                m_values[size_t(i)] = m_texts[size_t(i)].constData();
        }
    }
    int count() const { return int(m_values.size()); }
    const char* const* values() const { return m_values.data(); }

private:
    std::vector<QByteArray> m_texts;
    std::vector<const char*> m_values;
};

} // namespace

ServerFloor::ServerFloor(const DatabaseSettings& settings)
    : m_connection(QStringLiteral("sakanova_benchmark_floor"))
{
    // Opened as the application opens a second session (its time zone set
    // the same way), then driven through libpq alone.
    if (!settings.openConnection(m_connection, &m_error))
        return;
    m_handle = PgReader::connectionOf(QSqlDatabase::database(m_connection, false));
}

ServerFloor::~ServerFloor()
{
    m_handle = nullptr;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

bool ServerFloor::run(const QList<Statement>& statements)
{
    if (!m_handle)
        return false;
    for (const Statement& statement : statements) {
        auto kept = m_kept.find(statement.first);
        if (kept == m_kept.end()) {
            const QByteArray name = "floor_" + QByteArray::number(m_kept.size() + 1);
            PGresult* prepared =
                PQprepare(m_handle, name.constData(),
                          PgReader::numbered(statement.first).constData(), 0, nullptr);
            const bool ok = PQresultStatus(prepared) == PGRES_COMMAND_OK;
            PQclear(prepared);
            if (!ok) {
                m_error = QString::fromUtf8(PQerrorMessage(m_handle));
                return false;
            }
            kept = m_kept.insert(statement.first, name);
        }
        const Parameters params(statement.second);
        PGresult* result = PQexecPrepared(m_handle, kept->constData(), params.count(),
                                          params.values(), nullptr, nullptr, 0);
        if (PQresultStatus(result) != PGRES_TUPLES_OK) {
            m_error = QString::fromUtf8(PQresultErrorMessage(result));
            PQclear(result);
            return false;
        }
        volatile qint64 sink = 0;
        const int rows = PQntuples(result);
        const int columns = PQnfields(result);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                if (!PQgetisnull(result, r, c))
                    sink = sink + PQgetlength(result, r, c) + *PQgetvalue(result, r, c);
            }
        }
        PQclear(result);
    }
    return true;
}

QList<ServerFloor::Spent> ServerFloor::explain(const QList<Statement>& statements)
{
    QList<Spent> spent;
    for (const Statement& statement : statements) {
        Spent one;
        const Parameters params(statement.second);
        const QByteArray sql =
            "EXPLAIN (ANALYZE, SUMMARY, FORMAT JSON) " + PgReader::numbered(statement.first);
        PGresult* result = m_handle ? PQexecParams(m_handle, sql.constData(), params.count(),
                                                   nullptr, params.values(), nullptr, nullptr, 0)
                                    : nullptr;
        if (result && PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1) {
            const QJsonObject plan = QJsonDocument::fromJson(QByteArray(PQgetvalue(result, 0, 0)))
                                         .array()
                                         .at(0)
                                         .toObject();
            one.planningMs = plan.value(QStringLiteral("Planning Time")).toDouble(-1);
            one.executionMs = plan.value(QStringLiteral("Execution Time")).toDouble(-1);
        } else if (m_handle) {
            m_error = QString::fromUtf8(PQerrorMessage(m_handle));
        }
        PQclear(result);
        spent << one;
    }
    return spent;
}
