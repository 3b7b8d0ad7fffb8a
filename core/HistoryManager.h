#pragma once

// The last results the popup produced (translations and layout conversions), newest first, kept
// as one JSON document under one key of the per-user key-value store.

#include <QByteArray>
#include <QDateTime>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>
#include <QVariant>

#include <functional>
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

class HistoryManager {
public:
    using Clock = std::function<QDateTime()>;

    static constexpr int maxEntries = 50;
    static inline const QString defaultsKey = QStringLiteral("translationHistory_v1");
    // Where add() keeps stored bytes that did not decode before it replaces them.
    static inline const QString unreadableKey = QStringLiteral("translationHistory_v1.unreadable");

    static HistoryManager& shared();

    // A store in an explicit INI file (tests); without one the store is
    // $XDG_CONFIG_HOME/VorlexMac/defaults.conf, looked up at every call. clock gives "now".
    explicit HistoryManager(QString storePath = {}, Clock clock = {});

    // Records one result, newest first, capped at maxEntries. Blank texts record nothing.
    void add(const QString& type, const QString& original, const QString& result);
    // The stored list, newest first; empty when nothing is stored or the data does not decode.
    QList<HistoryEntry> load() const;
    // Removes the stored list.
    void clear();

    // The file behind the store.
    QString storeURL() const;

    // The stored form of a list, and its strict reading.
    static QByteArray encode(const QList<HistoryEntry>& entries);
    static std::optional<QList<HistoryEntry>> decode(const QByteArray& bytes);

private:
    enum class Stored { nothing, readable, unreadable };
    Stored read(QList<HistoryEntry>& entries, QVariant& raw) const;
    void save(const QList<HistoryEntry>& entries, const std::optional<QVariant>& unreadable);

    QString path;
    Clock now;
};

} // namespace vorlex
