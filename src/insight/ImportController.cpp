#include "insight/ImportController.h"

#include "core/Database.h"
#include "core/Reasons.h"
#include "core/TransactionGuard.h"
#include "insight/ImportRows.h"
#include "insight/PasteReader.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTimer>

namespace {

const QString tenantsTable = QStringLiteral("tenants");
const QString buyersTable = QStringLiteral("buyers");
const QString unitsTable = QStringLiteral("units");

QVariantMap lineNote(int line, const QString& reason)
{
    return {{QStringLiteral("line"), line}, {QStringLiteral("reason"), reason}};
}

} // namespace

struct ImportController::Job
{
    Job(Database* db, UnitModel* units, const QString& rawText, const QString& targetTable)
        : text(rawText)
        , table(targetTable)
        , reader(text)
        , rows(db, units, targetTable)
        , tx(std::make_unique<TransactionGuard>(db))
    {}

    const QString text;
    const QString table;
    PasteReader reader;
    ImportRows rows;
    std::unique_ptr<TransactionGuard> tx;
    QList<int> ids;
    QVariantList refusedLines;
    QVariantList skippedLines;
    int refused = 0;
    bool first = true;
};

ImportController::ImportController(Database* db, UnitModel* units, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
    , m_units(units)
{}

// A running import that was never finished is rolled back with its job.
ImportController::~ImportController() = default;

QStringList ImportController::splitLine(const QString& line)
{
    PasteReader reader(line);
    PasteReader::Row row;
    return reader.next(&row) ? row.fields : QStringList{QString()};
}

bool ImportController::parseNumber(const QString& text, double* value)
{
    return ImportRows::parseNumber(text, value);
}

QString ImportController::pasteProblem(const QString& rawText, const QString& targetTable,
                                       int* rows)
{
    *rows = 0;
    if (!PasteReader::hasContent(rawText))
        return QStringLiteral("لا يوجد نص للاستيراد");
    if (!ImportRows::isTarget(targetTable))
        return QStringLiteral("نوع السجلات المطلوب استيرادها غير معروف: ") + targetTable;
    if (rawText.size() > qsizetype(megabyteLimit) * 1024 * 1024)
        return Reasons::pasteTooLarge(rowLimit, megabyteLimit);
    *rows = PasteReader::countRows(rawText);
    if (*rows > rowLimit)
        return Reasons::pasteTooLarge(rowLimit, megabyteLimit);
    return {};
}

bool ImportController::begin(const QString& rawText, const QString& targetTable)
{
    clearError();
    m_result.clear();
    m_insertedIds.clear();
    emit lastResultChanged();
    if (m_job)
        return refuse(QStringLiteral("يجري استيراد آخر الآن؛ انتظر حتى ينتهي"));
    int rows = 0;
    const QString problem = pasteProblem(rawText, targetTable, &rows);
    if (!problem.isEmpty())
        return refuse(problem);

    auto job = std::make_unique<Job>(m_db, m_units, rawText, targetTable);
    if (!job->tx->isActive())
        return refuse(QStringLiteral("تعذر الوصول إلى قاعدة البيانات؛ لم يتم حفظ أي تغيير"));
    m_job = std::move(job);
    m_done = 0;
    m_total = rows;
    emit progressChanged();
    return true;
}

bool ImportController::step(int budgetMs)
{
    Job& job = *m_job;
    QElapsedTimer clock;
    clock.start();
    PasteReader::Row row;
    int sinceCheck = 0;
    while (job.reader.next(&row)) {
        if (row.blank)
            continue;
        ++m_done;
        if (job.first) {
            job.first = false;
            if (ImportRows::isHeader(row.fields, job.table)) {
                job.skippedLines << lineNote(row.number, QStringLiteral("سطر عناوين الأعمدة"));
                continue;
            }
        }
        QString reason;
        const int id = row.cellTooLong ? -1 : job.rows.write(row.fields, row.tabSeparated, &reason);
        if (row.cellTooLong)
            reason = Reasons::cellTooLarge(PasteReader::cellLimit);
        if (id > 0) {
            job.ids << id;
        } else {
            ++job.refused;
            if (job.refusedLines.size() < notesKept)
                job.refusedLines << lineNote(row.number, reason);
        }
        if (budgetMs >= 0 && ++sinceCheck == 64) {
            sinceCheck = 0;
            if (clock.elapsed() >= budgetMs) {
                emit progressChanged();
                return false;
            }
        }
    }
    emit progressChanged();
    return true;
}

bool ImportController::finish()
{
    const std::unique_ptr<Job> job = std::move(m_job);
    const auto record = [&](bool kept) {
        m_result = {{QStringLiteral("table"), job->table},
                    {QStringLiteral("inserted"), kept ? job->ids.size() : 0},
                    {QStringLiteral("skipped"), job->skippedLines.size()},
                    {QStringLiteral("refused"), job->refused},
                    {QStringLiteral("refusedLines"), job->refusedLines},
                    {QStringLiteral("skippedLines"), job->skippedLines}};
        m_insertedIds = kept ? job->ids : QList<int>();
        emit lastResultChanged();
    };

    if (job->ids.isEmpty()) {
        job->tx->rollback();
        record(false);
        QString reason = QStringLiteral("لم يُستورد أي سطر");
        if (!job->refusedLines.isEmpty()) {
            const QVariantMap note = job->refusedLines.first().toMap();
            reason += QStringLiteral("؛ السطر %1: %2")
                          .arg(note.value(QStringLiteral("line")).toInt())
                          .arg(note.value(QStringLiteral("reason")).toString());
        }
        return refuse(reason);
    }
    if (!job->tx->commit()) {
        record(false);
        return refuse(QStringLiteral("تعذر حفظ السطور المستوردة؛ لم يتم حفظ أي تغيير"));
    }
    record(true);
    emit imported(job->table, static_cast<int>(job->ids.size()));
    return true;
}

bool ImportController::importRawCSV(const QString& rawText, const QString& targetTable)
{
    if (!begin(rawText, targetTable))
        return false;
    step(-1);
    return finish();
}

bool ImportController::startImport(const QString& rawText, const QString& targetTable)
{
    if (!begin(rawText, targetTable))
        return false;
    emit busyChanged();
    scheduleStep();
    return true;
}

void ImportController::scheduleStep()
{
    // Each slice runs from the event loop, so the window repaints and the
    // progress shows between slices.
    QTimer::singleShot(0, this, [this] {
        if (!m_job)
            return;
        if (!step(40)) {
            scheduleStep();
            return;
        }
        const bool ok = finish();
        emit busyChanged();
        emit importFinished(ok);
    });
}

void ImportController::cancelImport()
{
    if (!m_job)
        return;
    clearError();
    m_job.reset(); // rolls the transaction back
    m_result.clear();
    m_insertedIds.clear();
    emit lastResultChanged();
    refuse(QStringLiteral("أُلغي الاستيراد؛ لم يتم حفظ أي تغيير"));
    emit busyChanged();
    emit importFinished(false);
}

// --- Preview and undo ---

namespace {

// The records that would keep an imported row alive, as (table, column).
QList<std::pair<QString, QString>> referencesTo(const QString& table)
{
    if (table == tenantsTable)
        return {{QStringLiteral("contracts"), QStringLiteral("tenant_id")},
                {QStringLiteral("invoices"), QStringLiteral("tenant_id")},
                {QStringLiteral("payments"), QStringLiteral("tenant_id")},
                {QStringLiteral("cheques"), QStringLiteral("tenant_id")}};
    if (table == buyersTable)
        return {{QStringLiteral("installments"), QStringLiteral("buyer_id")},
                {QStringLiteral("payments"), QStringLiteral("buyer_id")},
                {QStringLiteral("cheques"), QStringLiteral("buyer_id")},
                {QStringLiteral("units"), QStringLiteral("buyer_id")}};
    return {{QStringLiteral("contracts"), QStringLiteral("unit_id")},
            {QStringLiteral("invoices"), QStringLiteral("unit_id")},
            {QStringLiteral("installments"), QStringLiteral("unit_id")},
            {QStringLiteral("payments"), QStringLiteral("unit_id")},
            {QStringLiteral("usage_records"), QStringLiteral("unit_id")},
            {QStringLiteral("expenses"), QStringLiteral("unit_id")},
            {QStringLiteral("maintenance_requests"), QStringLiteral("unit_id")}};
}

} // namespace

QVariantMap ImportController::previewRawCSV(const QString& rawText, const QString& targetTable,
                                            int limit)
{
    clearError();
    QVariantMap preview{{QStringLiteral("table"), targetTable},
                        {QStringLiteral("columns"), ImportRows::columnLabels(targetTable)},
                        {QStringLiteral("rows"), QVariantList()},
                        {QStringLiteral("lines"), 0},
                        {QStringLiteral("checked"), 0},
                        {QStringLiteral("header"), 0},
                        {QStringLiteral("ready"), 0},
                        {QStringLiteral("problems"), 0}};
    if (!PasteReader::hasContent(rawText))
        return preview;
    int lines = 0;
    const QString problem = pasteProblem(rawText, targetTable, &lines);
    preview.insert(QStringLiteral("lines"), lines);
    if (!problem.isEmpty()) {
        refuse(problem);
        return preview;
    }

    // Only the rows shown are checked, without writing anything; repeats
    // among them are found as well as numbers already stored.
    ImportRows checker(m_db, m_units, targetTable);
    const int columns = static_cast<int>(ImportRows::columnLabels(targetTable).size());
    PasteReader reader(rawText);
    PasteReader::Row row;
    QVariantList rows;
    int ready = 0;
    int problems = 0;
    bool header = false;
    while (rows.size() < limit && reader.next(&row)) {
        if (row.blank)
            continue;
        const bool isTitleRow = rows.isEmpty() && ImportRows::isHeader(row.fields, targetTable);
        QString rowProblem;
        if (isTitleRow)
            header = true;
        else if (row.cellTooLong)
            rowProblem = Reasons::cellTooLarge(PasteReader::cellLimit);
        else
            rowProblem = checker.check(row.fields, row.tabSeparated);
        if (!isTitleRow)
            ++(rowProblem.isEmpty() ? ready : problems);
        QStringList shown;
        for (int c = 0; c < columns; ++c)
            shown << (c < row.fields.size() ? row.fields.at(c).trimmed().left(200) : QString());
        rows << QVariantMap{{QStringLiteral("line"), row.number},
                            {QStringLiteral("fields"), shown},
                            {QStringLiteral("header"), isTitleRow},
                            {QStringLiteral("problem"), rowProblem}};
    }
    preview.insert(QStringLiteral("rows"), rows);
    preview.insert(QStringLiteral("checked"), ready + problems);
    preview.insert(QStringLiteral("header"), header ? 1 : 0);
    preview.insert(QStringLiteral("ready"), ready);
    preview.insert(QStringLiteral("problems"), problems);
    return preview;
}

bool ImportController::canUndoLastImport() const
{
    return !m_job && !m_insertedIds.isEmpty();
}

bool ImportController::undoLastImport()
{
    clearError();
    const QString table = m_result.value(QStringLiteral("table")).toString();
    const QList<int> ids = m_insertedIds;
    if (m_job)
        return refuse(QStringLiteral("يجري استيراد الآن؛ انتظر حتى ينتهي"));
    if (ids.isEmpty() || !ImportRows::isTarget(table))
        return refuse(QStringLiteral("لا يوجد استيراد يمكن التراجع عنه"));

    // The ids go into a temporary table, so that each check and each delete
    // is one statement however many rows the import wrote. Its name is not
    // qualified: both engines look among the session's own tables first.
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuse(QStringLiteral("تعذر الوصول إلى قاعدة البيانات؛ لم يتم حذف أي سجل"));
    const QString failed = QStringLiteral("تعذر حذف السجلات المستوردة؛ لم يتم حذف أي سجل");
    if (!m_db->execNonQuery(QStringLiteral(
            "CREATE TEMP TABLE IF NOT EXISTS import_undo_ids (id INTEGER PRIMARY KEY)")) ||
        !m_db->execNonQuery(QStringLiteral("DELETE FROM import_undo_ids")))
        return refuse(failed);
    QSqlQuery keep(m_db->connection());
    if (!keep.prepare(
            QStringLiteral("INSERT INTO import_undo_ids (id) VALUES (?) ON CONFLICT DO NOTHING")))
        return refuse(failed);
    for (const int id : ids) {
        keep.bindValue(0, id);
        if (!keep.exec())
            return refuse(failed);
    }

    const auto references = referencesTo(table);
    for (const auto& [other, column] : references) {
        // Table and column names come from the fixed list above.
        if (m_db->scalar(QStringLiteral("SELECT 1 FROM ") + other + QStringLiteral(" WHERE ") +
                         column + QStringLiteral(" IN (SELECT id FROM import_undo_ids) LIMIT 1"))
                .isValid())
            return refuse(QStringLiteral("لا يمكن التراجع عن الاستيراد: بعض السجلات المستوردة "
                                         "صارت مرتبطة بسجلات أخرى (عقود أو فواتير أو "
                                         "دفعات). لم يتم حذف أي سجل"));
    }

    // A unit's own cost centre goes with it; floor and project centres stay,
    // other units may hang under them.
    if (table == unitsTable &&
        !m_db->execNonQuery(QStringLiteral("DELETE FROM cost_centers WHERE type='unit' AND "
                                           "unit_id IN (SELECT id FROM import_undo_ids)")))
        return refuse(failed);
    const QString sql =
        table == tenantsTable
            ? QStringLiteral("DELETE FROM tenants WHERE id IN (SELECT id FROM import_undo_ids)")
        : table == buyersTable
            ? QStringLiteral("DELETE FROM buyers WHERE id IN (SELECT id FROM import_undo_ids)")
            : QStringLiteral("DELETE FROM units WHERE id IN (SELECT id FROM import_undo_ids)");
    if (!m_db->execNonQuery(sql) ||
        !m_db->execNonQuery(QStringLiteral("DELETE FROM import_undo_ids")) || !tx.commit())
        return refuse(failed);

    m_result.clear();
    m_insertedIds.clear();
    emit lastResultChanged();
    emit importUndone(table, static_cast<int>(ids.size()));
    return true;
}
