#pragma once

#include "app/MessageBox.h"

#include <QStringList>

#include <memory>

class Form1;
class QComboBox;
class QWidget;

// Drives the real window as a person does: keys and clicks on the real widgets, picks from a
// combo box's open list.
namespace FormDriver {

// Points the tool at an embedded data directory, with the windows' advice on faults, and records
// message boxes instead of waiting for them to be closed.
void useDataDirectory(const QString &dir);

// Creates the window and shows it; null when it is not exposed in time.
std::unique_ptr<Form1> openWindow();

// Opens the combo box's list and clicks the entry at `row`.
void pickFromList(QComboBox *combo, int row);

// Selects everything in the widget's (or its combo box's) edit field and types `text` over it,
// key by key; an empty `text` deletes the selection with the Delete key.
void typeOver(QWidget *edit, const QString &text);

// The entries of the combo box's list, in order.
QStringList entries(const QComboBox *combo);

// A combo box as the user sees it: its entries joined by ",", then "|" and its text.
QString seen(const QComboBox *combo);

// A box's icon as the records of boxes give it: "16" for the critical-stop icon, "0" for none.
QString iconText(MessageBox::Icon icon);

// The message boxes recorded since the last call, in order, each as "icon|title|prompt".
QStringList boxesShown();

}  // namespace FormDriver
