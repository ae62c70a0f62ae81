#include "rental/PropertyModel.h"

#include "core/Database.h"
#include "core/Names.h"
#include "core/OfficeFigures.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"

#include <QDate>

namespace {

// The kinds the pages offer; a blank type takes the column's default.
QString checkedType(const QString& type)
{
    const QString trimmed = type.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("residential");
    for (const char* known : {"residential", "commercial", "mixed"}) {
        if (trimmed == QLatin1String(known))
            return trimmed;
    }
    return QString();
}

} // namespace

PropertyModel::PropertyModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

QVariantList PropertyModel::getAll()
{
    // The computed total_units follows p.*, so it replaces the stored column in each row.
    // Units and active rents are grouped once for all properties.
    QVariantList rows = m_db->execQuery(QStringLiteral(
        "SELECT p.*, COALESCE(us.total, 0) as total_units, COALESCE(us.rented, 0) as rented_units, "
        "COALESCE(us.sold, 0) as sold_units "
        "FROM properties p LEFT JOIN (SELECT property_id, COUNT(*) as total, "
        "SUM(CASE WHEN status='rented' THEN 1 ELSE 0 END) as rented, "
        "SUM(CASE WHEN status='sold' THEN 1 ELSE 0 END) as sold FROM units GROUP BY "
        "property_id) us ON us.property_id=p.id ORDER BY p.created_at DESC, p.id DESC"));
    // The card's occupancy and contracted monthly rent are the office's
    // figures for this property: rented of the units not sold, and the
    // active contracts' rent converted to the primary currency.
    OfficeFigures figures(m_db, QDate::currentDate());
    const QHash<int, QVariantMap> rents = figures.contractedMonthlyRentByProperty();
    for (QVariant& value : rows) {
        QVariantMap row = value.toMap();
        const qint64 total = row.value(QStringLiteral("total_units")).toLongLong();
        const qint64 rented = row.value(QStringLiteral("rented_units")).toLongLong();
        const qint64 sold = row.value(QStringLiteral("sold_units")).toLongLong();
        row.insert(QStringLiteral("occupancy"),
                   OfficeFigures::occupancyPercent(rented, total - sold));
        const QVariantMap rent = rents.value(row.value(QStringLiteral("id")).toInt());
        row.insert(QStringLiteral("monthly_revenue"), rent.value(QStringLiteral("total"), 0.0));
        row.insert(QStringLiteral("monthly_revenue_breakdown"),
                   rent.value(QStringLiteral("byCurrency")));
        row.insert(QStringLiteral("monthly_revenue_missing"),
                   rent.value(QStringLiteral("missing")));
        value = row;
    }
    return rows;
}

QVariantMap PropertyModel::getById(int id)
{
    const QVariantList rows =
        m_db->execQuery(QStringLiteral("SELECT * FROM properties WHERE id=?"), {id});
    return SqlValue::firstRow(rows);
}

int PropertyModel::add(const QString& name, const QString& type, const QString& address,
                       const QString& city, const QString& description)
{
    clearError();
    if (const QString why = Names::problem(name); !why.isEmpty())
        return refuseId(why);
    const QString kind = checkedType(type);
    if (kind.isEmpty())
        return refuseId(Reasons::unknownType());

    const int id = m_db->execInsert(
        QStringLiteral(
            "INSERT INTO properties (name,type,address,city,description) VALUES (?,?,?,?,?)"),
        {name, kind, address, city, description});
    if (id < 1)
        return refuseDatabaseId();
    // A missing project row is not fatal: UnitModel::add creates it on the first unit.
    m_db->execInsert(
        QStringLiteral("INSERT INTO cost_centers (name,type,property_id) VALUES (?,?,?)"),
        {name, QStringLiteral("project"), id});
    emit dataChanged();
    return id;
}

bool PropertyModel::update(int id, const QString& name, const QString& type, const QString& address,
                           const QString& city, const QString& description)
{
    clearError();
    if (const QString why = Names::problem(name); !why.isEmpty())
        return refuse(why);
    const QString kind = checkedType(type);
    if (kind.isEmpty())
        return refuse(Reasons::unknownType());

    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    if (!m_db->scalar(QStringLiteral("SELECT 1 FROM properties WHERE id=?"), {id}).isValid())
        return refuseMissing();
    if (!m_db->execNonQuery(
            QStringLiteral("UPDATE properties SET name=?,type=?,address=?,city=?,description=?,"
                           "updated_at=%1 WHERE id=?")
                .arg(SqlDialect::now(m_db->engine())),
            {name, kind, address, city, description, id}) ||
        !tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

bool PropertyModel::remove(int id)
{
    clearError();
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    if (!m_db->scalar(QStringLiteral("SELECT 1 FROM properties WHERE id=?"), {id}).isValid())
        return refuseMissing();
    const QVariant busy = m_db->scalar(
        QStringLiteral("SELECT COUNT(*) FROM units WHERE property_id=? AND status!='available'"),
        {id});
    if (!busy.isValid())
        return refuseDatabase();
    if (busy.toInt() > 0)
        return refuse(Reasons::propertyInUse());

    // Every property made by add owns a project cost centre, so the property
    // row can only go together with its cost-centre tree. Units, expenses,
    // payments and the like still pointing at either make a statement fail
    // on its foreign key, and the guard then undoes everything.
    if (!m_db->execNonQuery(QStringLiteral("DELETE FROM cost_centers WHERE property_id=?"), {id}) ||
        !m_db->execNonQuery(QStringLiteral("DELETE FROM properties WHERE id=?"), {id}))
        return refuseRemoval();
    if (!tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

QVariantMap PropertyModel::getStats(int id)
{
    const QVariantList rows = m_db->execQuery(
        QStringLiteral(
            "SELECT (SELECT COUNT(*) FROM units WHERE property_id=?) as total_units,"
            "(SELECT COUNT(*) FROM units WHERE property_id=? AND status='rented') as rented,"
            "(SELECT COUNT(*) FROM units WHERE property_id=? AND status='available') as available,"
            "(SELECT COUNT(*) FROM units WHERE property_id=? AND status='sold') as sold,"
            // From the property's units through their invoices to the
            // payments, never through every payment ever made.
            "(SELECT COALESCE(SUM(p.amount),0) FROM units u JOIN invoices i ON i.unit_id=u.id "
            "JOIN payments p ON p.invoice_id=i.id WHERE u.property_id=?) as total_income,"
            "(SELECT COALESCE(SUM(amount),0) FROM expenses WHERE property_id=?) as total_expenses"),
        {id, id, id, id, id, id});
    return SqlValue::firstRow(rows);
}

QVariantList PropertyModel::search(const QString& query)
{
    const QString pattern = QLatin1Char('%') + query + QLatin1Char('%');
    return m_db->execQuery(
        QStringLiteral(
            "SELECT * FROM properties WHERE name LIKE ? OR city LIKE ? OR address LIKE ?"),
        {pattern, pattern, pattern});
}
