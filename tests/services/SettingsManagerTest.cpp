#include "SettingsManager.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace vorlex {
// Readable failures: the record as the file would hold it.
void PrintTo(const AppSettings& settings, std::ostream* out)
{
    *out << QJsonDocument(settings.toJson()).toJson(QJsonDocument::Compact).toStdString();
}
} // namespace vorlex

using namespace vorlex;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

AppSettings customSettings()
{
    AppSettings settings;
    settings.engine = TranslationEngine::deepL;
    settings.targetLanguage = QStringLiteral("en");
    settings.sourceLanguage = QStringLiteral("de");
    settings.deepLApiKey = QStringLiteral("secret-key:fx");
    settings.deepLUseFreeTier = false;
    settings.windowPosition = QStringLiteral("top-left");
    settings.autoCopyToClipboard = true;
    settings.windowOpacity = 0.75;
    settings.hotkeyTranslate = {{QStringLiteral("ctrl"), QStringLiteral("opt")}, QStringLiteral("y")};
    settings.hotkeyLayoutConvert = {{}, QStringLiteral("/")};
    settings.hotkeyReplaceText = {{QStringLiteral("cmd"), QStringLiteral("shift")}, QStringLiteral("r")};
    return settings;
}

class SettingsManagerTest : public ::testing::Test {
protected:
    test::ConfigHomeGuard home;
    QString path = QDir(home.vorlexConfigDir()).filePath(QStringLiteral("settings.json"));
    SettingsManager store{path};

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(home.vorlexConfigDir())); }
};

TEST_F(SettingsManagerTest, DefaultsWithoutFileAndFolderCreatedOnFirstUse)
{
    ASSERT_TRUE(QDir(home.vorlexConfigDir()).removeRecursively());
    const AppSettings settings = SettingsManager(path).load();
    EXPECT_TRUE(QDir(home.vorlexConfigDir()).exists());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(settings.engine, TranslationEngine::google);
    EXPECT_EQ(settings.targetLanguage, "he");
    EXPECT_EQ(settings.sourceLanguage, "auto");
    EXPECT_TRUE(settings.deepLApiKey.isEmpty());
    EXPECT_TRUE(settings.deepLUseFreeTier);
    EXPECT_EQ(settings.windowPosition, "cursor");
    EXPECT_FALSE(settings.autoCopyToClipboard);
    EXPECT_DOUBLE_EQ(settings.windowOpacity, 0.98);
    EXPECT_EQ(settings.hotkeyTranslate.displayLabel(), QStringLiteral("⌘⇧T"));
    EXPECT_EQ(settings.hotkeyLayoutConvert.displayLabel(), QStringLiteral("⌘⇧K"));
    EXPECT_EQ(settings.hotkeyReplaceText.displayLabel(), QStringLiteral("—"));
}

TEST_F(SettingsManagerTest, SharedStoreLivesUnderXdgConfigHome)
{
    const QString expected = QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("VorlexMac/settings.json");
    EXPECT_EQ(SettingsManager::shared().settingsURL(), expected);
}

TEST_F(SettingsManagerTest, RoundTripWritesSortedPrettyOwnerOnlyFile)
{
    ASSERT_TRUE(store.save(customSettings()));
    EXPECT_EQ(store.load(), customSettings());

    const QByteArray bytes = readFile(path);
    EXPECT_TRUE(bytes.contains("\n    \"")) << "pretty-printed";
    EXPECT_TRUE(bytes.contains("secret-key:fx")) << "the key is stored as plain text";
    const QStringList order = {"AutoCopyToClipboard", "DeepLApiKey",       "DeepLUseFreeTier", "Engine",
                               "HotkeyLayoutConvert", "HotkeyReplaceText", "HotkeyTranslate",  "SourceLanguage",
                               "TargetLanguage",      "WindowOpacity",     "WindowPosition"};
    qsizetype previous = -1;
    for (const QString& key : order) {
        const qsizetype at = bytes.indexOf(("\"" + key + "\"").toUtf8());
        ASSERT_GT(at, previous) << key.toStdString();
        previous = at;
    }
    const qsizetype translate = bytes.indexOf("\"HotkeyTranslate\"");
    EXPECT_LT(bytes.indexOf("\"key\"", translate), bytes.indexOf("\"modifiers\"", translate));

    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(SettingsManagerTest, StrictDecodingFallsBackToTheWholeDefaultRecord)
{
    const QJsonObject valid = customSettings().toJson();
    struct Case {
        const char* name;
        std::function<void(QJsonObject&)> edit;
        bool loadsCustom;
    };
    const Case cases[] = {
        {"valid file", [](QJsonObject&) {}, true},
        {"extra key ignored", [](QJsonObject& o) { o["Unknown"] = 1; }, true},
        {"missing WindowOpacity", [](QJsonObject& o) { o.remove("WindowOpacity"); }, false},
        {"opacity as string", [](QJsonObject& o) { o["WindowOpacity"] = "0.9"; }, false},
        {"boolean as number", [](QJsonObject& o) { o["AutoCopyToClipboard"] = 1; }, false},
        {"unknown engine", [](QJsonObject& o) { o["Engine"] = "Bing"; }, false},
        {"engine in lower case", [](QJsonObject& o) { o["Engine"] = "google"; }, false},
        {"key name case differs", [](QJsonObject& o) { o["engine"] = o.take("Engine"); }, false},
        {"hotkey without modifiers",
         [](QJsonObject& o) {
             o["HotkeyTranslate"] = QJsonObject{{"key", "t"}};
         },
         false},
        {"modifier that is not a string",
         [](QJsonObject& o) {
             o["HotkeyReplaceText"] = QJsonObject{{"key", "t"}, {"modifiers", QJsonArray{"cmd", 3}}};
         },
         false},
        {"hotkey as string", [](QJsonObject& o) { o["HotkeyLayoutConvert"] = "cmd+k"; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject object = valid;
        c.edit(object);
        writeFile(path, QJsonDocument(object).toJson());
        EXPECT_EQ(store.load(), c.loadsCustom ? customSettings() : AppSettings{});
    }
    for (const QByteArray& bytes : {QByteArray("not json"), QByteArray("[]"), QByteArray(""), QByteArray("{")}) {
        SCOPED_TRACE(bytes.constData());
        writeFile(path, bytes);
        EXPECT_EQ(store.load(), AppSettings{});
    }
}

TEST_F(SettingsManagerTest, SaveKeepsAnUnusableFileAsBackup)
{
    const QByteArray typo = R"({"DeepLApiKey": "precious-key", "Engine": "DeepL",})";
    writeFile(path, typo);
    ASSERT_TRUE(store.save(AppSettings{}));
    EXPECT_EQ(readFile(path + ".bad"), typo);
    EXPECT_EQ(store.load(), AppSettings{});

    // A later unusable file replaces the older backup; a usable one is never backed up.
    writeFile(path, "second");
    ASSERT_TRUE(store.save(customSettings()));
    EXPECT_EQ(readFile(path + ".bad"), "second");
    ASSERT_TRUE(store.save(AppSettings{}));
    EXPECT_EQ(readFile(path + ".bad"), "second");

    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path + ".bad").constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the backup may hold the DeepL key too";
}

TEST_F(SettingsManagerTest, SaveReportsFailureAndLeavesTheOldFile)
{
    ASSERT_TRUE(store.save(customSettings()));
    // A directory where the temporary file would go makes the write fail, even for root.
    const QString blocked = QDir(home.path()).filePath("blocked/settings.json");
    ASSERT_TRUE(QDir().mkpath(blocked)); // settings.json is itself a directory
    SettingsManager broken(blocked);
    EXPECT_FALSE(broken.save(customSettings()));
    EXPECT_EQ(broken.load(), AppSettings{});
    EXPECT_EQ(store.load(), customSettings());
}

TEST(HotkeyConfigTest, LabelsFollowTheFixedSymbolOrder)
{
    struct Case {
        QStringList modifiers;
        QString key;
        QString display;
        QString linux;
    };
    const Case cases[] = {
        {{"cmd", "shift"}, "T", "⌘⇧T", "Ctrl+Shift+T"},
        {{"shift", "cmd"}, "t", "⌘⇧T", "Ctrl+Shift+T"},
        {{"ctrl", "opt"}, "k", "⌃⌥K", "Alt+Super+K"},
        {{"shift", "shift", "opt", "ctrl", "cmd"}, "/", "⌃⌥⌘⇧/", "Ctrl+Alt+Shift+Super+/"},
        {{"hyper"}, "1", "1", "1"},
        {{"cmd"}, "", "—", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.display.toStdString());
        const HotkeyConfig config{c.modifiers, c.key};
        EXPECT_EQ(config.displayLabel(), c.display);
        EXPECT_EQ(config.linuxLabel(), c.linux);
    }
}

TEST(HotkeyConfigTest, EqualityIsOrderSensitive)
{
    EXPECT_EQ((HotkeyConfig{{"cmd", "shift"}, "t"}), (HotkeyConfig{{"cmd", "shift"}, "t"}));
    EXPECT_NE((HotkeyConfig{{"cmd", "shift"}, "t"}), (HotkeyConfig{{"shift", "cmd"}, "t"}));
    EXPECT_NE((HotkeyConfig{{"cmd"}, "t"}), (HotkeyConfig{{"cmd"}, "T"}));
}

} // namespace
