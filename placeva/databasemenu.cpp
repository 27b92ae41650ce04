#include "databasemenu.h"

#include "datalocation.h"
#include "filemenu.h"
#include "form1.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>

namespace placeva {

void installDatabaseItems(Form1 &main)
{
    auto *menu = main.menuBar()->findChild<QMenu *>(QStringLiteral("fileMenu"));
    if (!menu)
        return;
    QAction *first = menu->actions().value(0);
    Form1 *window = &main;

    const QString caption = QStringLiteral(u"باز کردن بانک اطلاعات...");
    auto *open = new QAction(caption, menu);
    open->setObjectName(QStringLiteral("openDatabase"));
    open->setShortcut(QKeySequence::Open);
    QObject::connect(open, &QAction::triggered, window, [window, caption] {
        tk::handle(window, [window, caption] {
            const QString path = chooseFile(window, FileChoice{false, caption.chopped(3), QStringLiteral("Bank.db")});
            if (!path.isEmpty())
                window->openDatabase(path);
        });
    });
    menu->insertAction(first, open);

    // Rebuilt each time it opens: another Placeva may have added a file.
    auto *recent = new QMenu(QStringLiteral(u"پرونده هاي اخير"), menu);
    recent->setObjectName(QStringLiteral("recentDatabases"));
    recent->setLayoutDirection(Qt::RightToLeft);
    const auto rebuild = [recent, window] {
        recent->clear();
        const QStringList files = recentDatabases();
        for (const QString &file : files) {
            QAction *item = recent->addAction(QDir::toNativeSeparators(file));
            QObject::connect(item, &QAction::triggered, window,
                             [window, file] { tk::handle(window, [window, file] { window->openDatabase(file); }); });
        }
        recent->setEnabled(!files.isEmpty());
    };
    rebuild();
    QObject::connect(menu, &QMenu::aboutToShow, recent, rebuild);
    menu->insertMenu(first, recent);
    menu->insertSeparator(first);
}

} // namespace placeva
