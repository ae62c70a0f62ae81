#include "insight/ImportRows.h"

#include "core/Database.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"
#include "insight/PasteReader.h"
#include "rental/UnitModel.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSqlError>

#include <cmath>

namespace {

const QString tenantsTable = QStringLiteral("tenants");
const QString buyersTable = QStringLiteral("buyers");
const QString unitsTable = QStringLiteral("units");

bool parseId(const QString& text, int* value)
{
    bool ok = false;
    *value = PasteReader::asciiDigits(text.trimmed()).toInt(&ok, 10);
    return ok && *value > 0;
}

// Identity numbers, phones and unit numbers: trimmed, digits in ASCII.
QString code(const QString& field)
{
    return PasteReader::asciiDigits(field.trimmed());
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

const QString dbRefused = QStringLiteral("رفضت قاعدة البيانات هذا السطر");

} // namespace

ImportRows::ImportRows(Database* db, UnitModel* units, const QString& table)
    : m_db(db)
    , m_units(units)
    , m_table(table)
{}

bool ImportRows::isTarget(const QString& table)
{
    return table == tenantsTable || table == buyersTable || table == unitsTable;
}

QStringList ImportRows::columnLabels(const QString& table)
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

bool ImportRows::parseNumber(const QString& text, double* value)
{
    QString s = PasteReader::asciiDigits(text.trimmed());
    static const QRegularExpression grouped(QStringLiteral("^[+-]?\\d{1,3}(,\\d{3})+(\\.\\d+)?$"));
    if (grouped.match(s).hasMatch())
        s.remove(QLatin1Char(','));
    bool ok = false;
    *value = QLocale::c().toDouble(s, &ok);
    return ok && std::isfinite(*value);
}

bool ImportRows::isHeader(const QStringList& fields, const QString& table)
{
    static const QRegularExpression spaces(QStringLiteral("[\\s-]+"));
    int names = 0;
    for (const QString& field : fields) {
        QString key = field.trimmed().toLower();
        key.replace(spaces, QStringLiteral("_"));
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

QString ImportRows::readPerson(const QStringList& fields, Values* values)
{
    if (fields.size() < 3)
        return QStringLiteral("عدد الحقول %1 والمطلوب 3 على الأقل: الاسم، رقم الهوية، الهاتف")
            .arg(fields.size());
    values->name = fields.at(0).trimmed();
    values->idNumber = code(fields.at(1));
    values->phone = code(fields.at(2));
    values->address =
        m_table == tenantsTable && fields.size() > 3 ? fields.at(3).trimmed() : QString();
    if (values->name.isEmpty())
        return Reasons::blankName();
    if (values->name.size() > nameLimit)
        return Reasons::tooLong(QStringLiteral("الاسم"), nameLimit);
    if (values->idNumber.size() > codeLimit)
        return Reasons::tooLong(QStringLiteral("رقم الهوية"), codeLimit);
    if (values->phone.size() > codeLimit)
        return Reasons::tooLong(QStringLiteral("الهاتف"), codeLimit);
    if (values->address.size() > addressLimit)
        return Reasons::tooLong(QStringLiteral("العنوان"), addressLimit);
    return {};
}

QString ImportRows::readUnit(const QStringList& fields, bool tabSeparated, Values* values)
{
    if (fields.size() < 4)
        return QStringLiteral("عدد الحقول %1 والمطلوب 4 على الأقل: رقم العقار، رقم الوحدة، "
                              "المساحة، سعر البيع")
            .arg(fields.size());
    // Unquoted thousands separators split a number into two fields and shift
    // the rest; such a line is refused rather than stored with wrong amounts.
    if (!tabSeparated && fields.size() > 5)
        return QStringLiteral("في السطر %1 حقول والحد 5؛ ضع الأرقام التي فيها فواصل آلاف "
                              "بين علامتي تنصيص")
            .arg(fields.size());
    if (!parseId(fields.at(0), &values->propertyId))
        return QStringLiteral("رقم العقار «%1» ليس رقماً صحيحاً").arg(fields.at(0).trimmed());
    values->number = code(fields.at(1));
    if (values->number.isEmpty())
        return Reasons::requiredField(QStringLiteral("رقم الوحدة"));
    if (values->number.size() > codeLimit)
        return Reasons::tooLong(QStringLiteral("رقم الوحدة"), codeLimit);

    // Empty number cells mean "not given": no area, no price, no rent. The
    // bounds are those of a unit typed into its dialog.
    const auto amount = [](const QString& field, const QString& what, QVariant* value,
                           QString* reason) {
        const QString text = field.trimmed();
        double parsed = 0;
        if (text.isEmpty())
            return true;
        if (!parseNumber(text, &parsed)) {
            *reason = QStringLiteral("%1 «%2» ليست رقماً صالحاً").arg(what, text.left(40));
            return false;
        }
        if (!Money::isNonNegative(parsed)) {
            *reason = what + QStringLiteral(": ") + Reasons::invalidNumber();
            return false;
        }
        *value = parsed;
        return true;
    };
    values->salePrice = 0.0;
    values->rent = 0.0;
    QString reason;
    if (!amount(fields.at(2), QStringLiteral("المساحة"), &values->area, &reason) ||
        !amount(fields.at(3), QStringLiteral("سعر البيع"), &values->salePrice, &reason) ||
        (fields.size() > 4 &&
         !amount(fields.at(4), QStringLiteral("قيمة الإيجار الشهري"), &values->rent, &reason)))
        return reason;
    return {};
}

QString ImportRows::read(const QStringList& fields, bool tabSeparated, Values* values)
{
    return m_table == unitsTable ? readUnit(fields, tabSeparated, values)
                                 : readPerson(fields, values);
}

QString ImportRows::key(const Values& values) const
{
    if (m_table == unitsTable)
        return QString::number(values.propertyId) + QLatin1Char('/') + values.number;
    return values.idNumber;
}

QString ImportRows::storedProblem(const Values& values)
{
    if (m_table == unitsTable) {
        if (!m_db->scalar(QStringLiteral("SELECT id FROM properties WHERE id=?"),
                          {values.propertyId})
                 .isValid())
            return QStringLiteral("لا يوجد عقار برقم %1").arg(values.propertyId);
        if (m_db->scalar(
                    QStringLiteral("SELECT id FROM units WHERE property_id=? AND unit_number=?"),
                    {values.propertyId, values.number})
                .isValid())
            return QStringLiteral("الوحدة %1 موجودة في هذا العقار").arg(values.number);
        return {};
    }
    if (values.idNumber.isEmpty())
        return {};
    if (!preparePeople())
        return dbRefused;
    m_findPerson.bindValue(0, values.idNumber);
    const bool taken = m_findPerson.exec() && m_findPerson.next();
    m_findPerson.finish();
    if (taken)
        return QStringLiteral("رقم الهوية %1 مسجل من قبل").arg(values.idNumber);
    return {};
}

bool ImportRows::preparePeople()
{
    if (m_prepared)
        return true;
    const bool tenants = m_table == tenantsTable;
    m_findPerson = QSqlQuery(m_db->connection());
    m_insertPerson = QSqlQuery(m_db->connection());
    m_prepared =
        m_findPerson.prepare(tenants ? QStringLiteral("SELECT id FROM tenants WHERE id_number=?")
                                     : QStringLiteral("SELECT id FROM buyers WHERE id_number=?")) &&
        m_insertPerson.prepare(SqlDialect::returningId(
            m_db->engine(), tenants ? QStringLiteral("INSERT INTO tenants (full_name, "
                                                     "id_number, phone, address) VALUES "
                                                     "(?,?,?,?)")
                                    : QStringLiteral("INSERT INTO buyers (full_name, "
                                                     "id_number, phone) VALUES (?,?,?)")));
    return m_prepared;
}

int ImportRows::insertedId()
{
    // The server hands the new id back as a row. Its "last value" of the
    // session would be the last id any trigger of the insert drew.
    QVariant id;
    if (m_insertPerson.isSelect())
        id = m_insertPerson.next() ? m_insertPerson.value(0) : QVariant();
    else
        id = m_insertPerson.lastInsertId();
    m_insertPerson.finish();
    return id.isValid() ? id.toInt() : -1;
}

QString ImportRows::check(const QStringList& fields, bool tabSeparated)
{
    Values values;
    QString problem = read(fields, tabSeparated, &values);
    if (problem.isEmpty())
        problem = storedProblem(values);
    const QString taken = key(values);
    if (problem.isEmpty() && !taken.isEmpty()) {
        if (m_seen.contains(taken))
            problem =
                m_table == unitsTable
                    ? QStringLiteral("الوحدة %1 مكررة في النص الملصق").arg(values.number)
                    : QStringLiteral("رقم الهوية %1 مكرر في النص الملصق").arg(values.idNumber);
        else
            m_seen.insert(taken);
    }
    return problem;
}

int ImportRows::write(const QStringList& fields, bool tabSeparated, QString* reason)
{
    Values values;
    *reason = read(fields, tabSeparated, &values);
    if (reason->isEmpty())
        *reason = storedProblem(values);
    if (!reason->isEmpty())
        return -1;

    if (m_table != unitsTable) {
        if (!preparePeople()) {
            *reason = dbRefused;
            return -1;
        }
        m_insertPerson.bindValue(0, values.name);
        m_insertPerson.bindValue(1, SqlValue::blankAsNull(values.idNumber));
        m_insertPerson.bindValue(2, values.phone);
        if (m_table == tenantsTable)
            m_insertPerson.bindValue(3, SqlValue::textOrEmpty(values.address));
        const int id = m_insertPerson.exec() ? insertedId() : -1;
        if (id < 1) {
            qWarning("Import row refused by the database: %s",
                     qPrintable(m_insertPerson.lastError().text()));
            *reason = dbRefused;
            return -1;
        }
        return id;
    }

    // The unit and its cost centres go in together or not at all.
    TransactionGuard row(m_db);
    if (!row.isActive()) {
        *reason = dbRefused;
        return -1;
    }
    const int id = m_db->execInsert(
        QStringLiteral("INSERT INTO units (property_id, unit_number, area, sale_price, "
                       "rent_monthly, status) VALUES (?,?,?,?,?,'available')"),
        {values.propertyId, values.number, values.area, values.salePrice, values.rent});
    if (id < 1) {
        *reason = dbRefused;
        return -1;
    }
    m_units->addCostCentres(id, values.propertyId, values.number, 0);
    if (!row.commit()) {
        *reason = dbRefused;
        return -1;
    }
    return id;
}
