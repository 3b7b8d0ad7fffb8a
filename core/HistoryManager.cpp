#include "HistoryManager.h"

#include "TextTerms.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

#include <cmath>

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

// The file must never be readable by others, not even between its creation and the first chmod.
void ensurePrivateFile(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd >= 0)
        ::close(fd);
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
    entry.timestamp = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
    return entry;
}

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

QString HistoryManager::storeURL() const
{
    if (!path.isEmpty())
        return path;
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty())
        configHome = QDir::home().filePath(QStringLiteral(".config"));
    return QDir(configHome).filePath(QStringLiteral("VorlexMac/defaults.conf"));
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
    QList<HistoryEntry> entries;
    for (const QJsonValue& element : document.array()) {
        std::optional<HistoryEntry> entry = HistoryEntry::fromJson(element);
        if (!entry)
            return std::nullopt;
        entries.append(std::move(*entry));
    }
    return entries;
}

HistoryManager::Stored HistoryManager::read(QList<HistoryEntry>& entries, QVariant& raw) const
{
    const QString file = storeURL();
    if (!QFileInfo::exists(file))
        return Stored::nothing;
    QSettings store(file, QSettings::IniFormat);
    if (!store.contains(defaultsKey))
        return Stored::nothing;
    raw = store.value(defaultsKey);
    // The value is raw bytes; a hand-written string or list is as unreadable as broken JSON.
    if (raw.typeId() != QMetaType::QByteArray)
        return Stored::unreadable;
    std::optional<QList<HistoryEntry>> decoded = decode(raw.toByteArray());
    if (!decoded)
        return Stored::unreadable;
    entries = std::move(*decoded);
    return Stored::readable;
}

QList<HistoryEntry> HistoryManager::load() const
{
    QList<HistoryEntry> entries;
    QVariant raw;
    read(entries, raw);
    return entries;
}

void HistoryManager::add(const QString& type, const QString& original, const QString& result)
{
    if (TextTerms::trimmed(original).isEmpty() || TextTerms::trimmed(result).isEmpty())
        return;

    QList<HistoryEntry> entries;
    QVariant raw;
    const Stored stored = read(entries, raw);

    HistoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.type = type;
    entry.originalText = original;
    entry.resultText = result;
    entry.timestamp = now().toUTC();
    entries.prepend(std::move(entry));
    if (entries.size() > maxEntries)
        entries.resize(maxEntries);

    save(entries, stored == Stored::unreadable ? std::optional<QVariant>(raw) : std::nullopt);
}

void HistoryManager::save(const QList<HistoryEntry>& entries, const std::optional<QVariant>& unreadable)
{
    const QString file = storeURL();
    ensurePrivateFile(file);
    {
        QSettings store(file, QSettings::IniFormat);
        // History that could not be read is kept aside instead of being overwritten and lost.
        if (unreadable)
            store.setValue(unreadableKey, *unreadable);
        store.setValue(defaultsKey, encode(entries));
        store.sync();
    }
    ::chmod(QFile::encodeName(file).constData(), S_IRUSR | S_IWUSR);
}

void HistoryManager::clear()
{
    const QString file = storeURL();
    if (!QFileInfo::exists(file))
        return;
    {
        QSettings store(file, QSettings::IniFormat);
        store.remove(defaultsKey);
        store.sync();
    }
    ::chmod(QFile::encodeName(file).constData(), S_IRUSR | S_IWUSR);
}

} // namespace vorlex
