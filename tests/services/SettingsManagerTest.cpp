#include "SettingsManager.h"
#include "TestSupport.h"

#include <QFile>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vorlex;

namespace {

const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;

class SettingsManagerTest : public ::testing::Test {
protected:
    test::ConfigHomeGuard home;
    SettingsManager& store = SettingsManager::shared(); // follows XDG_CONFIG_HOME at each use
    QString path = home.vorlexConfigDir() + u"/settings.json"_s;
};

// The folders missing (~/.config too) and the file are made owner-only whatever the umask. (A usable
// file replaced is never kept aside: PrivateFileTest.)
TEST_F(SettingsManagerTest, SavesOwnerOnlyWithSortedKeysAndKeyBeforeModifiers)
{
    ASSERT_TRUE(QDir(home.configHome()).removeRecursively());
    const mode_t before = ::umask(0277);
    ASSERT_TRUE(store.save(store.load())); // no file yet: the default record
    ::umask(before);
    for (const QString& folder : {home.configHome(), home.vorlexConfigDir()})
        EXPECT_EQ(QFile::permissions(folder), ownerOnly | QFile::ExeOwner | QFile::ExeUser) << folder;
    EXPECT_EQ(
        test::readFile(path).replace(' ', "").replace('\n', ""),
        R"({"AutoCopyToClipboard":false,"DeepLApiKey":"","DeepLUseFreeTier":true,"Engine":"Google",)"
        R"("HotkeyLayoutConvert":{"key":"K","modifiers":["cmd","shift"]},)"
        R"("HotkeyReplaceText":{"key":"","modifiers":[]},"HotkeyTranslate":{"key":"T","modifiers":["cmd","shift"]},)"
        R"("HotkeyTranslateScreen":{"key":"","modifiers":[]},)"
        R"("SourceLanguage":"auto","TargetLanguage":"he","WindowOpacity":0.98,"WindowPosition":"cursor"})");
    EXPECT_EQ(QFile::permissions(path), ownerOnly) << "the file holds the DeepL key";
}

TEST_F(SettingsManagerTest, StrictDecodingFallsBackToTheWholeDefaultRecord)
{
    AppSettings custom; // the fields of each kind away from their defaults
    custom.engine = TranslationEngine::deepL;
    custom.deepLApiKey = u"secret-key:fx"_s;
    custom.hotkeyReplaceText = {{u"shift"_s, u"cmd"_s}, u"r"_s};
    custom.hotkeyTranslateScreen = {{u"opt"_s}, u"o"_s};
    AppSettings older = custom; // written before the screen hotkey existed
    older.hotkeyTranslateScreen = {};
    const std::tuple<const char*, const char*, AppSettings> cases[] = {
        {"{\"Auto", "{\"Unknown\":1,\"Auto", custom}, // an extra key is ignored
        {",\"WindowOpacity\":0.98", "", {}},          // a key missing
        {"0.98", "\"0.98\"", {}},                     // a number as a string
        {"\"DeepL\"", "\"deepl\"", {}},               // an engine in lower case
        {"[\"shift\",\"cmd\"]", "[\"shift\",3]", {}}, // a modifier that is no string
        {",\"HotkeyTranslateScreen\":{\"key\":\"o\",\"modifiers\":[\"opt\"]}", "", older}, // the later key
        {"{\"key\":\"o\"", "{\"key\":0", {}},                                              // ... but of the wrong type
    };
    const QByteArray json = QJsonDocument(custom.toJson()).toJson(QJsonDocument::Compact);
    for (const auto& [from, to, loads] : cases) {
        ASSERT_TRUE(test::writeFile(path, QByteArray(json).replace(from, to)));
        EXPECT_EQ(store.load(), loads) << to;
    }
}

} // namespace
