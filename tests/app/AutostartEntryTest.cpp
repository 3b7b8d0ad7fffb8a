#include "AutostartEntry.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using namespace vorlex;

// What a desktop reads at login: a valid entry whose Exec names the program, quoted and escaped as
// entries require when the path holds a blank, a quote, a backslash, a dollar or a percent sign.
TEST(AutostartEntryTest, TheEntryIsValidAndItsExecNamesTheProgram)
{
    ASSERT_TRUE(AutostartEntry(QStringLiteral("/opt/my apps/100%/\"v\"\\x$")).setInstalled(true));
    QFile file(AutostartEntry::path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString exec = QStringLiteral(R"(Exec="/opt/my apps/100%%/\\"v\\"\\\\x\\$")");
    EXPECT_TRUE(QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')).contains(exec));
    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {file.fileName()});
    ASSERT_TRUE(validate.waitForFinished(10000));
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAll().toStdString();
    EXPECT_TRUE(file.remove());
}
