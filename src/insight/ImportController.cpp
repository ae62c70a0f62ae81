#include "insight/ImportController.h"

#include "core/Database.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"
#include "rental/UnitModel.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSet>

#include <cmath>

namespace {

const QString tenantsTable = QStringLiteral("tenants");
const QString buyersTable = QStringLiteral("buyers");
const QString unitsTable = QStringLiteral("units");

// Arabic-Indic and Eastern Arabic-Indic digits and the Arabic decimal and
// thousands marks, as their ASCII counterparts.
QString asciiDigits(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x0660 && u <= 0x0669)
            out += QChar(u'0' + (u - 0x0660));
        else if (u >= 0x06F0 && u <= 0x06F9)
            out += QChar(u'0' + (u - 0x06F0));
        else if (u == 0x066B)
            out += QLatin1Char('.');
        else if (u == 0x066C)
            out += QLatin1Char(',');
        else
            out += c;
    }
    return out;
}

bool parseId(const QString& text, int* value)
{
    bool ok = false;
    *value = asciiDigits(text.trimmed()).toInt(&ok, 10);
    return ok && *value > 0;
}

// Field names a header line may use, written lower case with "_" for
// spaces.
const QSet<QString>& headerNames(const QString& table)
{
    static const QSet<QString> people{
        QStringLiteral("full_name"),    QStringLiteral("name"),
        QStringLiteral("الاسم"),        QStringLiteral("الاسم_الكامل"),
        QStringLiteral("اسم_المستأجر"), QStringLiteral("اسم_المشتري"),
        QStringLiteral("المستأجر"),     QStringLiteral("المشتري"),
        QStringLiteral("id_number"),    QStringLiteral("id"),
        QStringLiteral("رقم_الهوية"),   QStringLiteral("الهوية"),
        QStringLiteral("phone"),        QStringLiteral("mobile"),
        QStringLiteral("الهاتف"),       QStringLiteral("رقم_الهاتف"),
        QStringLiteral("الجوال"),       QStringLiteral("رقم_الجوال"),
        QStringLiteral("address"),      QStringLiteral("العنوان")};
    static const QSet<QString> units{
        QStringLiteral("property_id"),    QStringLiteral("property"),
        QStringLiteral("العقار"),         QStringLiteral("رقم_العقار"),
        QStringLiteral("unit_number"),    QStringLiteral("unit"),
        QStringLiteral("الوحدة"),         QStringLiteral("رقم_الوحدة"),
        QStringLiteral("area"),           QStringLiteral("المساحة"),
        QStringLiteral("sale_price"),     QStringLiteral("price"),
        QStringLiteral("السعر"),          QStringLiteral("سعر_البيع"),
        QStringLiteral("rent_monthly"),   QStringLiteral("rent"),
        QStringLiteral("الإيجار"),        QStringLiteral("الايجار"),
        QStringLiteral("الإيجار_الشهري"), QStringLiteral("الايجار_الشهري")};
    return table == unitsTable ? units : people;
}

QVariantMap lineNote(int line, const QString& reason)
{
    return {{QStringLiteral("line"), line}, {QStringLiteral("reason"), reason}};
}

} // namespace

ImportController::ImportController(Database* db, UnitModel* units, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
    , m_units(units)
{}

QStringList ImportController::splitLine(const QString& line)
{
    const QChar separator = line.contains(QLatin1Char('\t')) ? QLatin1Char('\t') : QLatin1Char(',');
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c != QLatin1Char('"')) {
                field += c;
            } else if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == separator) {
            fields << field;
            field.clear();
        } else if (c == QLatin1Char('"') && field.trimmed().isEmpty()) {
            // A quote opens a quoted field only at its start; elsewhere it
            // is an ordinary character (5" pipe).
            field.clear();
            quoted = true;
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

bool ImportController::parseNumber(const QString& text, double* value)
{
    QString s = asciiDigits(text.trimmed());
    static const QRegularExpression grouped(QStringLiteral("^[+-]?\\d{1,3}(,\\d{3})+(\\.\\d+)?$"));
    if (grouped.match(s).hasMatch())
        s.remove(QLatin1Char(','));
    bool ok = false;
    *value = QLocale::c().toDouble(s, &ok);
    return ok && std::isfinite(*value);
}

bool ImportController::isHeader(const QStringList& fields, const QString& table)
{
    int names = 0;
    for (const QString& field : fields) {
        QString key = field.trimmed().toLower();
        key.replace(QRegularExpression(QStringLiteral("[\\s-]+")), QStringLiteral("_"));
        if (headerNames(table).contains(key))
            ++names;
    }
    if (names >= 2)
        return true;
    // A units line whose number columns hold no number at all is a row of
    // column titles, whatever words they use.
    if (table == unitsTable && fields.size() >= 4) {
        double ignored = 0;
        int id = 0;
        return !parseId(fields.at(0), &id) && !parseNumber(fields.at(2), &ignored) &&
               !parseNumber(fields.at(3), &ignored);
    }
    return false;
}

bool ImportController::importRawCSV(const QString& rawText, const QString& targetTable)
{
    clearError();
    m_result.clear();
    emit lastResultChanged();
    if (rawText.trimmed().isEmpty())
        return refuse(QStringLiteral("لا يوجد نص للاستيراد"));
    if (targetTable != tenantsTable && targetTable != buyersTable && targetTable != unitsTable)
        return refuse(QStringLiteral("نوع السجلات المطلوب استيرادها غير معروف: ") + targetTable);

    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuse(QStringLiteral("تعذر الوصول إلى قاعدة البيانات؛ لم يتم حفظ أي تغيير"));

    QVariantList ids;
    QVariantList refusedLines;
    QVariantList skippedLines;
    bool first = true;
    const QStringList lines = rawText.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        const int lineNumber = static_cast<int>(i) + 1;
        const QStringList fields = splitLine(line);
        if (first) {
            first = false;
            if (isHeader(fields, targetTable)) {
                skippedLines << lineNote(lineNumber, QStringLiteral("سطر عناوين الأعمدة"));
                continue;
            }
        }
        const Outcome outcome = targetTable == unitsTable
                                    ? insertUnit(fields, line.contains(QLatin1Char('\t')))
                                    : insertPerson(targetTable, fields);
        if (outcome.id > 0)
            ids << outcome.id;
        else
            refusedLines << lineNote(lineNumber, outcome.reason);
    }

    const auto record = [&](const QVariantList& insertedIds) {
        m_result = {{QStringLiteral("table"), targetTable},
                    {QStringLiteral("inserted"), insertedIds.size()},
                    {QStringLiteral("skipped"), skippedLines.size()},
                    {QStringLiteral("refused"), refusedLines.size()},
                    {QStringLiteral("refusedLines"), refusedLines},
                    {QStringLiteral("skippedLines"), skippedLines},
                    {QStringLiteral("insertedIds"), insertedIds}};
        emit lastResultChanged();
    };

    if (ids.isEmpty()) {
        record({});
        QString reason = QStringLiteral("لم يُستورد أي سطر");
        if (!refusedLines.isEmpty()) {
            const QVariantMap note = refusedLines.first().toMap();
            reason += QStringLiteral("؛ السطر %1: %2")
                          .arg(note.value(QStringLiteral("line")).toInt())
                          .arg(note.value(QStringLiteral("reason")).toString());
        }
        return refuse(reason);
    }
    if (!tx.commit()) {
        record({});
        return refuse(QStringLiteral("تعذر حفظ السطور المستوردة؛ لم يتم حفظ أي تغيير"));
    }
    record(ids);
    emit imported(targetTable, static_cast<int>(ids.size()));
    return true;
}

ImportController::Outcome ImportController::insertPerson(const QString& table,
                                                         const QStringList& fields)
{
    if (fields.size() < 3)
        return {-1, QStringLiteral("عدد الحقول %1 والمطلوب 3 على الأقل: الاسم، رقم الهوية، الهاتف")
                        .arg(fields.size())};
    const QString name = fields.at(0).trimmed();
    const QString idNumber = fields.at(1).trimmed();
    const QString phone = fields.at(2).trimmed();
    if (name.isEmpty())
        return {-1, QStringLiteral("الاسم فارغ")};

    const bool tenants = table == tenantsTable;
    if (!idNumber.isEmpty()) {
        const QVariant taken =
            m_db->scalar(tenants ? QStringLiteral("SELECT id FROM tenants WHERE id_number=?")
                                 : QStringLiteral("SELECT id FROM buyers WHERE id_number=?"),
                         {idNumber});
        if (taken.isValid())
            return {-1, QStringLiteral("رقم الهوية %1 مسجل من قبل").arg(idNumber)};
    }

    int id = -1;
    if (tenants) {
        const QString address = fields.size() > 3 ? fields.at(3).trimmed() : QString();
        id = m_db->execInsert(
            QStringLiteral("INSERT INTO tenants (full_name, id_number, phone, "
                           "address) VALUES (?,?,?,?)"),
            {name, SqlValue::blankAsNull(idNumber), phone, SqlValue::textOrEmpty(address)});
    } else {
        id = m_db->execInsert(
            QStringLiteral("INSERT INTO buyers (full_name, id_number, phone) VALUES (?,?,?)"),
            {name, SqlValue::blankAsNull(idNumber), phone});
    }
    if (id < 1)
        return {-1, QStringLiteral("رفضت قاعدة البيانات هذا السطر")};
    return {id, {}};
}

ImportController::Outcome ImportController::insertUnit(const QStringList& fields, bool tabSeparated)
{
    if (fields.size() < 4)
        return {-1, QStringLiteral("عدد الحقول %1 والمطلوب 4 على الأقل: رقم العقار، رقم الوحدة، "
                                   "المساحة، سعر البيع")
                        .arg(fields.size())};
    // Unquoted thousands separators split a number into two fields and shift
    // the rest; such a line is refused rather than stored with wrong amounts.
    if (!tabSeparated && fields.size() > 5)
        return {-1, QStringLiteral("في السطر %1 حقول والحد 5؛ ضع الأرقام التي فيها فواصل آلاف "
                                   "بين علامتي تنصيص")
                        .arg(fields.size())};

    int propertyId = 0;
    if (!parseId(fields.at(0), &propertyId))
        return {-1, QStringLiteral("رقم العقار «%1» ليس رقماً صحيحاً").arg(fields.at(0).trimmed())};
    const QString number = fields.at(1).trimmed();
    if (number.isEmpty())
        return {-1, QStringLiteral("رقم الوحدة فارغ")};

    // Empty number cells mean "not given": no area, no price, no rent.
    const auto amount = [](const QString& field, const QString& what, QVariant* value,
                           QString* reason) {
        const QString text = field.trimmed();
        double parsed = 0;
        if (text.isEmpty())
            return true;
        if (!parseNumber(text, &parsed) || parsed < 0) {
            *reason = QStringLiteral("%1 «%2» ليست رقماً صالحاً").arg(what, text);
            return false;
        }
        *value = parsed;
        return true;
    };
    QVariant area;
    QVariant salePrice = 0.0;
    QVariant rent = 0.0;
    QString reason;
    if (!amount(fields.at(2), QStringLiteral("المساحة"), &area, &reason) ||
        !amount(fields.at(3), QStringLiteral("سعر البيع"), &salePrice, &reason) ||
        (fields.size() > 4 &&
         !amount(fields.at(4), QStringLiteral("قيمة الإيجار الشهري"), &rent, &reason)))
        return {-1, reason};

    if (!m_db->scalar(QStringLiteral("SELECT id FROM properties WHERE id=?"), {propertyId})
             .isValid())
        return {-1, QStringLiteral("لا يوجد عقار برقم %1").arg(propertyId)};
    if (m_db->scalar(QStringLiteral("SELECT id FROM units WHERE property_id=? AND unit_number=?"),
                     {propertyId, number})
            .isValid())
        return {-1, QStringLiteral("الوحدة %1 موجودة في هذا العقار").arg(number)};

    // The unit and its cost centres go in together or not at all.
    TransactionGuard row(m_db);
    if (!row.isActive())
        return {-1, QStringLiteral("رفضت قاعدة البيانات هذا السطر")};
    const int id =
        m_db->execInsert(QStringLiteral("INSERT INTO units (property_id, unit_number, area, "
                                        "sale_price, rent_monthly, status) VALUES "
                                        "(?,?,?,?,?,'available')"),
                         {propertyId, number, area, salePrice, rent});
    if (id < 1)
        return {-1, QStringLiteral("رفضت قاعدة البيانات هذا السطر")};
    m_units->addCostCentres(id, propertyId, number, 0);
    if (!row.commit())
        return {-1, QStringLiteral("رفضت قاعدة البيانات هذا السطر")};
    return {id, {}};
}

// --- Preview and undo ---

namespace {

QStringList columnLabels(const QString& table)
{
    if (table == unitsTable)
        return {QStringLiteral("رقم العقار"), QStringLiteral("رقم الوحدة"),
                QStringLiteral("المساحة"), QStringLiteral("سعر البيع"),
                QStringLiteral("الإيجار الشهري")};
    if (table == buyersTable)
        return {QStringLiteral("الاسم"), QStringLiteral("رقم الهوية"), QStringLiteral("الهاتف")};
    return {QStringLiteral("الاسم"), QStringLiteral("رقم الهوية"), QStringLiteral("الهاتف"),
            QStringLiteral("العنوان")};
}

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
                        {QStringLiteral("columns"), columnLabels(targetTable)},
                        {QStringLiteral("rows"), QVariantList()},
                        {QStringLiteral("lines"), 0},
                        {QStringLiteral("header"), 0},
                        {QStringLiteral("ready"), 0},
                        {QStringLiteral("problems"), 0}};
    if (rawText.trimmed().isEmpty())
        return preview;
    if (targetTable != tenantsTable && targetTable != buyersTable && targetTable != unitsTable) {
        refuse(QStringLiteral("نوع السجلات المطلوب استيرادها غير معروف: ") + targetTable);
        return preview;
    }

    // Every line is tried for real, so the preview also finds a number that
    // appears twice in the paste; the transaction is then rolled back.
    TransactionGuard trial(m_db);
    if (!trial.isActive()) {
        refuse(QStringLiteral("تعذر الوصول إلى قاعدة البيانات"));
        return preview;
    }
    const int columns = static_cast<int>(columnLabels(targetTable).size());
    QVariantList rows;
    int lines = 0;
    int ready = 0;
    int problems = 0;
    bool header = false;
    const QStringList all = rawText.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < all.size(); ++i) {
        QString line = all.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        const QStringList fields = splitLine(line);
        const bool isTitleRow = lines == 0 && isHeader(fields, targetTable);
        ++lines;
        QString problem;
        if (isTitleRow) {
            header = true;
        } else {
            const Outcome outcome = targetTable == unitsTable
                                        ? insertUnit(fields, line.contains(QLatin1Char('\t')))
                                        : insertPerson(targetTable, fields);
            if (outcome.id > 0)
                ++ready;
            else {
                ++problems;
                problem = outcome.reason;
            }
        }
        if (rows.size() < limit) {
            QStringList shown;
            for (int c = 0; c < columns; ++c)
                shown << (c < fields.size() ? fields.at(c).trimmed() : QString());
            rows << QVariantMap{{QStringLiteral("line"), static_cast<int>(i) + 1},
                                {QStringLiteral("fields"), shown},
                                {QStringLiteral("header"), isTitleRow},
                                {QStringLiteral("problem"), problem}};
        }
    }
    trial.rollback();
    preview.insert(QStringLiteral("rows"), rows);
    preview.insert(QStringLiteral("lines"), lines);
    preview.insert(QStringLiteral("header"), header ? 1 : 0);
    preview.insert(QStringLiteral("ready"), ready);
    preview.insert(QStringLiteral("problems"), problems);
    return preview;
}

bool ImportController::canUndoLastImport() const
{
    return !m_result.value(QStringLiteral("insertedIds")).toList().isEmpty();
}

bool ImportController::undoLastImport()
{
    clearError();
    const QString table = m_result.value(QStringLiteral("table")).toString();
    const QVariantList ids = m_result.value(QStringLiteral("insertedIds")).toList();
    if (ids.isEmpty())
        return refuse(QStringLiteral("لا يوجد استيراد يمكن التراجع عنه"));
    if (table != tenantsTable && table != buyersTable && table != unitsTable)
        return refuse(QStringLiteral("لا يوجد استيراد يمكن التراجع عنه"));

    const auto references = referencesTo(table);
    for (const QVariant& id : ids) {
        for (const auto& [other, column] : references) {
            // Table and column names come from the fixed list above.
            if (m_db->scalar(QStringLiteral("SELECT 1 FROM ") + other + QStringLiteral(" WHERE ") +
                                 column + QStringLiteral("=? LIMIT 1"),
                             {id})
                    .isValid())
                return refuse(QStringLiteral("لا يمكن التراجع عن الاستيراد: بعض السجلات المستوردة "
                                             "صارت مرتبطة بسجلات أخرى (عقود أو فواتير أو "
                                             "دفعات). لم يتم حذف أي سجل"));
        }
    }

    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuse(QStringLiteral("تعذر الوصول إلى قاعدة البيانات؛ لم يتم حذف أي سجل"));
    for (const QVariant& id : ids) {
        bool ok = true;
        if (table == unitsTable) {
            // The unit's own cost centre goes with it; floor and project
            // centres stay, other units may hang under them.
            ok = m_db->execNonQuery(
                QStringLiteral("DELETE FROM cost_centers WHERE unit_id=? AND type='unit'"), {id});
        }
        const QString sql = table == tenantsTable ? QStringLiteral("DELETE FROM tenants WHERE id=?")
                            : table == buyersTable ? QStringLiteral("DELETE FROM buyers WHERE id=?")
                                                   : QStringLiteral("DELETE FROM units WHERE id=?");
        if (!ok || !m_db->execNonQuery(sql, {id}))
            return refuse(QStringLiteral("تعذر حذف السجلات المستوردة؛ لم يتم حذف أي سجل"));
    }
    if (!tx.commit())
        return refuse(QStringLiteral("تعذر حذف السجلات المستوردة؛ لم يتم حذف أي سجل"));

    m_result.clear();
    emit lastResultChanged();
    emit importUndone(table, static_cast<int>(ids.size()));
    return true;
}
