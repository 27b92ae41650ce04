#pragma once
// The sentences about files the menus and the command line write or read:
// why a file could not be written, and why an output or an input beside the
// open database is refused.

#include "core/outputcheck.h"

#include <QByteArray>
#include <QString>

namespace placeva {

// A path, file name or Latin word inside a Persian sentence, kept in its own
// direction.
QString isolated(const QString &text);
// A path as messages show it: absolute, "-" (standard output) as it is.
QString shownFile(const QString &path);
// Why, in Persian, with the system's own words at most in parentheses.
QString fileReason(const FileOutcome &outcome);
// The file at `path` cannot be written, and why.
QString outputRefusalText(const QString &path, const FileOutcome &outcome);
// An output (or, with `input`, an import's file) that is the open database
// or one of SQLite's files beside it.
QString databaseClashText(const QString &path, const QString &databaseFile, DatabaseFile which, bool input);

// Writes the whole output (see writeOutput); the message for the user, empty
// on success.
QString writeFileWhole(const QString &path, const QByteArray &bytes);

// The import's file has a header and no rows.
QString noRowsText();
// Rows of the file identical to rows already stored.
QString duplicateRowsText(qsizetype count);

} // namespace placeva
