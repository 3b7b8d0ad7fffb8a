// The cost of TranslationService::translate per request against a local server, next to the floor:
// a bare QNetworkAccessManager request for the same URL and body. Goal: within 1.2x of the floor, and
// one TCP connection for a run of sequential requests.

#include "TranslationService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#if __has_include("LocalHttpServer.h")
#include "LocalHttpServer.h"

namespace {

using namespace vorlex;
using vorlex::test::LocalHttpServer;

const QString text = QStringLiteral("Tom & Jerry: a short sentence to translate, שלום");

LocalHttpServer* server = nullptr; // answers the service only, so its connection count is the service's
TranslationEndpoints endpoints;    // all three at server

AppSettings settingsFor(TranslationEngine engine)
{
    AppSettings settings;
    settings.engine = engine;
    settings.deepLApiKey = QStringLiteral("bench-key:fx");
    return settings;
}

void translateOnce(TranslationEngine engine)
{
    QEventLoop loop;
    TranslationService::translate(text, settingsFor(engine), endpoints, QStringLiteral("he"), nullptr,
                                  [&](const TranslationOutcome& outcome) {
                                      if (!std::holds_alternative<TranslationResult>(outcome))
                                          std::fprintf(stderr, "translate failed\n");
                                      loop.quit();
                                  });
    loop.exec();
}

// The same request the service sends, made by hand on a client of its own.
struct Floor {
    QNetworkAccessManager client;
    QNetworkRequest googleRequest;
    QNetworkRequest deepLRequest;
    QByteArray deepLBody;

    explicit Floor(const QUrl& baseUrl)
    {
        const QByteArray base = baseUrl.toEncoded();
        const QByteArray encoded = text.toUtf8().toPercentEncoding();
        googleRequest = QNetworkRequest(QUrl::fromEncoded(
            base + "/translate_a/single?client=gtx&sl=auto&tl=he&dt=t&q=" + encoded, QUrl::StrictMode));
        deepLRequest = QNetworkRequest(QUrl::fromEncoded(base + "/v2/translate", QUrl::StrictMode));
        deepLRequest.setRawHeader("Authorization", "DeepL-Auth-Key bench-key:fx");
        deepLRequest.setHeader(QNetworkRequest::ContentTypeHeader,
                               QByteArrayLiteral("application/x-www-form-urlencoded"));
        deepLBody = "text=" + encoded + "&target_lang=HE";
    }

    void once(TranslationEngine engine)
    {
        QNetworkReply* reply =
            engine == TranslationEngine::google ? client.get(googleRequest) : client.post(deepLRequest, deepLBody);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        benchmark::DoNotOptimize(reply->readAll());
        reply->deleteLater();
    }
};

Floor* floorClient = nullptr;

void BM_BareClient(benchmark::State& state, TranslationEngine engine)
{
    for (auto _ : state)
        floorClient->once(engine);
}

void BM_Translate(benchmark::State& state, TranslationEngine engine)
{
    for (auto _ : state)
        translateOnce(engine);
    state.counters["connections"] = server->connectionCount(); // since the start of the program
}

BENCHMARK_CAPTURE(BM_BareClient, google, TranslationEngine::google)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Translate, google, TranslationEngine::google)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BareClient, deepL, TranslationEngine::deepL)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Translate, deepL, TranslationEngine::deepL)->Unit(benchmark::kMicrosecond);

// Microseconds one request takes.
double timed(const std::function<void()>& request)
{
    QElapsedTimer clock;
    clock.start();
    request();
    return double(clock.nsecsElapsed()) / 1000.0;
}

// The two sides take turns in runs of requests, so load from elsewhere on the machine hits both alike;
// the first request of each run (the switch between clients) is left out, and medians keep the odd
// stall out.
void printRatio(const char* name, TranslationEngine engine)
{
    constexpr int rounds = 20;
    constexpr int perRound = 50;
    std::vector<double> floorTimes;
    std::vector<double> serviceTimes;
    const auto runOf = [](std::vector<double>& times, const std::function<void()>& request) {
        request();
        for (int i = 0; i < perRound; ++i)
            times.push_back(timed(request));
    };
    for (int round = 0; round < rounds; ++round) {
        runOf(floorTimes, [engine] { floorClient->once(engine); });
        runOf(serviceTimes, [engine] { translateOnce(engine); });
    }
    const auto median = [](std::vector<double>& times) {
        std::nth_element(times.begin(), times.begin() + qsizetype(times.size() / 2), times.end());
        return times[times.size() / 2];
    };
    const double floorMedian = median(floorTimes);
    const double serviceMedian = median(serviceTimes);
    std::printf("%s: translate %.1f us, bare client %.1f us per request (medians of %d), ratio %.2fx (goal <= 1.20x)\n",
                name, serviceMedian, floorMedian, rounds * perRound, serviceMedian / floorMedian);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    LocalHttpServer localServer;
    LocalHttpServer localFloorServer; // each listens from construction, or the run stops there
    const auto answer = [](const LocalHttpServer::Request& request) {
        return request.method == "POST"
                   ? LocalHttpServer::Reply::deepLTranslation(QStringLiteral("טום וג'רי"))
                   : LocalHttpServer::Reply::googleTranslation(QStringLiteral("טום וג'רי"), QStringLiteral("en"));
    };
    localServer.setHandler(answer);
    localFloorServer.setHandler(answer);
    server = &localServer;
    endpoints.google = endpoints.deepLFree = endpoints.deepLPaid = localServer.baseUrl();
    Floor floor(localFloorServer.baseUrl());
    floorClient = &floor;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    printRatio("google", TranslationEngine::google);
    printRatio("deepL", TranslationEngine::deepL);
    std::printf("%d sequential translations used %d TCP connection(s) (goal: 1)\n", localServer.requestCount(),
                localServer.connectionCount());
    return localServer.connectionCount() == 1 ? 0 : 1;
}

#else
int main()
{
    std::fprintf(stderr, "translationbench needs the test support library (configure with tests on)\n");
    return 1;
}
#endif
