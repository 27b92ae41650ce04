#include "gui/cli.h"
#include "core/datalocation.h"
#include "gui/mainwindow.h"
#include "startup.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

int main(int argc, char *argv[])
{
    const QStringList raw = tk::commandLineArguments(argc, argv);
    if (const auto status = placeva::cli::answerInfo(raw))
        return *status;
    // Commands and wrong arguments need no display.
    if (placeva::cli::runsWithoutWindow(raw))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    // The user's data folder and the settings are named after these.
    QCoreApplication::setOrganizationName(QStringLiteral("kardani-tools"));
    QCoreApplication::setApplicationName(QStringLiteral("placeva"));
    const placeva::cli::Parsed parsed = placeva::cli::parse(app.arguments().mid(1));
    if (parsed.exitNow)
        return *parsed.exitNow;
    tk::setupApplication(app);
    tk::quitAfterFirstWindowIfAsked(app);

    const placeva::DataChoice data =
        placeva::chooseDatabase(parsed.options.database, QCoreApplication::applicationDirPath(),
                                QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    if (parsed.options.command != placeva::cli::Command::None) {
        if (!data.error.isEmpty() || !data.notice.isEmpty())
            tk::printError(data.error + data.notice);
        placeva::Workspace workspace(data.file);
        workspace.setOrigin(data);
        return placeva::cli::run(parsed.options, workspace);
    }
    if (!data.error.isEmpty())
        tk::MsgBox::show(nullptr, QStringLiteral(u"خطا"), data.error, tk::MsgBox::Critical);

    placeva::Workspace workspace(data.file);
    workspace.setOrigin(data);
    tk::FormSlot<placeva::MainWindow> main;
    placeva::MainWindow *form = main.ensure(workspace);
    if (!form)
        return 1;
    placeva::rememberDatabase(data.file);
    form->showModeless();
    if (!data.notice.isEmpty())
        QTimer::singleShot(0, form, [form, notice = data.notice] {
            tk::MsgBox::show(form, QStringLiteral("Placeva"), notice, tk::MsgBox::Information);
        });
    return tk::programEnded() ? 1 : app.exec();
}
