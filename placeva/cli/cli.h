#pragma once
// Placeva's command line: the help, the version, the database to start on,
// and the file menu's exports, report and imports run without a window for
// counsellors' scripts. Exit status 0 on success, 1 for refused input, 2 for
// a usage error; messages in Persian on standard error, worded as the
// windows word them.

#include <QString>
#include <QStringList>

#include <optional>

namespace placeva {
class Workspace;
}

namespace placeva::cli {

inline constexpr int kOk = 0;
inline constexpr int kRefused = 1;
inline constexpr int kUsage = 2;

enum class Command {
    None,
    ExportResults,
    ExportApplicants,
    ExportReferences,
    Report,
    ImportApplicants,
    ImportReferences,
    ImportChoices,
    ExportChoices,
    ChoiceList,
    Sheet,
    Sheets,
};

struct Options
{
    QString database; // empty: where Placeva keeps its data
    Command command = Command::None;
    QString file; // the command's output or input
    std::optional<QString> factor;
    bool skipRefused = false;
    bool skipDuplicates = false;
    // --choice-list and --sheet: the applicant's name and the priorities separated by "|".
    std::optional<QString> applicant;
    std::optional<QString> choices;
};

struct Parsed
{
    Options options;
    std::optional<int> exitNow; // help, version or a usage error, already printed
};

// Before the application object exists: --help and --version answered.
std::optional<int> answerInfo(const QStringList &args);
// True when the arguments ask for work without a window (or are wrong):
// the program then needs no display.
bool runsWithoutWindow(const QStringList &args);
// The arguments without the program's name (and without Qt's own options).
Parsed parse(const QStringList &args);
// The arguments without Qt's own options ("-style fusion"), for a command
// that makes no application object that would take them out.
QStringList withoutQtOptions(const QStringList &args);
// Whether the command paints (the report, the sheets): it needs an offscreen platform.
bool paints(Command command);
// Runs a command on the workspace's database, the statistics pass with the
// given change factor (or the main window's first one); an application object
// must exist.
int run(const Options &options, Workspace &workspace);

} // namespace placeva::cli
