#include "finance/BuyerModel.h"

#include "core/Database.h"
#include "core/Names.h"
#include "core/PartyBalances.h"
#include "core/Reasons.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"

BuyerModel::BuyerModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

QVariantList BuyerModel::getAll()
{
    return m_db->execQuery(
        QStringLiteral("SELECT b.*, (SELECT COUNT(*) FROM installments WHERE buyer_id=b.id) as "
                       "installment_count FROM buyers b ORDER BY b.full_name"));
}

int BuyerModel::add(const QString& name, const QString& idNum, const QString& phone,
                    const QString& email, const QString& addr)
{
    clearError();
    if (const QString why = Names::problem(name); !why.isEmpty())
        return refuseId(why);
    const int id = m_db->execInsert(
        QStringLiteral(
            "INSERT INTO buyers (full_name,id_number,phone,email,address) VALUES (?,?,?,?,?)"),
        {name, SqlValue::blankAsNull(idNum), phone, email, addr});
    if (id < 1)
        return refuseDatabaseId();
    emit dataChanged();
    return id;
}

bool BuyerModel::update(int id, const QString& name, const QString& idNum, const QString& phone,
                        const QString& email, const QString& addr)
{
    clearError();
    if (const QString why = Names::problem(name); !why.isEmpty())
        return refuse(why);
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    if (!m_db->scalar(QStringLiteral("SELECT 1 FROM buyers WHERE id=?"), {id}).isValid())
        return refuseMissing();
    if (!m_db->execNonQuery(
            QStringLiteral(
                "UPDATE buyers SET full_name=?,id_number=?,phone=?,email=?,address=? WHERE id=?"),
            {name, SqlValue::blankAsNull(idNum), phone, email, addr, id}) ||
        !tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

QVariantList BuyerModel::getStatement(int id)
{
    return m_db->execQuery(
        QStringLiteral("SELECT i.*, u.unit_number, p.name as property_name FROM installments i "
                       "JOIN units u ON i.unit_id=u.id JOIN properties p ON u.property_id=p.id "
                       "WHERE i.buyer_id=? ORDER BY i.due_date"),
        {id});
}

QVariantList BuyerModel::balances(int id)
{
    return PartyBalances::buyer(m_db, id);
}
