#include "AppDelegate.h"
#include "FakePlatform.h"
#include "HistoryManager.h"
#include "LocalHttpServer.h"
#include "SettingsWindowController.h"
#include "TestSupport.h"
#include "TranslationService.h"

#include <QWidget>

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

class AppDelegateTest : public ::testing::Test {
protected:
    test::ConfigHomeGuard home;
    FakePlatform platform;

    std::unique_ptr<AppDelegate> launch(const QStringList& userArguments)
    {
        auto delegate = std::make_unique<AppDelegate>(platform, QStringList{"vorlex"} + userArguments);
        delegate->applicationDidFinishLaunching();
        return delegate;
    }

    static TranslationViewController* popup(AppDelegate& delegate)
    {
        TranslationWindowController* window = delegate.existingTranslationWindow();
        return window ? window->translationVC : nullptr;
    }
};

TEST_F(AppDelegateTest, ArgumentsDecideWhatOpens)
{
    struct Case {
        QStringList arguments;
        QString popup; // empty: no popup
        bool settings = false;
    };
    const Case cases[] = {
        {{}, {}},
        {{"--settings", "hello"}, {}, true},
        {{"-reverse"}, "-reverse"}, // read before QApplication takes its own options out
        {{"vorlex:?other=x&text=1+1%20a&text=b#f"}, "1+1 a"},
        {{"vorlex:?text"}, "vorlex:?text"},
        {{"vorlex:///hello%20world"}, "vorlex:///hello%20world"},    // typed: the first-argument rules
        {{"--open-url", "vorlex:///hello%20world/"}, "hello world"}, // opened on the desktop
        {{"--open-url", "vorlex:?text=&x=1"}, {}},
        {{"--open-url", "vorlex://"}, {}},
        {{"--open-url"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        auto delegate = launch(c.arguments);
        platform.fakeScheduler.advance(AppDelegate::launchArgumentDelayMs);
        EXPECT_EQ(popup(*delegate) ? popup(*delegate)->originalText : QString(), c.popup);
        EXPECT_EQ(delegate->settingsWindow() && delegate->settingsWindow()->window()->isVisible(), c.settings);
    }
}

TEST_F(AppDelegateTest, CaptureReadsTheClipboardAsSoonAsTheCopyLands)
{
    AppDelegate delegate(platform, {"vorlex"});
    platform.fakeWindowSystem.active = 42;
    struct Case {
        const char* name;
        std::optional<int> landingMs; // nothing: nothing is selected
        QString text;
        int completesAtMs;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"at once", 0, "  שלום  ", 0, QStringLiteral("  שלום  ")},
        {"late", 200, "x", 200, QStringLiteral("x")},
        {"too late", 300, "x", 250, std::nullopt},
        {"nothing selected", std::nullopt, "", 250, std::nullopt},
        {"no text", 0, "", 0, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform.fakeScheduler.advance(1000); // anything late from the row before lands now
        if (c.landingMs)
            platform.selectText(c.text, *c.landingMs);
        else
            platform.selectNothing();
        platform.log.clear();
        int calls = 0;
        std::optional<QString> result;
        const qint64 start = platform.fakeScheduler.now();
        delegate.grabSelectedText([&](std::optional<QString> text) {
            ++calls;
            result = text;
            EXPECT_EQ(platform.fakeScheduler.now() - start, c.completesAtMs);
        });
        EXPECT_EQ(calls, 0) << "never before returning";
        platform.fakeScheduler.advance(1000);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(platform.log.first(), "copy") << "the hotkey's window is active already";
    }
}

TEST_F(AppDelegateTest, HotkeyActionsByKeyOrByNameOpenTheirPopup)
{
    auto delegate = launch({});
    platform.fakeWindowSystem.active = 7;
    platform.selectText("akuo");
    EXPECT_FALSE(delegate->runHotkeyAction("Layout"));
    EXPECT_TRUE(delegate->runHotkeyAction("layout"));
    platform.fakeScheduler.advance(300);
    ASSERT_NE(popup(*delegate), nullptr);
    EXPECT_EQ(popup(*delegate)->mode, TranslationMode::keyboardLayout);
    EXPECT_EQ(popup(*delegate)->originalText, "akuo");
    EXPECT_EQ(popup(*delegate)->sourceApp, 7u);

    platform.selectNothing();
    delegate->handleHotkeyAction(HotkeyManager::Action::translate);
    platform.fakeScheduler.advance(300);
    EXPECT_EQ(popup(*delegate)->mode, TranslationMode::keyboardLayout) << "nothing selected: nothing happens";
}

TEST_F(AppDelegateTest, TranslateAndReplacePastesOnlyASuccessfulTranslation)
{
    test::LocalHttpServer server;
    const TranslationEndpoints saved = TranslationService::endpoints();
    TranslationService::setEndpoints({server.baseUrl(), server.baseUrl()});
    auto delegate = launch({});
    platform.selectText("שלום");
    for (const bool succeeds : {false, true}) {
        SCOPED_TRACE(succeeds);
        server.enqueueReply(succeeds ? test::LocalHttpServer::Reply::googleTranslation("Hello", "he")
                                     : test::LocalHttpServer::Reply::text("busy", 503));
        delegate->runHotkeyAction("replace");
        platform.fakeScheduler.advance(300);
        ASSERT_TRUE(server.waitForRequests(succeeds ? 2 : 1));
        ASSERT_TRUE(test::waitUntil([&] { return !succeeds || platform.log.contains("paste"); }));
    }
    EXPECT_EQ(platform.fakeClipboard.writes, QStringList{"Hello"});
    EXPECT_EQ(platform.log.count("paste"), 1);
    TranslationService::setEndpoints(saved);
}

} // namespace
