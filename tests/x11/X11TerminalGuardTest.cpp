// How a copy reaches the focused X window: never a key for one that takes none (a terminal, Emacs,
// gVim), whose highlight is taken only when PRIMARY is its application's own; the copy key elsewhere.

#include "X11TerminalGuard.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlex::x11;

namespace {

TEST(X11TerminalGuard, AHighlightIsTakenOnlyWhenPrimaryIsTheWindowsApplications)
{
    // The focus: takes no keys; the active window's and PRIMARY's clients, their processes.
    const std::tuple<const char*, X11Focus, X11Copy> cases[] = {
        {"Alacritty, two connections", {true, 0x600000, 0xc00000, 7, 7}, X11Copy::readPrimary},
        {"a terminal, no process known", {true, 0x600000, 0xc00000, -1, -1}, X11Copy::nothing},
        {"a browser", {false, 0x400000, 0x400000, 7, 7}, X11Copy::copyKey},
    };
    for (const auto& [what, focus, copy] : cases)
        EXPECT_EQ(chooseCopy(focus), copy) << what;
}

} // namespace
