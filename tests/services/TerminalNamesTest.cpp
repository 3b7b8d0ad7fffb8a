#include "TerminalNames.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace vorlex {
namespace {

// A window takes no key when its process holds a pseudo-terminal, whatever it is called; by its name
// only where its process cannot be looked into; Emacs and gVim always.
TEST(TerminalNames, AWindowTakesNoKeysByItsProcessElseByItsName)
{
    test::ChildProcess terminal(u"/usr/bin/python3"_s,
                                {u"-c"_s, u"import pty, time; m, s = pty.openpty(); print('ready', flush=True); "
                                          u"time.sleep(60)"_s});
    test::ChildProcess plain(u"/bin/sh"_s, {u"-c"_s, u"echo ready; exec sleep 60"_s});
    ASSERT_TRUE(terminal.waitFor("ready") && plain.waitFor("ready"));
    struct Case {
        const char* what;
        qint64 pid;
        QStringList names;
        bool keyless;
    };
    const Case cases[] = {
        {"a terminal inside an editor", terminal.pid(), {u"geany"_s, u"Geany"_s}, true},
        {"an editor", plain.pid(), {u"geany"_s, u"Geany"_s}, false},
        {"a known process is not judged by its name", plain.pid(), {u"xterm"_s}, false},
        {"Emacs", plain.pid(), {u"emacs"_s, u"Emacs"_s}, true},
        {"no process known", -1, {u"x"_s, u"XTerm"_s}, true},
        {"a process gone", 999999999, {u"foot"_s}, true},
        {"no process known, not a terminal's name", -1, {u"geany"_s}, false},
    };
    for (const Case& row : cases)
        EXPECT_EQ(takesNoKeys(row.pid, row.names), row.keyless) << row.what;
}

} // namespace
} // namespace vorlex
