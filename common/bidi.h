#pragma once
// Left-to-right runs inside Persian text: a path, a file name, Latin input, a
// signed number or a date keeps its own order when set off by first-strong
// isolates (U+2068 ... U+2069); the surrounding text is not reordered by it.

#include <QDir>
#include <QString>

namespace common {

inline QString isolate(const QString &run)
{
    // A run that does not start right to left also gets a left-to-right mark
    // inside: without it Qt's text layout leaves a leading minus sign on the
    // right of its digits ("742-") when the run stands in Persian text.
    for (QChar c : run) {
        const QChar::Direction d = c.direction();
        if (d == QChar::DirR || d == QChar::DirAL)
            return QChar(0x2068) + run + QChar(0x2069);
        if (d == QChar::DirL)
            break;
    }
    return QChar(0x2068) + (QChar(0x200E) + run) + QChar(0x2069);
}

// A path as the user's system writes it, with one separator between its
// parts, isolated for Persian text.
inline QString isolatedPath(const QString &path)
{
    return isolate(QDir::toNativeSeparators(QDir::cleanPath(path)));
}

} // namespace common
