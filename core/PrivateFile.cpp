#include "PrivateFile.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlex {

namespace {

// Each missing folder down to folder, owner-only as the XDG rules ask whatever the umask (which
// would make it 0500 or 0000); existing ones stay as they are.
bool makeFolders(const QString& folder)
{
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !makeFolders(parent))
        return false;
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), S_IRWXU) != 0)
        return errno == EEXIST;
    return ::chmod(name.constData(), S_IRWXU) == 0;
}

// What a killed write leaves: the temporary file of one of the program's files (or of a kept copy),
// exactly as the writers name it: mkostemp's six letters and digits, or QSaveFile's six letters
// (QSettings, for the older version's file).
void removeLeftovers(const QString& folder)
{
    static const QRegularExpression leftover(
        QStringLiteral(R"(^(settings\.json|defaults\.json|defaults\.conf|remote-desktop\.token))"
                       R"((\.bad|\.unreadable)?(\.[0-9]+)?\.[A-Za-z0-9]{6}$)"));
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!leftover.match(name).hasMatch())
            continue;
        const QByteArray file = QFile::encodeName(dir.filePath(name));
        const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) // a write under way holds its lock
            ::unlink(file.constData());
        ::close(fd);
    }
}

} // namespace

QString configHome()
{
    const QString set = qEnvironmentVariable("XDG_CONFIG_HOME");
    return set.isEmpty() ? QDir::home().filePath(QStringLiteral(".config")) : set;
}

QString configFolder()
{
    const QString folder = QDir(configHome()).filePath(QStringLiteral("VorlexMac"));
    static QMutex mutex;
    static QSet<QString> prepared;
    const QMutexLocker lock(&mutex);
    if (!prepared.contains(folder)) {
        prepared.insert(folder);
        makeFolders(folder); // a failure shows up at the first write
        removeLeftovers(folder);
    }
    return folder;
}

PrivateFile::PrivateFile(QString target) : path(std::move(target))
{
    if (!makeFolders(QFileInfo(path).absolutePath())) {
        fail("create the folder of");
        return;
    }
    temporary = QFile::encodeName(path) + ".XXXXXX";
    fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        fail("create a temporary file for");
        return;
    }
    // Locked while it is written, so that a start meanwhile does not take it for a killed write's.
    ::flock(fd, LOCK_EX);
    if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0)
        fail("set the mode of");
}

PrivateFile::~PrivateFile()
{
    if (fd < 0)
        return;
    if (!committed)
        ::unlink(temporary.constData());
    ::close(fd);
}

bool PrivateFile::fail(const char* step)
{
    const int code = errno;
    if (error.isEmpty())
        error = QStringLiteral("could not %1 %2: %3")
                    .arg(QLatin1String(step), path, QString::fromLocal8Bit(std::strerror(code)));
    return false;
}

bool PrivateFile::write(QByteArrayView bytes)
{
    if (!error.isEmpty())
        return false;
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t done = ::write(fd, data, size_t(left));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return fail("write");
        data += done;
        left -= done;
        written += done;
    }
    return true;
}

bool PrivateFile::copy(int source, qint64 offset, qint64 length)
{
    off_t from = offset;
    bool inKernel = true;
    QByteArray buffer;
    while (error.isEmpty() && length > 0) {
        ssize_t done = -1;
        if (inKernel) {
            done = ::copy_file_range(source, &from, fd, nullptr, size_t(length), 0);
            if (done < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                inKernel = false; // an older kernel or a file system that cannot: through memory
                continue;
            }
        } else {
            buffer.resize(qMin<qint64>(length, 1 << 20));
            done = ::pread(source, buffer.data(), size_t(buffer.size()), from);
        }
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = ENODATA; // the source ended early
            return fail("copy into");
        }
        if (inKernel) {
            written += done;
        } else {
            write(QByteArrayView(buffer.constData(), done));
            from += done;
        }
        length -= done;
    }
    return error.isEmpty();
}

bool PrivateFile::commit(bool flushFolder)
{
    if (!error.isEmpty())
        return false;
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return fail("check");
    if (status.st_size != written) {
        errno = EIO;
        return fail("write all of");
    }
    // A file system without fsync still gets the file; one whose fsync fails (EIO, ENOSPC) does not.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP)
        return fail("flush");
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0)
        return fail("replace");
    committed = true;
    ::flock(fd, LOCK_UN); // its temporary name is gone
    if (!flushFolder)
        return true;
    // The new name on disk too; the file is in place either way.
    const int folder =
        ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* why)
{
    PrivateFile file(path);
    if (file.write(bytes) && file.commit())
        return true;
    if (why)
        *why = file.errorString();
    return false;
}

bool keepAside(const QString& name, const QByteArray& bytes, QString* why)
{
    const QFileInfo info(name);
    QDir folder = info.dir();
    const QString first = info.fileName();
    static const QRegularExpression number(QStringLiteral(R"(^\.([2-9]|[1-9][0-9]{1,8})$)"));
    QMap<int, QString> copies; // by number; name itself is the first
    for (const QString& entry : folder.entryList({first + QLatin1Char('*')}, QDir::AllEntries | QDir::Hidden |
                                                                                 QDir::System | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = number.match(entry.mid(first.size()));
        if (entry == first || match.hasMatch())
            copies.insert(entry == first ? 1 : match.captured(1).toInt(), entry);
    }
    const int next = copies.isEmpty() ? 1 : copies.lastKey() + 1;
    const QString target = next == 1 ? first : first + QLatin1Char('.') + QString::number(next);
    if (!writePrivateFile(folder.filePath(target), bytes, why))
        return false; // the earlier copies stay
    copies.insert(next, target);
    while (copies.size() > keptCopies)
        folder.remove(copies.take(copies.firstKey()));
    return true;
}

} // namespace vorlex
