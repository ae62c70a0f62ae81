#include "core/BalanceListModel.h"

#include "core/Database.h"
#include "core/ListReader.h"
#include "core/PartyBalances.h"

#include <QMetaObject>
#include <QtDebug>

#include <utility>

BalanceListModel::BalanceListModel(Database* db, Definition definition, QString balanceSql,
                                   QString ownerColumn, QObject* parent)
    : SqlListModel(db, std::move(definition), parent)
    , m_db(db)
    , m_balanceSql(std::move(balanceSql))
{
    const QHash<int, QByteArray> roles = SqlListModel::roleNames();
    m_ownerRole = roles.key(ownerColumn.toUtf8(), -1);
    m_balancesRole = Qt::UserRole + 1 + int(roles.size());
    // New rows, a new search or rows read again after a write: what was
    // summed before may no longer hold.
    connect(this, &QAbstractItemModel::modelReset, this, &BalanceListModel::forget);
    connect(this, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.isEmpty())
                    forget();
            });
}

QHash<int, QByteArray> BalanceListModel::roleNames() const
{
    QHash<int, QByteArray> roles = SqlListModel::roleNames();
    roles.insert(m_balancesRole, QByteArrayLiteral("balances"));
    return roles;
}

QVariant BalanceListModel::data(const QModelIndex& index, int role) const
{
    if (role != m_balancesRole)
        return SqlListModel::data(index, role);
    const QVariant owner = SqlListModel::data(index, m_ownerRole);
    if (!owner.isValid() || owner.isNull())
        return {};
    const qint64 id = owner.toLongLong();
    const auto known = m_known.constFind(id);
    if (known != m_known.constEnd())
        return *known;
    const bool added = !m_wanted.contains(id);
    m_wanted.insert(id);
    // A read still on its way to the reader that made it covers the rows
    // it asked about; a new row, or a reader made since, needs another.
    const bool covered = m_inFlight && m_askedReader == reader();
    if ((added || !covered) && !m_queued) {
        m_queued = true;
        auto* self = const_cast<BalanceListModel*>(this);
        QMetaObject::invokeMethod(self, &BalanceListModel::requestWanted, Qt::QueuedConnection);
    }
    return {};
}

void BalanceListModel::forget()
{
    ++m_generation;
    if (m_inFlight && reader())
        reader()->cancel(quintptr(&m_known));
    m_inFlight = false;
    const bool pending = !m_wanted.isEmpty();
    m_known.clear();
    m_wanted.clear();
    if (pending)
        emit balancesChanged();
}

void BalanceListModel::requestWanted()
{
    m_queued = false;
    if (m_wanted.isEmpty())
        return;
    emit balancesChanged();
    const QList<qint64> asked(m_wanted.cbegin(), m_wanted.cend());
    QStringList marks;
    QVariantList params;
    marks.reserve(asked.size());
    // The server gives a bare value in VALUES the type text, which no id
    // column compares with.
    const QString mark =
        m_db->isPostgres() ? QStringLiteral("(CAST(? AS BIGINT))") : QStringLiteral("(?)");
    for (const qint64 id : asked) {
        marks << mark;
        params << id;
    }
    const QString sql = m_balanceSql.arg(marks.join(QLatin1Char(',')));
    ListReader* onThread = reader();
    if (!onThread) {
        SqlReader::Rows rows;
        QString error;
        const bool ok = m_db->readRows(sql, params, rows, &error);
        if (!ok)
            qWarning() << "list balances failed:" << error;
        take(ok, rows, asked);
        return;
    }
    m_inFlight = true;
    m_askedReader = onThread;
    const quint64 generation = m_generation;
    // Its own channel: the list's count and totals keep theirs.
    onThread->request(
        quintptr(&m_known), this, sql, params,
        [this, generation, asked](bool ok, const SqlReader::Rows& rows, const QString& error) {
            if (generation != m_generation)
                return;
            m_inFlight = false;
            if (!ok)
                qWarning() << "list balances failed:" << error;
            take(ok, rows, asked);
        });
}

void BalanceListModel::take(bool ok, const SqlReader::Rows& rows, const QList<qint64>& asked)
{
    if (!ok) {
        // A failed read leaves the cells empty rather than showing nothing
        // owed; the rows are asked about again when next shown.
        for (const qint64 id : asked)
            m_wanted.remove(id);
        emit balancesChanged();
        return;
    }
    QHash<qint64, QVariantList> sums;
    for (const auto& row : rows.rows)
        sums[row.value(0).toLongLong()].append(QVariantMap{
            {QStringLiteral("c"), row.value(1)}, {QStringLiteral("total"), row.value(2)}});
    for (const qint64 id : asked) {
        // Asked about, so known from now on: one who owes nothing has [].
        m_known.insert(id, PartyBalances::owed(sums.value(id)));
        m_wanted.remove(id);
    }
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {m_balancesRole});
    emit balancesChanged();
}
