#include "finance/ContractorModel.h"

#include "core/Database.h"
#include "core/LedgerPosting.h"
#include "core/MinorUnits.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"
#include "finance/ContractorBalance.h"

#include <QHash>
#include <QLocale>

namespace {

constexpr int kTextLimit = 500;

QString amountText(double amount, const QString& symbol, int decimals)
{
    return QLocale(QLocale::English).toString(amount, 'f', decimals) + QLatin1Char(' ') + symbol;
}

} // namespace

ContractorModel::ContractorModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

QVariantList ContractorModel::getAll()
{
    const QVariantList rows =
        m_db->execQuery(QStringLiteral("SELECT * FROM contractors ORDER BY name"));
    ContractorBalance balances(m_db);
    QVariantList result;
    result.reserve(rows.size());
    for (const QVariant& value : rows) {
        QVariantMap row = value.toMap();
        row.insert(QStringLiteral("balances"),
                   balances.perCurrency(row.value(QStringLiteral("id")).toInt()));
        result.append(row);
    }
    return result;
}

QVariantList ContractorModel::getBalances(int contractorId)
{
    return ContractorBalance(m_db).perCurrency(contractorId);
}

int ContractorModel::pay(int contractorId, double amount, int currencyId, const QString& date,
                         const QString& method, const QString& reference, const QString& notes,
                         const QVariantMap& cheque)
{
    clearError();
    if (!Money::isPositive(amount))
        return refuseId(Reasons::invalidAmount());
    amount = MinorUnits::roundFor(m_db, currencyId, amount);
    if (!Money::isPositive(amount))
        return refuseId(Reasons::invalidAmount());
    if (!SqlValue::isIsoDate(date))
        return refuseId(Reasons::invalidDate());
    const bool byCheque = method == QLatin1String("cheque");
    if (method != QLatin1String("cash") && method != QLatin1String("bank") && !byCheque)
        return refuseId(Reasons::unknownMethod());
    if (reference.size() > kTextLimit)
        return refuseId(Reasons::tooLong(QStringLiteral("المرجع"), kTextLimit));
    if (notes.size() > kTextLimit)
        return refuseId(Reasons::tooLong(QStringLiteral("ملاحظات"), kTextLimit));
    if (byCheque) {
        if (cheque.value(QStringLiteral("cheque_number")).toString().trimmed().isEmpty())
            return refuseId(Reasons::requiredField(QStringLiteral("رقم الشيك")));
        const QString due = cheque.value(QStringLiteral("due_date")).toString().trimmed();
        if (!due.isEmpty() && !SqlValue::isIsoDate(due))
            return refuseId(Reasons::invalidDate());
    }

    // The balance is read under the write lock, so two payments racing for
    // the same bills see each other.
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    const QVariantMap contractor = SqlValue::firstRow(m_db->execQuery(
        QStringLiteral("SELECT id, name FROM contractors WHERE id=?"), {contractorId}));
    if (contractor.isEmpty())
        return refuseId(Reasons::unknownContractor());
    const QVariantMap currency = SqlValue::firstRow(m_db->execQuery(
        QStringLiteral("SELECT id, symbol FROM currencies WHERE id=?"), {currencyId}));
    if (currency.isEmpty())
        return refuseId(Reasons::unknownCurrency());
    ContractorBalance balances(m_db);
    const double owed = balances.balance(contractorId, currencyId);
    if (Money::toMinor(amount, 3) > Money::toMinor(owed, 3))
        return refuseId(Reasons::paymentAboveOwed(
            amountText(owed, currency.value(QStringLiteral("symbol")).toString(),
                       MinorUnits(m_db).decimals(currencyId))));

    const int id = m_db->execInsert(
        QStringLiteral("INSERT INTO contractor_payments (contractor_id,amount,currency_id,"
                       "payment_date,method,reference,notes,created_by) VALUES (?,?,?,?,?,?,?,?)"),
        {contractorId, amount, currencyId, date, method, SqlValue::blankAsNull(reference.trimmed()),
         SqlValue::blankAsNull(notes.trimmed()), SqlValue::idOrNull(m_db->actingUserId())});
    if (id < 1)
        return refuseDatabaseId();
    if (byCheque && insertCheque(contractorId, id, amount, currencyId, date, cheque) < 1)
        return refuseDatabaseId();

    // What is owed falls; cash or the bank pays at once, a cheque stays
    // among the issued cheques until it clears.
    LedgerPosting posting(m_db);
    LedgerPosting::Entry entry;
    entry.date = date;
    entry.description =
        QStringLiteral("دفعة للمقاول ") + contractor.value(QStringLiteral("name")).toString();
    entry.referenceType = QStringLiteral("contractor_payment");
    entry.referenceId = id;
    entry.currencyId = currencyId;
    entry.reference =
        byCheque ? cheque.value(QStringLiteral("cheque_number")).toString() : reference;
    const QString paidFrom = byCheque                          ? QStringLiteral("2200")
                             : method == QLatin1String("bank") ? QStringLiteral("1110")
                                                               : QStringLiteral("1100");
    entry.lines = {{QStringLiteral("2100"), 0, amount, 0, {}}, {paidFrom, 0, 0, amount, {}}};
    if (posting.post(entry) < 1)
        return refuseId(posting.reason());
    if (!balances.syncStored(contractorId))
        return refuseDatabaseId();
    if (!tx.commit())
        return refuseDatabaseId();
    emit dataChanged();
    return id;
}

int ContractorModel::insertCheque(int contractorId, int paymentId, double amount, int currencyId,
                                  const QString& date, const QVariantMap& cheque)
{
    const QString due = cheque.value(QStringLiteral("due_date")).toString().trimmed();
    const QString payee =
        m_db->scalar(QStringLiteral("SELECT name FROM contractors WHERE id=?"), {contractorId})
            .toString();
    return m_db->execInsert(
        QStringLiteral("INSERT INTO cheques (cheque_number,type,amount,bank_name,issue_date,"
                       "due_date,payer_name,payee_name,status,currency_id,contractor_id,"
                       "contractor_payment_id) VALUES (?,'issued',?,?,?,?,'',?,'pending',?,?,?)"),
        {cheque.value(QStringLiteral("cheque_number")).toString().trimmed(), amount,
         cheque.value(QStringLiteral("bank_name")).toString().trimmed(), date,
         due.isEmpty() ? date : due, payee, currencyId, contractorId, paymentId});
}

QVariantList ContractorModel::getPayments(int contractorId)
{
    return m_db->execQuery(
        QStringLiteral("SELECT p.*, ch.cheque_number, ch.status as cheque_status FROM "
                       "contractor_payments p LEFT JOIN cheques ch ON "
                       "ch.contractor_payment_id=p.id WHERE p.contractor_id=? ORDER BY "
                       "p.payment_date DESC, p.id DESC"),
        {contractorId});
}

QVariantList ContractorModel::getStatement(int contractorId)
{
    const QVariantList rows = m_db->execQuery(
        QStringLiteral(
            "SELECT * FROM (SELECT expense_date AS date, 'bill' AS kind, 0 AS sort, "
            "id, COALESCE(NULLIF(description,''),category) AS description, reference, "
            "COALESCE(currency_id,%1) AS currency_id, amount FROM expenses WHERE "
            "contractor_id=? AND is_owed=1 UNION ALL SELECT payment_date, 'payment', "
            "1, id, COALESCE(NULLIF(notes,''),CASE method WHEN 'cheque' THEN 'شيك رقم ' || "
            "COALESCE((SELECT cheque_number FROM cheques WHERE "
            "contractor_payment_id=p.id),'') WHEN 'bank' THEN 'تحويل بنكي' ELSE "
            "'دفعة نقدية' END), reference, currency_id, amount FROM "
            "contractor_payments p WHERE contractor_id=? UNION ALL SELECT "
            "COALESCE((SELECT MAX(entry_date) FROM journal_entries WHERE "
            "reference_type='issued_cheque_bounced' AND reference_id=ch.id),ch.due_date), "
            "'returned', 2, ch.id, 'شيك مرتجع رقم ' || ch.cheque_number, NULL, "
            "COALESCE(ch.currency_id,%1), ch.amount FROM cheques ch WHERE ch.type='issued' AND "
            "ch.status='bounced' AND ch.contractor_id=? AND ch.contractor_payment_id IS NOT "
            "NULL) AS statement ORDER BY date, sort, id")
            .arg(ContractorBalance::primaryCurrency()),
        {contractorId, contractorId, contractorId});
    QHash<int, qint64> running;
    QVariantList result;
    result.reserve(rows.size());
    for (const QVariant& value : rows) {
        QVariantMap row = value.toMap();
        const qint64 cents = Money::toCents(row.value(QStringLiteral("amount")).toDouble());
        qint64& balance = running[row.value(QStringLiteral("currency_id")).toInt()];
        // A returned cheque is owed again, as a bill is.
        balance += row.value(QStringLiteral("kind")).toString() == QLatin1String("payment") ? -cents
                                                                                            : cents;
        row.insert(QStringLiteral("balance"), static_cast<double>(balance) / 100.0);
        row.remove(QStringLiteral("sort"));
        result.append(row);
    }
    return result;
}

bool ContractorModel::removeContractor(int id)
{
    clearError();
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    if (m_db->execQuery(QStringLiteral("SELECT id FROM contractors WHERE id=?"), {id}).isEmpty())
        return refuseMissing();
    // Its bills and payments would name nobody, and what is owed to it
    // would stay in the books without a name.
    if (m_db->scalar(QStringLiteral("SELECT EXISTS (SELECT 1 FROM expenses WHERE contractor_id=?) "
                                    "OR EXISTS (SELECT 1 FROM contractor_payments WHERE "
                                    "contractor_id=?)"),
                     {id, id})
            .toInt() != 0)
        return refuse(Reasons::contractorHasOpenBills());
    if (!m_db->execNonQuery(QStringLiteral("DELETE FROM contractors WHERE id=?"), {id}))
        return refuseRemoval();
    if (!tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}
