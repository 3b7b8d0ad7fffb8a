#include "TranslationService.h"

#include "TextLimit.h"
#include "TextTerms.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include <malloc.h>

namespace vorlex {

namespace {

const QString googleEngineName = QStringLiteral("Google Translate");
const QString deepLEngineName = QStringLiteral("DeepL");

// Made on first use and never deleted: it lives as long as the process.
QNetworkAccessManager* sharedClient()
{
    static QNetworkAccessManager* const client = new QNetworkAccessManager;
    return client;
}

// Requests of the shared client that have not finished yet.
int requestsInFlight = 0;

// A while after the last request of a burst has finished, the memory its replies took goes back to
// the system: glibc keeps what the network thread freed otherwise (tens of MB after a few thousand
// failed calls, never given back).
void releaseMemoryOnceIdle()
{
    static QTimer* const idle = [] {
        auto* timer = new QTimer(sharedClient());
        timer->setSingleShot(true);
        timer->setInterval(1000); // the replies are deleted, on both threads, meanwhile
        QObject::connect(timer, &QTimer::timeout, [] {
            if (requestsInFlight == 0)
                ::malloc_trim(0);
        });
        return timer;
    }();
    idle->start();
}

// Every byte except A-Z a-z 0-9 - . _ ~ as %XX, from the UTF-8 bytes.
QByteArray percentEncoded(const QString& value)
{
    return value.toUtf8().toPercentEncoding();
}

// scheme://host[:port] of a base URL followed by an absolute path and query that are already encoded,
// so that nothing is decoded or encoded again on the way to the wire.
std::optional<QUrl> endpointUrl(const QUrl& base, const QByteArray& pathAndQuery)
{
    const bool web = base.scheme() == QLatin1String("https") || base.scheme() == QLatin1String("http");
    if (!base.isValid() || !web || base.host().isEmpty())
        return std::nullopt;
    const QByteArray origin =
        base.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toEncoded();
    QUrl url = QUrl::fromEncoded(origin + pathAndQuery, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

TranslationError error(TranslationError::Kind kind, int code = 0, const QString& detail = {})
{
    return TranslationError{kind, code, detail};
}

TranslationOutcome parseGoogleReply(const QByteArray& body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isArray())
        return error(TranslationError::Kind::decodingFailed);
    const QJsonArray top = document.array();
    if (top.isEmpty() || !top.at(0).isArray())
        return error(TranslationError::Kind::decodingFailed);
    QString translated;
    for (const QJsonValue& segment : top.at(0).toArray()) {
        if (!segment.isArray())
            return error(TranslationError::Kind::decodingFailed);
        const QJsonArray parts = segment.toArray();
        if (!parts.isEmpty() && parts.at(0).isString())
            translated += parts.at(0).toString();
    }
    const QString detected = top.size() > 2 && top.at(2).isString() ? top.at(2).toString() : QString();
    return TranslationResult{translated, detected, googleEngineName};
}

TranslationError replyFormat(const QString& detail)
{
    return error(TranslationError::Kind::replyFormat, 0, detail);
}

TranslationOutcome parseDeepLReply(const QByteArray& body)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return replyFormat(parseError.errorString());
    if (!document.isObject())
        return replyFormat(QStringLiteral("the reply is not a JSON object"));
    const QJsonObject top = document.object();
    if (!top.contains(QStringLiteral("translations")))
        return replyFormat(QStringLiteral("key \"translations\" not found"));
    const QJsonValue list = top.value(QStringLiteral("translations"));
    if (!list.isArray())
        return replyFormat(QStringLiteral("\"translations\" is not an array"));
    // The whole list is read, as a decoder of the record would, before the first element is taken.
    const QJsonArray translations = list.toArray();
    std::optional<TranslationResult> first;
    for (qsizetype i = 0; i < translations.size(); ++i) {
        const QString where = QStringLiteral("translations[%1]").arg(i);
        if (!translations.at(i).isObject())
            return replyFormat(where + QStringLiteral(" is not an object"));
        const QJsonObject translation = translations.at(i).toObject();
        const QJsonValue text = translation.value(QStringLiteral("text"));
        if (!text.isString())
            return replyFormat(where + QStringLiteral(".text is missing or not a string"));
        const QJsonValue detected = translation.value(QStringLiteral("detected_source_language"));
        if (!detected.isUndefined() && !detected.isNull() && !detected.isString())
            return replyFormat(where + QStringLiteral(".detected_source_language is not a string"));
        if (!first)
            first = TranslationResult{text.toString(), detected.toString(), deepLEngineName};
    }
    if (!first)
        return error(TranslationError::Kind::noTranslation);
    return *first;
}

// Qt's catalogue words for a network timeout; without the catalogue, the English text this has always been.
QString timeoutText()
{
    const char* const english = "Network operation timed out";
    const QString translated = QCoreApplication::translate("QNativeSocketEngine", english);
    return translated == QLatin1String(english) ? QStringLiteral("Operation timed out") : translated;
}

// A finished exchange: the status first (the body of an error status is never read), then the
// client's own failure, then the body.
TranslationOutcome outcomeOf(QNetworkReply& reply, TranslationOutcome (*parse)(const QByteArray&))
{
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() != 200)
        return error(TranslationError::Kind::httpError, status.toInt());
    if (reply.error() != QNetworkReply::NoError) {
        // A request aborted for its caller's sake never reaches it, so a cancelled one here is the
        // idle timeout firing; this Qt reports that as "Operation canceled", which would mislead the
        // reader. Qt's own words for a timeout instead, in Hebrew where its catalogue is loaded.
        QString detail = reply.error() == QNetworkReply::OperationCanceledError ? timeoutText() : reply.errorString();
        if (detail.isEmpty())
            detail = QStringLiteral("network error %1").arg(int(reply.error()));
        return error(TranslationError::Kind::transport, 0, detail);
    }
    return parse(reply.readAll());
}

// An outcome known inside translate() still reaches the caller later, through the event loop.
void finishLater(const TranslationService::Completion& done, const TranslationOutcome& outcome)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [done, outcome] { done(outcome); }, Qt::QueuedConnection);
}

} // namespace

QString TranslationError::description() const
{
    switch (kind) {
    case Kind::httpError:
        return QStringLiteral("שגיאת HTTP ") + QString::number(code);
    case Kind::emptyText:
        return QStringLiteral("אין טקסט לתרגום");
    case Kind::invalidURL:
        return QStringLiteral("כתובת URL שגויה");
    case Kind::missingAPIKey:
        return QStringLiteral("נדרש מפתח API של DeepL (הגדרות)");
    case Kind::noTranslation:
        return QStringLiteral("לא התקבל תרגום");
    case Kind::textTooLong:
        return QStringLiteral("הטקסט ארוך מדי (מעל %1 MB)").arg(maximumTextBytes / (1024 * 1024));
    case Kind::decodingFailed:
        return QStringLiteral("שגיאה בפענוח תגובת השרת");
    case Kind::transport:
    case Kind::replyFormat:
        break;
    }
    return detail.isEmpty() ? QStringLiteral("שגיאת רשת") : detail;
}

QString TranslationService::smartTargetLanguage(const QString& text)
{
    const qsizetype letters = TextTerms::letterCount(text);
    if (letters == 0)
        return QStringLiteral("he");
    qsizetype hebrew = 0;
    for (const char32_t c : text.toUcs4())
        hebrew += TextTerms::isHebrewLetter(c) ? 1 : 0;
    return double(hebrew) / double(letters) > 0.5 ? QStringLiteral("en") : QStringLiteral("he");
}

void TranslationService::translate(const QString& text, const AppSettings& settings,
                                   const TranslationEndpoints& endpoints, const std::optional<QString>& targetOverride,
                                   QObject* context, Completion completion)
{
    // The caller is held weakly: once its context object is gone, the outcome goes nowhere.
    const Completion done = [held = QPointer<QObject>(context), hasContext = context != nullptr,
                             completion = std::move(completion)](const TranslationOutcome& outcome) {
        if ((!hasContext || held) && completion)
            completion(outcome);
    };
    if (exceedsTextLimit(text)) {
        finishLater(done, error(TranslationError::Kind::textTooLong));
        return;
    }
    const QString trimmedText = TextTerms::trimmed(text);
    if (trimmedText.isEmpty()) {
        finishLater(done, error(TranslationError::Kind::emptyText));
        return;
    }
    AppSettings copy = settings;
    if (targetOverride)
        copy.targetLanguage = *targetOverride;
    if (copy.engine == TranslationEngine::google)
        translateWithGoogle(trimmedText, copy, endpoints, context, done);
    else
        translateWithDeepL(trimmedText, copy, endpoints, context, done);
}

void TranslationService::translateWithGoogle(const QString& text, const AppSettings& settings,
                                             const TranslationEndpoints& where, QObject* context,
                                             const Completion& done)
{
    const QString source = settings.sourceLanguage.isEmpty() ? QStringLiteral("auto") : settings.sourceLanguage;
    // The codes are encoded too: real codes pass unchanged, and a hand-edited file cannot add parameters.
    const QByteArray pathAndQuery = "/translate_a/single?client=gtx&sl=" + percentEncoded(source) +
                                    "&tl=" + percentEncoded(settings.targetLanguage) +
                                    "&dt=t&q=" + percentEncoded(text);
    const std::optional<QUrl> url = endpointUrl(where.google, pathAndQuery);
    if (!url) {
        finishLater(done, error(TranslationError::Kind::invalidURL));
        return;
    }
    send(QNetworkRequest(*url), std::nullopt, where.idleTimeoutMs, parseGoogleReply, context, done);
}

void TranslationService::translateWithDeepL(const QString& text, const AppSettings& settings,
                                            const TranslationEndpoints& where, QObject* context, const Completion& done)
{
    if (settings.deepLApiKey.isEmpty()) {
        finishLater(done, error(TranslationError::Kind::missingAPIKey));
        return;
    }
    const std::optional<QUrl> url =
        endpointUrl(settings.deepLUseFreeTier ? where.deepLFree : where.deepLPaid, "/v2/translate");
    if (!url) {
        finishLater(done, error(TranslationError::Kind::invalidURL));
        return;
    }
    QByteArray body =
        "text=" + percentEncoded(text) + "&target_lang=" + percentEncoded(TextTerms::toUpper(settings.targetLanguage));
    if (!settings.sourceLanguage.isEmpty() && settings.sourceLanguage != QLatin1String("auto"))
        body += "&source_lang=" + percentEncoded(TextTerms::toUpper(settings.sourceLanguage));

    QNetworkRequest request(*url);
    request.setTransferTimeout(where.deepLTimeoutMs);
    request.setRawHeader("Authorization", "DeepL-Auth-Key " + settings.deepLApiKey.toUtf8());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    send(request, body, where.idleTimeoutMs, parseDeepLReply, context, done);
}

void TranslationService::send(const QNetworkRequest& request, const std::optional<QByteArray>& body, int idleTimeoutMs,
                              TranslationOutcome (*parse)(const QByteArray&), QObject* context, const Completion& done)
{
    QNetworkAccessManager* client = sharedClient();
    if (client->transferTimeout() != idleTimeoutMs)
        client->setTransferTimeout(idleTimeoutMs);
    QNetworkReply* reply = body ? client->post(request, *body) : client->get(request);
    ++requestsInFlight;
    QObject::connect(reply, &QNetworkReply::finished, client, [reply, parse, done] {
        reply->deleteLater();
        if (--requestsInFlight == 0)
            releaseMemoryOnceIdle();
        done(outcomeOf(*reply, parse));
    });
    // Nobody waits for it any more: a flood of superseded requests must not pile up in the client.
    if (context)
        QObject::connect(context, &QObject::destroyed, reply, &QNetworkReply::abort);
}

} // namespace vorlex
