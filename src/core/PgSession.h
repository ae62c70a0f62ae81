#pragma once

#include <QString>

// What a server session that reads through kept statements (see PgReader)
// sets before its first read.
namespace PgSession {

// A kept statement is planned again for each run's values, as a statement
// prepared afresh is: one plan for every value of a filter (a rare status,
// a whole year) would read far too much for some.
QString keptReadPlans();

} // namespace PgSession
