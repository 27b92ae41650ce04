#pragma once
// The file menu's first items: opening another database file and the last
// files opened.

#include <QString>

#include <functional>

namespace tk {
class Form;
}

namespace placeva {

// Puts the items at the top of the main window's file menu; `open` opens a
// file chosen (checked, told, re-read) and says whether it did.
void installDatabaseItems(tk::Form &window, std::function<bool(const QString &)> open);

} // namespace placeva
