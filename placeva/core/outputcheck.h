#pragma once
// Checks made before a file is written or read beside the open database:
// whether a path is the database itself or one of SQLite's files beside it
// (by the file's identity, whatever the spelling), what kind of file an
// output is, writing the output whole or in place, the change factor a
// script gives, and quoting long texts in messages. Results are kinds and
// numbers; the windows and the command line word them. No widgets.

#include <QByteArray>
#include <QString>

#include <optional>

namespace placeva {

// Which of the database's files a path names.
enum class DatabaseFile {
    None,
    Database,
    Journal, // "-journal": SQLite's rollback journal, deleted on the next open
    Wal,
    Shm
};

// Compares after resolving symbolic links on both sides; an existing file is
// compared by device and inode, so that a hard link is caught too.
DatabaseFile databaseFileNamed(const QString &path, const QString &databaseFile);
// The suffix SQLite gives that file ("" for the database itself).
QString databaseFileSuffix(DatabaseFile which);

// "-" as an output: standard output.
bool isStandardOutput(const QString &path);

enum class FileProblem {
    None,
    PermissionDenied,
    NotFound,
    NameTooLong,
    NotRegular, // exists and is neither a regular file, a character device nor a FIFO
    Directory,
    DiskFull,
    Other
};

struct FileOutcome
{
    FileProblem problem = FileProblem::None;
    QString systemText; // the system's own (English) words, when it gave any
    bool ok() const { return problem == FileProblem::None; }
};

// The problem an errno value means.
FileOutcome outcomeOfErrno(int error);

// Whether `path` can be written, checked without writing anything: a
// regular file (or a new one) needs its folder writable, a character device
// or FIFO needs to be writable itself, anything else is refused.
FileOutcome checkOutput(const QString &path);

// Writes the whole output. A regular file (or a new one) is written beside
// and then put in its place, so a failure leaves what was there; a
// character device or FIFO (standard output included, as "-") is written in
// place, never replaced.
FileOutcome writeOutput(const QString &path, const QByteArray &bytes);

// The change factor a script gives: a number by the strict conversion
// (Persian and Arabic-Indic digits and the Arabic decimal separator read),
// finite, above 0 and at most kMaxFactor.
inline constexpr double kMaxFactor = 1000;
enum class FactorCheck {
    Ok,
    NotNumber,
    OutOfRange
};
FactorCheck checkFactor(const QString &text, double *value = nullptr);

// A text quoted in a message: at most `most` characters, cut with "…".
inline constexpr int kQuotedMost = 60;
QString cutForMessage(const QString &text, int most = kQuotedMost);

} // namespace placeva
