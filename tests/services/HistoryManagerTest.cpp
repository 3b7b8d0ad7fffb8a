#include "HistoryManager.h"

#include "TestSupport.h"
#include "TextLimit.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace vorlex;

namespace {

const QString entryJson = QStringLiteral(R"({"id":"0F6C3B0E-6D7E-4C1A-9F00-3A2B1C0D9E8F","type":"translate",)"
                                         R"("originalText":"שלום","resultText":"Hello","timestamp":12.25})");

class HistoryManagerTest : public testing::Test {
protected:
    QString file(const QString& name) const { return dir.filePath(u"VorlexMac/"_s + name); }
    QByteArray read(const QString& name) const { return test::readFile(file(name)); }

    QTemporaryDir dir;
    HistoryManager history{file(u"defaults.json"_s)};
};

TEST_F(HistoryManagerTest, EntriesDecodeStrictlyWithTimestampsFrom2001)
{
    const std::tuple<QString, QString, bool> cases[] = {
        {"12.25", "-978307200", true}, // 1970-01-01
        {",\"timestamp\":12.25", "", false}, {"12.25", "\"12.25\"", false}, {"0F6C3B0E-6D7E", "{0F6C3B0E-6D7E", false},
        {"\"Hello\"", "null", false},
    };
    for (const auto& [from, to, decodes] : cases) {
        const auto entries = HistoryCodec::decode(("[" + QString(entryJson).replace(from, to) + "]").toUtf8());
        ASSERT_EQ(entries.has_value(), decodes) << to;
        EXPECT_TRUE(!decodes || entries->first().timestamp.toMSecsSinceEpoch() == 0);
    }
}

// An older version keeps its list in an INI file, and may run again after a downgrade: whatever it
// adds is taken over, whatever its time; what was taken over and since pushed out by the newest fifty
// non-blank results within the bound (on disk as compact UTF-8) stays out. Clearing
// empties its list, and a clearing that failed (a file size limit of 0, as a full disk) is finished by
// the next write, else a downgrade would bring the cleared texts back.
TEST_F(HistoryManagerTest, TakesOverTheOlderVersionsEntriesKeepsTheNewestFiftyAndClearsBoth)
{
    const auto olderVersionKeeps = [&](const QString& list) {
        QSettings(file(u"defaults.conf"_s), QSettings::IniFormat)
            .setValue(HistoryCodec::listKey, '[' + list.toUtf8() + ']');
    };
    olderVersionKeeps(entryJson);
    history.add(u"layout"_s, u"akuo"_s, u"שלום"_s);
    history.flush(); // with the older entry: no store yet, so all of it
    // Its clock set back: older than everything here.
    olderVersionKeeps(QString(entryJson).replace("0F6C", "1F6C").replace("שלום", "later") + "," + entryJson);
    HistoryManager again(file(u"defaults.json"_s));
    EXPECT_EQ(again.load().size(), 3) << "and now the one added since";
    EXPECT_EQ(again.load().value(0).originalText, u"later"_s);
    for (int i = 1; i <= 51; ++i)
        again.add(u"translate"_s, u"שלום %1"_s.arg(i), u"r"_s);
    again.add(u"layout"_s, u" \n"_s, u"x"_s); // blank: nothing
    again.add(u"layout"_s, u"x"_s, u"\t "_s);
    again.add(u"layout"_s, QString(maximumTextBytes + 1, u'a'), u"x"_s); // beyond the bound: nothing
    again.add(u"translate"_s, u"שלום 51"_s, u"r"_s);                     // twice: two entries
    again.flush();
    const QList<HistoryEntry> entries = HistoryManager(file(u"defaults.json"_s)).load();
    EXPECT_EQ(entries, again.load()) << "nothing pushed out comes back";
    ASSERT_EQ(entries.size(), 50);
    EXPECT_EQ(entries.at(1).originalText, u"שלום 51"_s);
    EXPECT_TRUE(read(u"defaults.json"_s).startsWith("{\"translationHistory_v1\":[{\"id\":\""));
    EXPECT_TRUE(read(u"defaults.json"_s).contains(u"\"originalText\":\"שלום 51\""_s.toUtf8())) << "text, not escapes";
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit room{};
    ::getrlimit(RLIMIT_FSIZE, &room);
    const rlimit full{0, room.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &full);
    again.clear();
    again.flush();
    ::setrlimit(RLIMIT_FSIZE, &room);
    again.add(u"layout"_s, u"x"_s, u"y"_s);
    again.flush();
    EXPECT_EQ(read(u"defaults.conf"_s).replace("[General]", "").trimmed(), "") << "its list emptied, the file kept";
    olderVersionKeeps(entryJson);
    ASSERT_TRUE(test::writeFile(file(u"defaults.json"_s), "{}")); // as versions before this one left it at clearing
    EXPECT_TRUE(HistoryManager(file(u"defaults.json"_s)).load().isEmpty()) << "nothing older";
}

} // namespace
