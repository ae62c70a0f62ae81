#pragma once

// The statements LedgerHistory runs, one Step per kind of event; shared by
// LedgerHistory.cpp and LedgerHistorySteps.cpp only.
#include "core/DatabaseSettings.h"
#include "core/LedgerHistory.h"

#include <QList>
#include <QString>
#include <QStringList>

// One kind of event: the statement that writes an entry for every row of
// the kind without one, and the statements that write the lines of the
// entries written since a mark. Entry statements bind the date that
// overrides the event's own (NULL for none) and the id range; line
// statements bind the mark.
struct LedgerHistory::Step
{
    QString entries;
    // When set, fills temp.ledger_shares with what the lines and totals
    // read (bound like them), so it is worked out once for both.
    QString shares;
    QStringList lines;
    // Statements adding the lines of the step's primary-currency entries to
    // the ledger's totals, read from the same source as the lines (bound
    // like them); the other currencies' lines are counted afterwards.
    QStringList totals;
};

namespace LedgerHistorySteps {

using Engine = DatabaseSettings::Engine;

LedgerHistory::Step invoiceStep(Engine engine = Engine::SQLite);
LedgerHistory::Step voidStep(Engine engine = Engine::SQLite);
QList<LedgerHistory::Step> pastEventSteps(Engine engine = Engine::SQLite);
// The table an invoice posting keeps its shares in for the posting's
// statements: a connection's own, on either engine.
QString sharesTable(Engine engine);

} // namespace LedgerHistorySteps
