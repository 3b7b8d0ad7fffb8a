// Which window sway's tree says has the focus, wherever it sits in the tree.

#include "SwayIpc.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlex::wayland;

namespace {

TEST(SwayIpc, TheFocusedWindowIsFoundInTheTree)
{
    // A workspace holding foot, and a floating X window; F marks the one focused.
    const QByteArray tree = R"({"nodes": [{"type": "workspace", "focused": F1, "nodes": [{"app_id": "foot",
        "shell": "xdg_shell", "focused": F2}], "floating_nodes": [{"app_id": null, "shell": "xwayland",
        "focused": F3}]}]})";
    const auto focused = [&](int which) {
        QByteArray marked = tree;
        for (int i = 1; i <= 3; ++i)
            marked.replace("F" + QByteArray::number(i), i == which ? "true" : "false");
        return focusedWindowIn(marked);
    };
    EXPECT_EQ(focused(1), SwayWindow{}) << "an empty workspace";
    EXPECT_EQ(focused(2), (SwayWindow{u"foot"_s, false}));
    EXPECT_EQ(focused(3), (SwayWindow{QString(), true}));
    EXPECT_EQ(focusedWindowIn("not a tree"), std::nullopt);
}

} // namespace
