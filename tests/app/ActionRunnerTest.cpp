#include "ActionRunner.h"

#include "AppFixture.h"
#include "HistoryManager.h"

#include <QPushButton>

using namespace vorlex;
using namespace vorlex::test;

namespace {

class ActionRunnerTest : public AppFixture {};

// A hotkey copies from the window it was pressed in, at once, and acts as soon as the copy lands
// (untrimmed), or not at all when it brings no text, or only white space, within 0.25 s. An
// application that owns the clipboard already may copy without announcing it: a text other than the
// one served before the copy key is then the copy, the same one is not. A clipboard announced empty
// first waits for its text.
TEST_F(ActionRunnerTest, AHotkeyActsAsSoonAsTheCopyLands)
{
    struct Case {
        std::optional<int> landingMs; // none: nothing selected
        QString selection;
        std::optional<int> shownAtMs;
        bool announced = true;
        bool emptyFirst = false;
    };
    platform.externalCopy(u"before"_s);
    const Case cases[] = {
        {0, u"before"_s, std::nullopt, false}, // what the clipboard served before
        {300, u"late"_s, std::nullopt},
        {0, QString(), std::nullopt}, // the copy holds no text
        {0, u" \n\u00a0"_s, std::nullopt},
        {std::nullopt, u"nothing selected"_s, std::nullopt},
        {0, u"  שלום  "_s, 0},
        {200, u"x"_s, 200},
        {0, u"y"_s, 250, false},
        {0, u"z"_s, 5, true, true},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.selection);
        platform.active = 7;
        row.landingMs ? platform.selectText(row.emptyFirst ? QString() : row.selection, *row.landingMs, row.announced)
                      : platform.selectNothing();
        if (row.emptyFirst)
            platform.fakeScheduler.after(5, nullptr, [&] { platform.externalCopy(row.selection); });
        platform.log.clear();
        runner.run(ActionRunner::Action::layoutConvert);
        const Shown wanted{TranslationMode::keyboardLayout, row.selection, 7};
        EXPECT_NE(popup(), wanted) << "never before returning";
        int waitedMs = 0;
        for (platform.fakeScheduler.advance(0); popup() != wanted && waitedMs < 1000; ++waitedMs)
            platform.fakeScheduler.advance(1);
        EXPECT_EQ(popup() == wanted ? std::optional(waitedMs) : std::nullopt, row.shownAtMs);
        EXPECT_EQ(platform.log.value(0), u"copy"_s) << "the hotkey's window is active already";
    }
}

// A copy that lands after its capture gave up is never the next capture's text: the next capture
// copies once it landed, or once no copy can still land.
TEST_F(ActionRunnerTest, ALateCopyIsNeverTheNextCapturesText)
{
    const std::pair<std::optional<int>, int> cases[] = {{300, 300}, {std::nullopt, SelectionCapture::lateCopyMs}};
    for (const auto& [landingMs, secondCopyMs] : cases) {
        platform.active = 7;
        landingMs ? platform.selectText(u"first"_s, *landingMs) : platform.selectNothing();
        runner.run(ActionRunner::Action::layoutConvert);
        platform.fakeScheduler.advance(260);
        const QString second = u"second %1"_s.arg(secondCopyMs);
        platform.selectText(second, 10);
        runner.run(ActionRunner::Action::layoutConvert);
        platform.log.clear();
        platform.fakeScheduler.advance(secondCopyMs - 261);
        EXPECT_TRUE(platform.log.isEmpty());
        platform.fakeScheduler.advance(1);
        EXPECT_EQ(platform.log, QStringList{u"copy"_s});
        platform.fakeScheduler.advance(10);
        EXPECT_EQ(popup(), (Shown{TranslationMode::keyboardLayout, second, 7}));
    }
}

// Every paste waits until the application that held the clipboard can have let go of it, and until
// the desktop serves the clipboard (GNOME copies it over to its own clients). The translation keeps
// the selection's white space, which the service trims.
TEST_F(ActionRunnerTest, TranslateAndReplacePastesOnlyASuccessfulTranslationOnceServedAndRecordsNothing)
{
    server.enqueueReply(LocalHttpServer::Reply::text("busy", 503));
    server.enqueueReply(LocalHttpServer::Reply::googleTranslation(u"Hello"_s, u"he"_s));
    platform.selectText(u" שלום\n"_s);
    platform.servedLater = true;
    for (int request = 1; request <= 2; ++request) {
        runner.run(ActionRunner::Action::replaceText);
        platform.fakeScheduler.advance(0);
        ASSERT_TRUE(server.waitForRequests(request));
    }
    EXPECT_TRUE(waitUntil([&] { return platform.writes == QStringList{u" Hello\n"_s}; })) << "a failure pastes nothing";
    platform.fakeScheduler.advance(ActionRunner::previousOwnerLetGoMs - 1);
    platform.serve();
    EXPECT_FALSE(platform.log.contains(u"paste"_s));
    platform.fakeScheduler.advance(1);
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
        runner.show(TranslationMode::keyboardLayout, u"akuo\n"_s);
        platform.log.clear();
        runner.popup()->window()->findChild<QPushButton*>(u"replaceButton"_s)->click();
        EXPECT_FALSE(runner.popup()->window()->isVisible());
        platform.fakeScheduler.advance(49);
        EXPECT_EQ(platform.log, QStringList{u"setText שלום\n"_s}) << "the line break once";
        platform.fakeScheduler.advance(150);
        EXPECT_EQ(platform.log, (QStringList{u"setText שלום\n"_s, u"activate 42"_s}));
        platform.fakeScheduler.advance(1);
        EXPECT_EQ(platform.log.contains(u"paste"_s), !servedLater && !terminal);
        platform.serve();
        EXPECT_EQ(platform.log.last() == u"paste"_s, !terminal);
    }
}

} // namespace
