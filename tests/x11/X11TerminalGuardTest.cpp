// How a copy reaches the focused X window: never a key for a terminal, whose selection is taken only
// when PRIMARY is its own; the copy key for every other window.

#include "X11TerminalGuard.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlex::x11;

namespace {

TEST(X11TerminalGuard, ATerminalsSelectionIsTakenOnlyWhenPrimaryIsItsOwn)
{
    struct Case {
        const char* what;
        X11Focus focus; // WM_CLASS, the active window's and PRIMARY's clients, their processes
        X11Copy copy;
    };
    const Case cases[] = {
        {"xterm, PRIMARY its own", {u"xterm"_s, u"XTerm"_s, 0x400000, 0x400000, 7, 7}, X11Copy::readPrimary},
        {"Alacritty, two connections", {u"x"_s, u"Alacritty"_s, 0x600000, 0xc00000, 7, 7}, X11Copy::readPrimary},
        {"kitty, PRIMARY another program's", {u"kitty"_s, u"kitty"_s, 0x600000, 0xc00000, 7, 8}, X11Copy::nothing},
        {"urxvt, no process known", {u"urxvt"_s, u"URxvt"_s, 0x600000, 0xc00000, -1, -1}, X11Copy::nothing},
        {"a browser", {u"Navigator"_s, u"firefox-esr"_s, 0x400000, 0x400000, 7, 7}, X11Copy::copyKey},
    };
    for (const Case& row : cases)
        EXPECT_EQ(chooseCopy(row.focus), row.copy) << row.what;
}

} // namespace
