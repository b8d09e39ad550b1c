#pragma once

#include <QString>

class QComboBox;

// List operations on the window's editable combo boxes. Changing the list never touches the
// text in the edit field and starts no text-change handler; only typing, picking or setting
// the text does that.
namespace ComboEntries {

void append(QComboBox *combo, const QString &entry);
void removeAt(QComboBox *combo, int position);
// Removes every entry, the last one first.
void clear(QComboBox *combo);

}  // namespace ComboEntries
