// The store writer on its own: each write waited for before the next, so none are merged and each
// copies what it keeps from the file the one before wrote.

#include "HistoryStoreWriter.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace vorlex;

TEST(HistoryStoreWriterTest, SeparateWritesKeepEveryEntryInOrder)
{
    // Each step the list written, by entry number, newest first; "-" removes the list. Texts of
    // different lengths, so the entries' ends differ too.
    QList<HistoryEntry> made;
    for (int i = 0; i <= 8; ++i)
        made.append({QUuid::createUuid(), u"translate"_s, QString(i, u'ש'), u"r"_s,
                     QDateTime::fromMSecsSinceEpoch(i * 250, QTimeZone::utc())});
    QTemporaryDir dir;
    const QString store = dir.filePath(u"defaults.json"_s);
    HistoryStoreWriter writer;
    for (const char* step : {"1", "21", "321", "4321", "543", "653", "36", "-", "7", "87"}) {
        SCOPED_TRACE(step);
        QList<HistoryEntry> list;
        for (const char* number = step; *number != '-' && *number != 0; ++number)
            list.append(made.at(*number - '0'));
        writer.submit({store, *step == '-' ? std::nullopt : std::optional(list), {}, false, QSet<QUuid>()});
        writer.waitIdle(); // on disk before the next
        EXPECT_EQ(HistoryCodec::decodeStore(test::readFile(store)).entries, list);
    }
}
