#pragma once
// The file menu's first items: opening another database file and the last
// files opened.

namespace placeva {

class Form1;

// Puts the items at the top of the main window's file menu.
void installDatabaseItems(Form1 &main);

} // namespace placeva
