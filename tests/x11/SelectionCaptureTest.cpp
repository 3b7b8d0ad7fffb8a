// Captures and replace against a real Tk application (clipboardowner.py): as an editor, as a clipboard
// owner that never answers, and as a stand-in for LibreOffice Writer that learns late that it lost the
// clipboard.

#include "SelectionCapture.h"

#include "ActionRunner.h"
#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "X11Platform.h"

#include <gtest/gtest.h>

using namespace vorlex;
using namespace vorlex::test;

namespace {

const QStringList ownerScript = {VORLEX_SOURCE_DIR "/tests/support/clipboardowner.py"}; // run by /usr/bin/python3

// Tk copies again without taking the clipboard again: the text the clipboard serves after the copy key
// is the copy where it differs from before, and what was there before never is. An owner that never
// answers costs its own capture and nothing else: the event loop never sleeps 100 ms, and the next
// capture works.
TEST(SelectionCapture, ACopyWithoutANewOwnerIsTakenAndABadOwnerCostsOnlyItsCapture)
{
    const std::unique_ptr<Platform> platform = createX11Platform();
    SelectionCapture captures(*platform);
    const std::pair<QStringList, QList<std::optional<QString>>> cases[] = {
        {{"--answer", "never", "--chars", "10"}, {std::nullopt}}, // hung: it takes no key either
        {{"one", "two", ""}, {u"one"_s, u"two"_s, std::nullopt}},
    };
    const FreezeWatch freezes;
    QObject context;
    for (const auto& [arguments, captured] : cases) {
        ChildProcess application(u"/usr/bin/python3"_s, ownerScript + arguments);
        ASSERT_TRUE(application.waitFor("ready"));
        for (const std::optional<QString>& text : captured) {
            std::optional<std::optional<QString>> result;
            captures.capture(&context, 0, {}, [&](std::optional<QString> copied) { result = copied; });
            EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
            EXPECT_EQ(result.value_or(std::nullopt), text);
        }
    }
    EXPECT_LT(freezes.longestMs(), 100);
}

// An application that learns only later that it lost the clipboard (here 50 ms) pastes its own text
// until then: replace presses Ctrl+V once it can have let go.
TEST(SelectionCapture, ReplacePastesTheTranslationIntoAnEditorThatLearnsLateItLostTheClipboard)
{
    LocalHttpServer server; // the history goes to the test main's config home
    server.setDefaultReply(LocalHttpServer::Reply::googleTranslation(u"new"_s, u"he"_s));
    const std::unique_ptr<Platform> platform = createX11Platform();
    ActionRunner runner(*platform, {server.baseUrl(), server.baseUrl(), server.baseUrl()},
                        {SettingsManager::shared(), HistoryManager::shared(), HotkeyManager::shared()});
    ChildProcess editor(u"/usr/bin/python3"_s, ownerScript + QStringList{"--serve", "old", "--late", "50"});
    ASSERT_TRUE(editor.waitFor("ready"));
    runner.translateAndReplace(u"ישן"_s);
    ASSERT_TRUE(editor.waitFor("pasted"));
    EXPECT_EQ(editor.last("pasted"), "new");
}

} // namespace
