#include "ProcessTerminal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vector>

namespace vorlex {

namespace {

// A terminal's master is held by the window's process (VTE, Konsole, xterm) or by a helper it starts
// (a terminal server, a shell-running child); deeper than this is the program inside the terminal.
constexpr int maximumDepth = 3;

bool hasMasterOpen(const QString& processDir)
{
    QDir fds(processDir + QStringLiteral("/fd"));
    const QStringList entries = fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        const QString target = QFile::symLinkTarget(fds.filePath(entry));
        if (target == u"/dev/ptmx" || target == u"/dev/pts/ptmx")
            return true;
    }
    return false;
}

// The children the kernel lists per thread (CONFIG_PROC_CHILDREN, on in Debian's kernels).
std::vector<qint64> childrenOf(const QString& processDir)
{
    std::vector<qint64> children;
    QDir tasks(processDir + QStringLiteral("/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile list(tasks.filePath(task) + QStringLiteral("/children"));
        if (!list.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& id : list.readAll().split(' ')) {
            bool ok = false;
            const qint64 child = id.trimmed().toLongLong(&ok);
            if (ok && child > 0)
                children.push_back(child);
        }
    }
    return children;
}

} // namespace

bool holdsPseudoTerminal(qint64 pid)
{
    if (pid <= 0)
        return false;
    std::vector<qint64> level{pid};
    for (int depth = 0; depth < maximumDepth && !level.empty(); ++depth) {
        std::vector<qint64> next;
        for (const qint64 process : level) {
            const QString dir = QStringLiteral("/proc/") + QString::number(process);
            if (hasMasterOpen(dir))
                return true;
            const std::vector<qint64> children = childrenOf(dir);
            next.insert(next.end(), children.begin(), children.end());
        }
        level = std::move(next);
    }
    return false;
}

} // namespace vorlex
