#pragma once

// The thread that writes the history store, so that adding never waits for the disk however large
// the history is.

#include "HistoryCodec.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include <sys/stat.h>

namespace vorlex {

// Each write an atomic replace. Only the newest state waits: a write superseded before it starts is
// skipped. The entries a write keeps from the one before are copied from that one's file, not
// encoded again. A write that fails leaves the file as it was and is said once on standard error
// (until one succeeds); what it left to do (bytes to keep aside, the older version's list to empty)
// goes with the next write to the same store.
class HistoryStoreWriter {
public:
    struct Job {
        QString path;
        std::optional<QList<HistoryEntry>> entries; // nothing: the list was removed
        std::optional<QByteArray> unreadable;       // to keep aside first, as path.unreadable
        bool clearLegacy = false;                   // empty the older version's list after
        std::optional<QSet<QUuid>> takenOver;       // the older version's entries dealt with
    };

    HistoryStoreWriter();
    ~HistoryStoreWriter(); // after what waits is written
    HistoryStoreWriter(const HistoryStoreWriter&) = delete;
    HistoryStoreWriter& operator=(const HistoryStoreWriter&) = delete;

    void submit(Job job);
    // Returns once everything submitted so far is done.
    void waitIdle();

    // On standard error: the history is not saved, and why.
    static void reportUnsaved(const QString& why);

private:
    // What the file at path holds as this thread last wrote it, read through its own descriptor (a
    // file put in its place later does not change it): the entries' ids, where the list starts and
    // where each entry ends.
    struct Written {
        QString path;
        int fd = -1;
        struct stat status {};
        QList<QUuid> ids;
        qint64 start = 0;
        QList<qint64> ends;
    };

    bool newerWaiting(const QString& path);
    void run();
    static void inherit(Job& job, Job& earlier);
    void perform(Job job);
    qsizetype freshEntries(const Job& job) const;
    bool writeStore(const Job& job, QString& why);

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::optional<Job> pending;
    bool busy = false;
    bool stopping = false;
    // The writer thread's own.
    Written last;
    std::optional<Job> unfinished; // what a failed write left to do
    bool reported = false;         // the failure is said once, until a write succeeds
    std::thread thread;            // last: starts once the rest is ready
};

} // namespace vorlex
