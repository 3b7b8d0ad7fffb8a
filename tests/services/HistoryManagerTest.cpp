#include "HistoryManager.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTimeZone>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace vorlex;

namespace {

const QString entryJson = QStringLiteral(R"({"id":"0F6C3B0E-6D7E-4C1A-9F00-3A2B1C0D9E8F","type":"translate",)"
                                         R"("originalText":"שלום","resultText":"Hello","timestamp":12.25})");

class HistoryManagerTest : public testing::Test {
protected:
    QString file(const QString& name) const { return dir.filePath(QStringLiteral("VorlexMac/") + name); }
    QByteArray read(const QString& name) const { return test::readFile(file(name)); }

    QTemporaryDir dir;
    HistoryManager history{file(QStringLiteral("defaults.json"))};
};

TEST_F(HistoryManagerTest, KeepsTheNewestFiftyOnDiskAsCompactUtf8OwnerOnly)
{
    history.add(QStringLiteral("layout"), QStringLiteral("  "), QStringLiteral("x")); // blank: nothing
    for (int i = 1; i <= 51; ++i)
        history.add(QStringLiteral("translate"), QStringLiteral("שלום %1").arg(i), QStringLiteral("r"));
    history.flush();

    const QList<HistoryEntry> entries = HistoryManager(file(QStringLiteral("defaults.json"))).load();
    ASSERT_EQ(entries.size(), 50);
    EXPECT_EQ(entries.first().originalText, QStringLiteral("שלום 51"));
    EXPECT_EQ(entries, history.load());
    const QByteArray bytes = read(QStringLiteral("defaults.json"));
    EXPECT_TRUE(bytes.startsWith("{\"translationHistory_v1\":[{\"id\":\""));
    EXPECT_TRUE(bytes.contains(QStringLiteral("\"originalText\":\"שלום 51\"").toUtf8())) << "text, not escapes";
    EXPECT_EQ(QFile::permissions(file(QStringLiteral("defaults.json"))),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

TEST_F(HistoryManagerTest, EntriesDecodeStrictlyWithTimestampsFrom2001)
{
    struct Case {
        QString from, to;
        bool decodes;
    };
    const Case cases[] = {
        {"12.25", "-978307200", true}, // 1970-01-01
        {",\"timestamp\":12.25", "", false}, {"12.25", "\"12.25\"", false}, {"0F6C3B0E-6D7E", "{0F6C3B0E-6D7E", false},
        {"\"Hello\"", "null", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to.toStdString());
        const auto entries = HistoryManager::decode(("[" + QString(entryJson).replace(c.from, c.to) + "]").toUtf8());
        ASSERT_EQ(entries.has_value(), c.decodes);
        if (c.decodes) {
            EXPECT_EQ(entries->first().timestamp.toMSecsSinceEpoch(), 0);
        }
    }
    HistoryEntry entry{{}, "layout", "a \"q\"", "<b>", QDateTime::fromMSecsSinceEpoch(978307201500, QTimeZone::utc())};
    EXPECT_EQ(entry.toJson(), R"({"id":"00000000-0000-0000-0000-000000000000","type":"layout",)"
                              R"("originalText":"a \"q\"","resultText":"<b>","timestamp":1.5})");
}

TEST_F(HistoryManagerTest, TheOlderIniStoreIsTakenOverAndNeverLost)
{
    {
        QDir().mkpath(dir.filePath(QStringLiteral("VorlexMac")));
        QSettings legacy(file(QStringLiteral("defaults.conf")), QSettings::IniFormat);
        legacy.setValue(HistoryManager::defaultsKey, ("[" + entryJson + "," + entryJson + "]").toUtf8());
    }
    ASSERT_EQ(history.load().size(), 2);
    history.add(QStringLiteral("layout"), QStringLiteral("akuo"), QStringLiteral("שלום"));
    history.clear();
    history.flush();
    EXPECT_TRUE(HistoryManager(file(QStringLiteral("defaults.json"))).load().isEmpty()) << "not taken over twice";
    EXPECT_TRUE(
        QSettings(file(QStringLiteral("defaults.conf")), QSettings::IniFormat).contains(HistoryManager::defaultsKey));
}

TEST_F(HistoryManagerTest, AnUnreadableStoreIsKeptAsideBeforeTheNextWrite)
{
    ASSERT_TRUE(test::writeFile(file(QStringLiteral("defaults.json")), "{\"translationHistory_v1\":[{\"id\":1}]}"));
    EXPECT_TRUE(history.load().isEmpty());
    history.add(QStringLiteral("translate"), QStringLiteral("a"), QStringLiteral("b"));
    history.flush();
    EXPECT_EQ(read(QStringLiteral("defaults.json.unreadable")), "{\"translationHistory_v1\":[{\"id\":1}]}");
    EXPECT_EQ(HistoryManager(file(QStringLiteral("defaults.json"))).load().size(), 1);
}

TEST_F(HistoryManagerTest, AProcessKilledWhileWritingLeavesAReadableStore)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HistoryManager writer(file(QStringLiteral("defaults.json")));
        const QString big(200000, QChar(0x05D0));
        for (int i = 0;; ++i) {
            writer.add(QStringLiteral("translate"), big + QString::number(i), big);
            writer.flush();
        }
    }
    ASSERT_TRUE(test::waitUntil([&] { return read(QStringLiteral("defaults.json")).size() > 2000000; }, 20000));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const QByteArray bytes = read(QStringLiteral("defaults.json"));
    EXPECT_TRUE(HistoryManager::decode(bytes.mid(25, bytes.size() - 26)).has_value());
}

} // namespace
