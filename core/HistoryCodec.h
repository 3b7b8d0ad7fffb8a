#pragma once

// The history's entries and the JSON the store keeps them in.

#include <QByteArray>
#include <QDateTime>
#include <QJsonValue>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

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

// What a store file holds.
struct StoredHistory {
    std::optional<QList<HistoryEntry>> entries; // nothing: the file does not decode
    std::optional<QSet<QUuid>> takenOver;       // nothing: the file does not say (written before it did)
};

// A store file is one JSON object: the list under listKey, and beside it the ids of the older
// version's entries taken over already. It is written in pieces (see HistoryStoreWriter), so the
// pieces are here.
class HistoryCodec {
public:
    // The list's key, in the store and in the older version's file alike.
    static inline const QString listKey = QStringLiteral("translationHistory_v1");
    static inline const QString takenOverKey = QStringLiteral("takenOverIds");

    // A stored list (a JSON array of entries), read strictly.
    static std::optional<QList<HistoryEntry>> decode(const QByteArray& bytes);
    // An object without the list is a list removed: empty. bytes are let go before the entries are made.
    static StoredHistory decodeStore(QByteArray bytes);

    // One JSON value written the way QJsonDocument writes it, compact; and "key":value.
    static QByteArray jsonValue(const QJsonValue& value);
    static QByteArray member(const QString& key, const QJsonValue& value);
    static QByteArray takenOverMember(const QSet<QUuid>& ids);
};

} // namespace vorlex
