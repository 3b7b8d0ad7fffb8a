#pragma once

// The list an older version keeps in defaults.conf (an INI file beside the store), where it may
// still add entries after a downgrade.

#include "HistoryCodec.h"

namespace vorlex {

// Its entries are taken over by id, whatever their time (a clock set back), and the store names
// them, so that one taken over and since pushed out by newer ones does not come back. The file
// itself is never removed.
class LegacyHistoryImport {
public:
    explicit LegacyHistoryImport(const QString& storePath); // the store the list goes to
    QString path() const { return file; }

    // Its entries neither taken over before nor in current, in its order. takenOver becomes the ids
    // of all its entries; where takenOver is not known, those up to after count as taken over (a
    // store written before it named them). Nothing when its list does not decode: it stays as it is.
    QList<HistoryEntry> takeOver(const QList<HistoryEntry>& current, std::optional<QSet<QUuid>>& takenOver,
                                 const std::optional<QDateTime>& after) const;
    // Empties its list, else a downgrade would bring cleared texts back; the file stays, an older
    // version may still use it.
    bool clear(QString& why) const;

private:
    QString file;
};

} // namespace vorlex
