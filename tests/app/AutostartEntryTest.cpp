#include "AutostartEntry.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using namespace vorlex;

// What a desktop reads at login: a valid entry whose Exec names the program however its path is
// spelled, gone again when removed.
TEST(AutostartEntryTest, WritesAValidEntryThatStartsTheProgramAndRemovesIt)
{
    struct Case {
        QString program;
        QString exec;
    };
    const Case cases[] = {
        {QStringLiteral("/usr/bin/vorlex"), QStringLiteral("Exec=/usr/bin/vorlex")},
        {QStringLiteral("/opt/my apps/100%/\"v\"\\x$"), QStringLiteral(R"(Exec="/opt/my apps/100%%/\\"v\\"\\\\x\\$")")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program.toStdString());
        ASSERT_TRUE(AutostartEntry(c.program).setInstalled(true));
        QFile file(AutostartEntry::path());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')).contains(c.exec));
        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"), {AutostartEntry::path()});
        ASSERT_TRUE(validate.waitForFinished(10000));
        EXPECT_EQ(validate.exitCode(), 0) << validate.readAll().toStdString();
        EXPECT_TRUE(AutostartEntry(c.program).setInstalled(false));
        EXPECT_FALSE(AutostartEntry::isInstalled());
    }
}
