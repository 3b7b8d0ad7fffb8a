// vorlex-cli end to end: the built program, run as a script would run it.

#include "DateTimeService.h"
#include "TestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unicode/timezone.h>

#include <ctime>

namespace vorlex {
namespace {

const QString cliPath = QStringLiteral(VORLEX_BINARY_DIR "/cli/vorlex-cli");

struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Outcome run(const QString& program, const QStringList& args, const QByteArray& input = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    process.setProcessEnvironment(environment);
    process.start(program, args);
    if (!process.waitForStarted(10000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

Outcome cli(const QStringList& args, const QByteArray& input = {})
{
    return run(cliPath, args, input);
}

// Raw argument bytes, which QProcess cannot pass: through the shell's printf.
Outcome cliWithRawArgument(const QString& command, const char* printfBytes)
{
    return run(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("exec \"$0\" %1 \"$(printf '%2')\"").arg(command, printfBytes), cliPath});
}

QByteArray u8(const char* text)
{
    return QByteArray(text);
}

class VorlexCli : public testing::Test {
protected:
    void SetUp() override
    {
        if (!QFile::exists(cliPath))
            GTEST_SKIP() << "vorlex-cli is not built at " << cliPath.toStdString();
        // The expected date texts are computed here, in the zone the program runs in.
        tzset();
        icu::TimeZone::adoptDefault(icu::TimeZone::detectHostTimeZone());
    }
    void TearDown() override
    {
        tzset();
        icu::TimeZone::adoptDefault(icu::TimeZone::detectHostTimeZone());
    }
    test::EnvGuard tz{"TZ", "UTC"};
};

TEST_F(VorlexCli, ConvertsAndPicksTargetsFromArgumentsAndStandardInput)
{
    struct Case {
        const char* name;
        QStringList args;
        QByteArray input;
        QByteArray expected;
    };
    const Case cases[] = {
        {"layout argument", {"layout", "akuo"}, {}, u8("שלום\n")},
        {"layout hebrew argument", {"layout", "שלום USA"}, {}, u8("akuo USA\n")},
        {"layout stdin keeps tabs and line breaks", {"layout"}, u8("a\tb\nc\n"), u8("ש\tנ\nב\n\n")},
        {"layout stdin not trimmed", {"layout"}, u8("  akuo \r\n"), u8("  שלום \r\n\n")},
        {"layout empty stdin", {"layout"}, {}, u8("\n")},
        {"layout byte order mark kept",
         {"layout"},
         u8("\xEF\xBB\xBF"
            "akuo"),
         u8("\xEF\xBB\xBF"
            "שלום\n")},
        {"layout text after --", {"layout", "--", "--"}, {}, u8("--\n")},
        {"layout dash text", {"layout", "-a"}, {}, u8("-ש\n")},
        {"target hebrew", {"target", "שלום עולם hi"}, {}, u8("en\n")},
        {"target half", {"target", "אבab"}, {}, u8("he\n")},
        {"target stdin", {"target"}, u8("hello"), u8("he\n")},
        {"target empty stdin", {"target"}, {}, u8("he\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome result = cli(c.args, c.input);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out, c.expected);
        EXPECT_EQ(result.err, QByteArray());
    }
}

TEST_F(VorlexCli, PrintsTheFourDateTextsOnePerLineOrAsJson)
{
    struct Case {
        QStringList args;
        QByteArray input;
        QString text; // what the service reads
    };
    const Case cases[] = {
        {{"datetime", "0"}, {}, QStringLiteral("0")},
        {{"datetime", "-60"}, {}, QStringLiteral("-60")},
        {{"datetime", "--", "59.99"}, {}, QStringLiteral("59.99")},
        {{"datetime"}, u8("1705276800\n"), QStringLiteral("1705276800\n")},
        {{"datetime", "111111111111111111111111111111"}, {}, QStringLiteral("111111111111111111111111111111")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const DateTimeResult expected = DateTimeService::compute(c.text);
        ASSERT_NE(expected.sourceNote, QStringLiteral("עכשיו"));

        const Outcome lines = cli(c.args, c.input);
        EXPECT_EQ(lines.exitCode, 0);
        EXPECT_EQ(QString::fromUtf8(lines.out), expected.localTime + u'\n' + expected.utcTime + u'\n' +
                                                    expected.hebrewDate + u'\n' + expected.sourceNote + u'\n');

        QStringList jsonArgs = c.args;
        jsonArgs.insert(1, QStringLiteral("--json"));
        const Outcome json = cli(jsonArgs, c.input);
        EXPECT_EQ(json.exitCode, 0);
        ASSERT_TRUE(json.out.endsWith("}\n")) << json.out.toStdString();
        EXPECT_EQ(json.out.count('\n'), 1);
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(json.out, &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError);
        EXPECT_EQ(object.keys(), (QStringList{"hebrewDate", "localTime", "sourceNote", "utcTime"}));
        EXPECT_EQ(object.value(QStringLiteral("localTime")).toString(), expected.localTime);
        EXPECT_EQ(object.value(QStringLiteral("utcTime")).toString(), expected.utcTime);
        EXPECT_EQ(object.value(QStringLiteral("hebrewDate")).toString(), expected.hebrewDate);
        EXPECT_EQ(object.value(QStringLiteral("sourceNote")).toString(), expected.sourceNote);
    }

    const Outcome now = cli({"datetime", "--json", "--", "--5"});
    EXPECT_EQ(now.exitCode, 0);
    EXPECT_EQ(QJsonDocument::fromJson(now.out).object().value(QStringLiteral("sourceNote")).toString(),
              QStringLiteral("עכשיו"));
}

TEST_F(VorlexCli, RefusesInvalidUtf8WithStatusTwo)
{
    const QByteArray invalid[] = {
        QByteArray("\xFF"),
        QByteArray("\x80"),
        QByteArray("\xC0\xAF"),         // overlong "/"
        QByteArray("\xED\xA0\x80"),     // an encoded surrogate
        QByteArray("\xF4\x90\x80\x80"), // above U+10FFFF
        QByteArray("akuo\xE2\x82"),     // cut short
    };
    for (const char* command : {"layout", "datetime", "target"}) {
        for (const QByteArray& bytes : invalid) {
            SCOPED_TRACE(testing::Message() << command << " " << bytes.toHex().toStdString());
            const Outcome result = cli({command}, bytes);
            EXPECT_EQ(result.exitCode, 2);
            EXPECT_TRUE(result.out.isEmpty());
            EXPECT_TRUE(result.err.contains("not valid UTF-8")) << result.err.toStdString();
        }
    }
    const Outcome argument = cliWithRawArgument(QStringLiteral("layout"), "\\377abc");
    EXPECT_EQ(argument.exitCode, 2);
    EXPECT_TRUE(argument.out.isEmpty());
    EXPECT_TRUE(argument.err.contains("not valid UTF-8")) << argument.err.toStdString();
}

TEST_F(VorlexCli, HelpAndUsageErrors)
{
    const Outcome help = cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* command : {"layout", "datetime [--json]", "target"})
        EXPECT_TRUE(help.out.contains(command)) << command;
    EXPECT_TRUE(help.out.endsWith("\n") && !help.out.endsWith("\n\n"));
    EXPECT_EQ(cli({"datetime", "--help"}).exitCode, 0);

    const QStringList bad[] = {{}, {"unknown"}, {"layout", "a", "b"}, {"datetime", "--jsn", "0"}, {"target", "--x"}};
    for (const QStringList& args : bad) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const Outcome result = cli(args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_TRUE(result.err.startsWith("vorlex-cli: ")) << result.err.toStdString();
    }
}

TEST_F(VorlexCli, ConvertsAMegabyteFromStandardInput)
{
    QByteArray input;
    while (input.size() < (1 << 20))
        input += "akuo שלום\tUSA\n";
    const Outcome result = cli({"layout"}, input);
    EXPECT_EQ(result.exitCode, 0);
    ASSERT_EQ(result.out.size(), input.size() + 1);
    EXPECT_TRUE(result.out.startsWith("שלום akuo\tUSA\n"));
}

TEST_F(VorlexCli, RunsAfterInstall)
{
    const QString cmake = QStandardPaths::findExecutable(QStringLiteral("cmake"));
    if (cmake.isEmpty())
        GTEST_SKIP() << "cmake is not on PATH";
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const Outcome install = run(cmake, {QStringLiteral("--install"), QStringLiteral(VORLEX_BINARY_DIR "/cli"),
                                        QStringLiteral("--prefix"), prefix.path()});
    ASSERT_EQ(install.exitCode, 0) << install.err.toStdString();
    const Outcome result = run(prefix.filePath(QStringLiteral("bin/vorlex-cli")), {QStringLiteral("layout"), "akuo"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, u8("שלום\n"));
}

} // namespace
} // namespace vorlex
