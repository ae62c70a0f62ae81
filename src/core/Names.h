#pragma once

#include <QString>

// The one check every model applies to a name it stores (a tenant, a
// property, a buyer, an account, a contractor): not blank and not too long.
namespace Names {

// Longer names are refused: they break every list and printed page.
constexpr int kMaxLength = 200;

// True when nothing visible is left: only blanks, control characters or
// invisible format marks (zero-width spaces and joiners, direction marks).
bool isBlank(const QString& text);
// Empty when `name` may be stored; otherwise the Arabic reason.
QString problem(const QString& name);

} // namespace Names
