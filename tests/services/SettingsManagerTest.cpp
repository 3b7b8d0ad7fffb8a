#include "SettingsManager.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vorlex;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

unsigned modeOf(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
}

AppSettings customSettings()
{
    AppSettings settings;
    settings.engine = TranslationEngine::deepL;
    settings.deepLApiKey = QStringLiteral("secret-key:fx");
    settings.windowOpacity = 0.75;
    settings.hotkeyReplaceText = {{QStringLiteral("shift"), QStringLiteral("cmd")}, QStringLiteral("r")};
    return settings;
}

class SettingsManagerTest : public ::testing::Test {
protected:
    test::ConfigHomeGuard home;
    SettingsManager& store = SettingsManager::shared(); // follows XDG_CONFIG_HOME at each use
    QString path = QDir(home.vorlexConfigDir()).filePath(QStringLiteral("settings.json"));
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
    EXPECT_EQ(modeOf(path), 0600u) << "the file holds the DeepL key";
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
        writeFile(path, QJsonDocument(object).toJson());
        EXPECT_EQ(store.load(), c.loadsCustom ? customSettings() : AppSettings{});
    }
}

TEST_F(SettingsManagerTest, AnUnusableFileIsKeptAsBackupAndAnUnwritableOneReportsFailure)
{
    const QByteArray typo = R"({"DeepLApiKey": "precious-key",})";
    writeFile(path, typo);
    ASSERT_TRUE(store.save(AppSettings{}));
    EXPECT_EQ(readFile(path + ".bad"), typo);
    EXPECT_EQ(modeOf(path + ".bad"), 0600u);
    ASSERT_TRUE(store.save(customSettings()));
    EXPECT_EQ(readFile(path + ".bad"), typo) << "a usable file is never backed up";

    // settings.json as a folder: the atomic replace fails, even for root, and says so.
    const QString blocked = QDir(home.path()).filePath("blocked/settings.json");
    ASSERT_TRUE(QDir().mkpath(blocked));
    EXPECT_FALSE(SettingsManager(blocked).save(customSettings()));
    EXPECT_EQ(store.load(), customSettings());
}

TEST(HotkeyConfigTest, LabelsUseTheFixedSymbolOrderAndLinuxKeyNames)
{
    struct Case {
        QStringList modifiers;
        QString key;
        QString display;
        QString linux;
    };
    const Case cases[] = {
        {{"shift", "cmd"}, "t", "⌘⇧T", "Ctrl+Shift+T"},
        {{"shift", "opt", "ctrl", "cmd"}, "/", "⌃⌥⌘⇧/", "Ctrl+Alt+Shift+Super+/"},
        {{"hyper"}, "1", "1", "1"},
        {{"cmd"}, "", "—", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.display.toStdString());
        EXPECT_EQ((HotkeyConfig{c.modifiers, c.key}.displayLabel()), c.display);
        EXPECT_EQ((HotkeyConfig{c.modifiers, c.key}.linuxLabel()), c.linux);
    }
}

} // namespace
