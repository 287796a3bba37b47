#pragma once
// How the menu table's items look in the menu bar: keyboard mnemonics, the shortcuts shown beside
// the items, and the "..." of items that open a dialog.

#include <QKeySequence>
#include <QList>
#include <QString>

#include "app/menus.h"

class QAction;
class QWidget;

namespace qvx::gui {

// The shortcut an item carries (Ctrl+S Sensor Info, Ctrl+H Hyperterminal, Ctrl+U Firmware Upload,
// F1 help); empty for the others.
QKeySequence MenuShortcut(MenuItem item);

// The item's label from the last part of its table path: a literal '&' is escaped, and items that
// ask for more before they act end in "...".
QString MenuItemLabel(MenuItem item, const QString& table_text);

// Gives every action of the menu or menu bar a mnemonic of its own, preferring the initials of
// its words; labels that already carry one keep it. Sub-menus are handled too.
void AssignMnemonics(QWidget* menu_or_bar);

// One label's mnemonic: the first letter of a word, else any letter, not in used (upper case).
// Returns the label with the '&' marker in place; the label is unchanged when no letter is free.
QString WithMnemonic(const QString& escaped_label, QString& used);

}  // namespace qvx::gui
