#include "AppDelegate.h"
#include "FakePlatform.h"
#include "SettingsManager.h"
#include "SettingsWindowController.h"
#include "StatusBarController.h"
#include "TestSupport.h"
#include "TranslationService.h"

#include <QWidget>

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

class AppDelegateTest : public ::testing::Test {
protected:
    FakePlatform platform;

    std::unique_ptr<AppDelegate> launch(const QStringList& userArguments)
    {
        auto delegate = std::make_unique<AppDelegate>(platform, QStringList{"vorlex"} + userArguments);
        delegate->applicationDidFinishLaunching();
        return delegate;
    }

    static QString popupText(AppDelegate& delegate)
    {
        TranslationWindowController* popup = delegate.existingTranslationWindow();
        return popup ? popup->translationVC->originalText : QString();
    }

    static bool settingsShown(AppDelegate& delegate)
    {
        return delegate.settingsWindow() && delegate.settingsWindow()->window()->isVisible();
    }
};

TEST_F(AppDelegateTest, LaunchSetsUpTrayHotkeysAndAccessCheckBeforeTheArgument)
{
    AppSettings stored;
    stored.hotkeyReplaceText = {{"cmd", "opt"}, "r"};
    ASSERT_TRUE(SettingsManager::shared().save(stored));

    auto delegate = launch({"hello"});
    EXPECT_NE(delegate->statusBarController(), nullptr);
    EXPECT_EQ(HotkeyManager::shared().currentSettings, stored);
    EXPECT_TRUE(HotkeyManager::shared().actionHandler);
    EXPECT_EQ(platform.fakeSession.inputAccessChecks, 1);
    EXPECT_EQ(delegate->existingTranslationWindow(), nullptr) << "the argument waits 0.1 s";

    ASSERT_TRUE(SettingsManager::shared().save(AppSettings{}));
}

TEST_F(AppDelegateTest, FirstArgumentDecidesWhatOpens)
{
    struct Case {
        QStringList arguments;
        QString popup; // empty: no popup
        bool settings;
    };
    const Case cases[] = {
        {{}, {}, false},
        {{"--settings"}, {}, true},
        {{"hello"}, "hello", false},
        {{"-reverse"}, "-reverse", false},
        {{""}, {}, false},
        {{"vorlex:?text=shalom"}, "shalom", false},
        {{"vorlex:?text="}, {}, false},
        {{"vorlex:abc"}, "vorlex:abc", false},
        {{"hello", "--settings"}, "hello", false},
        {{"--settings", "hello"}, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        auto delegate = launch(c.arguments);
        platform.fakeScheduler.advance(AppDelegate::launchArgumentDelayMs - 1);
        EXPECT_EQ(delegate->existingTranslationWindow(), nullptr);
        platform.fakeScheduler.advance(1);
        EXPECT_EQ(popupText(*delegate), c.popup);
        EXPECT_EQ(settingsShown(*delegate), c.settings);
    }
}

TEST_F(AppDelegateTest, ExtractTextReadsOnlyTheTextQueryItem)
{
    struct Case {
        const char* argument;
        const char* text;
    };
    const Case cases[] = {
        {"hello", "hello"},
        {"vorlex:?text=hello%20world", "hello world"},
        {"vorlex://translate?text=%D7%A9%D7%9C%D7%95%D7%9D", "שלום"},
        {"vorlex:?text=1+1", "1+1"},
        {"vorlex:?text=1%2B1", "1+1"},
        {"vorlex:?other=x&text=second&text=third", "second"},
        {"vorlex:?text=", ""},
        {"vorlex:?text", "vorlex:?text"},
        {"vorlex:abc", "vorlex:abc"},
        {"vorlex:///path/only", "vorlex:///path/only"},
        {"vorlex:?text=a#frag", "a"},
        {"VORLEX:?text=a", "VORLEX:?text=a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        EXPECT_EQ(AppDelegate::extractText(QString::fromUtf8(c.argument)), QString::fromUtf8(c.text));
    }
}

TEST_F(AppDelegateTest, CaptureCopiesAfterActivationAndReadsAfterTheSettleTime)
{
    AppDelegate delegate(platform, {"vorlex"});
    platform.fakeWindowSystem.active = 42;
    platform.selectText(QStringLiteral("  שלום  "));

    std::vector<std::optional<QString>> results;
    delegate.grabSelectedText([&](std::optional<QString> text) { results.push_back(text); });
    EXPECT_TRUE(results.empty()) << "never before returning";
    EXPECT_EQ(platform.log, QStringList{"activate 42"});

    platform.fakeScheduler.advance(AppDelegate::copyDelayMs - 1);
    EXPECT_TRUE(platform.fakeKeySender.sent.isEmpty());
    platform.fakeScheduler.advance(1);
    EXPECT_EQ(platform.fakeKeySender.sent, QStringList{"copy"});
    platform.fakeScheduler.advance(AppDelegate::copySettleMs - 1);
    EXPECT_TRUE(results.empty());
    platform.fakeScheduler.advance(1);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], QStringLiteral("  שלום  ")) << "delivered untrimmed";
    platform.fakeScheduler.advance(10000);
    EXPECT_EQ(results.size(), 1u) << "exactly once";
}

TEST_F(AppDelegateTest, CaptureDeliversNothingWithoutANewNonEmptyCopy)
{
    AppDelegate delegate(platform, {"vorlex"});
    struct Case {
        const char* name;
        std::function<void()> setUp;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"nothing selected", [&] { platform.selectNothing(); }, std::nullopt},
        {"copy of no text", [&] { platform.selectText(QString()); }, std::nullopt},
        {"same text as before still counts",
         [&] {
             platform.fakeClipboard.externalCopy("same");
             platform.selectText("same");
         },
         QStringLiteral("same")},
        {"blanks only", [&] { platform.selectText("   "); }, QStringLiteral("   ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.setUp();
        int calls = 0;
        std::optional<QString> result = QStringLiteral("unset");
        delegate.grabSelectedText([&](std::optional<QString> text) {
            ++calls;
            result = text;
        });
        platform.fakeScheduler.advance(AppDelegate::copyDelayMs + AppDelegate::copySettleMs);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(result, c.expected);
    }
}

TEST_F(AppDelegateTest, OverlappingCapturesEachKeepTheirOwnCount)
{
    AppDelegate delegate(platform, {"vorlex"});
    platform.selectText("first");
    std::optional<QString> first;
    std::optional<QString> second;
    delegate.grabSelectedText([&](std::optional<QString> text) { first = text; });
    platform.fakeScheduler.advance(100);
    platform.selectNothing();
    delegate.grabSelectedText([&](std::optional<QString> text) { second = text; });
    platform.fakeScheduler.advance(1000);
    EXPECT_EQ(first, QStringLiteral("first"));
    EXPECT_EQ(second, std::nullopt) << "the first copy happened before the second capture started";
}

TEST_F(AppDelegateTest, HotkeyActionsOpenThePopupInTheirMode)
{
    auto delegate = launch({});
    platform.fakeWindowSystem.active = 7;
    platform.selectText("akuo");
    delegate->handleHotkeyAction(HotkeyManager::Action::layoutConvert);
    platform.fakeScheduler.advance(300);
    ASSERT_NE(delegate->existingTranslationWindow(), nullptr);
    TranslationViewController* content = delegate->existingTranslationWindow()->translationVC;
    EXPECT_EQ(content->mode, TranslationMode::keyboardLayout);
    EXPECT_EQ(content->originalText, "akuo");
    EXPECT_EQ(content->sourceApp, 7u);

    TranslationWindowController* popup = delegate->existingTranslationWindow();
    platform.selectText("hello");
    delegate->handleHotkeyAction(HotkeyManager::Action::translate);
    platform.fakeScheduler.advance(300);
    EXPECT_EQ(delegate->existingTranslationWindow(), popup) << "one popup, reused";
    EXPECT_EQ(content->mode, TranslationMode::translate);
    EXPECT_EQ(content->originalText, "hello");

    platform.selectNothing();
    delegate->handleHotkeyAction(HotkeyManager::Action::layoutConvert);
    platform.fakeScheduler.advance(300);
    EXPECT_EQ(content->originalText, "hello") << "nothing selected: nothing happens";
}

TEST_F(AppDelegateTest, FailedTranslateAndReplaceTouchesNothing)
{
    auto delegate = launch({});
    platform.fakeClipboard.externalCopy("user's clipboard");
    platform.log.clear();
    delegate->translateAndReplace(QStringLiteral("   "));
    // A second request queued behind the first: once it is answered, so is the controller's.
    bool answered = false;
    TranslationService::translate(QStringLiteral("   "), AppSettings{}, std::nullopt, nullptr,
                                  [&](const TranslationOutcome&) { answered = true; });
    ASSERT_TRUE(test::waitUntil([&] { return answered; }));
    EXPECT_EQ(platform.fakeClipboard.text(), "user's clipboard");
    EXPECT_TRUE(platform.fakeClipboard.writes.isEmpty());
    EXPECT_FALSE(platform.log.contains("paste"));
}

TEST_F(AppDelegateTest, OpenSettingsTwiceShowsOneWindow)
{
    auto delegate = launch({});
    delegate->openSettings();
    SettingsWindowController* first = delegate->settingsWindow();
    first->window()->hide();
    delegate->openSettings();
    EXPECT_EQ(delegate->settingsWindow(), first);
    EXPECT_TRUE(first->window()->isVisible());
    EXPECT_FALSE(platform.fakeWindowSystem.activations.empty()) << "brought to the front";
}

} // namespace
