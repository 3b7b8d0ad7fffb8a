#include "HistoryCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <cmath>

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
    using Codec = HistoryCodec;
    QByteArray json = "{";
    json += Codec::member(kId, id.toString(QUuid::WithoutBraces).toUpper()) + ',';
    json += Codec::member(kType, type) + ',';
    json += Codec::member(kOriginalText, originalText) + ',';
    json += Codec::member(kResultText, resultText) + ',';
    json += Codec::member(kTimestamp, seconds);
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

std::optional<QList<HistoryEntry>> HistoryCodec::decode(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    return decodeList(document.array());
}

StoredHistory HistoryCodec::decodeStore(QByteArray bytes)
{
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    bytes = {}; // a large store is not held three times over while its entries are made
    const QJsonValue list = document.object().value(listKey);
    StoredHistory stored;
    if (document.isObject() && list.isUndefined())
        stored.entries.emplace(); // the list was removed
    else if (list.isArray())
        stored.entries = decodeList(list.toArray());
    stored.takenOver = takenOverIds(document.object().value(takenOverKey));
    return stored;
}

QByteArray HistoryCodec::jsonValue(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray HistoryCodec::member(const QString& key, const QJsonValue& value)
{
    return jsonValue(key) + ':' + jsonValue(value);
}

QByteArray HistoryCodec::takenOverMember(const QSet<QUuid>& ids)
{
    QJsonArray array;
    for (const QUuid& id : ids)
        array.append(id.toString(QUuid::WithoutBraces).toUpper());
    return member(takenOverKey, array);
}

} // namespace vorlex
