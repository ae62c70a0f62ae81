#pragma once

#include "core/SqlListModel.h"

#include <QHash>
#include <QSet>
#include <QVariantList>

// A paged list of people (tenants, buyers) whose rows also show what each
// owes, per currency. Summing a person's history is far slower than reading
// the row, so the amounts are not part of the row query: they are read on
// the list reader for the rows a view asks about, one read per turn of the
// event loop for all of them, and arrive through dataChanged on the
// "balances" role as [{currency_id, total}] (the primary currency first,
// currencies that come to nothing left out). Until then the role is
// undefined and balancesPending is true.
//
// A reload, a new search or a refresh after a write forgets every amount:
// a read begun before it is never shown, even when it finishes after it.
// Without a reader the amounts are read on the window's connection, still
// once per turn for every row asked about.
class BalanceListModel : public SqlListModel
{
    Q_OBJECT
    Q_PROPERTY(bool balancesPending READ balancesPending NOTIFY balancesChanged)

public:
    // `balanceSql` gives rows (owner id, currency id, total) for the owners
    // whose ids fill the "%1" of "WITH owners(id) AS (VALUES %1) ...", one
    // "(?)" each; `ownerColumn` is the row query's column holding the id.
    BalanceListModel(Database* db, Definition definition, QString balanceSql, QString ownerColumn,
                     QObject* parent = nullptr);

    QHash<int, QByteArray> roleNames() const override;
    QVariant data(const QModelIndex& index, int role) const override;

    bool balancesPending() const { return !m_wanted.isEmpty(); }

signals:
    void balancesChanged();

private:
    // Forgets every amount and any read still on its way.
    void forget();
    void requestWanted();
    void take(bool ok, const SqlReader::Rows& rows, const QList<qint64>& asked);

    Database* m_db;
    QString m_balanceSql;
    int m_ownerRole = -1;
    int m_balancesRole = -1;
    // Bumped by forget(): an answer to an older read is dropped.
    quint64 m_generation = 0;
    mutable QHash<qint64, QVariantList> m_known;
    // Asked about but not known yet; every read asks for all of them, as a
    // newer read on the reader supersedes the one before it.
    mutable QSet<qint64> m_wanted;
    mutable bool m_queued = false;
    bool m_inFlight = false;
    ListReader* m_askedReader = nullptr;
};
