// vorlex-cli translate end to end, against the local test server standing in for Google and DeepL.

#include "LocalHttpServer.h"
#include "SettingsManager.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

using namespace vorlex;
using vorlex::test::LocalHttpServer;

namespace {

const QString cliPath = QStringLiteral(VORLEX_BINARY_DIR "/cli/vorlex-cli");

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

class VorlexCliTranslateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFile::exists(cliPath))
            GTEST_SKIP() << "vorlex-cli is not built at " << cliPath.toStdString();
        ASSERT_TRUE(server.listen());
    }

    void saveSettings(const AppSettings& settings)
    {
        ASSERT_TRUE(
            SettingsManager(QDir(home.vorlexConfigDir()).filePath(QStringLiteral("settings.json"))).save(settings));
    }

    // The server answers through this test's event loop, so the program is waited for without blocking it.
    CliRun cli(QStringList args, const QByteArray& input = {})
    {
        args.prepend(QStringLiteral("translate"));
        QProcess process;
        process.start(cliPath, args);
        EXPECT_TRUE(process.waitForStarted(10000));
        process.write(input);
        process.closeWriteChannel();
        const bool finished = test::waitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000);
        EXPECT_TRUE(finished) << "vorlex-cli did not finish";
        if (!finished) {
            process.kill();
            process.waitForFinished();
            return {};
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    QString url() const { return server.baseUrl().toString(); }

    test::ConfigHomeGuard home; // the program inherits this settings folder
    LocalHttpServer server;
};

} // namespace

TEST_F(VorlexCliTranslateTest, GoogleWithTheDefaultSettings)
{
    struct Case {
        const char* name;
        QStringList args;
        QByteArray input;
        QByteArray target;
    } cases[] = {
        {"target from the text", {QStringLiteral("Tom & Jerry")}, {}, "sl=auto&tl=he&dt=t&q=Tom%20%26%20Jerry"},
        {"hebrew goes to English", {QStringLiteral("שלום")}, {}, "sl=auto&tl=en&dt=t&q=%D7%A9%D7%9C%D7%95%D7%9D"},
        {"--to wins",
         {QStringLiteral("--to"), QStringLiteral("fr"), QStringLiteral("שלום")},
         {},
         "sl=auto&tl=fr&dt=t&q=%D7%A9%D7%9C%D7%95%D7%9D"},
        {"standard input", {}, "1+1\n", "sl=auto&tl=he&dt=t&q=1%2B1"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.clearRecords();
        server.enqueueReply(
            LocalHttpServer::Reply::googleTranslation(QStringLiteral("תום וג'רי"), QStringLiteral("en")));
        c.args.prepend(url());
        c.args.prepend(QStringLiteral("--google-url"));
        const CliRun run = cli(c.args, c.input);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, QStringLiteral("תום וג'רי\n").toUtf8());
        ASSERT_EQ(server.requestCount(), 1);
        EXPECT_EQ(server.requests().at(0).target, "/translate_a/single?client=gtx&" + c.target);
    }
}

TEST_F(VorlexCliTranslateTest, JsonOutput)
{
    server.enqueueReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("שלום"), QStringLiteral("en")));
    const CliRun run =
        cli({QStringLiteral("--json"), QStringLiteral("--google-url=") + url(), QStringLiteral("hello")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject object = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(object.value(QStringLiteral("translatedText")).toString(), QStringLiteral("שלום"));
    EXPECT_EQ(object.value(QStringLiteral("detectedLanguage")).toString(), QStringLiteral("en"));
    EXPECT_EQ(object.value(QStringLiteral("engineName")).toString(), QStringLiteral("Google Translate"));
    EXPECT_EQ(object.size(), 3);
}

TEST_F(VorlexCliTranslateTest, DeepLFromTheSettingsFile)
{
    AppSettings settings;
    settings.engine = TranslationEngine::deepL;
    settings.deepLApiKey = QStringLiteral("secret:fx");
    settings.sourceLanguage = QStringLiteral("en");
    saveSettings(settings);

    server.enqueueReply(LocalHttpServer::Reply::deepLTranslation(QStringLiteral("שלום")));
    const CliRun run = cli({QStringLiteral("--deepl-url"), url(), QStringLiteral("hello world")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("שלום\n").toUtf8());
    ASSERT_EQ(server.requestCount(), 1);
    const LocalHttpServer::Request request = server.requests().at(0);
    EXPECT_EQ(request.requestLine, "POST /v2/translate HTTP/1.1");
    EXPECT_EQ(request.body, "text=hello%20world&target_lang=HE&source_lang=EN");
    EXPECT_EQ(request.header("Authorization"), "DeepL-Auth-Key secret:fx");

    // --engine overrides the stored engine.
    server.enqueueReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("g")));
    const CliRun google = cli({QStringLiteral("--engine"), QStringLiteral("google"), QStringLiteral("--google-url"),
                               url(), QStringLiteral("hello")});
    EXPECT_EQ(google.out, "g\n");
    ASSERT_EQ(server.requestCount(), 2);
    EXPECT_EQ(server.requests().at(1).method, "GET");
    EXPECT_TRUE(server.requests().at(1).target.contains("&sl=en&tl=he&"));
}

TEST_F(VorlexCliTranslateTest, FailuresGoToStandardErrorInHebrew)
{
    struct Case {
        const char* name;
        QStringList args;
        std::optional<LocalHttpServer::Reply> reply;
        int exitCode;
        QString err;
    } cases[] = {
        {"http error",
         {QStringLiteral("--google-url"), url(), QStringLiteral("x")},
         LocalHttpServer::Reply::json(R"([[["a"]]])", 503),
         1,
         QStringLiteral("שגיאה: שגיאת HTTP 503\n")},
        {"missing key",
         {QStringLiteral("--engine"), QStringLiteral("deepl"), QStringLiteral("--deepl-url"), url(),
          QStringLiteral("x")},
         std::nullopt,
         1,
         QStringLiteral("שגיאה: נדרש מפתח API של DeepL (הגדרות)\n")},
        {"empty text",
         {QStringLiteral("--google-url"), url(), QStringLiteral(" \n ")},
         std::nullopt,
         1,
         QStringLiteral("שגיאה: אין טקסט לתרגום\n")},
        {"unknown engine",
         {QStringLiteral("--engine"), QStringLiteral("bing"), QStringLiteral("x")},
         std::nullopt,
         2,
         {}},
        {"--to without a value", {QStringLiteral("x"), QStringLiteral("--to")}, std::nullopt, 2, {}},
        {"endpoint with a path",
         {QStringLiteral("--google-url"), url() + QStringLiteral("/v1"), QStringLiteral("x")},
         std::nullopt,
         2,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.clearRecords();
        if (c.reply)
            server.enqueueReply(*c.reply);
        const CliRun run = cli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.out.isEmpty());
        if (!c.err.isEmpty())
            EXPECT_EQ(QString::fromUtf8(run.err), c.err);
        else
            EXPECT_FALSE(run.err.isEmpty());
        EXPECT_EQ(server.requestCount(), c.reply ? 1 : 0);
    }
}
