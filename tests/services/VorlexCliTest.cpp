// vorlex-cli as a script runs it: through the shell, in UTC, with a settings file of its own; $URL is
// the local server standing in for Google and DeepL.

#include "LocalHttpServer.h"
#include "QtTranslations.h"
#include "SettingsManager.h"
#include "TestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

using Reply = test::LocalHttpServer::Reply;

class VorlexCliTest : public testing::Test {
protected:
    test::ConfigHomeGuard home;
    test::LocalHttpServer server;
    test::EnvGuard tz{"TZ", "UTC"};
    test::EnvGuard url{"URL", server.baseUrl().toEncoded()};
};

TEST_F(VorlexCliTest, CommandsPrintOneResultOrFailWithTheirStatus)
{
    // Stored: DeepL with a key, English as the source.
    AppSettings settings;
    settings.engine = TranslationEngine::deepL;
    settings.deepLApiKey = "secret:fx";
    settings.sourceLanguage = "en";
    ASSERT_TRUE(SettingsManager(home.vorlexConfigDir() + "/settings.json").save(settings));
    server.setHandler([](const test::LocalHttpServer::Request& request) {
        return request.method == "POST" ? Reply::deepLTranslation("תום", "EN") : Reply::googleTranslation("תום", "en");
    });
    // Qt's own words from its Hebrew catalogue, not copies of ours, for a port where nothing listens.
    ASSERT_TRUE(QtTranslations::install()) << "qt6-translations-l10n is not installed";
    const QString refused = QCoreApplication::translate("QHttp", "Connection refused");
    ASSERT_TRUE(refused.isRightToLeft()) << refused;

    const QByteArray epoch = "יום חמישי, 1 בינואר 1970 בשעה 0:00:00";
    const QByteArray tevet = "יום חמישי, כ״ג בטבת תש״ל";
    const QByteArray google = "/translate_a/single?client=gtx&sl=en&tl=";
    const QByteArray deepL = "/v2/translate text=hi&target_lang=HE&source_lang=EN";
    const QByteArray json = R"({"detectedLanguage":"EN","engineName":"DeepL","translatedText":"תום"})";
    const struct Case {
        QString command;
        QByteArray input;
        int exitCode;
        QByteArray out;
        QByteArray err = {};     // the start of standard error
        QByteArray request = {}; // target and body of what reached the server
    } cases[] = {
        {"layout", "\xEF\xBB\xBF  a\tb\r\n", 0, "\xEF\xBB\xBF  ש\tנ\r\n\n"}, // standard input as is, nothing trimmed
        {"layout -- --", "", 0, "--\n"},
        {"layout -a", "", 0, "-ש\n"},
        {"layout", QByteArray("akuo\n").repeated(50000), 0, QByteArray("שלום\n").repeated(50000) + "\n"},
        {"target", "שלום עולם hi", 0, "en\n"},    // mostly Hebrew letters: 8 of 10
        {"target", "12345 😀", 0, "he\n"},         // no letters
        {"target", "אבab", 0, "he\n"},            // exactly half
        {"target", "שלום 1234567890", 0, "en\n"}, // digits are no letters
        {"target", "של мир", 0, "he\n"},          // every script has letters
        {"target", "שָׁלוֹם abc", 0, "en\n"},        // a pointed letter is one letter: 4 of 7
        {"target", "תת a", 0, "en\n"},            // the last Hebrew letter
        {"target", "\u05F0\u05F0א", 0, "he\n"},   // Yiddish ligatures are letters, not Hebrew ones
        {"datetime 0", "", 0, epoch + "\n" + epoch + "\n" + tevet + "\nUnix timestamp: 0\n"},
        {"datetime --json 0", "", 0,
         R"({"hebrewDate":")" + tevet + R"(","localTime":")" + epoch +
             R"(","sourceNote":"Unix timestamp: 0","utcTime":")" + epoch + "\"}\n"},
        {"translate --engine=Google --google-url=$URL א", "", 0, "תום\n", "", google + "en&dt=t&q=%D7%90"},
        {"translate --to fr --engine google --google-url $URL", "1+1\n", 0, "תום\n", "", google + "fr&dt=t&q=1%2B1"},
        {"translate --json --deepl-url $URL hi", "", 0, json + "\n", "", deepL},
        {"translate --engine deepl --google-url $URL --deepl-url $URL hi", "", 0, "תום\n", "", deepL},
        {"translate --engine google --google-url http://127.0.0.1:1 x", "", 1, "", "שגיאה: " + refused.toUtf8() + "\n"},
        {"translate --engine bing x", "", 2, "", "vorlex-cli: "},
        {"translate x --to", "", 2, "", "vorlex-cli: "},
        {"translate --google-url $URL/v1 x", "", 2, "", "vorlex-cli: "},
        {"", "", 2, "", "vorlex-cli: "},
        {"unknown", "", 2, "", "vorlex-cli: "},
        {"layout a b", "", 2, "", "vorlex-cli: "},
        {"datetime --jsn 0", "", 2, "", "vorlex-cli: "},
        {"layout", "\xFF", 2, "", "vorlex-cli: standard input is not valid UTF-8"},
        {"target", "\xED\xA0\x80", 2, "", "vorlex-cli: standard input is not valid UTF-8"}, // an encoded surrogate
        {"layout \"$(printf '\\377')\"", "", 2, "", "vorlex-cli: argument 2 is not valid UTF-8"},
        {"ocr /no/such.png", "", 1, "", "שגיאה: לא ניתן לקרוא את התמונה: /no/such.png: "},
        {"ocr", "", 2, "", "vorlex-cli: ocr: expected one IMAGE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.toStdString());
        server.clearRecords();
        const auto result =
            test::run("/bin/sh", {"-c", "exec \"$0\" " + c.command, VORLEX_BINARY_DIR "/cli/vorlex-cli"}, c.input);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.out.toStdString(), c.out.toStdString());
        EXPECT_TRUE(c.err.isEmpty() ? result.err.isEmpty() : result.err.startsWith(c.err)) << result.err.toStdString();
        const test::LocalHttpServer::Request sent = server.requests().value(0); // empty when nothing was sent
        EXPECT_EQ((sent.target + ' ' + sent.body).trimmed().toStdString(), c.request.toStdString());
    }
}

} // namespace
