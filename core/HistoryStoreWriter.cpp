#include "HistoryStoreWriter.h"

#include "LegacyHistoryImport.h"
#include "PrivateFile.h"

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace vorlex {

HistoryStoreWriter::HistoryStoreWriter() : thread([this] { run(); }) {}

HistoryStoreWriter::~HistoryStoreWriter()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
    if (last.fd >= 0)
        ::close(last.fd);
}

void HistoryStoreWriter::reportUnsaved(const QString& why)
{
    std::fprintf(stderr,
                 "vorlex: the history could not be saved (%s); it is kept in memory and saved with the next result\n",
                 qPrintable(why));
}

void HistoryStoreWriter::submit(Job job)
{
    {
        std::lock_guard lock(mutex);
        if (pending)
            inherit(job, *pending);
        pending = std::move(job);
    }
    wake.notify_all();
}

bool HistoryStoreWriter::newerWaiting(const QString& path)
{
    std::lock_guard lock(mutex);
    return pending && pending->path == path;
}

void HistoryStoreWriter::waitIdle()
{
    std::unique_lock lock(mutex);
    idle.wait(lock, [this] { return !pending && !busy; });
}

void HistoryStoreWriter::run()
{
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return pending || stopping; });
        if (!pending)
            return;
        Job job = std::move(*pending);
        pending.reset();
        busy = true;
        lock.unlock();
        perform(std::move(job));
        lock.lock();
        busy = false;
        idle.notify_all();
    }
}

// Bytes still to be kept aside, and an older list still to be emptied, stay with the write that
// replaces the one they came with.
void HistoryStoreWriter::inherit(Job& job, Job& earlier)
{
    if (earlier.path != job.path)
        return;
    if (!job.unreadable)
        job.unreadable = std::move(earlier.unreadable);
    job.clearLegacy = job.clearLegacy || earlier.clearLegacy;
}

void HistoryStoreWriter::perform(Job job)
{
    if (unfinished)
        inherit(job, *unfinished);
    unfinished.reset();
    QString why;
    // Never replace bytes that could not be read before a copy of them is safe.
    bool saved = !job.unreadable || keepAside(job.path + QStringLiteral(".unreadable"), *job.unreadable, &why);
    if (saved)
        job.unreadable.reset();
    saved = saved && writeStore(job, why);
    if (saved && job.clearLegacy) {
        saved = LegacyHistoryImport(job.path).clear(why);
        job.clearLegacy = !saved;
    }
    if (job.unreadable || job.clearLegacy) {
        job.entries.reset();
        unfinished = std::move(job);
    }
    if (!saved && !reported)
        reportUnsaved(why);
    reported = !saved;
}

// The number of entries at the front of the list that the last written file does not hold in the
// same order right after them; all of them when none can be copied.
qsizetype HistoryStoreWriter::freshEntries(const Job& job) const
{
    const QList<HistoryEntry>& list = *job.entries;
    struct stat current {};
    if (last.path != job.path || last.ids.isEmpty() || ::fstat(last.fd, &current) != 0 ||
        current.st_size != last.status.st_size || current.st_mtim.tv_sec != last.status.st_mtim.tv_sec ||
        current.st_mtim.tv_nsec != last.status.st_mtim.tv_nsec)
        return list.size(); // nothing written yet, or changed by someone else since
    qsizetype fresh = 0;
    while (fresh < list.size() && list.at(fresh).id != last.ids.first())
        ++fresh;
    const qsizetype kept = list.size() - fresh;
    if (kept == 0 || kept > last.ids.size())
        return list.size();
    for (qsizetype i = 0; i < kept; ++i) {
        if (list.at(fresh + i).id != last.ids.at(i))
            return list.size();
    }
    return fresh;
}

bool HistoryStoreWriter::writeStore(const Job& job, QString& why)
{
    PrivateFile file(job.path);
    Written next;
    next.path = job.path;
    file.write("{");
    if (job.entries) {
        const QList<HistoryEntry>& list = *job.entries;
        const qsizetype fresh = freshEntries(job);
        file.write(HistoryCodec::jsonValue(HistoryCodec::listKey) + ":[");
        next.start = file.size();
        for (qsizetype i = 0; i < fresh; ++i) {
            file.write(i > 0 ? "," : "");
            file.write(list.at(i).toJson());
            next.ids.append(list.at(i).id);
            next.ends.append(file.size());
        }
        if (fresh < list.size()) {
            file.write(fresh > 0 ? "," : "");
            const qsizetype kept = list.size() - fresh;
            const qint64 shift = file.size() - last.start;
            file.copy(last.fd, last.start, last.ends.at(kept - 1) - last.start);
            next.ids += last.ids.first(kept);
            for (qsizetype i = 0; i < kept; ++i)
                next.ends.append(last.ends.at(i) + shift);
        }
        file.write("]");
    }
    if (job.takenOver) {
        file.write(job.entries ? "," : "");
        file.write(HistoryCodec::takenOverMember(*job.takenOver));
    }
    file.write("}");
    // While a newer list waits, its commit flushes the folder: the wait stays as short as the
    // file's own flush allows, which is what a kill can cost.
    if (!file.commit(!newerWaiting(job.path))) {
        why = file.errorString();
        return false;
    }
    next.fd = ::fcntl(file.handle(), F_DUPFD_CLOEXEC, 0);
    if (next.fd < 0 || ::fstat(next.fd, &next.status) != 0)
        next.ids.clear(); // the next write encodes everything
    if (last.fd >= 0)
        ::close(last.fd);
    last = std::move(next);
    return true;
}

} // namespace vorlex
