#include "finance/InstallmentModel.h"

#include "core/ChequeRegister.h"
#include "core/Database.h"
#include "core/LedgerPosting.h"
#include "core/MinorUnits.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"

#include <QDate>

#include <cmath>
#include <limits>
#include <vector>

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

// Fifty years of monthly instalments; a larger count is a typing slip, and
// would hold the program for minutes or exhaust its memory.
constexpr int kMaxInstallments = 600;

// Amounts in audit texts use the plain %1 substitution of a double (six
// significant digits), the form every audit row of the application uses.
QString amountText(double value)
{
    return QStringLiteral("%1").arg(value);
}

struct ScheduledInstallment
{
    double amount;
    QString dueDate;
    QString chequeNumber = QStringLiteral("");
};

} // namespace

InstallmentModel::InstallmentModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

QVariantList InstallmentModel::getAll()
{
    return m_db->execQuery(QStringLiteral(
        "SELECT i.*, b.full_name as buyer_name, u.unit_number, p.name as property_name FROM "
        "installments i JOIN buyers b ON i.buyer_id=b.id JOIN units u ON i.unit_id=u.id JOIN "
        "properties p ON u.property_id=p.id ORDER BY i.due_date"));
}

QVariantList InstallmentModel::getByBuyer(int buyerId)
{
    return m_db->execQuery(
        QStringLiteral("SELECT i.*, u.unit_number, p.name as property_name, (SELECT c.status FROM "
                       "cheques c WHERE c.installment_id=i.id AND c.replaced_by_payment_id IS "
                       "NULL ORDER BY c.id DESC LIMIT 1) as cheque_status FROM installments i "
                       "JOIN units u ON i.unit_id=u.id JOIN properties p ON u.property_id=p.id "
                       "WHERE i.buyer_id=? ORDER BY i.due_date"),
        {buyerId});
}

QVariantList InstallmentModel::getOverdue()
{
    return m_db->execQuery(
        QStringLiteral("SELECT i.*, b.full_name as buyer_name, u.unit_number FROM installments i "
                       "JOIN buyers b ON i.buyer_id=b.id JOIN units u ON i.unit_id=u.id WHERE "
                       "i.status!='paid' AND i.due_date < %1 ORDER BY i.due_date")
            .arg(SqlDialect::today(m_db->engine())));
}

QVariant InstallmentModel::unitCostCenter(int unitId)
{
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT id FROM cost_centers WHERE unit_id=? ORDER BY id LIMIT 1"),
        {unitId});
    return SqlValue::firstRow(rows).value(QStringLiteral("id"));
}

bool InstallmentModel::exists(const QString& sql, int id)
{
    return m_db->scalar(sql, {id}).isValid();
}

bool InstallmentModel::postReceipt(LedgerPosting& posting, int paymentId, const QString& date,
                                   double amount, int currencyId, const QString& description,
                                   const QString& account)
{
    // Buyer money, in cash or in cheques under collection, settles what the
    // buyer owes.
    LedgerPosting::Entry entry;
    entry.date = date;
    entry.description = description;
    entry.referenceType = QStringLiteral("payment");
    entry.referenceId = paymentId;
    entry.currencyId = currencyId;
    entry.lines = {{account, 0, amount, 0, {}}, {QStringLiteral("1200"), 0, 0, amount, {}}};
    return posting.post(entry) > 0;
}

bool InstallmentModel::writeAudit(const QString& action, const QString& table, int recordId,
                                  const QString& details)
{
    const int user = m_db->actingUserId();
    return m_db->execInsert(
               QStringLiteral("INSERT INTO audit_logs (user_id, action, table_name, "
                              "record_id, details) VALUES (?,?,?,?,?)"),
               {user > 0 ? QVariant(user) : QVariant(), action, table, recordId, details}) > 0;
}

int InstallmentModel::sellUnit(int buyerId, int unitId, double totalPrice, double downPayment,
                               int numInstallments, const QString& startDate, int currId,
                               const QString& startCheque, const QString& bankName)
{
    clearError();
    // Everything that can refuse the sale is checked before the first write,
    // so a refused sale leaves no trace.
    if (!Money::isPositive(totalPrice) || !Money::isNonNegative(downPayment))
        return refuseId(Reasons::invalidAmount());
    if (downPayment > totalPrice)
        return refuseId(Reasons::downPaymentAbovePrice());
    if (numInstallments > kMaxInstallments)
        return refuseId(Reasons::tooManyInstallments(kMaxInstallments));
    if (!SqlValue::isIsoDate(startDate))
        return refuseId(Reasons::invalidDate());
    const QDate start = QDate::fromString(startDate, kDateFormat);

    // The unit's status is read under the write lock, so two sales of one
    // unit cannot both see it unsold.
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    const QVariantList unitRows = m_db->execQuery(
        QStringLiteral("SELECT status, unit_number FROM units WHERE id=?"), {unitId});
    if (unitRows.isEmpty())
        return refuseMissingId();
    const QVariantMap unit = unitRows.first().toMap();
    if (unit.value(QStringLiteral("status")).toString() == QLatin1String("sold"))
        return refuseId(Reasons::unitSold());
    if (!exists(QStringLiteral("SELECT 1 FROM buyers WHERE id=?"), buyerId) ||
        !exists(QStringLiteral("SELECT 1 FROM currencies WHERE id=?"), currId))
        return refuseMissingId();

    const QString unitNumber = unit.value(QStringLiteral("unit_number")).toString();
    const QVariant costCenter = unitCostCenter(unitId);

    // The schedule is counted in whole minor units (cents, or mills for the
    // dinar): every instalment is such an amount and the last takes what
    // the others leave, so the stored instalments add up to the price less
    // the down payment exactly.
    const MinorUnits minorUnits(m_db);
    const int places = minorUnits.decimals(currId);
    const double scale = std::pow(10.0, places);
    totalPrice = Money::roundTo(totalPrice, places);
    downPayment = Money::roundTo(downPayment, places);
    const qint64 remainderCents =
        Money::toMinor(totalPrice, places) - Money::toMinor(downPayment, places);
    double remainder = static_cast<double>(remainderCents) / scale;
    std::vector<ScheduledInstallment> schedule;
    if (remainderCents > 1) {
        const int count = std::max(1, numInstallments);
        const qint64 baseCents = remainderCents / count;
        const qint64 lastCents = remainderCents - baseCents * (count - 1);

        bool parsed = false;
        const qint64 firstCheque = startCheque.toLongLong(&parsed, 10);
        const bool numbered = parsed && firstCheque > 0;
        if (numbered && firstCheque > std::numeric_limits<qint64>::max() - (count - 1))
            return refuseId(Reasons::invalidNumber());

        schedule.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            ScheduledInstallment item;
            // Always counted from the start date, so a 31st stays a 31st after
            // a short month.
            item.dueDate = start.addMonths(i).toString(kDateFormat);
            item.amount = static_cast<double>(i == count - 1 ? lastCents : baseCents) / scale;
            if (numbered)
                item.chequeNumber = QString::number(firstCheque + i);
            else if (i == 0)
                item.chequeNumber = SqlValue::textOrEmpty(startCheque);
            schedule.push_back(item);
        }
    } else if (remainderCents <= 0) {
        remainder = 0;
    }

    // The price agreed is in the sale's currency, so the unit's figures are
    // read in it from now on.
    if (!m_db->execNonQuery(QStringLiteral("UPDATE units SET status='sold', buyer_id=?, "
                                           "sale_price_actual=?, sale_date=?, "
                                           "currency_id=COALESCE(?, currency_id) WHERE id=?"),
                            {buyerId, totalPrice, startDate, SqlValue::idOrNull(currId), unitId}))
        return refuseDatabaseId();
    // The whole price is owed by the buyer from the day of the sale; the
    // down payment below settles part of it at once.
    LedgerPosting posting(m_db);
    LedgerPosting::Entry sale;
    sale.date = startDate;
    sale.description =
        QStringLiteral("بيع الوحدة ") + unit.value(QStringLiteral("unit_number")).toString();
    sale.referenceType = QStringLiteral("sale");
    sale.referenceId = unitId;
    sale.currencyId = currId;
    sale.lines = {{QStringLiteral("1200"), 0, totalPrice, 0, {}},
                  {QStringLiteral("4300"), 0, 0, totalPrice, {}}};
    if (posting.post(sale) < 1)
        return refuseId(posting.reason());

    if (downPayment > 0) {
        const int paymentId = m_db->execInsert(
            QStringLiteral("INSERT INTO payments (buyer_id, unit_id, amount, payment_method, "
                           "payment_date, currency_id, cost_center_id, notes) VALUES "
                           "(?,?,?,?,?,?,?,?)"),
            {buyerId, unitId, downPayment, QStringLiteral("cash"), startDate, currId, costCenter,
             QStringLiteral("دفعة مقدمة / بيع وحدة: ") + unitNumber});
        if (paymentId < 1)
            return refuseDatabaseId();
        if (!postReceipt(posting, paymentId, startDate, downPayment, currId,
                         QStringLiteral("دفعة مقدمة / بيع وحدة: ") + unitNumber))
            return refuseId(posting.reason());
    }

    std::vector<int> ids;
    ids.reserve(schedule.size());
    for (const ScheduledInstallment& item : schedule) {
        const int id = m_db->execInsert(
            QStringLiteral("INSERT INTO installments (buyer_id,unit_id,total_price,down_payment,"
                           "installment_amount,due_date,currency_id,cheque_number,bank_name) "
                           "VALUES (?,?,?,?,?,?,?,?,?)"),
            {buyerId, unitId, totalPrice, downPayment, item.amount, item.dueDate, currId,
             item.chequeNumber, SqlValue::textOrEmpty(bankName)});
        if (id < 1)
            return refuseDatabaseId();
        ids.push_back(id);
    }

    if (!m_db->execNonQuery(QStringLiteral("UPDATE buyers SET balance=balance+? WHERE id=?"),
                            {remainder, buyerId}))
        return refuseDatabaseId();

    // The post-dated cheques handed over at the sale pay their instalments
    // now; the money waits in cheques under collection until each is cashed.
    for (size_t i = 0; i < schedule.size(); ++i) {
        const ScheduledInstallment& item = schedule[i];
        if (item.chequeNumber.trimmed().isEmpty())
            continue;
        Collection how;
        how.method = QStringLiteral("cheque");
        how.date = startDate;
        how.chequeNumber = item.chequeNumber;
        how.bank = bankName;
        how.dueDate = item.dueDate;
        how.audit = false;
        how.posting = &posting;
        how.minorUnits = &minorUnits;
        how.costCenter = costCenter;
        if (collect(ids[i], item.amount, how) < 1)
            return -1;
    }

    // One multi-argument substitution, so a '%' in the unit number cannot
    // capture the amounts.
    const QString details = QStringLiteral("تم بيع الوحدة %1 بمبلغ %2 (دفعة: %3, شيكات: %4)")
                                .arg(unitNumber, amountText(totalPrice), amountText(downPayment),
                                     QString::number(numInstallments));
    if (!writeAudit(QStringLiteral("بيع وحدة"), QStringLiteral("units"), unitId, details))
        return refuseDatabaseId();

    if (!tx.commit())
        return refuseDatabaseId();
    emit dataChanged();
    return 1;
}

bool InstallmentModel::payInstallment(int id, double amount)
{
    clearError();
    if (collect(id, amount, Collection()) < 1)
        return false;
    emit dataChanged();
    return true;
}

int InstallmentModel::collect(int id, double amount, const Collection& how)
{
    if (!Money::isPositive(amount))
        return refuseId(Reasons::invalidAmount());
    const bool byCheque = how.method == QLatin1String("cheque");
    if (byCheque && how.chequeNumber.trimmed().isEmpty())
        return refuseId(Reasons::requiredField(QStringLiteral("رقم الشيك")));
    if (byCheque && !SqlValue::isIsoDate(how.dueDate))
        return refuseId(Reasons::invalidDate());
    if (!how.date.isEmpty() && !SqlValue::isIsoDate(how.date))
        return refuseId(Reasons::invalidDate());

    // Read under the write lock: two collections of one instalment see each
    // other, so it is never paid beyond its amount.
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT i.installment_amount, i.paid_amount, i.buyer_id, i.unit_id, "
                       "i.currency_id, i.cheque_number, i.bank_name, b.full_name FROM "
                       "installments i LEFT JOIN buyers b ON b.id=i.buyer_id WHERE i.id=?"),
        {id});
    if (rows.isEmpty())
        return refuseMissingId();
    const QVariantMap row = rows.first().toMap();
    amount = how.minorUnits
                 ? how.minorUnits->round(row.value(QStringLiteral("currency_id")), amount)
                 : MinorUnits::roundFor(m_db, row.value(QStringLiteral("currency_id")), amount);
    if (!Money::isPositive(amount))
        return refuseId(Reasons::invalidAmount());
    const double outstanding = row.value(QStringLiteral("installment_amount")).toDouble() -
                               row.value(QStringLiteral("paid_amount")).toDouble();
    if (Money::toCents(amount) > Money::toCents(outstanding) + 1)
        return refuseId(Reasons::amountAboveBalance());

    const QVariant buyerId = row.value(QStringLiteral("buyer_id"));
    const QVariant unitId = row.value(QStringLiteral("unit_id"));
    const int currencyId = row.value(QStringLiteral("currency_id")).toInt();
    const QVariant costCenter = how.costCenter ? *how.costCenter : unitCostCenter(unitId.toInt());

    // The CASE sees the old paid_amount, so it tests old paid + this amount.
    if (!m_db->execNonQuery(
            QStringLiteral("UPDATE installments SET paid_amount=paid_amount+?, status=CASE WHEN "
                           "paid_amount+?>=installment_amount - 0.01 THEN 'paid' ELSE 'partial' "
                           "END WHERE id=?"),
            {amount, amount, id}))
        return refuseDatabaseId();

    const QString notes = byCheque ? QStringLiteral("تحصيل قسط بشيك %1 - معرف: %2")
                                         .arg(how.chequeNumber.trimmed(), QString::number(id))
                                   : QStringLiteral("تحصيل قسط - معرف: %1").arg(id);
    const int paymentId = m_db->execInsert(
        QStringLiteral("INSERT INTO payments (buyer_id, unit_id, amount, payment_method, "
                       "payment_date, reference, currency_id, cost_center_id, notes) VALUES "
                       "(?,?,?,?,COALESCE(?,%1),?,?,?,?)")
            .arg(SqlDialect::today(m_db->engine())),
        {buyerId, unitId, amount, how.method, SqlValue::blankAsNull(how.date),
         byCheque ? QVariant(how.chequeNumber.trimmed()) : QVariant(),
         row.value(QStringLiteral("currency_id")), costCenter, notes});
    if (paymentId < 1)
        return refuseDatabaseId();
    LedgerPosting ownPosting(m_db);
    LedgerPosting& posting = how.posting ? *how.posting : ownPosting;
    const QString paidOn =
        how.date.isEmpty()
            ? m_db->scalar(QStringLiteral("SELECT payment_date FROM payments WHERE id=?"),
                           {paymentId})
                  .toString()
            : how.date;
    if (!postReceipt(posting, paymentId, paidOn, amount, currencyId, notes,
                     byCheque ? QStringLiteral("1300") : QStringLiteral("1100")))
        return refuseId(posting.reason());

    if (!m_db->execNonQuery(QStringLiteral("UPDATE buyers SET balance=balance-? WHERE id=?"),
                            {amount, buyerId}))
        return refuseDatabaseId();

    if (byCheque) {
        // The instalment names the cheque that now pays it, unless it names
        // it already (a sale's cheques are stored with their instalments).
        const QString number = how.chequeNumber.trimmed();
        const QString bank = SqlValue::textOrEmpty(how.bank.trimmed());
        const QVariant namedBank = row.value(QStringLiteral("bank_name"));
        const bool named = row.value(QStringLiteral("cheque_number")).toString() == number &&
                           !namedBank.isNull() && namedBank.toString() == bank;
        if (!named &&
            !m_db->execNonQuery(
                QStringLiteral("UPDATE installments SET cheque_number=?, bank_name=? WHERE id=?"),
                {number, bank, id}))
            return refuseDatabaseId();
        ChequeRegister::Received cheque;
        cheque.number = how.chequeNumber;
        cheque.bank = how.bank;
        cheque.dueDate = how.dueDate;
        cheque.payer = row.value(QStringLiteral("full_name")).toString();
        cheque.amount = amount;
        cheque.currencyId = currencyId;
        cheque.buyerId = buyerId.toInt();
        cheque.installmentId = id;
        cheque.paymentId = paymentId;
        if (ChequeRegister::record(m_db, cheque) < 1)
            return refuseDatabaseId();
    }

    if (how.audit && !writeAudit(QStringLiteral("تحصيل قسط"), QStringLiteral("installments"), id,
                                 QStringLiteral("تم تحصيل مبلغ %1").arg(amountText(amount))))
        return refuseDatabaseId();

    if (!tx.commit())
        return refuseDatabaseId();
    return paymentId;
}

int InstallmentModel::add(int buyerId, int unitId, double total, double down, double amount,
                          const QString& dueDate, int cid)
{
    clearError();
    if (!Money::isPositive(amount) || !Money::isNonNegative(total) || !Money::isNonNegative(down))
        return refuseId(Reasons::invalidAmount());
    if (!SqlValue::isIsoDate(dueDate))
        return refuseId(Reasons::invalidDate());
    // An instalment belongs to a sale: on any other unit it would raise the
    // buyer's balance for something they never bought.
    const QVariantMap unit = SqlValue::firstRow(
        m_db->execQuery(QStringLiteral("SELECT buyer_id, status FROM units WHERE id=?"), {unitId}));
    if (unit.isEmpty())
        return refuseMissingId();
    if (unit.value(QStringLiteral("status")).toString() != QLatin1String("sold") ||
        unit.value(QStringLiteral("buyer_id")).toInt() != buyerId)
        return refuseId(Reasons::unitNotBuyers());

    // The instalment and the balance it adds go together or not at all.
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();

    const int id = m_db->execInsert(
        QStringLiteral("INSERT INTO installments (buyer_id,unit_id,total_price,down_payment,"
                       "installment_amount,due_date,currency_id) VALUES (?,?,?,?,?,?,?)"),
        {buyerId, unitId, total, down, amount, dueDate, cid});
    if (id < 1)
        return refuseDatabaseId();
    if (!m_db->execNonQuery(QStringLiteral("UPDATE buyers SET balance=balance+? WHERE id=?"),
                            {amount, buyerId}))
        return refuseDatabaseId();
    // An instalment added by hand is more of the sale owed by the buyer.
    LedgerPosting posting(m_db);
    LedgerPosting::Entry entry;
    entry.date = QDate::currentDate().toString(kDateFormat);
    entry.description = QStringLiteral("قسط مضاف يستحق في ") + dueDate;
    entry.referenceType = QStringLiteral("installment");
    entry.referenceId = id;
    entry.currencyId = cid;
    entry.lines = {{QStringLiteral("1200"), 0, amount, 0, {}},
                   {QStringLiteral("4300"), 0, 0, amount, {}}};
    if (posting.post(entry) < 1)
        return refuseId(posting.reason());
    if (!tx.commit())
        return refuseDatabaseId();
    emit dataChanged();
    return id;
}
