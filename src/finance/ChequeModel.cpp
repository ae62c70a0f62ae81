#include "finance/ChequeModel.h"

#include "core/ChequeRegister.h"
#include "core/Database.h"
#include "core/LedgerPosting.h"
#include "core/ListTotals.h"
#include "core/MinorUnits.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"
#include "finance/ContractorBalance.h"

#include <QDate>
#include <QList>
#include <QVariant>

#include <algorithm>
#include <utility>

namespace {

// A null QString binds as SQL NULL; the counterparty column that does not
// apply holds an empty text instead.
const QString kEmpty = QStringLiteral("");

// A cheque is in the books when it pays a debt the books know: a received
// one given for a tenant payment or a buyer's instalment, an issued one for
// a contractor payment. A cheque typed in without such a link (a tenant's
// guarantee cheque, say) is kept for follow-up only: no money of the office
// moves with it, so its status changes post nothing.
bool inBooks(const QVariantMap& cheque)
{
    if (cheque.value(QStringLiteral("type")).toString() == QLatin1String("issued"))
        return cheque.value(QStringLiteral("contractor_payment_id")).toInt() > 0;
    return cheque.value(QStringLiteral("installment_id")).toInt() > 0 ||
           cheque.value(QStringLiteral("payment_id")).toInt() > 0;
}

} // namespace

ChequeModel::ChequeModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

QVariantList ChequeModel::getAll()
{
    return m_db->execQuery(QStringLiteral(
        "SELECT c.*, cur.symbol as currency_symbol, cur.code as currency_code FROM cheques c "
        "LEFT JOIN currencies cur ON c.currency_id=cur.id ORDER BY c.due_date DESC"));
}

int ChequeModel::add(const QString& num, const QString& type, double amount, const QString& bank,
                     const QString& dueDate, const QString& payerPayee, int currId,
                     double exchangeRate, int buyerId, int tenantId)
{
    clearError();
    if (num.trimmed().isEmpty())
        return refuseId(Reasons::requiredField(QStringLiteral("رقم الشيك")));
    if (!Money::isPositive(amount))
        return refuseId(Reasons::invalidAmount());
    const bool received = type == QLatin1String("received");
    const bool issued = type == QLatin1String("issued");
    if (!received && !issued)
        return refuseId(Reasons::unknownType());
    if (!SqlValue::isIsoDate(dueDate))
        return refuseId(Reasons::invalidDate());
    if (!Money::isPositive(exchangeRate))
        return refuseId(Reasons::invalidRate());

    // The rate has no column of its own; it is kept in the notes.
    const QString notes = QStringLiteral("exchange_rate=%1").arg(exchangeRate);
    const int id = m_db->execInsert(
        QStringLiteral("INSERT INTO cheques (cheque_number,type,amount,bank_name,issue_date,"
                       "due_date,payer_name,payee_name,status,currency_id,buyer_id,tenant_id,"
                       "notes) VALUES (?,?,?,?,%1,?,?,?,?,?,?,?,?)")
            .arg(SqlDialect::today(m_db->engine())),
        {num, type, amount, bank, dueDate, received ? payerPayee : kEmpty,
         issued ? payerPayee : kEmpty, QStringLiteral("pending"), currId,
         SqlValue::idOrNull(buyerId), SqlValue::idOrNull(tenantId), notes});
    if (id < 1)
        return refuseDatabaseId();
    emit dataChanged();
    return id;
}

bool ChequeModel::updateStatus(int id, const QString& status)
{
    clearError();
    if (status != QLatin1String("pending") && status != QLatin1String("paid") &&
        status != QLatin1String("bounced"))
        return refuse(Reasons::unknownStatus());
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    const QVariantMap cheque = SqlValue::firstRow(m_db->execQuery(
        QStringLiteral("SELECT status, type, amount, currency_id, cheque_number, installment_id, "
                       "payment_id, replaced_by_payment_id, contractor_id, contractor_payment_id "
                       "FROM cheques WHERE id=?"),
        {id}));
    if (cheque.isEmpty())
        return refuseMissing();
    const QString previous = cheque.value(QStringLiteral("status")).toString();
    if (previous == status)
        return true;
    // A replaced cheque's debt is settled by its replacement.
    if (cheque.value(QStringLiteral("replaced_by_payment_id")).toInt() > 0)
        return refuse(Reasons::chequeReplaced());
    if (!m_db->execNonQuery(QStringLiteral("UPDATE cheques SET status=? WHERE id=?"), {status, id}))
        return refuseDatabase();
    if (!post(id, cheque, previous, status) || !followDebt(cheque, previous, status))
        return false;
    if (!tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

bool ChequeModel::clear(int id)
{
    clearError();
    const QString status =
        m_db->scalar(QStringLiteral("SELECT status FROM cheques WHERE id=?"), {id}).toString();
    if (status.isEmpty())
        return refuseMissing();
    if (status != QLatin1String("pending"))
        return refuse(Reasons::chequeNotPending());
    return updateStatus(id, QStringLiteral("paid"));
}

bool ChequeModel::bounce(int id)
{
    clearError();
    const QString status =
        m_db->scalar(QStringLiteral("SELECT status FROM cheques WHERE id=?"), {id}).toString();
    if (status.isEmpty())
        return refuseMissing();
    if (status != QLatin1String("pending"))
        return refuse(Reasons::chequeNotPending());
    return updateStatus(id, QStringLiteral("bounced"));
}

bool ChequeModel::followDebt(const QVariantMap& cheque, const QString& from, const QString& to)
{
    const bool wasBounced = from == QLatin1String("bounced");
    const bool isBounced = to == QLatin1String("bounced");
    if (cheque.value(QStringLiteral("type")).toString() != QLatin1String("received")) {
        // What a contractor is owed leaves out payments by a returned cheque
        // (ContractorBalance). Taking a bounce back is refused once the
        // contractor was paid again meanwhile: it would be paid twice.
        const int contractor = cheque.value(QStringLiteral("contractor_id")).toInt();
        ContractorBalance balances(m_db);
        if (wasBounced && !isBounced && contractor > 0 &&
            cheque.value(QStringLiteral("contractor_payment_id")).toInt() > 0 &&
            Money::toCents(balances.balance(
                contractor, cheque.value(QStringLiteral("currency_id")).toInt())) < 0)
            return refuse(Reasons::amountAboveBalance());
        return balances.syncStored(contractor) || refuseDatabase();
    }
    if (isBounced && !wasBounced)
        return ChequeRegister::reopen(m_db, cheque) || refuseDatabase();
    if (wasBounced && !isBounced) {
        QString reason;
        if (!ChequeRegister::settleAgain(m_db, cheque, &reason))
            return refuse(reason);
    }
    return true;
}

bool ChequeModel::post(int id, const QVariantMap& cheque, const QString& from, const QString& to)
{
    // The entry a status holds: a received cheque cleared moves from cheques
    // under collection to cash, a bounced one back to receivables; an issued
    // cheque cleared leaves cash, a bounced one is owed to the contractor
    // again. A pending cheque holds none.
    const bool issued = cheque.value(QStringLiteral("type")).toString() == QLatin1String("issued");
    const auto kind = [issued](const QString& status) {
        if (status == QLatin1String("paid"))
            return QStringLiteral("cheque_cleared");
        if (status == QLatin1String("bounced"))
            return issued ? QStringLiteral("issued_cheque_bounced")
                          : QStringLiteral("cheque_bounced");
        return QString();
    };
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    const QString number = cheque.value(QStringLiteral("cheque_number")).toString();
    const double amount = cheque.value(QStringLiteral("amount")).toDouble();
    const int currencyId = cheque.value(QStringLiteral("currency_id")).toInt();
    LedgerPosting posting(m_db);

    // A correction first takes back what the earlier status posted.
    const QString undone = kind(from);
    if (!undone.isEmpty()) {
        const int reversed = posting.reverse(undone, id, undone + QStringLiteral("_reversal"),
                                             today, QStringLiteral("تصحيح حالة الشيك ") + number);
        if (reversed < 0)
            return refuse(posting.reason());
        // A sale cheque registered as cashed from an older file has no entry
        // of its own: its instalment's cash collection holds the money.
        if (reversed == 0 && undone == QLatin1String("cheque_cleared") && !issued &&
            cheque.value(QStringLiteral("installment_id")).toInt() > 0 &&
            Money::toCents(amount) != 0) {
            LedgerPosting::Entry back;
            back.date = today;
            back.referenceType = undone + QStringLiteral("_reversal");
            back.referenceId = id;
            back.currencyId = currencyId;
            back.description = QStringLiteral("تصحيح حالة الشيك ") + number;
            back.lines = {{QStringLiteral("1300"), 0, amount, 0, {}},
                          {QStringLiteral("1100"), 0, 0, amount, {}}};
            if (posting.post(back) < 1)
                return refuse(posting.reason());
        }
    }

    // Whatever an earlier status posted is taken back above, even for a
    // cheque outside the books (an older file posted its cashing).
    const QString done = kind(to);
    if (done.isEmpty() || !inBooks(cheque))
        return true;
    if (Money::toCents(amount) == 0)
        return true;
    LedgerPosting::Entry entry;
    entry.date = today;
    entry.referenceType = done;
    entry.referenceId = id;
    entry.currencyId = currencyId;
    if (done == QLatin1String("cheque_bounced")) {
        entry.description = QStringLiteral("شيك مرتجع ") + number;
        entry.lines = {{QStringLiteral("1200"), 0, amount, 0, {}},
                       {QStringLiteral("1300"), 0, 0, amount, {}}};
    } else if (done == QLatin1String("issued_cheque_bounced")) {
        entry.description = QStringLiteral("شيك صادر مرتجع ") + number;
        entry.lines = {{QStringLiteral("2200"), 0, amount, 0, {}},
                       {QStringLiteral("2100"), 0, 0, amount, {}}};
    } else {
        entry.description = QStringLiteral("تحصيل شيك ") + number;
        entry.lines = {
            {issued ? QStringLiteral("2200") : QStringLiteral("1100"), 0, amount, 0, {}},
            {issued ? QStringLiteral("1100") : QStringLiteral("1300"), 0, 0, amount, {}}};
    }
    if (posting.post(entry) < 1)
        return refuse(posting.reason());
    return true;
}

int ChequeModel::payerBounces(int id)
{
    return m_db
        ->scalar(QStringLiteral(
                     "SELECT COUNT(*) FROM cheques c JOIN cheques x ON x.id=? WHERE "
                     "c.type='received' AND c.status='bounced' AND ((x.tenant_id IS NOT NULL AND "
                     "c.tenant_id=x.tenant_id) OR (x.buyer_id IS NOT NULL AND "
                     "c.buyer_id=x.buyer_id) OR (x.tenant_id IS NULL AND x.buyer_id IS NULL AND "
                     "c.tenant_id IS NULL AND c.buyer_id IS NULL AND "
                     "TRIM(c.payer_name)=TRIM(x.payer_name) AND TRIM(x.payer_name)<>''))"),
                 {id})
        .toInt();
}

QVariantMap ChequeModel::getTotals(const QString& type, const QString& status)
{
    return getRegisterTotals().value(type).toMap().value(status).toMap();
}

QVariantMap ChequeModel::getRegisterTotals()
{
    // The counts and sums are kept per type, status and currency as cheques
    // are written (see ListTotals): a long register holds a great many
    // cheques. A cheque without a currency counts under 0.
    struct Group
    {
        QString type;
        QString status;
        int currency = 0;
        double total = 0;
        int count = 0;
        QString firstDue;
    };
    const ListTotals::Kept* kept = ListTotals::find(ListTotals::kChequeRegister);
    const QString prefix = kept->list + QLatin1Char(':');
    QList<Group> groups;
    for (const QVariant& value : m_db->execQuery(
             QStringLiteral("SELECT list, currency_id, row_count, c0/100.0+r0 AS total "
                            "FROM list_totals WHERE ") +
                 ListTotals::listCondition(*kept, false) + QStringLiteral(" AND row_count<>0"),
             ListTotals::listValues(*kept))) {
        const QVariantMap row = value.toMap();
        const QStringList key =
            row.value(QStringLiteral("list")).toString().mid(prefix.size()).split(QLatin1Char(':'));
        if (key.size() != 2)
            continue;
        const int currency = row.value(QStringLiteral("currency_id")).toInt();
        groups << Group{key.at(0),
                        key.at(1),
                        std::max(currency, 0),
                        row.value(QStringLiteral("total")).toDouble(),
                        row.value(QStringLiteral("row_count")).toInt(),
                        QString()};
    }
    // Each group's earliest due day, from the register's index, where its
    // type and status hold more than one currency to order.
    QHash<QString, int> currencies;
    for (const Group& g : std::as_const(groups))
        ++currencies[g.type + QLatin1Char(':') + g.status];
    for (Group& g : groups) {
        if (currencies.value(g.type + QLatin1Char(':') + g.status) < 2)
            continue;
        g.firstDue =
            m_db->scalar(g.currency > 0
                             ? QStringLiteral("SELECT MIN(due_date) FROM cheques WHERE type=? AND "
                                              "status=? AND currency_id=?")
                             : QStringLiteral("SELECT MIN(due_date) FROM cheques WHERE type=? AND "
                                              "status=? AND currency_id IS NULL"),
                         g.currency > 0 ? QVariantList{g.type, g.status, g.currency}
                                        : QVariantList{g.type, g.status})
                .toString();
    }
    // Within each type and status the currencies keep the order of their
    // earliest due date.
    std::sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
        return std::make_pair(a.firstDue, a.currency) < std::make_pair(b.firstDue, b.currency);
    });

    const MinorUnits units(m_db);
    QVariantMap out;
    for (const QString& type : {QStringLiteral("received"), QStringLiteral("issued")}) {
        QVariantMap byStatus;
        for (const QString& status :
             {QStringLiteral("pending"), QStringLiteral("paid"), QStringLiteral("bounced")})
            byStatus.insert(status, QVariantMap{{QStringLiteral("count"), 0},
                                                {QStringLiteral("sums"), QVariantList()}});
        out.insert(type, byStatus);
    }
    for (const Group& g : groups) {
        QVariantMap byStatus = out.value(g.type).toMap();
        QVariantMap totals = byStatus.value(g.status).toMap();
        QVariantList sums = totals.value(QStringLiteral("sums")).toList();
        sums << QVariantMap{
            {QStringLiteral("currency_id"), g.currency},
            {QStringLiteral("total"),
             units.round(g.currency > 0 ? QVariant(g.currency) : QVariant(), g.total)}};
        totals.insert(QStringLiteral("count"),
                      totals.value(QStringLiteral("count")).toInt() + g.count);
        totals.insert(QStringLiteral("sums"), sums);
        byStatus.insert(g.status, totals);
        out.insert(g.type, byStatus);
    }
    return out;
}

QVariantList ChequeModel::getByType(const QString& type)
{
    return m_db->execQuery(
        QStringLiteral("SELECT c.*, cur.symbol as currency_symbol FROM cheques c LEFT JOIN "
                       "currencies cur ON c.currency_id=cur.id WHERE c.type=? ORDER BY "
                       "c.due_date DESC"),
        {type});
}

QVariantList ChequeModel::getByStatus(const QString& status)
{
    return m_db->execQuery(
        QStringLiteral("SELECT c.*, cur.symbol as currency_symbol FROM cheques c LEFT JOIN "
                       "currencies cur ON c.currency_id=cur.id WHERE c.status=? ORDER BY "
                       "c.due_date"),
        {status});
}

QVariantMap ChequeModel::getStatusTotals(const QString& status)
{
    const QVariantList groups = m_db->execQuery(
        QStringLiteral("SELECT COALESCE(currency_id, 0) as currency_id, SUM(amount) as total, "
                       "COUNT(*) as n FROM cheques WHERE status=? GROUP BY COALESCE(currency_id, "
                       "0) ORDER BY MIN(due_date), MIN(id)"),
        {status});
    int count = 0;
    QVariantList sums;
    for (const QVariant& g : groups) {
        const QVariantMap group = g.toMap();
        count += group.value(QStringLiteral("n")).toInt();
        sums << QVariantMap{
            {QStringLiteral("currency_id"), group.value(QStringLiteral("currency_id")).toInt()},
            {QStringLiteral("total"), group.value(QStringLiteral("total")).toDouble()}};
    }
    return {{QStringLiteral("count"), count}, {QStringLiteral("sums"), sums}};
}

QVariantList ChequeModel::getPending()
{
    return m_db->execQuery(
        QStringLiteral("SELECT c.*, cur.symbol as currency_symbol FROM cheques c LEFT JOIN "
                       "currencies cur ON c.currency_id=cur.id WHERE c.status='pending' ORDER BY "
                       "c.due_date"));
}

QVariantList ChequeModel::getPostDated()
{
    return m_db->execQuery(
        QStringLiteral("SELECT c.*, cur.symbol as currency_symbol FROM cheques c LEFT JOIN "
                       "currencies cur ON c.currency_id=cur.id WHERE c.status='pending' AND "
                       "c.due_date > %1 ORDER BY c.due_date")
            .arg(SqlDialect::today(m_db->engine())));
}
