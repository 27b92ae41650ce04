#include "cli/cli.h"
#include "core/datalocation.h"
#include "core/workspace.h"
#include "gui/mainwindow.h"
#include "startup.h"
#include "toolkit.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTimer>

namespace {

// The user's data folder and the settings are named after these.
void nameApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("kardani-tools"));
    QCoreApplication::setApplicationName(QStringLiteral("placeva"));
}

placeva::DataChoice chooseData(const QString &commandLineFile)
{
    return placeva::chooseDatabase(commandLineFile, QCoreApplication::applicationDirPath(),
                                   QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

int runCommand(QCoreApplication &app, const placeva::cli::Options &options)
{
    nameApplication();
    tk::loadQtTranslation(app);
    const placeva::DataChoice data = chooseData(options.database);
    if (!data.error.isEmpty() || !data.notice.isEmpty())
        tk::printError(data.error + data.notice);
    placeva::Workspace workspace(data.file);
    workspace.setOrigin(data);
    return placeva::cli::run(options, workspace);
}

} // namespace

int main(int argc, char *argv[])
{
    const QStringList raw = tk::commandLineArguments(argc, argv);
    if (const auto status = placeva::cli::answerInfo(raw))
        return *status;

    // Commands and wrong arguments need no window: exports and imports not
    // even a platform plugin, the report only an offscreen one to paint with.
    if (placeva::cli::runsWithoutWindow(raw)) {
        const placeva::cli::Parsed parsed = placeva::cli::parse(placeva::cli::withoutQtOptions(raw));
        if (parsed.exitNow)
            return *parsed.exitNow;
        if (placeva::cli::paints(parsed.options.command)) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            QGuiApplication app(argc, argv);
            return runCommand(app, parsed.options);
        }
        QCoreApplication app(argc, argv);
        return runCommand(app, parsed.options);
    }

    tk::FontWarmUp fonts;
    QApplication app(argc, argv);
    const tk::FontWarmUp::Listing listing = fonts.applicationMade();
    nameApplication();
    const placeva::cli::Parsed parsed = placeva::cli::parse(app.arguments().mid(1));
    if (parsed.exitNow)
        return *parsed.exitNow;
    tk::setupApplication(app);
    tk::quitAfterFirstWindowIfAsked(app);

    const placeva::DataChoice data = chooseData(parsed.options.database);
    fonts.awaitConfiguration();
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
