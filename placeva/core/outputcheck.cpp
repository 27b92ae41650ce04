#include "core/outputcheck.h"

#include "numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace placeva {

namespace {

struct Identity
{
    dev_t device;
    ino_t inode;
    bool operator==(const Identity &) const = default;
};

std::optional<Identity> identityOf(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return Identity{st.st_dev, st.st_ino};
}

// The path with every symbolic link resolved, even one that points where
// nothing is yet; of a file not there, its folder resolved and its name.
QString resolved(const QString &path)
{
    QString p = QFileInfo(path).absoluteFilePath();
    for (int hop = 0; hop < 40; ++hop) {
        const QFileInfo fi(p);
        if (fi.exists())
            return fi.canonicalFilePath();
        if (!fi.isSymLink())
            break;
        p = fi.symLinkTarget();
    }
    const QFileInfo fi(p);
    const QString folder = QFileInfo(fi.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(p) : folder + QLatin1Char('/') + fi.fileName();
}

FileOutcome outcome(FileProblem problem, int error = 0)
{
    return FileOutcome{problem, error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QString()};
}

FileOutcome writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? outcomeOfErrno(errno) : outcome(FileProblem::DiskFull);
        done += n;
    }
    return FileOutcome{};
}

bool isOwnStandardOutput(const struct stat &st)
{
    struct stat out;
    return ::fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == st.st_dev && out.st_ino == st.st_ino;
}

} // namespace

DatabaseFile databaseFileNamed(const QString &path, const QString &databaseFile)
{
    if (isStandardOutput(path) || databaseFile.isEmpty())
        return DatabaseFile::None;
    const QString output = resolved(path);
    const std::optional<Identity> outputId = identityOf(path);
    // SQLite names its files after the path it opened, links resolved or not.
    const QStringList databases{QFileInfo(databaseFile).absoluteFilePath(), resolved(databaseFile)};
    for (DatabaseFile which :
         {DatabaseFile::Database, DatabaseFile::Journal, DatabaseFile::Wal, DatabaseFile::Shm}) {
        for (const QString &db : databases) {
            const QString name = db + databaseFileSuffix(which);
            if (resolved(name) == output)
                return which;
            if (outputId && identityOf(name) == outputId)
                return which;
        }
    }
    return DatabaseFile::None;
}

QString databaseFileSuffix(DatabaseFile which)
{
    switch (which) {
    case DatabaseFile::Journal: return QStringLiteral("-journal");
    case DatabaseFile::Wal: return QStringLiteral("-wal");
    case DatabaseFile::Shm: return QStringLiteral("-shm");
    case DatabaseFile::Database:
    case DatabaseFile::None: break;
    }
    return QString();
}

bool isStandardOutput(const QString &path)
{
    return path == QLatin1String("-");
}

FileOutcome outcomeOfErrno(int error)
{
    switch (error) {
    case 0: return FileOutcome{};
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return outcome(FileProblem::PermissionDenied, error);
    case ENOENT:
    case ENOTDIR: return outcome(FileProblem::NotFound, error);
    case ENAMETOOLONG: return outcome(FileProblem::NameTooLong, error);
    case EISDIR: return outcome(FileProblem::Directory, error);
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return outcome(FileProblem::DiskFull, error);
    default: return outcome(FileProblem::Other, error);
    }
}

FileOutcome checkOutput(const QString &path)
{
    if (isStandardOutput(path))
        return FileOutcome{};
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::stat(native.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return outcome(FileProblem::Directory);
        if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))
            return ::access(native.constData(), W_OK) == 0 ? FileOutcome{} : outcomeOfErrno(errno);
        if (!S_ISREG(st.st_mode))
            return outcome(FileProblem::NotRegular);
        if (::access(native.constData(), W_OK) != 0)
            return outcomeOfErrno(errno);
    } else if (errno != ENOENT) {
        return outcomeOfErrno(errno);
    }
    // The file is written beside its place first: its folder must take it.
    const QFileInfo place(resolved(path));
    if (QFile::encodeName(place.fileName()).size() > NAME_MAX)
        return outcome(FileProblem::NameTooLong, ENAMETOOLONG);
    const QByteArray folder = QFile::encodeName(place.absolutePath());
    struct stat ds;
    if (::stat(folder.constData(), &ds) != 0)
        return outcomeOfErrno(errno);
    if (!S_ISDIR(ds.st_mode))
        return outcome(FileProblem::NotFound, ENOTDIR);
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return outcomeOfErrno(errno);
    return FileOutcome{};
}

FileOutcome writeOutput(const QString &path, const QByteArray &bytes)
{
    if (isStandardOutput(path)) {
        std::fflush(stdout);
        return writeAll(STDOUT_FILENO, bytes);
    }
    if (const FileOutcome checked = checkOutput(path); !checked.ok())
        return checked;
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    const bool exists = ::stat(native.constData(), &st) == 0;
    // Standard output named by a path (/dev/stdout) is written where it
    // stands, even when it is a file the shell opened.
    if (exists && isOwnStandardOutput(st)) {
        std::fflush(stdout);
        return writeAll(STDOUT_FILENO, bytes);
    }
    if (exists && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        const int fd = ::open(native.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            return outcomeOfErrno(errno);
        FileOutcome written = writeAll(fd, bytes);
        if (::close(fd) != 0 && written.ok())
            written = outcomeOfErrno(errno);
        return written;
    }

    QSaveFile file(path);
    // Never write in place: a half-written file would replace a good one.
    file.setDirectWriteFallback(false);
    errno = 0;
    // Unbuffered, so that a write the disk took only in part shows in its
    // count: a buffered flush would let a short file through as complete.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        FileOutcome failed = outcomeOfErrno(errno);
        if (failed.ok())
            failed = FileOutcome{FileProblem::Other, QString()};
        // The folder is there (checked above) but takes no new file (/proc):
        // the system's "no such file" would only mislead.
        if (failed.problem == FileProblem::NotFound)
            return FileOutcome{FileProblem::PermissionDenied, QString()};
        failed.systemText = file.errorString();
        return failed;
    }
    errno = 0;
    if (file.write(bytes) != bytes.size() || file.size() != bytes.size()) {
        const int error = errno;
        FileOutcome failed = error != 0 ? outcomeOfErrno(error) : outcome(FileProblem::DiskFull);
        if (file.error() != QFileDevice::NoError)
            failed.systemText = file.errorString();
        file.cancelWriting();
        return failed;
    }
    errno = 0;
    if (!file.commit()) {
        FileOutcome failed = outcomeOfErrno(errno);
        if (failed.ok())
            failed.problem = FileProblem::Other;
        failed.systemText = file.errorString();
        return failed;
    }
    return FileOutcome{};
}

FactorCheck checkFactor(const QString &text, double *value)
{
    double v = 0;
    try {
        v = common::strictNumber(text);
    } catch (const common::NumberError &e) {
        return e.kind() == common::ErrorKind::Overflow ? FactorCheck::OutOfRange : FactorCheck::NotNumber;
    }
    if (!std::isfinite(v) || v <= 0 || v > kMaxFactor)
        return FactorCheck::OutOfRange;
    if (value)
        *value = v;
    return FactorCheck::Ok;
}

QString cutForMessage(const QString &text, int most)
{
    if (text.size() <= most)
        return text;
    qsizetype cut = most;
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QChar(0x2026);
}

} // namespace placeva
