#include "SettingsManager.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace vorlex;
using test::readFile;

namespace {

const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;

AppSettings customSettings()
{
    AppSettings settings;
    settings.engine = TranslationEngine::deepL;
    settings.deepLApiKey = u"secret-key:fx"_s;
    settings.hotkeyReplaceText = {{u"shift"_s, u"cmd"_s}, u"r"_s};
    return settings;
}

class SettingsManagerTest : public ::testing::Test {
protected:
    test::ConfigHomeGuard home;
    SettingsManager& store = SettingsManager::shared(); // follows XDG_CONFIG_HOME at each use
    QString path = home.vorlexConfigDir() + u"/settings.json"_s;
};

TEST_F(SettingsManagerTest, RoundTripIsOwnerOnlyWithSortedKeysAndKeyBeforeModifiers)
{
    EXPECT_EQ(store.settingsURL(), path);
    EXPECT_EQ(store.load(), AppSettings{}) << "no file yet";
    ASSERT_TRUE(store.save(customSettings()));
    EXPECT_EQ(store.load(), customSettings());
    const QByteArray bytes = readFile(path);
    EXPECT_LT(bytes.indexOf("\"AutoCopyToClipboard\""), bytes.indexOf("\"WindowPosition\""));
    const qsizetype replace = bytes.indexOf("\"HotkeyReplaceText\"");
    EXPECT_LT(bytes.indexOf("\"key\"", replace), bytes.indexOf("\"modifiers\"", replace));
    EXPECT_EQ(QFile::permissions(path), ownerOnly) << "the file holds the DeepL key";
}

TEST_F(SettingsManagerTest, StrictDecodingFallsBackToTheWholeDefaultRecord)
{
    struct Case {
        const char* name;
        std::function<void(QJsonObject&)> edit;
        bool loadsCustom;
    };
    const Case cases[] = {
        {"extra key ignored", [](QJsonObject& o) { o["Unknown"] = 1; }, true},
        {"missing key", [](QJsonObject& o) { o.remove("WindowOpacity"); }, false},
        {"number as string", [](QJsonObject& o) { o["WindowOpacity"] = "0.9"; }, false},
        {"engine in lower case", [](QJsonObject& o) { o["Engine"] = "google"; }, false},
        {"modifier not a string",
         [](QJsonObject& o) {
             o["HotkeyReplaceText"] = QJsonObject{{"key", "t"}, {"modifiers", QJsonArray{3}}};
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject object = customSettings().toJson();
        c.edit(object);
        ASSERT_TRUE(test::writeFile(path, QJsonDocument(object).toJson()));
        EXPECT_EQ(store.load(), c.loadsCustom ? customSettings() : AppSettings{});
    }
}

TEST_F(SettingsManagerTest, AnUnusableFileIsKeptAsBackupAndAnUnwritableOneReportsFailure)
{
    const QByteArray typo = R"({"DeepLApiKey": "precious-key",})";
    ASSERT_TRUE(test::writeFile(path, typo));
    ASSERT_TRUE(store.save(AppSettings{}));
    EXPECT_EQ(readFile(path + ".bad"), typo);
    EXPECT_EQ(QFile::permissions(path + ".bad"), ownerOnly);
    ASSERT_TRUE(store.save(customSettings()));
    EXPECT_EQ(readFile(path + ".bad"), typo) << "a usable file is never backed up";

    // settings.json as a folder: the atomic replace fails, even for root, and says so.
    const QString blocked = home.path() + u"/blocked/settings.json"_s;
    ASSERT_TRUE(QDir().mkpath(blocked));
    EXPECT_FALSE(SettingsManager(blocked).save(customSettings()));
    EXPECT_EQ(store.load(), customSettings());
}

TEST(HotkeyConfigTest, LabelsUseTheFixedSymbolOrderAndLinuxKeyNames)
{
    struct Case {
        QStringList modifiers;
        QString key, display, linux;
    };
    const Case cases[] = {
        {{"shift", "opt", "ctrl", "cmd"}, "/", "⌃⌥⌘⇧/", "Ctrl+Alt+Shift+Super+/"},
        {{"hyper"}, "t", "T", "T"},
        {{"cmd"}, "", "—", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.display.toStdString());
        EXPECT_EQ((HotkeyConfig{c.modifiers, c.key}.displayLabel()), c.display);
        EXPECT_EQ((HotkeyConfig{c.modifiers, c.key}.linuxLabel()), c.linux);
    }
}

} // namespace
