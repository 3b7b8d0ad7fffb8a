#include "HistoryManager.h"

#include "PrivateFile.h"
#include "TextTerms.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTimeZone>

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

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
    }

    void submit(Job job)
    {
        {
            std::lock_guard lock(mutex);
            // Bytes still to be kept aside stay with whatever write replaces this one.
            if (pending && pending->unreadable && !job.unreadable && pending->path == job.path)
                job.unreadable = std::move(pending->unreadable);
            pending = std::move(job);
        }
        wake.notify_all();
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
            perform(job);
            lock.lock();
            busy = false;
            idle.notify_all();
        }
    }

    static void perform(const Job& job)
    {
        // Never replace bytes that could not be read before a copy of them is safe.
        if (job.unreadable && !writePrivateFile(job.path + QStringLiteral(".unreadable"), *job.unreadable))
            return;
        QByteArray bytes = "{";
        if (job.entries)
            bytes += jsonValue(defaultsKey) + ':' + encode(*job.entries);
        bytes += '}';
        writePrivateFile(job.path, bytes);
    }

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::optional<Job> pending;
    bool busy = false;
    bool stopping = false;
    std::thread thread; // last: starts once the rest is ready
};

HistoryManager& HistoryManager::shared()
{
    static HistoryManager instance;
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
    return QFileInfo(storeURL()).dir().filePath(QStringLiteral("defaults.conf"));
}

QByteArray HistoryManager::encode(const QList<HistoryEntry>& entries)
{
    QByteArray json = "[";
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (i > 0)
            json += ',';
        json += entries.at(i).toJson();
    }
    json += ']';
    return json;
}

std::optional<QList<HistoryEntry>> HistoryManager::decode(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    return decodeList(document.array());
}

std::optional<QList<HistoryEntry>> HistoryManager::decodeList(const QJsonArray& array)
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

QList<HistoryEntry>& HistoryManager::entries()
{
    const QString file = storeURL();
    if (file == loadedPath)
        return cached;
    flush(); // a write for another store may still be on its way
    loadedPath = file;
    cached.clear();
    unreadable.reset();

    QFile store(file);
    if (store.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = store.readAll();
        const QJsonDocument document = QJsonDocument::fromJson(bytes);
        const QJsonValue list = document.object().value(defaultsKey);
        std::optional<QList<HistoryEntry>> decoded;
        if (document.isObject() && list.isUndefined())
            decoded.emplace(); // the list was removed
        else if (list.isArray())
            decoded = decodeList(list.toArray());
        if (decoded)
            cached = std::move(*decoded);
        else
            unreadable = bytes; // kept aside by the next write
        return cached;
    }
    if (QFileInfo::exists(file)) {
        loadedPath.clear(); // there but unreadable: try again next time, never replace it
        return cached;
    }

    // First start after an older version: take its list over. Its file stays as it was, so nothing
    // is lost even when its list does not decode.
    const QString legacy = legacyStoreURL();
    if (QFileInfo::exists(legacy)) {
        const QVariant raw = QSettings(legacy, QSettings::IniFormat).value(defaultsKey);
        std::optional<QList<HistoryEntry>> decoded;
        if (raw.typeId() == QMetaType::QByteArray)
            decoded = decode(raw.toByteArray());
        if (decoded && !decoded->isEmpty()) {
            cached = std::move(*decoded);
            write(cached);
        }
    }
    return cached;
}

QList<HistoryEntry> HistoryManager::load()
{
    return entries();
}

void HistoryManager::add(const QString& type, const QString& original, const QString& result)
{
    if (TextTerms::trimmed(original).isEmpty() || TextTerms::trimmed(result).isEmpty())
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
    write(std::nullopt);
}

void HistoryManager::write(std::optional<QList<HistoryEntry>> list)
{
    if (loadedPath.isEmpty())
        return; // the store could not be read: leave it alone
    if (!writer)
        writer = std::make_unique<Writer>();
    writer->submit({loadedPath, std::move(list), std::exchange(unreadable, std::nullopt)});
}

void HistoryManager::flush()
{
    if (writer)
        writer->waitIdle();
}

} // namespace vorlex
