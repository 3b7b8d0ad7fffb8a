#include "TranslationService.h"

#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "TextLimit.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <tuple>
#include <vector>

using namespace vorlex;

namespace {

using Reply = test::LocalHttpServer::Reply;
using enum TranslationEngine;

AppSettings with(TranslationEngine engine, QString source = "auto", QString target = "he", QString key = "k:fx",
                 bool freeTier = true)
{
    AppSettings settings;
    std::tie(settings.engine, settings.sourceLanguage, settings.targetLanguage, settings.deepLApiKey,
             settings.deepLUseFreeTier) = std::tie(engine, source, target, key, freeTier);
    return settings;
}

// Google (its base with a path, query and fragment that must not reach the request) and DeepL's free
// plan on one server, the paid plan nowhere it may go. Timeouts long enough never to end a request that
// is answered.
class TranslationServiceTest : public testing::Test {
protected:
    void SetUp() override
    {
        const QUrl mirror(server.baseUrl().toString() + "/mirror/?x=1#top");
        endpoints = {mirror, server.baseUrl(), QUrl("file:///etc"), 20000, 20000};
    }

    // One call, waited for: "text / detected / engine", or "error: " and the description. The completion
    // comes exactly once, and never before translate() returned.
    std::string run(const QString& text, const AppSettings& settings, std::optional<QString> target = {})
    {
        // Shared with the completion, which may still come after a failed wait.
        const auto outcomes = std::make_shared<std::vector<TranslationOutcome>>();
        TranslationService::translate(text, settings, endpoints, target, nullptr,
                                      [outcomes](auto& o) { outcomes->push_back(o); });
        EXPECT_TRUE(outcomes->empty()) << "completed before translate() returned";
        test::waitUntil([&] { return !outcomes->empty(); }, 20000);
        QCoreApplication::processEvents();
        if (outcomes->size() != 1)
            return "completions: " + std::to_string(outcomes->size());
        if (const auto* r = std::get_if<TranslationResult>(&outcomes->front()))
            return (r->translatedText + " / " + r->detectedLanguage + " / " + r->engineName).toStdString();
        return "error: " + std::get<TranslationError>(outcomes->front()).description().toStdString();
    }

    test::LocalHttpServer server;
    TranslationEndpoints endpoints;
};

TEST_F(TranslationServiceTest, RequestsAreFormedByteForByte)
{
    const QByteArray g = "GET /translate_a/single?client=gtx&sl=";
    const QByteArray d = "POST /v2/translate DeepL-Auth-Key k:fx application/x-www-form-urlencoded text=";
    const struct Case {
        QString text;
        AppSettings settings;
        std::optional<QString> target;
        QByteArray expected;            // the request, or the outcome when nothing was sent
        const char* endpoint = nullptr; // replaces all three when set
    } cases[] = {
        {"Tom & Jerry 1+1=2#-._~", with(google), {}, g + "auto&tl=he&dt=t&q=Tom%20%26%20Jerry%201%2B1%3D2%23-._~"},
        {" \t line1\r\nline2 \n\u2028", with(google), {}, g + "auto&tl=he&dt=t&q=line1%0D%0Aline2"},
        {"x", with(google, ""), {}, g + "auto&tl=he&dt=t&q=x"},
        {"x", with(google, "en&q=1", "he#"), {}, g + "en%26q%3D1&tl=he%23&dt=t&q=x"},
        {"hello", with(deepL, ""), "fr", d + "hello&target_lang=FR"},
        {"hello", with(deepL, "AUTO"), {}, d + "hello&target_lang=HE&source_lang=AUTO"}, // only "auto" is detection
        {"x", with(deepL, "en&x=1", "de"), {}, d + "x&target_lang=DE&source_lang=EN%26X%3D1"},
        {" a b\nc&=+ש\t", with(deepL), {}, d + "a%20b%0Ac%26%3D%2B%D7%A9&target_lang=HE"},
        {"x", with(deepL, "auto", "he", "k", false), {}, "error: כתובת URL שגויה"}, // the paid plan's endpoint
        {" \t\n\v\r\u0085\u00A0\u1680\u2029\u3000", with(google), {}, "error: אין טקסט לתרגום"}, // all blanks
        {u"ש"_s.repeated(maximumTextBytes / 2) + u'x', with(deepL), {}, "error: הטקסט ארוך מדי (מעל 2 MB)"}, // bytes
        {"hello", with(deepL, "auto", "he", ""), {}, "error: נדרש מפתח API של DeepL (הגדרות)"},
        {"hello", with(google), {}, "error: כתובת URL שגויה", ""},
        {"hello", with(google), {}, "error: Connection refused", "http://127.0.0.1:1"}, // the client's own text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.left(100).toStdString());
        if (c.endpoint)
            endpoints = {QUrl(c.endpoint), QUrl(c.endpoint), QUrl(c.endpoint)};
        server.clearRecords();
        // What reached the server: method, target, the headers Vorlex sets, body; else the outcome.
        std::string seen = run(c.text, c.settings, c.target);
        for (const auto& r : server.requests())
            seen = QByteArrayList{r.method, r.target, r.header("Authorization"), r.header("Content-Type"), r.body}
                       .join(' ')
                       .trimmed()
                       .toStdString();
        EXPECT_LE(server.requestCount(), 1);
        EXPECT_EQ(seen, c.expected.toStdString());
    }
    EXPECT_EQ(server.connectionCount(), 1); // the shared client kept its connection
}

TEST_F(TranslationServiceTest, RepliesAreReadByTheirShape)
{
    // (The services' usual shapes: VorlexCliTest, PopupSessionTest.)
    const std::tuple<TranslationEngine, Reply, std::string> cases[] = {
        {google, Reply::json(R"([[["One. "],[],[null,"x"],["Two."]],null,"he"])"), "One. Two. / he / Google Translate"},
        {google, Reply::json("[[]]"), " /  / Google Translate"},
        {google, Reply::text("<html>busy</html>"), "error: שגיאה בפענוח תגובת השרת"},
        {google, Reply::json(R"(["a"])"), "error: שגיאה בפענוח תגובת השרת"},
        {google, Reply::json(R"([[["a"],"b"]])"), "error: שגיאה בפענוח תגובת השרת"},
        {deepL, Reply::json(R"({"translations":[{"text":"a","detected_source_language":null},{"text":"b"}]})"),
         "a /  / DeepL"},
        {deepL, Reply::json(R"({"translations":[]})"), "error: לא התקבל תרגום"},
        {deepL, Reply::json(R"({"message":"x"})"), "error: key \"translations\" not found"},
        {deepL, Reply::json(R"({"translations":{}})"), "error: \"translations\" is not an array"},
        {deepL, Reply::json(R"({"translations":[{"text":"a"},{"txt":"b"}]})"),
         "error: translations[1].text is missing or not a string"},
        {deepL, Reply::json(R"({"translations":[{"text":"a","detected_source_language":5}]})"),
         "error: translations[0].detected_source_language is not a string"},
        {deepL, Reply::json(R"([{"text":"a"}])"), "error: the reply is not a JSON object"},
        {deepL, Reply::text("<html>busy</html>"), "error: illegal value"},
        {deepL, Reply::json(R"({"translations":[{"text":"a"}]})", 456), "error: שגיאת HTTP 456"},
    };
    for (const auto& [engine, reply, expected] : cases) {
        SCOPED_TRACE(expected);
        server.enqueueReply(reply);
        EXPECT_EQ(run("hello", with(engine)), expected);
    }
}

// A request that stops answering ends with the idle timeout, DeepL's with its own instead: a DeepL reply
// held past the idle timeout of a request sent after it still arrives.
TEST_F(TranslationServiceTest, ARequestThatStopsAnsweringTimesOut)
{
    endpoints.idleTimeoutMs = 300;
    Reply held = Reply::deepLTranslation("late");
    held.held = true;
    server.enqueueReply(held);
    std::optional<TranslationOutcome> deepLOutcome;
    TranslationService::translate("hello", with(deepL), endpoints, {}, nullptr, [&](auto& o) { deepLOutcome = o; });
    ASSERT_TRUE(server.waitForRequests(1));
    server.enqueueReply(Reply::hanging());
    EXPECT_EQ(run("hello", with(google)), "error: Operation timed out");
    server.releaseHeld();
    ASSERT_TRUE(test::waitUntil([&] { return deepLOutcome.has_value(); }));
    EXPECT_EQ(deepLOutcome, TranslationOutcome(TranslationResult{"late", "", "DeepL"}));

    endpoints = {server.baseUrl(), server.baseUrl(), {}, 60000, 300};
    server.enqueueReply(Reply::hanging());
    EXPECT_EQ(run("hello", with(deepL)), "error: Operation timed out");
}

// A caller that goes away hears nothing (that its request is aborted: ActionRunnerTest and
// PopupSessionTest, where a flood of superseded ones would hold every connection).
TEST_F(TranslationServiceTest, GoneContextDropsTheCompletion)
{
    bool called = false;
    auto context = std::make_unique<QObject>();
    TranslationService::translate("x", with(google), endpoints, {}, context.get(), [&](auto&) { called = true; });
    context.reset();
    run("probe", with(google)); // the event loop turns meanwhile
    EXPECT_FALSE(called);
}

} // namespace
