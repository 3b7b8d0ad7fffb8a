#pragma once

// Translation through Google's web endpoint or the DeepL API.
//
// Shape: translate() starts the request and returns at once; the completion is called exactly once,
// later, through the event loop, with either a TranslationResult or a TranslationError. It is never
// called before translate() returns, and not at all when the context object is destroyed first (that is
// how a caller holds itself weakly).
//
// Every caller is on the application's main thread, which runs the Qt event loop: translate() is used
// from there only. The requests share one QNetworkAccessManager, made on first use
// and kept until the process ends. Nothing blocks: no waiting, no nested event loop. A request whose
// context object goes away is aborted at once, so a caller supersedes its request by dropping it.

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
        textTooLong, // beyond maximumTextBytes: never sent
    };
    Kind kind = Kind::decodingFailed;
    int code = 0;   // the HTTP status of httpError
    QString detail; // transport and replyFormat

    bool operator==(const TranslationError&) const = default;
    // The Hebrew message the popup shows after "שגיאה: ". Never empty.
    QString description() const;
};

using TranslationOutcome = std::variant<TranslationResult, TranslationError>;

// Where the two services live. Whoever wires the program hands them in: the defaults in the program,
// a local server in tests, vorlex-e2e and the benchmarks, what vorlex-cli was told.
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

    static void translate(const QString& text, const AppSettings& settings, const TranslationEndpoints& endpoints,
                          const std::optional<QString>& targetOverride, QObject* context, Completion completion);

    // "en" when more than half of the letters are Hebrew letters, else "he". Pure; any thread.
    static QString smartTargetLanguage(const QString& text);

private:
    static void translateWithGoogle(const QString& text, const AppSettings& settings, const TranslationEndpoints& where,
                                    QObject* context, const Completion& done);
    static void translateWithDeepL(const QString& text, const AppSettings& settings, const TranslationEndpoints& where,
                                   QObject* context, const Completion& done);
    // With a body the request is a POST, else a GET.
    static void send(const QNetworkRequest& request, const std::optional<QByteArray>& body, int idleTimeoutMs,
                     TranslationOutcome (*parse)(const QByteArray&), QObject* context, const Completion& done);
};

} // namespace vorlex
