#pragma once

// Translation through Google's web endpoint or the DeepL API.
//
// Shape: translate() starts the request and returns at once; the completion is called exactly once,
// later, on the thread that called translate() (the UI thread in the program), with either a
// TranslationResult or a TranslationError. It is never called before translate() returns, and not
// at all when the context object is destroyed first (that is how a caller holds itself weakly).
//
// The requests run on one QNetworkAccessManager, created on first use and living on the
// application's main thread until the process ends. A QCoreApplication must exist, and the calling
// thread must run a Qt event loop: the completion reaches it through that loop (a thread without one
// never hears back). Nothing blocks: no waiting, no nested event loop.

#include "SettingsManager.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <variant>

class QNetworkRequest;
class QObject;

namespace vorlex {

struct TranslationResult {
    QString translatedText;
    QString detectedLanguage; // as the service writes it; empty when it reports none
    QString engineName;       // "Google Translate" or "DeepL"
    bool operator==(const TranslationResult&) const = default;
};

struct TranslationError {
    enum class Kind {
        httpError,
        emptyText,
        invalidURL,
        missingAPIKey,
        noTranslation,
        decodingFailed,
        transport,   // the HTTP client's own failure; detail holds its readable text
        replyFormat, // DeepL's reply did not decode; detail holds the JSON reader's description
    };
    Kind kind = Kind::decodingFailed;
    int code = 0;   // the HTTP status of httpError
    QString detail; // transport and replyFormat

    bool operator==(const TranslationError&) const = default;
    // The Hebrew message the popup shows after "שגיאה: ". Never empty.
    QString description() const;
};

using TranslationOutcome = std::variant<TranslationResult, TranslationError>;

// Where the two services live. Fixed in the program; tests and vorlex-cli may point elsewhere.
struct TranslationEndpoints {
    QUrl google = QUrl(QStringLiteral("https://translate.googleapis.com"));
    QUrl deepLFree = QUrl(QStringLiteral("https://api-free.deepl.com"));
    QUrl deepLPaid = QUrl(QStringLiteral("https://api.deepl.com"));
    int idleTimeoutMs = 15000;  // the shared client's per-request idle timeout (time without data)
    int deepLTimeoutMs = 60000; // DeepL's own request timeout; replaces the idle timeout for its requests
    bool operator==(const TranslationEndpoints&) const = default;
};

class TranslationService {
public:
    using Completion = std::function<void(const TranslationOutcome&)>;

    TranslationService() = delete;

    static void translate(const QString& text, const AppSettings& settings,
                          const std::optional<QString>& targetOverride, QObject* context, Completion completion);

    // "en" when more than half of the letters are Hebrew letters, else "he". Pure; any thread.
    static QString smartTargetLanguage(const QString& text);

    static TranslationEndpoints endpoints();
    static void setEndpoints(const TranslationEndpoints& endpoints);

private:
    class PendingCall;

    static void translateWithGoogle(const QString& text, const AppSettings& settings, const TranslationEndpoints& where,
                                    PendingCall* call);
    static void translateWithDeepL(const QString& text, const AppSettings& settings, const TranslationEndpoints& where,
                                   PendingCall* call);
    // With a body the request is a POST, else a GET.
    static void send(PendingCall* call, const QNetworkRequest& request, const std::optional<QByteArray>& body,
                     int idleTimeoutMs, TranslationOutcome (*parse)(const QByteArray&));
};

} // namespace vorlex
