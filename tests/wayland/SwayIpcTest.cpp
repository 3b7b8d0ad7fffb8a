// Which window sway's tree says has the focus, wherever it sits in the tree.

#include "SwayIpc.h"
#include "FakePlatform.h"
#include "SwayTerminalGuard.h"

#include "TestSupport.h"

#include <QLocalServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vorlex;
using namespace vorlex::wayland;

namespace {

TEST(SwayIpc, TheFocusedWindowIsFoundInTheTree)
{
    // A workspace holding foot, and a floating X window; one of the three is focused.
    const QString tree = uR"({"nodes": [{"type": "workspace", "focused": %1, "nodes": [{"app_id": "foot",
        "shell": "xdg_shell", "pid": 42, "focused": %2}], "floating_nodes": [{"shell": "xwayland", "focused": %3}]}]})"_s;
    EXPECT_EQ(focusedWindowIn(tree.arg("true", "false", "false").toUtf8()), SwayWindow{}) << "an empty workspace";
    EXPECT_EQ(focusedWindowIn(tree.arg("false", "true", "false").toUtf8()), (SwayWindow{u"foot"_s, false, 42}));
    EXPECT_EQ(focusedWindowIn(tree.arg("false", "false", "true").toUtf8()), (SwayWindow{QString(), true}));
    EXPECT_EQ(focusedWindowIn("not a tree"), std::nullopt);
}

// A sway that takes the question and never answers: no key goes anywhere, and the focus counts as a
// terminal, so nothing is pasted either.
TEST(SwayTerminalGuard, NoAnswerInTimeMeansNoKey)
{
    QTemporaryDir dir;
    QLocalServer silentSway;
    ASSERT_TRUE(silentSway.listen(dir.filePath(u"sway-ipc.sock"_s)));
    FakePlatform desktop; // the X and the Wayland keys both go to its log
    const auto guard =
        createSwayTerminalGuard(silentSway.fullServerName(), std::make_unique<ForwardingKeySender>(desktop.keySender()),
                                desktop.keySender(), nullptr, desktop.clipboard());
    QObject context;
    bool keysDone = false;
    std::optional<FocusedApplication> focus;
    guard->sendCopy();
    guard->whenSent(&context, [&] { keysDone = true; });
    guard->inspectFocus(&context, [&](FocusedApplication told) { focus = told; });

    ASSERT_TRUE(test::waitUntil([&] { return keysDone && focus; }, 2000));
    EXPECT_EQ(focus, FocusedApplication::terminal);
    EXPECT_EQ(desktop.log, QStringList()) << "no key without sway's answer";
}

} // namespace
