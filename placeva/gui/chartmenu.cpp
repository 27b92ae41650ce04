#include "gui/chartparts.h"
#include "gui/charttexts.h"
#include "gui/chartwindow.h"

#include <QMenu>
#include <QMenuBar>

namespace placeva {

using namespace chart_texts;
using namespace chart_parts;

namespace {

// Keeps the chart window of one main window: at most one, closed with it.
class ChartMenu : public QObject
{
public:
    ChartMenu(Workspace &workspace, tk::Form &mainWindow)
        : QObject(&mainWindow), m_ws(workspace), m_mainWindow(mainWindow)
    {
        setObjectName(QStringLiteral("placevaChartMenu"));
    }
    ~ChartMenu() override { delete m_window.get(); }

    ChartWindow *window() const { return m_window.get(); }
    ChartWindow *open()
    {
        ChartWindow *w = m_window.ensure(m_ws, m_mainWindow);
        if (w) {
            w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
            w->showModeless();
        }
        return w;
    }

private:
    Workspace &m_ws;
    tk::Form &m_mainWindow;
    tk::FormSlot<ChartWindow> m_window;
};

ChartMenu *chartMenuOf(tk::Form &mainWindow)
{
    for (QObject *child : mainWindow.children())
        if (auto *menu = dynamic_cast<ChartMenu *>(child))
            return menu;
    return nullptr;
}

} // namespace

void installChartMenu(Workspace &workspace, tk::Form &mainWindow)
{
    auto *keeper = new ChartMenu(workspace, mainWindow);
    tk::Form *window = &mainWindow;
    QMenu *menu = window->menuBar()->addMenu(text(kChartMenu));
    QAction *item = menu->addAction(text(kChartMenuItem));
    QObject::connect(item, &QAction::triggered, keeper,
                     [window] { tk::handle(window, [window] { openChartWindow(*window); }); });
    // The chart shows the main window's pass; it goes when that window goes.
    QObject::connect(window, &tk::Form::closed, keeper, [keeper] {
        if (ChartWindow *w = keeper->window())
            w->close();
    });
}

ChartWindow *chartWindowOf(tk::Form &mainWindow)
{
    const ChartMenu *menu = chartMenuOf(mainWindow);
    return menu ? menu->window() : nullptr;
}

ChartWindow *openChartWindow(tk::Form &mainWindow)
{
    ChartMenu *menu = chartMenuOf(mainWindow);
    return menu ? menu->open() : nullptr;
}

} // namespace placeva
