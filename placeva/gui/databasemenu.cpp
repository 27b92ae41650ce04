#include "gui/databasemenu.h"

#include "bidi.h"
#include "core/datalocation.h"
#include "gui/filemenu.h"
#include "toolkit.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>

#include <memory>
#include <utility>

namespace placeva {

void installDatabaseItems(tk::Form &mainWindow, std::function<bool(const QString &)> openFile)
{
    auto *menu = mainWindow.menuBar()->findChild<QMenu *>(QStringLiteral("fileMenu"));
    if (!menu)
        return;
    QAction *first = menu->actions().value(0);
    const auto link = std::make_shared<std::function<bool(const QString &)>>(std::move(openFile));
    tk::Form *window = &mainWindow;

    const QString caption = QStringLiteral(u"باز کردن بانک اطلاعات...");
    auto *open = new QAction(caption, menu);
    open->setObjectName(QStringLiteral("openDatabase"));
    open->setShortcut(QKeySequence::Open);
    QObject::connect(open, &QAction::triggered, window, [link, window, caption] {
        tk::handle(window, [link, window, caption] {
            const QString path =
                chooseFile(window, FileChoice{false, caption.chopped(3), QStringLiteral("Bank.db")});
            if (!path.isEmpty())
                (*link)(path);
        });
    });
    menu->insertAction(first, open);

    // Rebuilt each time it opens: another Placeva may have added a file.
    auto *recent = new QMenu(QStringLiteral(u"پرونده هاي اخير"), menu);
    recent->setObjectName(QStringLiteral("recentDatabases"));
    recent->setLayoutDirection(Qt::RightToLeft);
    const auto rebuild = [recent, link, window] {
        recent->clear();
        const QStringList files = recentDatabases();
        for (const QString &file : files) {
            // The whole path in its own order; an ampersand in it is no mnemonic.
            QAction *item = recent->addAction(
                common::isolate(QDir::toNativeSeparators(file)).replace(QLatin1Char('&'), QStringLiteral("&&")));
            QObject::connect(item, &QAction::triggered, window, [link, window, file] {
                tk::handle(window, [link, file] { (*link)(file); });
            });
        }
        recent->setEnabled(!files.isEmpty());
    };
    rebuild();
    QObject::connect(menu, &QMenu::aboutToShow, recent, rebuild);
    menu->insertMenu(first, recent);
    menu->insertSeparator(first);
}

} // namespace placeva
