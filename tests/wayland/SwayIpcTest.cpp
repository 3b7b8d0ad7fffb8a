// Which window sway's tree says has the focus, wherever it sits in the tree.

#include "SwayIpc.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlex::wayland;

namespace {

TEST(SwayIpc, TheFocusedWindowIsFoundInTheTree)
{
    // A workspace holding foot, and a floating X window; one of the three is focused.
    const QString tree = uR"({"nodes": [{"type": "workspace", "focused": %1, "nodes": [{"app_id": "foot",
        "shell": "xdg_shell", "pid": 42, "focused": %2}], "floating_nodes": [{"shell": "xwayland", "focused": %3}]}]})"_s;
    const auto focused = [&](const char* workspace, const char* foot, const char* x) {
        return focusedWindowIn(tree.arg(workspace, foot, x).toUtf8());
    };
    EXPECT_EQ(focused("true", "false", "false"), SwayWindow{}) << "an empty workspace";
    EXPECT_EQ(focused("false", "true", "false"), (SwayWindow{u"foot"_s, false, 42}));
    EXPECT_EQ(focused("false", "false", "true"), (SwayWindow{QString(), true}));
    EXPECT_EQ(focusedWindowIn("not a tree"), std::nullopt);
}

} // namespace
