#pragma once

// The last results the popup produced (translations and layout conversions), newest first, kept
// as one JSON list under one key of the per-user store.

#include "HistoryCodec.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vorlex {

class HistoryStoreWriter;

// The store is $XDG_CONFIG_HOME/VorlexMac/defaults.json (HistoryCodec). Reads come from memory
// after the first; writes go to a HistoryStoreWriter, coalesced. A write that fails leaves the file
// as it was; the list stays in memory and the next result writes it again.
class HistoryManager {
public:
    using Clock = std::function<QDateTime()>;

    static constexpr int maxEntries = 50;

    static HistoryManager& shared();

    // A store in an explicit file (tests); without one the store is found from the environment at
    // every call. clock gives "now".
    explicit HistoryManager(QString storePath = {}, Clock clock = {});
    ~HistoryManager(); // waits for the last write
    HistoryManager(const HistoryManager&) = delete;
    HistoryManager& operator=(const HistoryManager&) = delete;

    // Records one result, newest first, capped at maxEntries. Blank texts, and an original text
    // beyond maximumTextBytes, record nothing.
    void add(const QString& type, const QString& original, const QString& result);
    // The stored list, newest first; empty when nothing is stored or the data does not decode.
    QList<HistoryEntry> load();
    // Removes the stored list, and the older version's list too.
    void clear();
    // Returns once everything recorded so far is on disk (at quit).
    void flush();

    // The file behind the store. At the first load the older version's entries not taken over
    // before are taken over (LegacyHistoryImport). A store that cannot be read is kept aside as
    // defaults.json.unreadable (keepAside) before the next write replaces it; one that cannot be
    // opened (a folder) is left alone, said once on standard error, and tried again at each use,
    // results kept in memory.
    QString storeURL() const;

private:
    // Loads the list of the current store into memory, once per store path.
    QList<HistoryEntry>& entries();
    // newer in front of the list, capped, and written.
    void putInFront(const QList<HistoryEntry>& newer);
    void takeOverLegacy(const std::optional<QDateTime>& after);
    void write(std::optional<QList<HistoryEntry>> entries, bool clearLegacy = false);

    QString path;
    Clock now;
    QString loadedPath;
    QString unopenedPath; // a store that is there but could not be opened; cached holds what came since
    QList<HistoryEntry> cached;
    std::optional<QByteArray> unreadable; // the store's bytes, while they are not yet kept aside
    std::optional<QSet<QUuid>> takenOver; // the older version's entries dealt with; nothing: not known
    std::unique_ptr<HistoryStoreWriter> writer;
};

} // namespace vorlex
