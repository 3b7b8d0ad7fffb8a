#pragma once

// The last results the popup produced (translations and layout conversions), newest first, kept
// as one JSON list under one key of the per-user store.

#include <QByteArray>
#include <QDateTime>
#include <QJsonValue>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

namespace vorlex {

struct HistoryEntry {
    QUuid id;
    QString type; // "translate" or "layout"
    QString originalText;
    QString resultText;
    QDateTime timestamp; // UTC

    bool operator==(const HistoryEntry&) const = default;

    // One compact JSON object with the keys "id", "type", "originalText", "resultText" and
    // "timestamp" in this order; id is the upper-case 36-character form, timestamp the seconds
    // since 2001-01-01 00:00:00 UTC with fraction.
    QByteArray toJson() const;
    // Strict: all five keys with their JSON types and a well-formed UUID, or nothing. Other keys
    // are ignored.
    static std::optional<HistoryEntry> fromJson(const QJsonValue& value);
};

// The store is $XDG_CONFIG_HOME/VorlexMac/defaults.json, a JSON object with the list under
// defaultsKey. Reads come from memory after the first; writes go to a background thread, coalesced,
// each one an atomic replace, so adding never waits for the disk however large the history is. The
// entries a write keeps from the one before are copied from its file, not encoded again. A write
// that fails leaves the file as it was and is said once on standard error; the list stays in memory
// and the next result writes it again.
class HistoryManager {
public:
    using Clock = std::function<QDateTime()>;

    static constexpr int maxEntries = 50;
    static inline const QString defaultsKey = QStringLiteral("translationHistory_v1");

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

    // The file behind the store, and the file an older version keeps the list in (an INI file). At
    // the first load its entries not taken over before are taken over, by id, and the store names
    // them (a store written before it did takes those newer than its newest entry); the file itself
    // is never removed. A store that cannot be read is kept aside as defaults.json.unreadable
    // (keepAside) before the next write replaces it; one that cannot be opened (a folder) is left
    // alone, said once on standard error, and tried again at each use, results kept in memory.
    QString storeURL() const;
    QString legacyStoreURL() const;

    // A stored list (a JSON array of entries), read strictly.
    static std::optional<QList<HistoryEntry>> decode(const QByteArray& bytes);

private:
    struct Writer;
    // Loads the list of the current store into memory, once per store path.
    QList<HistoryEntry>& entries();
    void takeOverLegacy(const std::optional<QDateTime>& after);
    void write(std::optional<QList<HistoryEntry>> entries, bool clearLegacy = false);

    QString path;
    Clock now;
    QString loadedPath;
    QString unopenedPath; // a store that is there but could not be opened; cached holds what came since
    QList<HistoryEntry> cached;
    std::optional<QByteArray> unreadable; // the store's bytes, while they are not yet kept aside
    std::optional<QSet<QUuid>> takenOver; // the older version's entries dealt with; nothing: not known
    std::unique_ptr<Writer> writer;
};

} // namespace vorlex
