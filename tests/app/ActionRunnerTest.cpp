#include "ActionRunner.h"

#include "AppFixture.h"
#include "HistoryManager.h"

#include <QPushButton>

using namespace vorlex;
using namespace vorlex::test;

namespace {

class ActionRunnerTest : public AppFixture {};

// A hotkey copies from the window it was pressed in, at once, and acts as soon as the copy lands
// (untrimmed), or not at all when it brings no text within 0.25 s.
TEST_F(ActionRunnerTest, AHotkeyActsAsSoonAsTheCopyLands)
{
    const std::tuple<std::optional<int>, QString, std::optional<int>> cases[] = {
        {300, u"late"_s, std::nullopt},
        {0, QString(), std::nullopt}, // the copy holds no text
        {std::nullopt, u"nothing selected"_s, std::nullopt},
        {0, u"  שלום  "_s, 0},
        {200, u"x"_s, 200},
    };
    for (const auto& [landingMs, selection, shownAtMs] : cases) {
        SCOPED_TRACE(selection);
        platform.active = 7;
        landingMs ? platform.selectText(selection, *landingMs) : platform.selectNothing();
        platform.log.clear();
        runner.run(ActionRunner::Action::layoutConvert);
        const Shown wanted{TranslationMode::keyboardLayout, selection, 7};
        EXPECT_NE(popup(), wanted) << "never before returning";
        int waitedMs = 0;
        for (platform.fakeScheduler.advance(0); popup() != wanted && waitedMs < 1000; ++waitedMs)
            platform.fakeScheduler.advance(1);
        EXPECT_EQ(popup() == wanted ? std::optional(waitedMs) : std::nullopt, shownAtMs);
        EXPECT_EQ(platform.log.value(0), u"copy"_s) << "the hotkey's window is active already";
    }
}

// Every paste waits until the desktop serves the clipboard (GNOME copies it over to its own clients).
TEST_F(ActionRunnerTest, TranslateAndReplacePastesOnlyASuccessfulTranslationOnceServedAndRecordsNothing)
{
    server.enqueueReply(LocalHttpServer::Reply::text("busy", 503));
    server.enqueueReply(LocalHttpServer::Reply::googleTranslation(u"Hello"_s, u"he"_s));
    platform.selectText(u"שלום"_s);
    platform.servedLater = true;
    for (int request = 1; request <= 2; ++request) {
        runner.run(ActionRunner::Action::replaceText);
        platform.fakeScheduler.advance(0);
        ASSERT_TRUE(server.waitForRequests(request));
    }
    EXPECT_TRUE(waitUntil([&] { return platform.writes == QStringList{u"Hello"_s}; })) << "a failure pastes nothing";
    EXPECT_FALSE(platform.log.contains(u"paste"_s));
    platform.serve();
    EXPECT_EQ(platform.log.count(u"paste"_s), 1);
    EXPECT_TRUE(HistoryManager::shared().load().isEmpty()) << "only the popup records";
}

// A newer replace aborts one still translating, which would paste wherever the focus is by then: a
// flood leaves one request in flight, so the seventh reaches a server that never answers, though the
// client opens only six connections to it.
TEST_F(ActionRunnerTest, ANewerReplaceSupersedesOneStillTranslating)
{
    server.setDefaultReply(LocalHttpServer::Reply::hanging());
    for (int i = 1; i <= 7; ++i)
        runner.translateAndReplace(u"hello %1"_s.arg(i));
    EXPECT_TRUE(server.waitForQueryEnding("hello%207"));
}

// In a terminal, where Ctrl+V types a control character, replace shows the translation instead.
TEST_F(ActionRunnerTest, InATerminalReplaceShowsThePopupAndPastesNothing)
{
    platform.terminalFocused = true;
    platform.active = 5;
    platform.selectText(u"שלום"_s);
    runner.run(ActionRunner::Action::replaceText);
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(popup(), (Shown{TranslationMode::translate, u"שלום"_s, 5}));
    EXPECT_TRUE(platform.writes.isEmpty());
}

// The popup's replace: the result on the clipboard and the popup hidden at once, 0.05 s later the
// window it was opened over activated, 0.15 s after that the paste, once served; none into a terminal.
TEST_F(ActionRunnerTest, ThePopupsReplaceReturnsToTheSourceWindowAndPastes)
{
    for (const auto& [servedLater, terminal] : {std::pair(false, false), {true, false}, {false, true}}) {
        SCOPED_TRACE(testing::Message() << servedLater << terminal);
        platform.servedLater = servedLater;
        platform.terminalFocused = terminal;
        platform.active = 42;
        runner.show(TranslationMode::keyboardLayout, u"akuo"_s);
        platform.log.clear();
        runner.popup()->window()->findChild<QPushButton*>(u"replaceButton"_s)->click();
        EXPECT_FALSE(runner.popup()->window()->isVisible());
        platform.fakeScheduler.advance(49);
        EXPECT_EQ(platform.log, QStringList{u"setText שלום"_s});
        platform.fakeScheduler.advance(150);
        EXPECT_EQ(platform.log, (QStringList{u"setText שלום"_s, u"activate 42"_s}));
        platform.fakeScheduler.advance(1);
        EXPECT_EQ(platform.log.contains(u"paste"_s), !servedLater && !terminal);
        platform.serve();
        EXPECT_EQ(platform.log.last() == u"paste"_s, !terminal);
    }
}

} // namespace
