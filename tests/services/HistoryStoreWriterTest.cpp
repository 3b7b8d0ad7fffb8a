// The store writer on its own: each write waited for before the next, so none are merged and each
// copies what it keeps from the file the one before wrote.

#include "HistoryStoreWriter.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

TEST(HistoryStoreWriterTest, SeparateWritesKeepEveryEntryInOrder)
{
    // Each step the list written, by entry number, newest first; "-" removes the list. Texts of
    // different lengths, so the entries' ends differ too.
    const char* steps[] = {"1", "2 1", "3 2 1", "4 3 2 1", "5 4 3", "6 5 3", "3 6", "-", "7", "8 7"};
    QList<HistoryEntry> made;
    for (int i = 0; i <= 8; ++i)
        made.append({QUuid::createUuid(), u"translate"_s, QString(i, u'ש'), u"r"_s,
                     QDateTime::fromMSecsSinceEpoch(978307200000 + i * 250, QTimeZone::utc())});
    QTemporaryDir dir;
    const QString store = dir.filePath(u"defaults.json"_s);
    HistoryStoreWriter writer;
    for (const char* step : steps) {
        SCOPED_TRACE(step);
        QList<HistoryEntry> list;
        for (const QString& number : QString::fromLatin1(step).split(' ', Qt::SkipEmptyParts))
            if (number != u"-"_s)
                list.append(made.at(number.toInt()));
        writer.submit({store, list.isEmpty() ? std::nullopt : std::optional(list), {}, false, {}});
        writer.waitIdle(); // on disk before the next
        EXPECT_EQ(HistoryCodec::decodeStore(test::readFile(store)).entries, list);
    }
}

} // namespace
