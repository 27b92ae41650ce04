#pragma once
// What the windows and menus opened from the main window may ask of it,
// without knowing its controls: the window itself (to parent messages and
// menus), the open database, re-reading, and the last statistics pass.

#include <QString>
#include <QtGlobal>

namespace tk {
class Form;
}

namespace placeva {

class LastPass;

class MainWindowLink
{
public:
    virtual ~MainWindowLink() = default;

    virtual tk::Form &window() = 0;
    virtual const LastPass &lastPass() const = 0;
    // The folder holding Bank.db, or the database file itself.
    virtual QString folder() const = 0;
    // Opens another database file, checked as at start; true when opened.
    virtual bool openDatabase(const QString &location) = 0;
    // Re-reads both tables and runs the statistics pass; false (after telling
    // the user) when a table could not be read.
    virtual bool reread() = 0;
    // Brings the main window forward and highlights applicant k (in the order
    // of the last pass) in all its lists.
    virtual void selectApplicant(qsizetype k) = 0;
};

} // namespace placeva
