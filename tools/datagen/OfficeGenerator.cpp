#include "OfficeGenerator.h"

#include "core/MoneyTotals.h"
#include "core/Schema.h"

#include <QHash>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// splitmix64: the same stream on every platform and standard library, which
// the std distributions do not promise.
class Rng
{
public:
    explicit Rng(quint64 seed)
        : m_state(seed)
    {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // lo..hi inclusive
    int range(int lo, int hi) { return lo + int(next() % quint64(hi - lo + 1)); }
    double unit() { return double(next() >> 11) / double(1ULL << 53); }
    bool chance(double p) { return unit() < p; }
    template <typename T> const T& pick(const QVector<T>& values)
    {
        return values.at(range(0, int(values.size()) - 1));
    }

private:
    quint64 m_state;
};

double cents(double value)
{
    return std::round(value * 100.0) / 100.0;
}

QString iso(const QDate& date)
{
    return date.toString(Qt::ISODate);
}

QString stamp(const QDate& date, Rng& rng)
{
    return iso(date) + QStringLiteral(" %1:%2:%3")
                           .arg(rng.range(8, 17), 2, 10, QLatin1Char('0'))
                           .arg(rng.range(0, 59), 2, 10, QLatin1Char('0'))
                           .arg(rng.range(0, 59), 2, 10, QLatin1Char('0'));
}

QString period(const QDate& month)
{
    return month.toString(QStringLiteral("yyyy-MM"));
}

const QVector<QString> kFirstNames = {
    QStringLiteral("محمد"),  QStringLiteral("أحمد"), QStringLiteral("خالد"), QStringLiteral("سارة"),
    QStringLiteral("ليلى"),  QStringLiteral("يوسف"), QStringLiteral("مريم"), QStringLiteral("عمر"),
    QStringLiteral("نور"),   QStringLiteral("رامي"), QStringLiteral("هدى"),  QStringLiteral("سامر"),
    QStringLiteral("فاطمة"), QStringLiteral("طارق"), QStringLiteral("دينا"), QStringLiteral("زياد"),
};
const QVector<QString> kFamilyNames = {
    QStringLiteral("الخطيب"),   QStringLiteral("النجار"),  QStringLiteral("حداد"),
    QStringLiteral("العلي"),    QStringLiteral("الشامي"),  QStringLiteral("عودة"),
    QStringLiteral("منصور"),    QStringLiteral("الحسيني"), QStringLiteral("صالح"),
    QStringLiteral("البرغوثي"), QStringLiteral("قاسم"),    QStringLiteral("الأيوبي"),
};
const QVector<QString> kPlaces = {
    QStringLiteral("برج النخيل"),  QStringLiteral("عمارة الزيتون"), QStringLiteral("مجمع الياسمين"),
    QStringLiteral("برج القدس"),   QStringLiteral("عمارة الأمل"),   QStringLiteral("مجمع السلام"),
    QStringLiteral("برج الريحان"), QStringLiteral("عمارة الكرمل"),
};
const QVector<QString> kCities = {QStringLiteral("رام الله"), QStringLiteral("نابلس"),
                                  QStringLiteral("الخليل"), QStringLiteral("بيت لحم"),
                                  QStringLiteral("جنين")};
const QVector<QString> kMaintenanceTitles = {
    QStringLiteral("تسريب مياه في المطبخ"), QStringLiteral("عطل في المصعد"),
    QStringLiteral("انقطاع الكهرباء"),      QStringLiteral("دهان الجدران"),
    QStringLiteral("إصلاح الباب الرئيسي"),  QStringLiteral("صيانة المكيف"),
};
const QVector<QString> kExpenseCategories = {
    QStringLiteral("صيانة"), QStringLiteral("كهرباء"), QStringLiteral("مياه"),
    QStringLiteral("نظافة"), QStringLiteral("رواتب"),  QStringLiteral("ضرائب"),
};
const QVector<QString> kBanks = {QStringLiteral("بنك فلسطين"), QStringLiteral("البنك العربي"),
                                 QStringLiteral("بنك القدس"), QStringLiteral("البنك الإسلامي")};
const QVector<QString> kMethods = {QStringLiteral("cash"), QStringLiteral("bank"),
                                   QStringLiteral("cheque")};
const QVector<QString> kPriorities = {QStringLiteral("low"), QStringLiteral("medium"),
                                      QStringLiteral("high")};
const QVector<QString> kAuditActions = {QStringLiteral("login"), QStringLiteral("create"),
                                        QStringLiteral("update"), QStringLiteral("payment"),
                                        QStringLiteral("delete")};
const QVector<QString> kAuditTables = {QStringLiteral("invoices"), QStringLiteral("payments"),
                                       QStringLiteral("contracts"), QStringLiteral("tenants"),
                                       QStringLiteral("units")};

// Account ids of the seeded chart.
constexpr int kCash = 2;
constexpr int kRentRevenue = 8;
constexpr int kSalesRevenue = 10;
constexpr int kMaintenanceExpense = 12;
constexpr int kOperatingExpense = 13;

// One prepared statement stepped through the SQLite C API: binding through
// QSqlQuery costs more per value than SQLite's own work on a row, and the
// generator writes a few million rows.
class Statement
{
public:
    explicit Statement(sqlite3* db)
        : m_db(db)
    {}
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool prepare(const QString& sql)
    {
        m_sql = sql;
        const QByteArray text = sql.toUtf8();
        return sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &m_stmt, nullptr) ==
               SQLITE_OK;
    }

    bool exec(const QVariantList& values)
    {
        sqlite3_reset(m_stmt);
        for (int i = 0; i < values.size(); ++i) {
            const QVariant& value = values.at(i);
            int rc = SQLITE_OK;
            switch (value.isNull() ? QMetaType::UnknownType : value.typeId()) {
            case QMetaType::UnknownType:
                rc = sqlite3_bind_null(m_stmt, i + 1);
                break;
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::Bool:
                rc = sqlite3_bind_int64(m_stmt, i + 1, value.toLongLong());
                break;
            case QMetaType::Double:
                rc = sqlite3_bind_double(m_stmt, i + 1, value.toDouble());
                break;
            default: {
                // A null text is NULL, as QSqlQuery binds it.
                if (value.toString().isNull()) {
                    rc = sqlite3_bind_null(m_stmt, i + 1);
                    break;
                }
                const QByteArray text = value.toString().toUtf8();
                rc = sqlite3_bind_text(m_stmt, i + 1, text.constData(), int(text.size()),
                                       SQLITE_TRANSIENT);
            }
            }
            if (rc != SQLITE_OK)
                return false;
        }
        return sqlite3_step(m_stmt) == SQLITE_DONE;
    }

    QString error() const
    {
        return m_sql + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(m_db));
    }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    QString m_sql;
};

sqlite3* handleOf(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(handle.constData());
    return nullptr;
}

} // namespace

struct OfficeGenerator::Impl
{
    QSqlDatabase db;
    sqlite3* handle;
    Sizes sizes;
    Rng rng;
    QDate today;
    QDate firstMonth;  // first month of the office's history
    QDate billedUntil; // last month with rent invoices (the month before today's)
    QString error;

    struct Unit
    {
        int id = 0;
        int propertyId = 0;
        int costCenterId = 0;
        double rent = 0;
        double salePrice = 0;
    };
    struct Contract
    {
        int id = 0;
        int unit = 0; // index into units
        int tenantId = 0;
        QDate firstMonth;
        QDate lastMonth; // last billed month of the contract
        double rent = 0;
        int currencyId = 1;
    };
    QVector<Unit> units;
    QVector<Contract> contracts;
    QVector<double> tenantBalance;
    QVector<QString> contractorNames;
    int paymentId = 0;

    Impl(QSqlDatabase database, Sizes s, quint64 seed, QDate day)
        : db(std::move(database))
        , handle(handleOf(db))
        , sizes(s)
        , rng(seed)
        , today(day)
    {
        const QDate start = today.addYears(-sizes.years);
        firstMonth = QDate(start.year(), start.month(), 1);
        billedUntil = QDate(today.year(), today.month(), 1).addMonths(-1);
    }

    bool prepare(Statement& statement, const QString& sql)
    {
        if (statement.prepare(sql))
            return true;
        error = statement.error();
        return false;
    }

    bool exec(Statement& statement, const QVariantList& values)
    {
        if (statement.exec(values))
            return true;
        error = statement.error();
        return false;
    }

    QDate randomDay(const QDate& from, const QDate& to)
    {
        const qint64 span = qMax<qint64>(0, from.daysTo(to));
        return from.addDays(rng.range(0, int(span)));
    }

    QString personName()
    {
        return rng.pick(kFirstNames) + QLatin1Char(' ') + rng.pick(kFirstNames) + QLatin1Char(' ') +
               rng.pick(kFamilyNames);
    }

    bool properties();
    bool tenants();
    bool contractsAndUsage();
    bool invoicesAndPayments();
    bool maintenanceAndExpenses();
    bool sales();
    bool cheques();
    bool journal();
    bool audit();
};

bool OfficeGenerator::Impl::properties()
{
    Statement property(handle);
    Statement center(handle);
    Statement unit(handle);
    if (!prepare(property, QStringLiteral("INSERT INTO properties (id,name,type,address,city,"
                                          "total_units,created_at,updated_at) VALUES "
                                          "(?,?,?,?,?,?,?,?)")) ||
        !prepare(center, QStringLiteral("INSERT INTO cost_centers (id,name,type,property_id,"
                                        "unit_id,parent_id) VALUES (?,?,?,?,?,?)")) ||
        !prepare(unit, QStringLiteral("INSERT INTO units (id,property_id,unit_number,floor,area,"
                                      "rooms,rent_monthly,rent_yearly,sale_price,status,"
                                      "currency_id,created_at) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)")))
        return false;

    const int propertyCount = qMax(1, sizes.properties);
    int centerId = 0;
    int unitId = 0;
    for (int p = 1; p <= propertyCount; ++p) {
        const int unitCount =
            sizes.units / propertyCount + (p <= sizes.units % propertyCount ? 1 : 0);
        const QString name = rng.pick(kPlaces) + QLatin1Char(' ') + QString::number(p);
        const QString created = stamp(randomDay(firstMonth, firstMonth.addMonths(6)), rng);
        if (!exec(property,
                  {p, name,
                   rng.chance(0.8) ? QStringLiteral("residential") : QStringLiteral("commercial"),
                   QStringLiteral("شارع %1").arg(rng.range(1, 90)), rng.pick(kCities), unitCount,
                   created, created}))
            return false;
        const int project = ++centerId;
        if (!exec(center, {project, name, QStringLiteral("project"), p, QVariant(), QVariant()}))
            return false;
        for (int n = 0; n < unitCount; ++n) {
            Unit u;
            u.id = ++unitId;
            u.propertyId = p;
            u.rent = 1500 + 50 * rng.range(0, 90);
            u.salePrice = u.rent * 180;
            const int floor = n / 8 + 1;
            const QString number =
                QStringLiteral("%1%2").arg(floor).arg(n % 8 + 1, 2, 10, QLatin1Char('0'));
            // Status is set once contracts and sales are known.
            if (!exec(unit, {u.id, p, number, floor, rng.range(60, 220), rng.range(1, 5), u.rent,
                             u.rent * 12, u.salePrice, QStringLiteral("available"), 1, created}))
                return false;
            u.costCenterId = ++centerId;
            if (!exec(center, {u.costCenterId, name + QStringLiteral(" / ") + number,
                               QStringLiteral("unit"), p, u.id, project}))
                return false;
            units.append(u);
        }
    }
    return true;
}

bool OfficeGenerator::Impl::tenants()
{
    Statement tenant(handle);
    if (!prepare(tenant, QStringLiteral("INSERT INTO tenants (id,full_name,id_number,phone,email,"
                                        "address,created_at) VALUES (?,?,?,?,?,?,?)")))
        return false;
    tenantBalance.fill(0, sizes.tenants + 1);
    for (int t = 1; t <= sizes.tenants; ++t) {
        if (!exec(tenant, {t, personName(), QString::number(400000000 + t * 7),
                           QStringLiteral("059%1").arg(rng.range(1000000, 9999999)),
                           QStringLiteral("tenant%1@example.com").arg(t), rng.pick(kCities),
                           stamp(randomDay(firstMonth, today), rng)}))
            return false;
    }
    return true;
}

bool OfficeGenerator::Impl::contractsAndUsage()
{
    Statement insert(handle);
    Statement status(handle);
    Statement usage(handle);
    if (!prepare(insert,
                 QStringLiteral("INSERT INTO contracts (id,unit_id,tenant_id,start_date,"
                                "end_date,rent_amount,payment_frequency,deposit,status,"
                                "currency_id,created_at) VALUES (?,?,?,?,?,?,?,?,?,?,?)")) ||
        !prepare(status, QStringLiteral("UPDATE units SET status='rented' WHERE id=?")) ||
        !prepare(usage, QStringLiteral("INSERT INTO usage_records (unit_id,service_id,period,"
                                       "previous_reading,current_reading,consumption,cost,"
                                       "created_at) VALUES (?,?,?,?,?,?,?,?)")))
        return false;

    const int rented = qMin(sizes.activeContracts, int(units.size()));
    const int months = int((billedUntil.year() - firstMonth.year()) * 12 + billedUntil.month() -
                           firstMonth.month() + 1);
    int contractId = 0;
    for (int k = 0; k < rented; ++k) {
        // The unit's history split into back-to-back contracts, the last one
        // still running; the active one is the k-th tenant's only one.
        const int pieces = qMax(1, sizes.contractsPerUnit);
        QVector<int> cuts;
        for (int i = 1; i < pieces; ++i)
            cuts.append(rng.range(1, qMax(1, months - 1)));
        std::sort(cuts.begin(), cuts.end());
        cuts.prepend(0);
        cuts.append(months);
        for (int i = 0; i < pieces; ++i) {
            if (cuts.at(i + 1) <= cuts.at(i) && i + 1 < pieces)
                continue;
            const bool active = i + 1 == pieces;
            Contract c;
            c.id = ++contractId;
            c.unit = k;
            c.tenantId = active ? k % sizes.tenants + 1 : rng.range(1, sizes.tenants);
            c.firstMonth = firstMonth.addMonths(cuts.at(i));
            c.lastMonth = firstMonth.addMonths(qMax(cuts.at(i), cuts.at(i + 1) - 1));
            if (active)
                c.lastMonth = billedUntil;
            c.rent = units.at(k).rent - 50 * (pieces - 1 - i);
            c.currencyId = rng.chance(0.02) ? 2 : 1;
            const QDate end =
                active ? today.addMonths(rng.range(1, 24)) : c.lastMonth.addMonths(1).addDays(-1);
            if (!exec(insert, {c.id, units.at(k).id, c.tenantId, iso(c.firstMonth), iso(end),
                               c.rent, QStringLiteral("monthly"), c.rent,
                               active ? QStringLiteral("active") : QStringLiteral("terminated"),
                               c.currencyId, stamp(c.firstMonth, rng)}))
                return false;
            contracts.append(c);
        }
        if (!exec(status, {units.at(k).id}))
            return false;

        // Water readings for the last year and this month, electricity for
        // this month: the month's rent run picks them up.
        double reading = rng.range(100, 900);
        const QString readingTime = QStringLiteral(" 07:00:00");
        for (int m = 12; m >= 0; --m) {
            const QDate month = QDate(today.year(), today.month(), 1).addMonths(-m);
            const double consumption = rng.range(5, 30);
            if (!exec(usage, {units.at(k).id, 1, period(month), reading, reading + consumption,
                              consumption, consumption * 5.0, iso(month) + readingTime}))
                return false;
            reading += consumption;
        }
        const double kwh = rng.range(80, 400);
        const QDate thisMonth(today.year(), today.month(), 1);
        if (!exec(usage, {units.at(k).id, 2, period(thisMonth), 0, kwh, kwh, kwh * 0.5,
                          iso(thisMonth) + readingTime}))
            return false;
    }
    return true;
}

bool OfficeGenerator::Impl::invoicesAndPayments()
{
    Statement invoice(handle);
    Statement item(handle);
    Statement payment(handle);
    if (!prepare(invoice,
                 QStringLiteral("INSERT INTO invoices (id,invoice_number,tenant_id,unit_id,"
                                "contract_id,period,total_amount,paid_amount,balance,status,"
                                "currency_id,due_date,created_at) VALUES "
                                "(?,?,?,?,?,?,?,?,?,?,?,?,?)")) ||
        !prepare(item, QStringLiteral("INSERT INTO invoice_items (invoice_id,description,type,"
                                      "quantity,unit_price,total) VALUES (?,?,?,?,?,?)")) ||
        !prepare(payment, QStringLiteral("INSERT INTO payments (id,invoice_id,tenant_id,amount,"
                                         "payment_method,payment_date,reference,currency_id,"
                                         "created_at) VALUES (?,?,?,?,?,?,?,?,?)")))
        return false;

    const QString rentLine = QStringLiteral("إيجار شهري");
    const QString water = QStringLiteral("مياه");
    const QDate recent = QDate(today.year(), today.month(), 1).addMonths(-2);
    int invoiceId = 0;
    // Month by month, so ids and numbers grow with time as in a real office.
    for (QDate month = firstMonth; month <= billedUntil; month = month.addMonths(1)) {
        const QString prefix =
            QStringLiteral("INV-") + month.toString(QStringLiteral("yyyyMM")) + QLatin1Char('-');
        int sequence = 0;
        for (const Contract& c : std::as_const(contracts)) {
            if (month < c.firstMonth || month > c.lastMonth)
                continue;
            const int id = ++invoiceId;
            double total = c.rent;
            struct Line
            {
                double quantity, price, total;
            };
            QVector<Line> usageLines;
            for (int l = 0; l < sizes.usageLinesPerInvoice; ++l) {
                const double consumption = rng.range(5, 30);
                usageLines.append({consumption, 5.0, consumption * 5.0});
                total += consumption * 5.0;
            }

            QString status;
            double paid = 0;
            if (month < recent) {
                const double r = rng.unit();
                status = r < 0.93   ? QStringLiteral("paid")
                         : r < 0.95 ? QStringLiteral("partial")
                         : r < 0.97 ? QStringLiteral("void")
                                    : QStringLiteral("pending");
            } else {
                const double r = rng.unit();
                status = r < 0.5   ? QStringLiteral("paid")
                         : r < 0.6 ? QStringLiteral("partial")
                                   : QStringLiteral("pending");
            }
            if (status == QLatin1String("paid"))
                paid = total;
            else if (status == QLatin1String("partial"))
                paid = cents(total * rng.range(30, 70) / 100.0);
            const double balance = status == QLatin1String("void") ? 0 : cents(total - paid);
            // The tenant's balance moves as the models move it: up by each
            // total, down by payments and by the open part of a voided one.
            tenantBalance[c.tenantId] += status == QLatin1String("void") ? 0 : total - paid;

            const QDate issued = month.addDays(rng.range(0, 4));
            if (!exec(invoice,
                      {id, prefix + QStringLiteral("%1").arg(++sequence, 4, 10, QLatin1Char('0')),
                       c.tenantId, units.at(c.unit).id, c.id, period(month), total, paid, balance,
                       status, c.currencyId, period(month) + QStringLiteral("-28"),
                       stamp(issued, rng)}))
                return false;
            if (!exec(item, {id, rentLine, QStringLiteral("rent"), 1, c.rent, c.rent}))
                return false;
            for (const Line& line : std::as_const(usageLines)) {
                if (!exec(item, {id, water, QStringLiteral("usage"), line.quantity, line.price,
                                 line.total}))
                    return false;
            }
            if (paid > 0) {
                const QDate day = issued.addDays(rng.range(0, 25));
                const int pid = ++paymentId;
                if (!exec(payment,
                          {pid, id, c.tenantId, paid, rng.pick(kMethods), iso(day),
                           QStringLiteral("REC-%1").arg(pid), c.currencyId, stamp(day, rng)}))
                    return false;
            }
        }
    }

    Statement balance(handle);
    if (!prepare(balance, QStringLiteral("UPDATE tenants SET balance=? WHERE id=?")))
        return false;
    for (int t = 1; t < tenantBalance.size(); ++t) {
        if (tenantBalance.at(t) != 0 && !exec(balance, {cents(tenantBalance.at(t)), t}))
            return false;
    }
    return true;
}

bool OfficeGenerator::Impl::maintenanceAndExpenses()
{
    Statement contractor(handle);
    Statement request(handle);
    Statement expense(handle);
    if (!prepare(contractor, QStringLiteral("INSERT INTO contractors (id,name,phone,trade,balance,"
                                            "created_at) VALUES (?,?,?,?,?,?)")) ||
        !prepare(request,
                 QStringLiteral("INSERT INTO maintenance_requests (id,unit_id,property_id,title,"
                                "description,priority,status,cost,assigned_to,request_date,"
                                "completed_date,created_at) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)")) ||
        !prepare(expense, QStringLiteral("INSERT INTO expenses (id,property_id,unit_id,category,"
                                         "description,amount,expense_date,vendor,maintenance_id,"
                                         "currency_id,project_id,contractor_id,cost_center_id,"
                                         "work_category,created_at,is_owed) VALUES "
                                         "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)")))
        return false;

    QVector<double> owed(sizes.contractors + 1, 0);
    for (int c = 1; c <= sizes.contractors; ++c)
        contractorNames.append(QStringLiteral("مقاول ") + rng.pick(kFamilyNames) +
                               QLatin1Char(' ') + QString::number(c));

    const QDate settled = today.addDays(-60);
    for (int m = 1; m <= sizes.maintenance; ++m) {
        const Unit& u = units.at(rng.range(0, int(units.size()) - 1));
        const QDate asked = randomDay(firstMonth, today);
        const double r = rng.unit();
        const QString status =
            asked < settled
                ? (r < 0.9 ? QStringLiteral("completed")
                           : (r < 0.95 ? QStringLiteral("in_progress") : QStringLiteral("new")))
                : (r < 0.4 ? QStringLiteral("completed")
                           : (r < 0.7 ? QStringLiteral("in_progress") : QStringLiteral("new")));
        const bool done = status == QLatin1String("completed");
        const QDate finished = qMin(today, asked.addDays(rng.range(1, 20)));
        if (!exec(request,
                  {m, u.id, u.propertyId, rng.pick(kMaintenanceTitles),
                   QStringLiteral("طلب رقم %1").arg(m), rng.pick(kPriorities), status,
                   done ? rng.range(100, 3000) : 0,
                   contractorNames.isEmpty() ? QString() : rng.pick(contractorNames), iso(asked),
                   done ? QVariant(iso(finished)) : QVariant(), stamp(asked, rng)}))
            return false;
    }

    for (int e = 1; e <= sizes.expenses; ++e) {
        const Unit& u = units.at(rng.range(0, int(units.size()) - 1));
        const bool onUnit = rng.chance(0.5);
        const int contractorId =
            sizes.contractors > 0 && rng.chance(0.4) ? rng.range(1, sizes.contractors) : 0;
        const double amount = rng.range(50, 5000);
        const QDate day = randomDay(firstMonth, today);
        const QString category = rng.pick(kExpenseCategories);
        if (contractorId > 0)
            owed[contractorId] += amount;
        if (!exec(expense, {e, u.propertyId, onUnit ? QVariant(u.id) : QVariant(), category,
                            QStringLiteral("مصروف %1").arg(e), amount, iso(day),
                            QStringLiteral("مورد ") + rng.pick(kFamilyNames), QVariant(), 1,
                            u.propertyId, contractorId > 0 ? QVariant(contractorId) : QVariant(),
                            onUnit ? u.costCenterId : u.costCenterId, category, stamp(day, rng),
                            // What a contractor billed is owed to it.
                            contractorId > 0 ? 1 : 0}))
            return false;
    }

    for (int c = 1; c <= sizes.contractors; ++c) {
        if (!exec(contractor, {c, contractorNames.at(c - 1),
                               QStringLiteral("059%1").arg(rng.range(1000000, 9999999)),
                               rng.pick(kExpenseCategories), owed.at(c), stamp(firstMonth, rng)}))
            return false;
    }
    return true;
}

bool OfficeGenerator::Impl::sales()
{
    Statement buyer(handle);
    Statement owes(handle);
    Statement sold(handle);
    Statement installment(handle);
    Statement payment(handle);
    if (!prepare(buyer, QStringLiteral("INSERT INTO buyers (id,full_name,id_number,phone,balance,"
                                       "created_at) VALUES (?,?,?,?,?,?)")) ||
        !prepare(owes, QStringLiteral("UPDATE buyers SET balance=? WHERE id=?")) ||
        !prepare(sold, QStringLiteral("UPDATE units SET status='sold', buyer_id=?, "
                                      "sale_price_actual=?, sale_date=? WHERE id=?")) ||
        !prepare(installment,
                 QStringLiteral("INSERT INTO installments (buyer_id,unit_id,total_price,"
                                "down_payment,installment_amount,due_date,paid_amount,status,"
                                "cheque_number,bank_name,currency_id,created_at) VALUES "
                                "(?,?,?,?,?,?,?,?,?,?,?,?)")) ||
        !prepare(payment, QStringLiteral("INSERT INTO payments (id,buyer_id,unit_id,amount,"
                                         "payment_method,payment_date,reference,currency_id,"
                                         "cost_center_id,notes,created_at) VALUES "
                                         "(?,?,?,?,?,?,?,?,?,?,?)")))
        return false;

    // Sold units come after the rented ones.
    const int first = qMin(sizes.activeContracts, int(units.size()));
    const int count = qMin(sizes.sales, int(units.size()) - first);
    const int n = qMax(1, sizes.installmentsPerSale);
    int cheque = 100000;
    for (int s = 1; s <= count; ++s) {
        const Unit& u = units.at(first + s - 1);
        const QDate saleDay = randomDay(firstMonth, today.addMonths(-1));
        const QString bank = rng.pick(kBanks);
        const double price = u.salePrice;
        const double down = cents(price * 0.2);
        const double each = cents((price - down) / n);
        double balance = price - down;
        const QString created = stamp(saleDay, rng);

        // The buyer exists before the unit and payments name it.
        if (!exec(buyer, {s, personName(), QString::number(800000000 + s * 11),
                          QStringLiteral("056%1").arg(rng.range(1000000, 9999999)), 0.0, created}))
            return false;
        if (!exec(sold, {s, price, iso(saleDay), u.id}))
            return false;
        const int downId = ++paymentId;
        if (!exec(payment, {downId, s, u.id, down, QStringLiteral("cash"), iso(saleDay),
                            QStringLiteral("DP-%1").arg(s), 1, u.costCenterId,
                            QStringLiteral("دفعة أولى"), created}))
            return false;
        for (int i = 1; i <= n; ++i) {
            const QDate due = saleDay.addMonths(i);
            const bool paid = due < today && rng.chance(0.95);
            if (!exec(installment, {s, u.id, price, down, each, iso(due), paid ? each : 0.0,
                                    paid ? QStringLiteral("paid") : QStringLiteral("pending"),
                                    QString::number(++cheque), bank, 1, created}))
                return false;
            if (paid) {
                balance -= each;
                const int pid = ++paymentId;
                // Collected in cash, as files of that time hold them: the
                // cheque's number stayed on the instalment only, and joins
                // the register as a cashed cheque at the first start.
                if (!exec(payment, {pid, s, u.id, each, QStringLiteral("cash"), iso(due),
                                    QString::number(cheque), 1, u.costCenterId,
                                    QStringLiteral("قسط"), stamp(due, rng)}))
                    return false;
            }
        }
        if (!exec(owes, {cents(balance), s}))
            return false;
    }
    return true;
}

bool OfficeGenerator::Impl::cheques()
{
    Statement cheque(handle);
    if (!prepare(cheque, QStringLiteral("INSERT INTO cheques (id,cheque_number,type,amount,"
                                        "bank_name,issue_date,due_date,payer_name,payee_name,"
                                        "status,tenant_id,currency_id,created_at) VALUES "
                                        "(?,?,?,?,?,?,?,?,?,?,?,?,?)")))
        return false;
    for (int c = 1; c <= sizes.cheques; ++c) {
        const bool received = rng.chance(0.7);
        const QDate issued = randomDay(firstMonth, today);
        const QDate due = issued.addDays(rng.range(0, 120));
        const double r = rng.unit();
        const QString status =
            due < today
                ? (r < 0.9 ? QStringLiteral("paid")
                           : (r < 0.95 ? QStringLiteral("bounced") : QStringLiteral("pending")))
                : QStringLiteral("pending");
        const int tenantId = received && rng.chance(0.5) ? rng.range(1, sizes.tenants) : 0;
        if (!exec(cheque, {c, QString::number(500000 + c),
                           received ? QStringLiteral("received") : QStringLiteral("issued"),
                           rng.range(200, 20000), rng.pick(kBanks), iso(issued), iso(due),
                           received ? personName() : QString(),
                           received ? QString() : QStringLiteral("مورد ") + rng.pick(kFamilyNames),
                           status, tenantId > 0 ? QVariant(tenantId) : QVariant(),
                           rng.chance(0.05) ? 2 : 1, stamp(issued, rng)}))
            return false;
    }
    return true;
}

bool OfficeGenerator::Impl::journal()
{
    Statement entry(handle);
    Statement line(handle);
    if (!prepare(entry, QStringLiteral("INSERT INTO journal_entries (id,entry_date,description,"
                                       "reference_type,reference_id,created_at) VALUES "
                                       "(?,?,?,?,?,?)")) ||
        !prepare(line, QStringLiteral("INSERT INTO journal_lines (entry_id,account_id,debit,"
                                      "credit,description) VALUES (?,?,?,?,?)")))
        return false;

    QHash<int, double> balances;
    QVector<QDate> days;
    for (int j = 0; j < sizes.journalEntries; ++j)
        days.append(randomDay(firstMonth, today));
    std::sort(days.begin(), days.end());
    for (int j = 1; j <= sizes.journalEntries; ++j) {
        const int kind = rng.range(0, 3);
        const double amount = rng.range(100, 10000);
        int debit = kCash;
        int credit = kRentRevenue;
        QString description = QStringLiteral("تحصيل إيجار");
        if (kind == 1) {
            debit = kMaintenanceExpense;
            credit = kCash;
            description = QStringLiteral("مصروف صيانة");
        } else if (kind == 2) {
            debit = kOperatingExpense;
            credit = kCash;
            description = QStringLiteral("مصروف تشغيلي");
        } else if (kind == 3) {
            credit = kSalesRevenue;
            description = QStringLiteral("دفعة بيع");
        }
        const QDate day = days.at(j - 1);
        // Entries typed by hand, as the journal held before events posted
        // themselves: naming a payment or an expense here would pass them
        // off as that event's posting, and the first start would not post it.
        if (!exec(entry,
                  {j, iso(day), description, QStringLiteral("manual"), 0, stamp(day, rng)}) ||
            !exec(line, {j, debit, amount, 0.0, description}) ||
            !exec(line, {j, credit, 0.0, amount, description}))
            return false;
        balances[debit] += amount;
        balances[credit] -= amount;
    }
    Statement account(handle);
    if (!prepare(account, QStringLiteral("UPDATE accounts SET balance=? WHERE id=?")))
        return false;
    for (auto it = balances.cbegin(); it != balances.cend(); ++it) {
        if (!exec(account, {it.value(), it.key()}))
            return false;
    }
    return true;
}

bool OfficeGenerator::Impl::audit()
{
    Statement row(handle);
    if (!prepare(row, QStringLiteral("INSERT INTO audit_logs (id,user_id,action,table_name,"
                                     "record_id,details,created_at) VALUES (?,?,?,?,?,?,?)")))
        return false;
    QVector<QDate> days;
    for (int a = 0; a < sizes.auditRows; ++a)
        days.append(randomDay(firstMonth, today));
    std::sort(days.begin(), days.end());
    for (int a = 1; a <= sizes.auditRows; ++a) {
        const QString action = rng.pick(kAuditActions);
        if (!exec(row, {a, 1, action, rng.pick(kAuditTables), rng.range(1, 1000),
                        QStringLiteral("عملية %1").arg(a), stamp(days.at(a - 1), rng)}))
            return false;
    }
    return true;
}

OfficeGenerator::Sizes OfficeGenerator::largeOffice()
{
    return Sizes();
}

OfficeGenerator::Sizes OfficeGenerator::smallOffice()
{
    Sizes s;
    s.years = 2;
    s.properties = 3;
    s.units = 30;
    s.tenants = 25;
    s.activeContracts = 20;
    s.contractsPerUnit = 2;
    s.maintenance = 40;
    s.expenses = 60;
    s.contractors = 4;
    s.sales = 4;
    s.installmentsPerSale = 12;
    s.cheques = 40;
    s.journalEntries = 40;
    s.auditRows = 120;
    return s;
}

OfficeGenerator::OfficeGenerator(QSqlDatabase db, Sizes sizes, quint64 seed, QDate today)
    : m_db(std::move(db))
    , m_sizes(sizes)
    , m_seed(seed)
    , m_today(today)
{}

bool OfficeGenerator::run()
{
    if (m_sizes.tenants < m_sizes.activeContracts || m_sizes.tenants < 1 || m_sizes.units < 1) {
        m_error = QStringLiteral("need at least one unit and one tenant per active contract");
        return false;
    }
    Impl impl(m_db, m_sizes, m_seed, m_today);
    if (!impl.handle) {
        m_error = QStringLiteral("not an SQLite connection");
        return false;
    }

    // Two million rows go in far faster with the secondary indexes built
    // once afterwards and the foreign keys checked once at the end than with
    // both maintained row by row. The money totals, whose triggers would
    // look rows up through those indexes, are counted once at the end too.
    QSqlQuery query(m_db);
    QStringList indexes;
    query.exec(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type='index' AND name "
                              "LIKE 'idx_%'"));
    QStringList names;
    while (query.next()) {
        names << query.value(0).toString();
        indexes << query.value(1).toString();
    }
    query.exec(QStringLiteral("PRAGMA foreign_keys=OFF"));
    query.exec(QStringLiteral("PRAGMA synchronous=OFF"));
    for (const QString& name : std::as_const(names))
        query.exec(QStringLiteral("DROP INDEX ") + name);
    for (const QString& name : MoneyTotals::triggerNames())
        query.exec(QStringLiteral("DROP TRIGGER IF EXISTS ") + name);

    if (!m_db.transaction()) {
        m_error = m_db.lastError().text();
        return false;
    }
    bool ok = impl.properties() && impl.tenants() && impl.contractsAndUsage() &&
              impl.invoicesAndPayments() && impl.maintenanceAndExpenses() && impl.sales() &&
              impl.cheques() && impl.journal() && impl.audit();
    if (ok) {
        for (const QString& sql : std::as_const(indexes)) {
            if (!query.exec(sql)) {
                impl.error = sql + QStringLiteral(": ") + query.lastError().text();
                ok = false;
                break;
            }
        }
    }
    // The text indexes take the generated rows in one go, as after a start.
    QSqlError indexError;
    if (ok && !Schema::catchUpSearchIndexes(m_db, &indexError)) {
        impl.error = indexError.text();
        ok = false;
    }
    if (ok && (!query.exec(QStringLiteral("PRAGMA foreign_key_check")) || query.next())) {
        impl.error =
            QStringLiteral("a generated row names a missing row in ") + query.value(0).toString();
        ok = false;
    }
    query.finish();
    if (!ok || !m_db.commit()) {
        m_error = impl.error.isEmpty() ? m_db.lastError().text() : impl.error;
        m_db.rollback();
    }
    QSqlError totalsError;
    if (m_error.isEmpty() && !MoneyTotals::ensure(m_db, &totalsError))
        m_error = totalsError.text();
    query.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    query.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    return m_error.isEmpty();
}
