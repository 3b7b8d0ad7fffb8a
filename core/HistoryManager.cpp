#include "HistoryManager.h"

#include "PrivateFile.h"
#include "TextLimit.h"
#include "TextTerms.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSettings>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlex {

namespace {

// 2001-01-01 00:00:00 UTC, the reference date of the stored timestamps, in Unix milliseconds.
constexpr qint64 referenceDateMs = 978307200000;
// Far beyond any real date, still well inside what QDateTime represents.
constexpr double maxReferenceSeconds = 1e12;

const QString kId = QStringLiteral("id");
const QString kType = QStringLiteral("type");
const QString kOriginalText = QStringLiteral("originalText");
const QString kResultText = QStringLiteral("resultText");
const QString kTimestamp = QStringLiteral("timestamp");
// Beside the list: the ids of the older version's entries taken over already.
const QString takenOverKey = QStringLiteral("takenOverIds");

// One JSON value written the way QJsonDocument writes it, without the array around it.
QByteArray jsonValue(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray member(const QString& key, const QJsonValue& value)
{
    return jsonValue(key) + ':' + jsonValue(value);
}

std::optional<QList<HistoryEntry>> decodeList(const QJsonArray& array)
{
    QList<HistoryEntry> entries;
    for (const QJsonValue& element : array) {
        std::optional<HistoryEntry> entry = HistoryEntry::fromJson(element);
        if (!entry)
            return std::nullopt;
        entries.append(std::move(*entry));
    }
    return entries;
}

QString legacyPathOf(const QString& store)
{
    return QFileInfo(store).dir().filePath(QStringLiteral("defaults.conf"));
}

void reportUnsaved(const QString& why)
{
    std::fprintf(stderr,
                 "vorlex: the history could not be saved (%s); it is kept in memory and saved with the next result\n",
                 qPrintable(why));
}

// The ids of the older version's entries already taken over, or nothing where the store does not say
// (written before it kept them).
std::optional<QSet<QUuid>> takenOverIds(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    QSet<QUuid> ids;
    for (const QJsonValue& id : value.toArray())
        ids.insert(QUuid::fromString(id.toString()));
    return ids;
}

} // namespace

QByteArray HistoryEntry::toJson() const
{
    const double seconds = double(timestamp.toMSecsSinceEpoch() - referenceDateMs) / 1000.0;
    QByteArray json = "{";
    json += member(kId, id.toString(QUuid::WithoutBraces).toUpper()) + ',';
    json += member(kType, type) + ',';
    json += member(kOriginalText, originalText) + ',';
    json += member(kResultText, resultText) + ',';
    json += member(kTimestamp, seconds);
    json += '}';
    return json;
}

std::optional<HistoryEntry> HistoryEntry::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue id = object.value(kId);
    const QJsonValue type = object.value(kType);
    const QJsonValue original = object.value(kOriginalText);
    const QJsonValue result = object.value(kResultText);
    const QJsonValue timestamp = object.value(kTimestamp);
    if (!id.isString() || !type.isString() || !original.isString() || !result.isString() || !timestamp.isDouble())
        return std::nullopt;

    // Only the hyphenated 36-character form counts as a UUID, in either case.
    const QString idText = id.toString();
    const QUuid uuid = QUuid::fromString(idText);
    if (idText.size() != 36 || (uuid.isNull() && idText != QLatin1String("00000000-0000-0000-0000-000000000000")))
        return std::nullopt;

    const double seconds = timestamp.toDouble();
    if (!std::isfinite(seconds) || std::fabs(seconds) > maxReferenceSeconds)
        return std::nullopt;
    const qint64 ms = referenceDateMs + qint64(std::llround(seconds * 1000.0));

    HistoryEntry entry;
    entry.id = uuid;
    entry.type = type.toString();
    entry.originalText = original.toString();
    entry.resultText = result.toString();
    entry.timestamp = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
    return entry;
}

// One thread that writes the store. Only the newest state waits: a write that is superseded before
// it starts is skipped.
struct HistoryManager::Writer {
    struct Job {
        QString path;
        std::optional<QList<HistoryEntry>> entries; // nothing: the list was removed
        std::optional<QByteArray> unreadable;       // to keep aside first
        bool clearLegacy = false;                   // empty the older version's list after
        std::optional<QSet<QUuid>> takenOver;       // the older version's entries dealt with
    };

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

    Writer() : thread([this] { run(); }) {}
    ~Writer()
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

    void submit(Job job)
    {
        {
            std::lock_guard lock(mutex);
            if (pending)
                inherit(job, *pending);
            pending = std::move(job);
        }
        wake.notify_all();
    }

    bool newerWaiting(const QString& path)
    {
        std::lock_guard lock(mutex);
        return pending && pending->path == path;
    }

    void waitIdle()
    {
        std::unique_lock lock(mutex);
        idle.wait(lock, [this] { return !pending && !busy; });
    }

    void run()
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
    static void inherit(Job& job, Job& earlier)
    {
        if (earlier.path != job.path)
            return;
        if (!job.unreadable)
            job.unreadable = std::move(earlier.unreadable);
        job.clearLegacy = job.clearLegacy || earlier.clearLegacy;
    }

    void perform(Job job)
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
            QSettings legacy(legacyPathOf(job.path), QSettings::IniFormat);
            if (legacy.contains(defaultsKey)) {
                legacy.remove(defaultsKey); // the file stays: an older version may still use it
                legacy.sync();
                saved = legacy.status() == QSettings::NoError;
                why = legacy.fileName() + QStringLiteral(" could not be written");
            }
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

    // The number of entries at the front of list that the last written file does not hold in the
    // same order right after them; list.size() when none of it can be copied.
    qsizetype freshEntries(const Job& job) const
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

    bool writeStore(const Job& job, QString& why)
    {
        PrivateFile file(job.path);
        Written next;
        next.path = job.path;
        file.write("{");
        if (job.entries) {
            const QList<HistoryEntry>& list = *job.entries;
            const qsizetype fresh = freshEntries(job);
            file.write(jsonValue(defaultsKey) + ":[");
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
            QJsonArray ids;
            for (const QUuid& id : *job.takenOver)
                ids.append(id.toString(QUuid::WithoutBraces).toUpper());
            file.write(job.entries ? "," : "");
            file.write(member(takenOverKey, ids));
        }
        file.write("}");
        // While a newer list waits, its commit flushes the folder: the wait stays as short as
        // the file's own flush allows, which is what a kill can cost.
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

HistoryManager& HistoryManager::shared()
{
    static HistoryManager instance;
    // The writer uses Qt (QSettings for the older store): what is left to write goes to disk while
    // the application object goes, not among the static destructors, where Qt's own may be gone.
    [[maybe_unused]] static const bool flushedWithTheApplication = [] {
        qAddPostRoutine([] { HistoryManager::shared().flush(); });
        return true;
    }();
    return instance;
}

HistoryManager::HistoryManager(QString storePath, Clock clock) : path(std::move(storePath)), now(std::move(clock))
{
    if (!now)
        now = [] { return QDateTime::currentDateTimeUtc(); };
}

HistoryManager::~HistoryManager() = default;

QString HistoryManager::storeURL() const
{
    return path.isEmpty() ? QDir(configFolder()).filePath(QStringLiteral("defaults.json")) : path;
}

QString HistoryManager::legacyStoreURL() const
{
    return legacyPathOf(storeURL());
}

std::optional<QList<HistoryEntry>> HistoryManager::decode(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    return decodeList(document.array());
}

QList<HistoryEntry>& HistoryManager::entries()
{
    const QString file = storeURL();
    if (file == loadedPath)
        return cached;
    // What was recorded while this store could not be opened goes in front of what it holds.
    QList<HistoryEntry> meanwhile = file == unopenedPath ? std::exchange(cached, {}) : QList<HistoryEntry>();
    flush(); // a write for another store may still be on its way
    loadedPath = file;
    cached.clear();
    unreadable.reset();
    takenOver.reset();

    QFile store(file);
    if (!store.open(QIODevice::ReadOnly)) {
        if (QFileInfo::exists(file)) {
            // There but not to be opened (a folder, no permission): never replaced, tried again at
            // each use; meanwhile results stay in memory.
            if (file != unopenedPath)
                reportUnsaved(QStringLiteral("could not open %1: %2").arg(file, store.errorString()));
            unopenedPath = file;
            loadedPath.clear();
            cached = std::move(meanwhile);
            return cached;
        }
        takeOverLegacy(std::nullopt); // the first start after an older version
    } else {
        QByteArray bytes = store.readAll();
        const QJsonDocument document = QJsonDocument::fromJson(bytes);
        bytes = {}; // a large store is not held three times over while its entries are made
        const QJsonValue list = document.object().value(defaultsKey);
        std::optional<QList<HistoryEntry>> decoded;
        if (document.isObject() && list.isUndefined())
            decoded.emplace(); // the list was removed
        else if (list.isArray())
            decoded = decodeList(list.toArray());
        if (decoded)
            cached = std::move(*decoded);
        else if (store.seek(0))
            unreadable = store.readAll(); // kept aside by the next write
        takenOver = takenOverIds(document.object().value(takenOverKey));
        // A store from before it named what it took over: what an older version added since is
        // what is newer than the newest entry, or than the clearing.
        QDateTime newest = store.fileTime(QFileDevice::FileModificationTime);
        if (!cached.isEmpty())
            newest = std::max_element(cached.cbegin(), cached.cend(), [](const auto& a, const auto& b) {
                         return a.timestamp < b.timestamp;
                     })->timestamp;
        takeOverLegacy(newest);
    }
    unopenedPath.clear();
    if (!meanwhile.isEmpty()) {
        cached = meanwhile + cached;
        if (cached.size() > maxEntries)
            cached.resize(maxEntries);
        write(cached);
    }
    return cached;
}

void HistoryManager::takeOverLegacy(const std::optional<QDateTime>& after)
{
    const QString legacy = legacyStoreURL();
    if (!QFileInfo::exists(legacy)) {
        takenOver = takenOver.value_or(QSet<QUuid>()); // whatever appears there later is new
        return;
    }
    const QVariant raw = QSettings(legacy, QSettings::IniFormat).value(defaultsKey);
    const auto old = raw.typeId() == QMetaType::QByteArray ? decode(raw.toByteArray()) : std::nullopt;
    if (!old)
        return; // its file stays as it was, so nothing is lost
    // Every entry not taken over before, by id, whatever its time (a clock set back); one taken over
    // before and since let go (pushed out by newer ones) does not come back.
    QList<HistoryEntry> taken;
    QSet<QUuid> all;
    for (const HistoryEntry& entry : *old) {
        all.insert(entry.id);
        const bool before = takenOver ? takenOver->contains(entry.id) : after && entry.timestamp <= *after;
        if (!before &&
            std::none_of(cached.cbegin(), cached.cend(), [&](const auto& mine) { return mine.id == entry.id; }))
            taken.append(entry);
    }
    takenOver = std::move(all); // saved with the next write
    if (taken.isEmpty())
        return;
    cached = taken + cached;
    if (cached.size() > maxEntries)
        cached.resize(maxEntries);
    write(cached);
}

QList<HistoryEntry> HistoryManager::load()
{
    return entries();
}

void HistoryManager::add(const QString& type, const QString& original, const QString& result)
{
    if (TextTerms::trimmed(original).isEmpty() || TextTerms::trimmed(result).isEmpty() || exceedsTextLimit(original))
        return;
    QList<HistoryEntry>& list = entries();
    HistoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.type = type;
    entry.originalText = original;
    entry.resultText = result;
    entry.timestamp = now().toUTC();
    list.prepend(std::move(entry));
    if (list.size() > maxEntries)
        list.resize(maxEntries);
    write(list);
}

void HistoryManager::clear()
{
    entries().clear();
    write(std::nullopt, true); // else a downgrade would bring the cleared texts back
}

void HistoryManager::write(std::optional<QList<HistoryEntry>> list, bool clearLegacy)
{
    if (loadedPath.isEmpty())
        return; // the store could not be read: leave it alone
    if (!writer)
        writer = std::make_unique<Writer>();
    writer->submit({loadedPath, std::move(list), std::exchange(unreadable, std::nullopt), clearLegacy, takenOver});
}

void HistoryManager::flush()
{
    if (writer)
        writer->waitIdle();
}

} // namespace vorlex
