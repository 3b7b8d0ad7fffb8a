#include "AutostartEntry.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlex;

// What a desktop reads at login: a valid entry whose Exec names the program, quoted and escaped as
// entries require when the path holds a blank, a quote, a backslash, a dollar or a percent sign.
TEST(AutostartEntryTest, TheEntryIsValidAndItsExecNamesTheProgram)
{
    const AutostartEntry entry(u"/opt/my apps/100%/\"v\"\\x$"_s);
    ASSERT_TRUE(entry.setInstalled(true));
    const QStringList lines = QString::fromUtf8(test::readFile(AutostartEntry::path())).split(u'\n');
    EXPECT_TRUE(lines.contains(uR"(Exec="/opt/my apps/100%%/\\"v\\"\\\\x\\$")"_s));
    const test::RunResult validate = test::run(u"desktop-file-validate"_s, {AutostartEntry::path()});
    EXPECT_EQ(validate.exitCode, 0) << validate.out.toStdString();
}
