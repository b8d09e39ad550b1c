#pragma once

#include <QString>
#include <QVariantList>

// How undo and the lookup of journaled rows compare values the journal kept. What a database holds
// is judged by the engine itself; these only compare journaled values with each other.
namespace repair {

// Whether each value of one list is the same value as the other's: numbers by value, everything
// else exactly; NULL only equals NULL.
bool sameValues(const QVariantList &a, const QVariantList &b);

// Whether each value of one list is identical to the other's: the same value in the same form
// (1 and 1.0 are not), NULL only NULL. A row whose old and new values are identical was not
// changed by its repair.
bool identicalValues(const QVariantList &a, const QVariantList &b);

// A journaled value as a text that tells values apart as identicalValues() does: its form, then
// the value; a blob (a text kept as its stored bytes, not valid UTF-8) by every byte, so that two
// codes stored in different bytes are never one key. NULL is "N;".
QString valueKey(const QVariant &value);

}  // namespace repair
