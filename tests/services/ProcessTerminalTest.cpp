#include "ProcessTerminal.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace vorlex {
namespace {

// Real processes: one that opens a pseudo-terminal pair as a terminal does, a shell whose child does,
// and one that holds none.
TEST(ProcessTerminal, APseudoTerminalMasterInTheProcessOrBelowItIsATerminal)
{
    // Each lets go of the test's output once ready: one left behind when its parent is killed would
    // keep CTest waiting for the output's end.
    const QString holdMaster = u"import os, pty, sys, time; m, s = pty.openpty(); print('ready', flush=True); "
                               u"os.close(1); os.close(2); time.sleep(60)"_s;
    test::ChildProcess terminal(u"/usr/bin/python3"_s, {u"-c"_s, holdMaster});
    test::ChildProcess host(u"/bin/sh"_s, {u"-c"_s, u"/usr/bin/python3 -c \"%1\"; :"_s.arg(holdMaster)});
    test::ChildProcess plain(u"/bin/sh"_s, {u"-c"_s, u"echo ready; exec sleep 60"_s});
    ASSERT_TRUE(terminal.waitFor("ready") && host.waitFor("ready") && plain.waitFor("ready"));

    EXPECT_TRUE(holdsPseudoTerminal(terminal.pid()));
    EXPECT_TRUE(holdsPseudoTerminal(host.pid()));
    EXPECT_FALSE(holdsPseudoTerminal(plain.pid()));
    EXPECT_FALSE(holdsPseudoTerminal(0));
    EXPECT_FALSE(holdsPseudoTerminal(999999999));
}

} // namespace
} // namespace vorlex
