#include "TerminalNames.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlex;

// A window takes no key when its process, or a child of it, holds a pseudo-terminal master, whatever
// it is called; by its name only where its process cannot be looked into; Emacs and gVim always.
// Real processes: each lets go of the test's output once ready, or CTest would wait for a grandchild.
// (A terminal's own process, an editor and Emacs: PrimaryCopyGuardTest.)
TEST(TerminalNames, AWindowTakesNoKeysByItsProcessElseByItsName)
{
    const QString holdMaster = u"import os, pty, time; m, s = pty.openpty(); print('ready', flush=True); "
                               u"os.close(1); os.close(2); time.sleep(60)"_s;
    test::ChildProcess host(u"/bin/sh"_s, {u"-c"_s, u"/usr/bin/python3 -c \"%1\"; :"_s.arg(holdMaster)});
    test::ChildProcess plain(u"/bin/sh"_s, {u"-c"_s, u"echo ready; exec sleep 60"_s});
    ASSERT_TRUE(host.waitFor("ready") && plain.waitFor("ready"));
    const std::tuple<const char*, qint64, QStringList, bool> cases[] = {
        {"its child holds one", host.pid(), {u"kate"_s}, true},
        {"a known process is not judged by its name", plain.pid(), {u"xterm"_s}, false},
        {"a process gone", 999999999, {u"foot"_s}, true},
        {"no process known, not a terminal's name", -1, {u"geany"_s}, false},
    };
    for (const auto& [what, pid, names, keyless] : cases)
        EXPECT_EQ(takesNoKeys(pid, names), keyless) << what;
}
