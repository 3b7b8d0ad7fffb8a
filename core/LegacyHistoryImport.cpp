#include "LegacyHistoryImport.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace vorlex {

LegacyHistoryImport::LegacyHistoryImport(const QString& storePath)
    : file(QFileInfo(storePath).dir().filePath(QStringLiteral("defaults.conf")))
{
}

QList<HistoryEntry> LegacyHistoryImport::takeOver(const QList<HistoryEntry>& current,
                                                  std::optional<QSet<QUuid>>& takenOver,
                                                  const std::optional<QDateTime>& after) const
{
    if (!QFileInfo::exists(file)) {
        takenOver = takenOver.value_or(QSet<QUuid>()); // whatever appears there later is new
        return {};
    }
    const QVariant raw = QSettings(file, QSettings::IniFormat).value(HistoryCodec::listKey);
    const auto old = raw.typeId() == QMetaType::QByteArray ? HistoryCodec::decode(raw.toByteArray()) : std::nullopt;
    if (!old)
        return {}; // its file stays as it was, so nothing is lost
    QList<HistoryEntry> taken;
    QSet<QUuid> all;
    for (const HistoryEntry& entry : *old) {
        all.insert(entry.id);
        const bool before = takenOver ? takenOver->contains(entry.id) : after && entry.timestamp <= *after;
        if (!before &&
            std::none_of(current.cbegin(), current.cend(), [&](const auto& mine) { return mine.id == entry.id; }))
            taken.append(entry);
    }
    takenOver = std::move(all); // saved with the next write
    return taken;
}

bool LegacyHistoryImport::clear(QString& why) const
{
    QSettings legacy(file, QSettings::IniFormat);
    if (!legacy.contains(HistoryCodec::listKey))
        return true;
    legacy.remove(HistoryCodec::listKey);
    legacy.sync();
    if (legacy.status() == QSettings::NoError)
        return true;
    why = legacy.fileName() + QStringLiteral(" could not be written");
    return false;
}

} // namespace vorlex
