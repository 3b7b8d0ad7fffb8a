// The store writer on its own: each write waited for before the next, so none are merged and each
// copies what it keeps from the file the one before wrote.

#include "HistoryStoreWriter.h"
#include "TestSupport.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace vorlex;

namespace {

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

// The older version's list, left to empty by a clearing that failed (a file size limit of 0, as a
// full disk), is emptied by the next write, else a downgrade would bring the cleared texts back.
TEST(HistoryStoreWriterTest, AFailedClearingIsFinishedByTheNextWrite)
{
    QTemporaryDir dir;
    const QString store = dir.filePath(u"defaults.json"_s);
    QSettings(dir.filePath(u"defaults.conf"_s), QSettings::IniFormat).setValue(HistoryCodec::listKey, "[]");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit room{};
    ::getrlimit(RLIMIT_FSIZE, &room);
    const rlimit full{0, room.rlim_max};
    HistoryStoreWriter writer;
    ::setrlimit(RLIMIT_FSIZE, &full);
    writer.submit({store, std::nullopt, {}, true, {}}); // clearing
    writer.waitIdle();
    ::setrlimit(RLIMIT_FSIZE, &room);
    writer.submit({store, QList<HistoryEntry>(), {}, false, {}});
    writer.waitIdle();
    EXPECT_FALSE(test::readFile(dir.filePath(u"defaults.conf"_s)).contains("translationHistory_v1"));
}

} // namespace
