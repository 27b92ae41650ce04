#pragma once
// What every program does with its command line before a window opens, and
// the switch that lets a script start a program and see its first window.

#include "toolkit.h"

#include <QApplication>
#include <QString>
#include <QStringList>

#include <optional>

class QCoreApplication;

namespace tk {

struct ProgramInfo
{
    QString name;    // as typed on the command line: ranqor, placeva, tallimo
    QString version; // the project's version
    QString helpFa;  // the Persian help text, options included
    QString helpEn;  // the same in English
};

// The arguments as the program got them, without the program's name.
QStringList commandLineArguments(int argc, char **argv);

// --help (-h) prints both help texts on standard output; --version (-v) the
// name and version. Returns the exit status when the program should end now:
// 0 after those, 2 (with a Persian message on standard error) for an option
// the program does not know. Arguments that do not start with "--" are left
// to Qt (-platform and the like).
std::optional<int> handleInfoOptions(const QStringList &args, const ProgramInfo &info);

// Writes a line on standard error in UTF-8.
void printError(const QString &text);
void printOut(const QString &text);

// With KT_QUIT_AFTER_FIRST_WINDOW=1 in the environment the program ends with
// status 0 as soon as its first window has been drawn on the screen: the
// package's smoke test starts each program this way.
void quitAfterFirstWindowIfAsked(QCoreApplication &app);

// The whole start of a program with one main window: --help and --version
// answered, the application set up, the window of type W loaded and shown,
// the event loop run. Returns the exit status: 1 when the window could not
// load, 0 when it ended the program while loading.
template <class W> int runSingleWindowProgram(int argc, char **argv, const ProgramInfo &info)
{
    if (const std::optional<int> status = handleInfoOptions(commandLineArguments(argc, argv), info))
        return *status;
    QApplication app(argc, argv);
    setupApplication(app);
    quitAfterFirstWindowIfAsked(app);
    FormSlot<W> first;
    W *form = first.ensure();
    if (!form)
        return programEnded() ? 0 : 1;
    form->showModeless();
    return programEnded() ? 0 : app.exec();
}

} // namespace tk
