#pragma once

#include <QString>

class QComboBox;
class QWidget;

// Drives the real window as a person does: keys and clicks on the real widgets, picks from a
// combo box's open list.
namespace FormDriver {

// Points the tool at an embedded data directory and records message boxes instead of
// waiting for them to be closed.
void useDataDirectory(const QString &dir);

// Opens the combo box's list and clicks the entry at `row`.
void pickFromList(QComboBox *combo, int row);

// Selects everything in the widget's edit field and types `text` over it, key by key.
void typeOver(QWidget *edit, const QString &text);

// Selects everything in the widget's edit field and deletes it with the keyboard.
void clearByKeyboard(QWidget *edit);

} // namespace FormDriver
