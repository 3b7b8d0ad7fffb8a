#include "TranslateCommand.h"

#include "CliSupport.h"
#include "SettingsManager.h"
#include "TranslationService.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <cstdio>
#include <map>

namespace vorlex::cli {

namespace {

const QString command = QStringLiteral("translate");

// A replacement endpoint base: scheme, host and optional port, nothing else (the paths are fixed).
std::optional<QUrl> endpointBase(const QString& option, const QString& value)
{
    const QUrl url(value, QUrl::StrictMode);
    const bool usable =
        url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
        !url.host().isEmpty() && url.userInfo().isEmpty() &&
        (url.path().isEmpty() || url.path() == QLatin1String("/")) && !url.hasQuery() && !url.hasFragment();
    if (!usable) {
        usageError(QStringLiteral("%1: %2 expects http(s)://HOST[:PORT], got \"%3\"").arg(command, option, value));
        return std::nullopt;
    }
    return url;
}

} // namespace

int runTranslate(const QStringList& args)
{
    // Options with a value are taken out here; the rest goes through the shared parser.
    const QStringList valueOptions{QStringLiteral("--engine"), QStringLiteral("--to"), QStringLiteral("--google-url"),
                                   QStringLiteral("--deepl-url")};
    std::map<QString, QString> values;
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--")) {
            rest.append(args.mid(i));
            break;
        }
        const qsizetype equals = arg.indexOf(u'=');
        const QString name = equals > 0 ? arg.left(equals) : arg;
        if (!valueOptions.contains(name)) {
            rest.append(arg);
            continue;
        }
        if (equals > 0) {
            values[name] = arg.mid(equals + 1);
        } else if (i + 1 < args.size()) {
            values[name] = args.at(++i);
        } else {
            return usageError(QStringLiteral("%1: %2 needs a value").arg(command, name));
        }
    }
    const QString json = QStringLiteral("--json");
    const auto parsed = parseArguments(rest, {json}, command);
    if (!parsed)
        return exitUsage;

    AppSettings settings = SettingsManager::shared().load();
    if (const auto engine = values.find(QStringLiteral("--engine")); engine != values.end()) {
        if (engine->second.compare(QLatin1String("google"), Qt::CaseInsensitive) == 0)
            settings.engine = TranslationEngine::google;
        else if (engine->second.compare(QLatin1String("deepl"), Qt::CaseInsensitive) == 0)
            settings.engine = TranslationEngine::deepL;
        else
            return usageError(
                QStringLiteral("%1: --engine is google or deepl, not \"%2\"").arg(command, engine->second));
    }
    if (const auto to = values.find(QStringLiteral("--to")); to != values.end() && to->second.isEmpty())
        return usageError(QStringLiteral("%1: --to needs a language code").arg(command));

    TranslationEndpoints endpoints;
    if (const auto google = values.find(QStringLiteral("--google-url")); google != values.end()) {
        const auto base = endpointBase(google->first, google->second);
        if (!base)
            return exitUsage;
        endpoints.google = *base;
    }
    if (const auto deepL = values.find(QStringLiteral("--deepl-url")); deepL != values.end()) {
        const auto base = endpointBase(deepL->first, deepL->second);
        if (!base)
            return exitUsage;
        endpoints.deepLFree = *base;
        endpoints.deepLPaid = *base;
    }

    const auto text = inputText(parsed->positional, command);
    if (!text)
        return exitUsage;
    const auto to = values.find(QStringLiteral("--to"));
    const QString target = to != values.end() ? to->second : TranslationService::smartTargetLanguage(*text);
    const bool asJson = parsed->options.contains(json);

    const auto done = [asJson](const TranslationOutcome& outcome) {
        if (const auto* error = std::get_if<TranslationError>(&outcome)) {
            writeError(error->description());
            QCoreApplication::exit(exitFailure);
            return;
        }
        const auto& result = std::get<TranslationResult>(outcome);
        QString output = result.translatedText;
        if (asJson) {
            const QJsonObject object{
                {QStringLiteral("translatedText"), result.translatedText},
                {QStringLiteral("detectedLanguage"), result.detectedLanguage},
                {QStringLiteral("engineName"), result.engineName},
            };
            output = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
        }
        QCoreApplication::exit(writeLine(output) ? exitSuccess : exitFailure);
    };
    TranslationService::translate(*text, settings, endpoints, target, nullptr, done);
    return QCoreApplication::exec(); // the completion always comes later, through this loop
}

} // namespace vorlex::cli
