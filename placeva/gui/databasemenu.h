#pragma once
// The file menu's first items: opening another database file and the last
// files opened.

#include "gui/mainwindowlink.h"

namespace placeva {

// Puts the items at the top of the main window's file menu.
void installDatabaseItems(MainWindowLink &main);

} // namespace placeva
