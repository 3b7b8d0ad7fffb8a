#include "HistoryManager.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

class HistoryManagerTest : public testing::Test {
protected:
    QString storePath() const { return dir.filePath(QStringLiteral("VorlexMac/defaults.conf")); }

    HistoryManager makeStore(HistoryManager::Clock clock = {}) const { return HistoryManager(storePath(), clock); }

    void writeRaw(const QString& key, const QVariant& value) const
    {
        QDir().mkpath(QFileInfo(storePath()).absolutePath());
        QSettings store(storePath(), QSettings::IniFormat);
        store.setValue(key, value);
        store.sync();
    }

    QVariant readRaw(const QString& key) const
    {
        QSettings store(storePath(), QSettings::IniFormat);
        return store.value(key);
    }

    QTemporaryDir dir;
};

QString validEntry(const QString& replace = {}, const QString& with = {})
{
    QString json = QStringLiteral(R"({"id":"0F6C3B0E-6D7E-4C1A-9F00-3A2B1C0D9E8F","type":"translate",)"
                                  R"("originalText":"שלום","resultText":"Hello","timestamp":12.25})");
    if (!replace.isEmpty())
        json.replace(replace, with);
    return json;
}

TEST_F(HistoryManagerTest, KeepsTheNewestFiftyNewestFirst)
{
    HistoryManager history = makeStore();
    for (int i = 1; i <= 51; ++i)
        history.add(QStringLiteral("translate"), QString::number(i), QStringLiteral("r%1").arg(i));

    const QList<HistoryEntry> entries = history.load();
    ASSERT_EQ(entries.size(), 50);
    EXPECT_EQ(entries.first().originalText, QStringLiteral("51"));
    EXPECT_EQ(entries.first().resultText, QStringLiteral("r51"));
    EXPECT_EQ(entries.last().originalText, QStringLiteral("2")); // "1" fell away
}

TEST_F(HistoryManagerTest, BlankTextsRecordNothingAndOthersAreStoredUntrimmed)
{
    struct Case {
        const char* name;
        QString original;
        QString result;
        bool recorded;
    };
    const Case cases[] = {
        {"empty original", QString(), QStringLiteral("x"), false},
        {"spaces and line breaks", QStringLiteral("  \n\r\n\t "), QStringLiteral("x"), false},
        {"no-break and ideographic spaces", QStringLiteral("\u00A0\u3000\u2028"), QStringLiteral("x"), false},
        {"blank result", QStringLiteral("שלום"), QStringLiteral(" \n "), false},
        {"empty result", QStringLiteral("שלום"), QString(), false},
        {"surrounding spaces kept", QStringLiteral("  שלום \n"), QStringLiteral(" hello "), true},
        {"a single dot", QStringLiteral("."), QStringLiteral("."), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HistoryManager history = makeStore();
        history.clear();
        history.add(QStringLiteral("layout"), c.original, c.result);
        const QList<HistoryEntry> entries = history.load();
        ASSERT_EQ(entries.size(), c.recorded ? 1 : 0);
        if (c.recorded) {
            EXPECT_EQ(entries.first().originalText, c.original);
            EXPECT_EQ(entries.first().resultText, c.result);
            EXPECT_EQ(entries.first().type, QStringLiteral("layout"));
        }
    }
}

TEST_F(HistoryManagerTest, TheSamePairTwiceGivesTwoEntriesWithDifferentIds)
{
    HistoryManager history = makeStore();
    history.add(QStringLiteral("translate"), QStringLiteral("a"), QStringLiteral("b"));
    history.add(QStringLiteral("translate"), QStringLiteral("a"), QStringLiteral("b"));
    const QList<HistoryEntry> entries = history.load();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_NE(entries.at(0).id, entries.at(1).id);
    EXPECT_FALSE(entries.at(0).id.isNull());
}

TEST_F(HistoryManagerTest, WritesCompactJsonWithFiveKeysInOrderAndReferenceDateTimestamps)
{
    // 2001-01-01 00:00:01.5 UTC is 1.5 seconds after the reference date.
    const QDateTime moment = QDateTime::fromMSecsSinceEpoch(978307201500, Qt::UTC);
    HistoryManager history = makeStore([moment] { return moment; });
    history.add(QStringLiteral("translate"), QStringLiteral("a \"q\""), QStringLiteral("<b>x</b>"));

    const QVariant raw = readRaw(HistoryManager::defaultsKey);
    ASSERT_EQ(raw.typeId(), QMetaType::QByteArray);
    const QString json = QString::fromUtf8(raw.toByteArray());
    static const QRegularExpression shape(
        QStringLiteral(R"(^\[\{"id":"[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}","type":"translate",)"
                       R"("originalText":"a \\"q\\"","resultText":"<b>x</b>","timestamp":1\.5\}\]$)"));
    EXPECT_TRUE(shape.match(json).hasMatch()) << json.toStdString();

    const QList<HistoryEntry> entries = history.load();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries.first().timestamp, moment);
}

TEST_F(HistoryManagerTest, ReadsTimestampsAgainstTheYear2001)
{
    struct Case {
        const char* json;
        const char* expected; // ISO 8601, UTC
    };
    const Case cases[] = {
        {"0", "2001-01-01T00:00:00.000Z"},
        {"-978307200", "1970-01-01T00:00:00.000Z"},
        {"86400.25", "2001-01-02T00:00:00.250Z"},
        {"7.5e8", "2024-10-07T13:20:00.000Z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        const auto entries = HistoryManager::decode(
            QStringLiteral("[%1]").arg(validEntry(QStringLiteral("12.25"), QString::fromLatin1(c.json))).toUtf8());
        ASSERT_TRUE(entries.has_value());
        ASSERT_EQ(entries->size(), 1);
        EXPECT_EQ(entries->first().timestamp.toString(Qt::ISODateWithMs), QString::fromLatin1(c.expected));
    }
}

TEST_F(HistoryManagerTest, DecodingIsStrict)
{
    struct Case {
        const char* name;
        QString json;
        bool decodes;
    };
    const QString good = validEntry();
    const Case cases[] = {
        {"one good entry", QStringLiteral("[%1]").arg(good), true},
        {"empty array", QStringLiteral("[]"), true},
        {"keys in another order and an extra key",
         QStringLiteral(R"([{"timestamp":1,"resultText":"r","extra":[1],"originalText":"o","type":"layout",)"
                        R"("id":"0f6c3b0e-6d7e-4c1a-9f00-3a2b1c0d9e8f"}])"),
         true},
        {"unknown type is still an entry", QStringLiteral("[%1]").arg(validEntry("\"translate\"", "\"other\"")), true},
        {"one element lacks timestamp", QStringLiteral("[%1,%2]").arg(good, validEntry(",\"timestamp\":12.25", "")),
         false},
        {"timestamp as a string", QStringLiteral("[%1]").arg(validEntry("12.25", "\"12.25\"")), false},
        {"id is not a UUID", QStringLiteral("[%1]").arg(validEntry("0F6C3B0E-6D7E", "0F6C3B0E-XD7E")), false},
        {"id in braces",
         QStringLiteral("[%1]").arg(
             validEntry("\"0F6C3B0E-6D7E-4C1A-9F00-3A2B1C0D9E8F\"", "\"{0F6C3B0E-6D7E-4C1A-9F00-3A2B1C0D9E8F}\"")),
         false},
        {"id as a number", QStringLiteral("[%1]").arg(validEntry("\"0F6C3B0E-6D7E-4C1A-9F00-3A2B1C0D9E8F\"", "7")),
         false},
        {"resultText null", QStringLiteral("[%1]").arg(validEntry("\"Hello\"", "null")), false},
        {"an object, not an array", good, false},
        {"an element that is not an object", QStringLiteral("[%1,3]").arg(good), false},
        {"not JSON", QStringLiteral("garbage"), false},
        {"truncated", QStringLiteral("[%1").arg(good), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HistoryManager::decode(c.json.toUtf8()).has_value(), c.decodes);
        // load() reads an undecodable store as empty.
        writeRaw(HistoryManager::defaultsKey, c.json.toUtf8());
        EXPECT_EQ(makeStore().load().isEmpty(), !c.decodes || c.json == QLatin1String("[]"));
    }
}

TEST_F(HistoryManagerTest, AnAddKeepsUnreadableBytesAsideBeforeReplacingThem)
{
    HistoryManager history = makeStore();
    writeRaw(HistoryManager::defaultsKey, QByteArray("[{\"id\":1}]"));
    EXPECT_TRUE(history.load().isEmpty());

    history.add(QStringLiteral("translate"), QStringLiteral("a"), QStringLiteral("b"));
    EXPECT_EQ(history.load().size(), 1);
    EXPECT_EQ(readRaw(HistoryManager::unreadableKey).toByteArray(), QByteArray("[{\"id\":1}]"));

    // A readable store leaves the copy alone; a newer unreadable one replaces it.
    history.add(QStringLiteral("translate"), QStringLiteral("c"), QStringLiteral("d"));
    EXPECT_EQ(readRaw(HistoryManager::unreadableKey).toByteArray(), QByteArray("[{\"id\":1}]"));
    EXPECT_EQ(history.load().size(), 2);

    writeRaw(HistoryManager::defaultsKey, QStringLiteral("hand, edited"));
    history.add(QStringLiteral("layout"), QStringLiteral("e"), QStringLiteral("f"));
    EXPECT_EQ(history.load().size(), 1);
    EXPECT_EQ(readRaw(HistoryManager::unreadableKey), QVariant(QStringLiteral("hand, edited")));
}

TEST_F(HistoryManagerTest, ClearEmptiesTheStoreAndHistoryPersistsAcrossInstances)
{
    makeStore().add(QStringLiteral("translate"), QStringLiteral("a"), QStringLiteral("b"));
    EXPECT_EQ(makeStore().load().size(), 1); // a new instance, as after a restart

    makeStore().clear();
    EXPECT_TRUE(makeStore().load().isEmpty());
    EXPECT_FALSE(readRaw(HistoryManager::defaultsKey).isValid());
}

TEST_F(HistoryManagerTest, TheStoreIsReadableByItsOwnerOnly)
{
    HistoryManager history = makeStore();
    history.add(QStringLiteral("translate"), QStringLiteral("secret"), QStringLiteral("סוד"));
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    EXPECT_EQ(QFile::permissions(storePath()), owner);

    // Even a store that someone loosened is tightened again at the next change.
    QFile::setPermissions(storePath(), owner | QFile::ReadOther | QFile::ReadGroup);
    history.add(QStringLiteral("translate"), QStringLiteral("x"), QStringLiteral("y"));
    EXPECT_EQ(QFile::permissions(storePath()), owner);
}

TEST_F(HistoryManagerTest, TheSharedStoreLivesInTheConfigHome)
{
    test::ConfigHomeGuard home;
    HistoryManager& shared = HistoryManager::shared();
    EXPECT_EQ(shared.storeURL(), QDir(home.vorlexConfigDir()).filePath(QStringLiteral("defaults.conf")));
    shared.add(QStringLiteral("layout"), QStringLiteral("akuo"), QStringLiteral("שלום"));
    EXPECT_TRUE(QFile::exists(shared.storeURL()));
    EXPECT_EQ(shared.load().size(), 1);
    shared.clear();
    EXPECT_TRUE(shared.load().isEmpty());
}

} // namespace
