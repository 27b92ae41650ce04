#pragma once
// The rows the statistics read, straight from the file through SQLite's own
// interface on a connection kept open between passes, and the stamp that tells
// for certain whether the file can have changed since an earlier look.
//
// The record sets (core/store.h) stay the reference: they resolve the columns
// and report every failure. This source only repeats their read, and only
// while the tables' layout is the one they resolved; anywhere it cannot be
// sure it declines, and the caller reads through the record sets.

#include "core/cells.h"

#include <QString>
#include <QVector>

#include <memory>

namespace placeva {

// What a database file looks like from outside and from SQLite: which file
// the path names (device, inode), its size and modification time, and the
// connection's data_version, which moves whenever another connection (of any
// process) commits. Two stamps that are both known and equal mean the file's
// contents did not change between them.
struct FileStamp
{
    bool known = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 dataVersion = 0;

    bool sameAs(const FileStamp &o) const
    {
        return known && o.known && device == o.device && inode == o.inode && size == o.size
            && modifiedNs == o.modifiedNs && dataVersion == o.dataVersion;
    }
};

class PassSource
{
public:
    PassSource();
    ~PassSource();
    PassSource(const PassSource &) = delete;
    PassSource &operator=(const PassSource &) = delete;

    // The file at `path` now; unknown where anything cannot be told.
    FileStamp stamp(const QString &path);
    // The tables' layout version now; -1 where it cannot be read.
    qint64 schemaVersion(const QString &path);

    // Which columns to read: as the record sets resolved them, valid while
    // the file's layout version is `schemaVersion`.
    struct Columns
    {
        QString applicantName, applicantAvg, referenceAvg, referenceRank;
        qint64 schemaVersion = -1;
    };
    void setColumns(const Columns &columns);
    // Both tables' rows in the order the record sets keep (by row id), the
    // cells as the record sets give them. False, with nothing changed, where
    // the read fails or the layout is no longer the one resolved.
    bool read(const QString &path, QVector<ApplicantRow> *applicants, QVector<ReferenceRow> *references);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace placeva
