#include "ComboEntries.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace ComboEntries {

namespace {

// Runs a change of the list with the combo's signals held, then puts its edit text back.
template <typename Change> void keepingText(QComboBox *combo, Change change)
{
    const QSignalBlocker blocker(combo);
    const QString text = combo->currentText();
    change();
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
}

}  // namespace

void append(QComboBox *combo, const QString &entry)
{
    keepingText(combo, [&] { combo->addItem(entry); });
}

void removeAt(QComboBox *combo, int position)
{
    keepingText(combo, [&] { combo->removeItem(position); });
}

void clear(QComboBox *combo)
{
    for (int i = combo->count() - 1; i >= 0; --i)
        removeAt(combo, i);
}

}  // namespace ComboEntries
