// vorlex-e2e: the program itself, compiled from the same main, except that it first takes the
// translation endpoints from the environment, so the end-to-end tests, the demo and the benchmarks
// can point it at a local server. The shipped vorlex never reads these variables.
//
//   VORLEX_E2E_GOOGLE_URL        base URL of the Google endpoint (http or https)
//   VORLEX_E2E_DEEPL_URL         base URL of both DeepL plans
//   VORLEX_E2E_IDLE_TIMEOUT_MS   per-request idle timeout of the shared client
//   VORLEX_E2E_DEEPL_TIMEOUT_MS  DeepL's own request timeout

#include "TranslationService.h"

#include <QUrl>

#include <cstdio>

namespace vorlex {
int runProgram(int argc, char* argv[], const TranslationEndpoints& endpoints); // app/main.cpp
}

int main(int argc, char* argv[])
{
    // An unset variable leaves the target alone; a set but unusable one stops the program, since
    // falling back to the real services would send a test's text out to the internet.
    bool usable = true;
    const auto readUrl = [&](const char* name, QUrl& target) {
        if (!qEnvironmentVariableIsEmpty(name)) {
            target = QUrl(qEnvironmentVariable(name), QUrl::StrictMode);
            usable &= !target.host().isEmpty() &&
                      (target.scheme() == QLatin1String("http") || target.scheme() == QLatin1String("https"));
        }
    };
    const auto readMilliseconds = [&](const char* name, int& target) {
        bool ok = qEnvironmentVariableIsEmpty(name);
        if (!ok)
            target = qEnvironmentVariableIntValue(name, &ok);
        usable &= ok && target > 0;
    };
    vorlex::TranslationEndpoints endpoints;
    QUrl deepL;
    readUrl("VORLEX_E2E_GOOGLE_URL", endpoints.google);
    readUrl("VORLEX_E2E_DEEPL_URL", deepL);
    readMilliseconds("VORLEX_E2E_IDLE_TIMEOUT_MS", endpoints.idleTimeoutMs);
    readMilliseconds("VORLEX_E2E_DEEPL_TIMEOUT_MS", endpoints.deepLTimeoutMs);
    if (!usable) {
        std::fputs("vorlex-e2e: the VORLEX_E2E_ URLs must be http(s), the timeouts positive milliseconds\n", stderr);
        return 2;
    }
    if (!deepL.isEmpty())
        endpoints.deepLFree = endpoints.deepLPaid = deepL;
    return vorlex::runProgram(argc, argv, endpoints);
}
