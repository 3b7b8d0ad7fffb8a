// vorlex-e2e: the program itself, compiled from the same main, except that it first takes the
// translation endpoints from the environment, so the end-to-end tests and the demo can point it
// at a local server. The shipped vorlex never reads these variables.
//
//   VORLEX_E2E_GOOGLE_URL        base URL of the Google endpoint (http or https)
//   VORLEX_E2E_DEEPL_URL         base URL of both DeepL plans
//   VORLEX_E2E_IDLE_TIMEOUT_MS   per-request idle timeout of the shared client
//   VORLEX_E2E_DEEPL_TIMEOUT_MS  DeepL's own request timeout

#include "TranslationService.h"

#include <QByteArray>
#include <QUrl>

#include <cstdio>

int vorlexAppMain(int argc, char* argv[]); // app/main.cpp's main, renamed in this build

namespace {

// A variable that is set but unusable stops the program: falling back to the real services would
// send a test's text out to the internet.
bool readUrl(const char* name, QUrl& target)
{
    const QByteArray value = qgetenv(name);
    if (value.isEmpty())
        return true;
    const QUrl url(QString::fromUtf8(value), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        std::fprintf(stderr, "vorlex-e2e: %s is not an http(s) URL: %s\n", name, value.constData());
        return false;
    }
    target = url;
    return true;
}

bool readMilliseconds(const char* name, int& target)
{
    const QByteArray value = qgetenv(name);
    if (value.isEmpty())
        return true;
    bool ok = false;
    const int milliseconds = value.toInt(&ok);
    if (!ok || milliseconds <= 0) {
        std::fprintf(stderr, "vorlex-e2e: %s is not a positive number of milliseconds: %s\n", name, value.constData());
        return false;
    }
    target = milliseconds;
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    vorlex::TranslationEndpoints endpoints = vorlex::TranslationService::endpoints();
    QUrl deepL;
    if (!readUrl("VORLEX_E2E_GOOGLE_URL", endpoints.google) || !readUrl("VORLEX_E2E_DEEPL_URL", deepL) ||
        !readMilliseconds("VORLEX_E2E_IDLE_TIMEOUT_MS", endpoints.idleTimeoutMs) ||
        !readMilliseconds("VORLEX_E2E_DEEPL_TIMEOUT_MS", endpoints.deepLTimeoutMs))
        return 2;
    if (!deepL.isEmpty())
        endpoints.deepLFree = endpoints.deepLPaid = deepL;
    vorlex::TranslationService::setEndpoints(endpoints);
    return vorlexAppMain(argc, argv);
}
