#include "TranslationService.h"
#include "LocalHttpServer.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

using namespace vorlex;
using vorlex::test::LocalHttpServer;

namespace {

// A bare client exchange, to check the test server itself records and answers as it says.
QByteArray fetch(QNetworkAccessManager& client, const QUrl& url, int* status = nullptr)
{
    std::unique_ptr<QNetworkReply> reply(client.get(QNetworkRequest(url)));
    EXPECT_TRUE(test::waitUntil([&] { return reply->isFinished(); }));
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return reply->readAll();
}

} // namespace

TEST(TranslationTestServer, RecordsRequestsAndKeepsConnectionsAlive)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.enqueueReply(LocalHttpServer::Reply::json("[1]", 503));
    server.setDefaultReply(LocalHttpServer::Reply::text("ok", 200, "text/plain"));

    QNetworkAccessManager client;
    QUrl url = QUrl::fromEncoded(server.baseUrl().toEncoded() + "/a%20b?x=%26&y=1", QUrl::StrictMode);
    int status = 0;
    EXPECT_EQ(fetch(client, url, &status), "[1]");
    EXPECT_EQ(status, 503);
    EXPECT_EQ(fetch(client, url, &status), "ok");
    EXPECT_EQ(status, 200);

    ASSERT_EQ(server.requestCount(), 2);
    const LocalHttpServer::Request first = server.requests().at(0);
    EXPECT_EQ(first.requestLine, "GET /a%20b?x=%26&y=1 HTTP/1.1");
    EXPECT_EQ(first.path(), "/a%20b");
    EXPECT_EQ(first.query(), "x=%26&y=1");
    EXPECT_EQ(first.header("host"), "127.0.0.1:" + QByteArray::number(server.port()));
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(server.requests().at(1).connection, 1);
}

namespace {

using Kind = TranslationError::Kind;

TranslationError err(Kind kind, int code = 0, const QString& detail = {})
{
    return TranslationError{kind, code, detail};
}

// Points the service at local servers for one test and puts the shipped endpoints back after.
class TranslationServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = TranslationService::endpoints();
        ASSERT_TRUE(server.listen());
        ASSERT_TRUE(paidServer.listen());
        TranslationEndpoints local;
        local.google = server.baseUrl();
        local.deepLFree = server.baseUrl();
        local.deepLPaid = paidServer.baseUrl();
        TranslationService::setEndpoints(local);
    }
    void TearDown() override { TranslationService::setEndpoints(saved); }

    void setTimeouts(int idleMs, int deepLMs)
    {
        TranslationEndpoints where = TranslationService::endpoints();
        where.idleTimeoutMs = idleMs;
        where.deepLTimeoutMs = deepLMs;
        TranslationService::setEndpoints(where);
    }

    // One call, waited for; checks the completion came once, and only after translate() returned.
    TranslationOutcome run(const QString& text, const AppSettings& settings,
                           const std::optional<QString>& targetOverride = std::nullopt, int timeoutMs = 10000)
    {
        int calls = 0;
        bool returned = false;
        bool calledEarly = false;
        std::optional<TranslationOutcome> outcome;
        TranslationService::translate(text, settings, targetOverride, nullptr, [&](const TranslationOutcome& o) {
            ++calls;
            calledEarly = calledEarly || !returned;
            outcome = o;
        });
        returned = true;
        EXPECT_TRUE(test::waitUntil([&] { return outcome.has_value(); }, timeoutMs)) << "no completion";
        QCoreApplication::processEvents();
        EXPECT_EQ(calls, 1);
        EXPECT_FALSE(calledEarly);
        return outcome.value_or(TranslationOutcome{TranslationError{Kind::transport, 0, QStringLiteral("none")}});
    }

    static AppSettings google(const QString& source = QStringLiteral("auto"),
                              const QString& target = QStringLiteral("he"))
    {
        AppSettings settings;
        settings.engine = TranslationEngine::google;
        settings.sourceLanguage = source;
        settings.targetLanguage = target;
        return settings;
    }

    static AppSettings deepL(const QString& key = QStringLiteral("k-123:fx"), bool freeTier = true,
                             const QString& source = QStringLiteral("auto"),
                             const QString& target = QStringLiteral("he"))
    {
        AppSettings settings;
        settings.engine = TranslationEngine::deepL;
        settings.deepLApiKey = key;
        settings.deepLUseFreeTier = freeTier;
        settings.sourceLanguage = source;
        settings.targetLanguage = target;
        return settings;
    }

    TranslationEndpoints saved;
    LocalHttpServer server;     // Google and DeepL free plan
    LocalHttpServer paidServer; // DeepL paid plan
};

TranslationResult resultOf(const TranslationOutcome& outcome)
{
    if (const auto* error = std::get_if<TranslationError>(&outcome)) {
        ADD_FAILURE() << "error: " << error->description().toStdString();
        return {};
    }
    return std::get<TranslationResult>(outcome);
}

TranslationError errorOf(const TranslationOutcome& outcome)
{
    if (const auto* result = std::get_if<TranslationResult>(&outcome)) {
        ADD_FAILURE() << "result: " << result->translatedText.toStdString();
        return {};
    }
    return std::get<TranslationError>(outcome);
}

} // namespace

TEST(TranslationErrorTest, DescriptionsAreTheFixedHebrewTexts)
{
    struct Case {
        TranslationError error;
        QString description;
    } cases[] = {
        {{Kind::httpError, 403, {}}, QStringLiteral("שגיאת HTTP 403")},
        {{Kind::httpError, 503, {}}, QStringLiteral("שגיאת HTTP 503")},
        {{Kind::emptyText, 0, {}}, QStringLiteral("אין טקסט לתרגום")},
        {{Kind::invalidURL, 0, {}}, QStringLiteral("כתובת URL שגויה")},
        {{Kind::missingAPIKey, 0, {}}, QStringLiteral("נדרש מפתח API של DeepL (הגדרות)")},
        {{Kind::noTranslation, 0, {}}, QStringLiteral("לא התקבל תרגום")},
        {{Kind::decodingFailed, 0, {}}, QStringLiteral("שגיאה בפענוח תגובת השרת")},
        {{Kind::transport, 0, QStringLiteral("Connection refused")}, QStringLiteral("Connection refused")},
        {{Kind::replyFormat, 0, QStringLiteral("illegal value")}, QStringLiteral("illegal value")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description.toStdString());
        EXPECT_EQ(c.error.description(), c.description);
    }
    EXPECT_FALSE((TranslationError{Kind::transport, 0, {}}).description().isEmpty());
}

TEST(TranslationEndpointsTest, ShippedEndpointsAreHttpsWithTheFixedTimeouts)
{
    const TranslationEndpoints shipped;
    for (const QUrl& url : {shipped.google, shipped.deepLFree, shipped.deepLPaid}) {
        SCOPED_TRACE(url.toString().toStdString());
        EXPECT_EQ(url.scheme(), QStringLiteral("https"));
        EXPECT_FALSE(url.host().isEmpty());
    }
    EXPECT_NE(shipped.deepLFree, shipped.deepLPaid);
    EXPECT_EQ(shipped.idleTimeoutMs, 15000);
    EXPECT_EQ(shipped.deepLTimeoutMs, 60000);
}

TEST_F(TranslationServiceTest, GoogleRequestIsFormedByteForByte)
{
    const QByteArray prefix = "/translate_a/single?client=gtx&sl=";
    struct Case {
        const char* name;
        QString text;
        AppSettings settings;
        std::optional<QString> targetOverride;
        QByteArray target;
    } cases[] = {
        {"plain", QStringLiteral("hello"), google(), {}, prefix + "auto&tl=he&dt=t&q=hello"},
        {"ampersand and spaces",
         QStringLiteral("Tom & Jerry"),
         google(),
         {},
         prefix + "auto&tl=he&dt=t&q=Tom%20%26%20Jerry"},
        {"plus, equals, hash", QStringLiteral("1+1=2 #x"), google(), {}, prefix + "auto&tl=he&dt=t&q=1%2B1%3D2%20%23x"},
        {"trimmed, inner line break kept",
         QStringLiteral(" \t line1\r\nline2 \n\u2028"),
         google(),
         {},
         prefix + "auto&tl=he&dt=t&q=line1%0D%0Aline2"},
        {"hebrew as UTF-8",
         QStringLiteral("שלום"),
         google(),
         {},
         prefix + "auto&tl=en&dt=t&q=%D7%A9%D7%9C%D7%95%D7%9D"},
        {"unreserved kept", QStringLiteral("aZ09-._~"), google(), {}, prefix + "auto&tl=he&dt=t&q=aZ09-._~"},
        {"reserved encoded",
         QStringLiteral("!*'();:@$,/?[]%"),
         google(),
         {},
         prefix + "auto&tl=he&dt=t&q=%21%2A%27%28%29%3B%3A%40%24%2C%2F%3F%5B%5D%25"},
        {"empty source is auto", QStringLiteral("x"), google(QString()), {}, prefix + "auto&tl=he&dt=t&q=x"},
        {"stored source sent", QStringLiteral("x"), google(QStringLiteral("en")), {}, prefix + "en&tl=he&dt=t&q=x"},
        {"hand-edited codes cannot add parameters",
         QStringLiteral("x"),
         google(QStringLiteral("en&q=1"), QStringLiteral("he#")),
         {},
         prefix + "en%26q%3D1&tl=he%23&dt=t&q=x"},
    };
    cases[4].targetOverride = QStringLiteral("en");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.clearRecords();
        server.enqueueReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("t")));
        resultOf(run(c.text, c.settings, c.targetOverride));
        ASSERT_EQ(server.requestCount(), 1);
        const LocalHttpServer::Request request = server.requests().at(0);
        EXPECT_EQ(request.requestLine, "GET " + c.target + " HTTP/1.1");
        EXPECT_TRUE(request.body.isEmpty());
        EXPECT_FALSE(request.hasHeader("Content-Type"));
        EXPECT_FALSE(request.hasHeader("Authorization"));
    }
}

TEST_F(TranslationServiceTest, TargetOverrideLeavesTheSettingsAlone)
{
    const AppSettings settings = google(QStringLiteral("auto"), QStringLiteral("he"));
    const AppSettings before = settings;
    server.enqueueReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("t")));
    resultOf(run(QStringLiteral("שלום"), settings, QStringLiteral("en")));
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_TRUE(server.requests().at(0).target.contains("&tl=en&"));
    EXPECT_EQ(settings, before);
}

TEST_F(TranslationServiceTest, LongTextIsSentWhole)
{
    const QString text = QString(6000, QChar(u'א'));
    server.enqueueReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("t")));
    resultOf(run(text, google()));
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_EQ(server.requests().at(0).query().split('=').last().size(), 6000 * 6);
}

TEST_F(TranslationServiceTest, GoogleRepliesAreReadByTheirShape)
{
    const QString google_ = QStringLiteral("Google Translate");
    struct Case {
        const char* name;
        LocalHttpServer::Reply reply;
        std::optional<TranslationResult> result;
        std::optional<TranslationError> error;
    } cases[] = {
        {"one segment and detected language",
         LocalHttpServer::Reply::json(R"([[["שלום","hello",null,null,10]],null,"en"])"),
         TranslationResult{QStringLiteral("שלום"), QStringLiteral("en"), google_},
         {}},
        {"three segments joined with nothing between",
         LocalHttpServer::Reply::json(R"([[["One. ","a"],["Two. ","b"],["Three.","c"]],null,"he"])"),
         TranslationResult{QStringLiteral("One. Two. Three."), QStringLiteral("he"), google_},
         {}},
        {"segments without a string skipped",
         LocalHttpServer::Reply::json(R"([[["a"],[],[null,"x"],[5],["b"]],null,"fr"])"),
         TranslationResult{QStringLiteral("ab"), QStringLiteral("fr"), google_},
         {}},
        {"element 0 empty", LocalHttpServer::Reply::json("[[]]"), TranslationResult{{}, {}, google_}, {}},
        {"no element 2",
         LocalHttpServer::Reply::json(R"([[["a"]],null])"),
         TranslationResult{QStringLiteral("a"), {}, google_},
         {}},
        {"element 2 not a string",
         LocalHttpServer::Reply::json(R"([[["a"]],null,7])"),
         TranslationResult{QStringLiteral("a"), {}, google_},
         {}},
        {"object", LocalHttpServer::Reply::json(R"({"sentences":[]})"), {}, err(Kind::decodingFailed)},
        {"empty array", LocalHttpServer::Reply::json("[]"), {}, err(Kind::decodingFailed)},
        {"html", LocalHttpServer::Reply::text("<html><body>Sorry</body></html>"), {}, err(Kind::decodingFailed)},
        {"empty body", LocalHttpServer::Reply::json(""), {}, err(Kind::decodingFailed)},
        {"element 0 not an array", LocalHttpServer::Reply::json(R"(["a"])"), {}, err(Kind::decodingFailed)},
        {"a segment not an array", LocalHttpServer::Reply::json(R"([[["a"],"b"]])"), {}, err(Kind::decodingFailed)},
        {"503 with a valid body",
         LocalHttpServer::Reply::json(R"([[["a"]],null,"en"])", 503),
         {},
         err(Kind::httpError, 503)},
        {"429", LocalHttpServer::Reply::text("busy", 429), {}, err(Kind::httpError, 429)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.enqueueReply(c.reply);
        const TranslationOutcome outcome = run(QStringLiteral("hello"), google());
        if (c.result)
            EXPECT_EQ(resultOf(outcome), *c.result);
        else
            EXPECT_EQ(errorOf(outcome), *c.error);
    }
}

TEST_F(TranslationServiceTest, DeepLRequestIsFormedByteForByte)
{
    struct Case {
        const char* name;
        QString text;
        AppSettings settings;
        QByteArray body;
    } cases[] = {
        {"target upper case, auto source omitted", QStringLiteral("hello"), deepL(), "text=hello&target_lang=HE"},
        {"empty source omitted", QStringLiteral("hello"), deepL(QStringLiteral("k"), true, QString()),
         "text=hello&target_lang=HE"},
        {"source sent upper case", QStringLiteral("hello"),
         deepL(QStringLiteral("k"), true, QStringLiteral("en"), QStringLiteral("he")),
         "text=hello&target_lang=HE&source_lang=EN"},
        {"only lower-case auto means detection", QStringLiteral("hello"),
         deepL(QStringLiteral("k"), true, QStringLiteral("AUTO")), "text=hello&target_lang=HE&source_lang=AUTO"},
        {"form-encoded text", QStringLiteral("  a b\nc&d=e+f שלום\t"), deepL(),
         "text=a%20b%0Ac%26d%3De%2Bf%20%D7%A9%D7%9C%D7%95%D7%9D&target_lang=HE"},
        {"codes cannot add fields", QStringLiteral("x"),
         deepL(QStringLiteral("k"), true, QStringLiteral("en&x=1"), QStringLiteral("de")),
         "text=x&target_lang=DE&source_lang=EN%26X%3D1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.clearRecords();
        server.enqueueReply(LocalHttpServer::Reply::deepLTranslation(QStringLiteral("t")));
        resultOf(run(c.text, c.settings));
        ASSERT_EQ(server.requestCount(), 1);
        const LocalHttpServer::Request request = server.requests().at(0);
        EXPECT_EQ(request.requestLine, "POST /v2/translate HTTP/1.1");
        EXPECT_EQ(request.body, c.body);
        EXPECT_EQ(request.header("Content-Length"), QByteArray::number(c.body.size()));
        EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(request.header("Authorization"), "DeepL-Auth-Key " + c.settings.deepLApiKey.toUtf8());
    }
}

TEST_F(TranslationServiceTest, DeepLPlanChoosesTheEndpoint)
{
    server.enqueueReply(LocalHttpServer::Reply::deepLTranslation(QStringLiteral("free")));
    paidServer.enqueueReply(LocalHttpServer::Reply::deepLTranslation(QStringLiteral("paid")));
    EXPECT_EQ(resultOf(run(QStringLiteral("x"), deepL(QStringLiteral("k"), true))).translatedText,
              QStringLiteral("free"));
    EXPECT_EQ(resultOf(run(QStringLiteral("x"), deepL(QStringLiteral("k"), false))).translatedText,
              QStringLiteral("paid"));
    ASSERT_EQ(server.requestCount(), 1);
    ASSERT_EQ(paidServer.requestCount(), 1);
    EXPECT_EQ(paidServer.requests().at(0).path(), "/v2/translate");
}

TEST_F(TranslationServiceTest, DeepLKeyIsSentExactlyAsStored)
{
    server.enqueueReply(LocalHttpServer::Reply::json(R"({"message":"Forbidden"})", 403));
    const TranslationError error = errorOf(run(QStringLiteral("x"), deepL(QStringLiteral("   "))));
    EXPECT_EQ(error, err(Kind::httpError, 403));
    EXPECT_EQ(error.description(), QStringLiteral("שגיאת HTTP 403"));
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_TRUE(server.requests().at(0).head.contains("\r\nAuthorization: DeepL-Auth-Key    \r\n"));
}

TEST_F(TranslationServiceTest, NothingIsSentForEmptyTextOrAMissingKey)
{
    struct Case {
        const char* name;
        QString text;
        AppSettings settings;
        Kind kind;
    } cases[] = {
        {"blanks and line breaks, Google", QStringLiteral(" \n\t\u00A0\u2029\u0085 "), google(), Kind::emptyText},
        {"empty, DeepL without key", QString(), deepL(QString()), Kind::emptyText},
        {"DeepL without key", QStringLiteral("hello"), deepL(QString()), Kind::missingAPIKey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(errorOf(run(c.text, c.settings)).kind, c.kind);
    }
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_EQ(paidServer.connectionCount(), 0);
}

TEST_F(TranslationServiceTest, DeepLRepliesAreReadByTheirShape)
{
    const QString deepL_ = QStringLiteral("DeepL");
    QJsonParseError htmlError;
    QJsonDocument::fromJson("<html>busy</html>", &htmlError);
    struct Case {
        const char* name;
        LocalHttpServer::Reply reply;
        std::optional<TranslationResult> result;
        std::optional<TranslationError> error;
    } cases[] = {
        {"first of two translations",
         LocalHttpServer::Reply::json(
             R"({"translations":[{"detected_source_language":"EN","text":"שלום"},{"text":"second"}]})"),
         TranslationResult{QStringLiteral("שלום"), QStringLiteral("EN"), deepL_},
         {}},
        {"no detected language",
         LocalHttpServer::Reply::json(R"({"translations":[{"text":"a"}],"extra":1})"),
         TranslationResult{QStringLiteral("a"), {}, deepL_},
         {}},
        {"null detected language",
         LocalHttpServer::Reply::json(R"({"translations":[{"text":"a","detected_source_language":null}]})"),
         TranslationResult{QStringLiteral("a"), {}, deepL_},
         {}},
        {"empty list", LocalHttpServer::Reply::json(R"({"translations":[]})"), {}, err(Kind::noTranslation)},
        {"missing translations",
         LocalHttpServer::Reply::json(R"({"message":"x"})"),
         {},
         TranslationError{Kind::replyFormat, 0, QStringLiteral("key \"translations\" not found")}},
        {"translations not an array",
         LocalHttpServer::Reply::json(R"({"translations":{}})"),
         {},
         TranslationError{Kind::replyFormat, 0, QStringLiteral("\"translations\" is not an array")}},
        {"element without text",
         LocalHttpServer::Reply::json(R"({"translations":[{"text":"a"},{"txt":"b"}]})"),
         {},
         TranslationError{Kind::replyFormat, 0, QStringLiteral("translations[1].text is missing or not a string")}},
        {"top level array",
         LocalHttpServer::Reply::json(R"([{"text":"a"}])"),
         {},
         TranslationError{Kind::replyFormat, 0, QStringLiteral("the reply is not a JSON object")}},
        {"html",
         LocalHttpServer::Reply::text("<html>busy</html>"),
         {},
         TranslationError{Kind::replyFormat, 0, htmlError.errorString()}},
        {"503 with a valid body",
         LocalHttpServer::Reply::json(R"({"translations":[{"text":"a"}]})", 503),
         {},
         err(Kind::httpError, 503)},
        {"quota exceeded", LocalHttpServer::Reply::json(R"({"message":"Quota"})", 456), {}, err(Kind::httpError, 456)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.enqueueReply(c.reply);
        const TranslationOutcome outcome = run(QStringLiteral("hello"), deepL());
        if (c.result) {
            EXPECT_EQ(resultOf(outcome), *c.result);
        } else {
            const TranslationError error = errorOf(outcome);
            EXPECT_EQ(error, *c.error);
            EXPECT_FALSE(error.description().isEmpty());
        }
    }
}

TEST_F(TranslationServiceTest, SilentServerTimesOut)
{
    struct Case {
        const char* name;
        AppSettings settings;
        int idleMs;
        int deepLMs;
    } cases[] = {
        {"Google, the client's idle timeout", google(), 300, 60000},
        {"DeepL, its own request timeout", deepL(), 60000, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setTimeouts(c.idleMs, c.deepLMs);
        server.enqueueReply(LocalHttpServer::Reply::hanging());
        QElapsedTimer clock;
        clock.start();
        const TranslationError error = errorOf(run(QStringLiteral("hello"), c.settings, std::nullopt, 20000));
        EXPECT_EQ(error.kind, Kind::transport);
        EXPECT_TRUE(error.detail.contains(QStringLiteral("timed out"))) << error.detail.toStdString();
        EXPECT_GE(clock.elapsed(), 250);
        EXPECT_LT(clock.elapsed(), 10000);
    }
}

TEST_F(TranslationServiceTest, DeepLTimeoutReplacesTheIdleTimeout)
{
    setTimeouts(200, 5000);
    LocalHttpServer::Reply late = LocalHttpServer::Reply::deepLTranslation(QStringLiteral("late"));
    late.delayMs = 700;
    server.enqueueReply(late);
    EXPECT_EQ(resultOf(run(QStringLiteral("x"), deepL())).translatedText, QStringLiteral("late"));

    late = LocalHttpServer::Reply::googleTranslation(QStringLiteral("late"));
    late.delayMs = 700;
    server.enqueueReply(late);
    EXPECT_EQ(errorOf(run(QStringLiteral("x"), google())).kind, Kind::transport);
}

TEST_F(TranslationServiceTest, TransportFailuresCarryTheClientsText)
{
    quint16 closedPort = 0;
    {
        LocalHttpServer gone;
        ASSERT_TRUE(gone.listen());
        closedPort = gone.port();
    }
    TranslationEndpoints where = TranslationService::endpoints();
    where.google = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(closedPort));
    TranslationService::setEndpoints(where);
    const TranslationError refused = errorOf(run(QStringLiteral("x"), google()));
    EXPECT_EQ(refused.kind, Kind::transport);
    EXPECT_TRUE(refused.detail.contains(QStringLiteral("refused"), Qt::CaseInsensitive))
        << refused.detail.toStdString();

    LocalHttpServer::Reply dropped;
    dropped.closeWithoutReply = true;
    server.setDefaultReply(dropped); // the client tries a dropped request once more
    const TranslationError closed = errorOf(run(QStringLiteral("x"), deepL()));
    EXPECT_EQ(closed.kind, Kind::transport);
    EXPECT_FALSE(closed.description().isEmpty());
}

TEST_F(TranslationServiceTest, UnusableEndpointIsAnInvalidURL)
{
    TranslationEndpoints where = TranslationService::endpoints();
    where.google = QUrl();
    where.deepLFree = QUrl(QStringLiteral("not a url"));
    where.deepLPaid = QUrl(QStringLiteral("file:///etc"));
    TranslationService::setEndpoints(where);
    EXPECT_EQ(errorOf(run(QStringLiteral("x"), google())).kind, Kind::invalidURL);
    EXPECT_EQ(errorOf(run(QStringLiteral("x"), deepL())).kind, Kind::invalidURL);
    EXPECT_EQ(errorOf(run(QStringLiteral("x"), deepL(QStringLiteral("k"), false))).kind, Kind::invalidURL);
}

TEST_F(TranslationServiceTest, EndpointBaseGivesOnlySchemeHostAndPort)
{
    TranslationEndpoints where = TranslationService::endpoints();
    where.google = QUrl(server.baseUrl().toString() + QStringLiteral("/mirror/?x=1#top"));
    TranslationService::setEndpoints(where);
    server.enqueueReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("t")));
    resultOf(run(QStringLiteral("x"), google()));
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_EQ(server.requests().at(0).target, "/translate_a/single?client=gtx&sl=auto&tl=he&dt=t&q=x");
}

TEST_F(TranslationServiceTest, SequentialRequestsShareOneConnection)
{
    server.setHandler([](const LocalHttpServer::Request& request) {
        return request.method == "POST" ? LocalHttpServer::Reply::deepLTranslation(QStringLiteral("d"))
                                        : LocalHttpServer::Reply::googleTranslation(QStringLiteral("g"));
    });
    for (int i = 0; i < 10; ++i)
        resultOf(run(QStringLiteral("hello %1").arg(i), i % 2 ? google() : deepL()));
    EXPECT_EQ(server.requestCount(), 10);
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_F(TranslationServiceTest, GoneContextDropsTheCompletion)
{
    LocalHttpServer::Reply soon = LocalHttpServer::Reply::googleTranslation(QStringLiteral("t"));
    soon.delayMs = 100;
    LocalHttpServer::Reply later = soon;
    later.delayMs = 600;
    server.enqueueReply(soon);
    server.enqueueReply(later);
    bool called = false;
    auto emptyContext = std::make_unique<QObject>();
    TranslationService::translate(QString(), google(), std::nullopt, emptyContext.get(),
                                  [&](const TranslationOutcome&) { called = true; });
    emptyContext.reset();
    auto context = std::make_unique<QObject>();
    TranslationService::translate(QStringLiteral("x"), google(), std::nullopt, context.get(),
                                  [&](const TranslationOutcome&) { called = true; });
    ASSERT_TRUE(server.waitForRequests(1));
    context.reset();
    // The probe is answered well after the dropped call, so once it is in, the dropped one was handled.
    resultOf(run(QStringLiteral("probe"), google()));
    EXPECT_FALSE(called);
    EXPECT_EQ(server.requestCount(), 2);
}

TEST_F(TranslationServiceTest, CompletionRunsOnTheCallingThread)
{
    server.enqueueReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("t")));
    QThread worker;
    worker.start();
    QObject onWorker;
    onWorker.moveToThread(&worker);
    std::atomic<QThread*> calledOn = nullptr;
    QMetaObject::invokeMethod(&onWorker, [&] {
        TranslationService::translate(QStringLiteral("x"), google(), std::nullopt, &onWorker,
                                      [&](const TranslationOutcome&) { calledOn = QThread::currentThread(); });
    });
    EXPECT_TRUE(test::waitUntil([&] { return calledOn.load() != nullptr; }));
    EXPECT_EQ(calledOn.load(), &worker);
    worker.quit();
    worker.wait();
}

namespace {

// A certificate for 127.0.0.1 made for this run. Empty when openssl is not there.
struct TestCertificate {
    QSslCertificate certificate;
    QSslKey key;
};

std::optional<TestCertificate> makeCertificate(const QTemporaryDir& dir)
{
    const QString keyPath = dir.filePath(QStringLiteral("key.pem"));
    const QString certPath = dir.filePath(QStringLiteral("cert.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                   QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-keyout"), keyPath, QStringLiteral("-out"), certPath, QStringLiteral("-days"),
                   QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1")});
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0)
        return std::nullopt;
    QFile keyFile(keyPath);
    QFile certFile(certPath);
    if (!keyFile.open(QIODevice::ReadOnly) || !certFile.open(QIODevice::ReadOnly))
        return std::nullopt;
    TestCertificate made{QSslCertificate(certFile.readAll()), QSslKey(keyFile.readAll(), QSsl::Ec)};
    if (made.certificate.isNull() || made.key.isNull())
        return std::nullopt;
    return made;
}

} // namespace

TEST_F(TranslationServiceTest, HttpsChecksTheServersCertificate)
{
    if (!QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS backend";
    QTemporaryDir dir;
    const auto made = makeCertificate(dir);
    if (!made)
        GTEST_SKIP() << "openssl could not make a test certificate";

    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(made->certificate);
    tls.setPrivateKey(made->key);
    LocalHttpServer secure;
    ASSERT_TRUE(secure.listen(tls));
    secure.setDefaultReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("שלום"), QStringLiteral("en")));
    TranslationEndpoints where = TranslationService::endpoints();
    where.google = secure.baseUrl();
    ASSERT_EQ(where.google.scheme(), QStringLiteral("https"));
    TranslationService::setEndpoints(where);

    const TranslationError untrusted = errorOf(run(QStringLiteral("hello"), google()));
    EXPECT_EQ(untrusted.kind, Kind::transport);
    EXPECT_TRUE(untrusted.detail.contains(QStringLiteral("SSL"))) << untrusted.detail.toStdString();
    EXPECT_EQ(secure.requestCount(), 0);

    // Once the certificate is trusted the same request goes through, unchanged (a fresh server, so no
    // connection state of the refused attempt is reused).
    LocalHttpServer trustedServer;
    ASSERT_TRUE(trustedServer.listen(tls));
    trustedServer.setDefaultReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("שלום")));
    where.google = trustedServer.baseUrl();
    TranslationService::setEndpoints(where);
    const QSslConfiguration usual = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusting = usual;
    trusting.addCaCertificate(made->certificate);
    QSslConfiguration::setDefaultConfiguration(trusting);
    const TranslationOutcome trusted = run(QStringLiteral("hello"), google());
    QSslConfiguration::setDefaultConfiguration(usual);
    EXPECT_EQ(resultOf(trusted).translatedText, QStringLiteral("שלום"));
    ASSERT_EQ(trustedServer.requestCount(), 1);
    EXPECT_EQ(trustedServer.requests().at(0).requestLine,
              "GET /translate_a/single?client=gtx&sl=auto&tl=he&dt=t&q=hello HTTP/1.1");
}
