#pragma once

#include <QString>

// What makes an invoice open, said once: overdue receivables, the alerts,
// the cash calendar, the balance sheet and the open balances kept per due
// day all read these conditions, so they count the same invoices.
namespace OpenInvoices {

// Neither paid nor void. Written as three ranges so that the status index
// reads only the open invoices instead of every invoice. `alias` names the
// invoices table in the statement ("i" gives i.status), or is empty.
QString notSettled(const QString& alias = QString());

// Not settled and still owing at least half a mill: a dinar keeps three
// decimals, so a few fils are a debt like any other, while the binary noise
// a subtraction can leave on a settled balance is far below it.
QString owing(const QString& alias = QString());

} // namespace OpenInvoices
