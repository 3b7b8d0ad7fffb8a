#include "HistoryManager.h"

#include "HistoryStoreWriter.h"
#include "LegacyHistoryImport.h"
#include "PrivateFile.h"
#include "TextLimit.h"
#include "TextTerms.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace vorlex {

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
    // Asked before opening: a store that another process puts in place meanwhile is no store that
    // cannot be opened.
    const bool there = QFileInfo::exists(file);
    if (there && !store.open(QIODevice::ReadOnly)) {
        // Not to be opened (a folder, no permission): never replaced, tried again at each use;
        // meanwhile results stay in memory.
        if (file != unopenedPath)
            HistoryStoreWriter::reportUnsaved(QStringLiteral("could not open %1: %2").arg(file, store.errorString()));
        unopenedPath = file;
        loadedPath.clear();
        cached = std::move(meanwhile);
        return cached;
    }
    if (!there) {
        takeOverLegacy(std::nullopt); // the first start after an older version
    } else {
        StoredHistory stored = HistoryCodec::decodeStore(store.readAll());
        if (stored.entries)
            cached = std::move(*stored.entries);
        else if (store.seek(0))
            unreadable = store.readAll(); // kept aside by the next write
        takenOver = std::move(stored.takenOver);
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
    if (!meanwhile.isEmpty())
        putInFront(meanwhile);
    return cached;
}

void HistoryManager::putInFront(const QList<HistoryEntry>& newer)
{
    cached = newer + cached;
    if (cached.size() > maxEntries)
        cached.resize(maxEntries);
    write(cached);
}

void HistoryManager::takeOverLegacy(const std::optional<QDateTime>& after)
{
    const QList<HistoryEntry> taken = LegacyHistoryImport(storeURL()).takeOver(cached, takenOver, after);
    if (!taken.isEmpty())
        putInFront(taken);
}

QList<HistoryEntry> HistoryManager::load()
{
    return entries();
}

void HistoryManager::add(const QString& type, const QString& original, const QString& result)
{
    if (TextTerms::trimmed(original).isEmpty() || TextTerms::trimmed(result).isEmpty() || exceedsTextLimit(original))
        return;
    entries();
    HistoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.type = type;
    entry.originalText = original;
    entry.resultText = result;
    entry.timestamp = now().toUTC();
    putInFront({std::move(entry)});
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
        writer = std::make_unique<HistoryStoreWriter>();
    writer->submit({loadedPath, std::move(list), std::exchange(unreadable, std::nullopt), clearLegacy, takenOver});
}

void HistoryManager::flush()
{
    if (writer)
        writer->waitIdle();
}

} // namespace vorlex
