#include "TextCommands.h"

#include "CliSupport.h"
#include "DateTimeService.h"
#include "KeyboardLayoutConverter.h"
#include "TranslationService.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace vorlex::cli {

namespace {

int finish(const QString& output)
{
    return writeLine(output) ? exitSuccess : exitFailure;
}

// The shape every text command shares: parse, take TEXT or standard input, print one result.
template <typename Render>
int runOnText(const QStringList& args, const QString& command, const QStringList& flags, Render render)
{
    const auto parsed = parseArguments(args, flags, command);
    if (!parsed)
        return exitUsage;
    const auto text = inputText(parsed->positional, command);
    if (!text)
        return exitUsage;
    return finish(render(*text, parsed->options));
}

} // namespace

int runLayout(const QStringList& args)
{
    return runOnText(args, QStringLiteral("layout"), {},
                     [](const QString& text, const QStringList&) { return KeyboardLayoutConverter::convert(text); });
}

int runDateTime(const QStringList& args)
{
    const QString json = QStringLiteral("--json");
    return runOnText(args, QStringLiteral("datetime"), {json}, [&](const QString& text, const QStringList& options) {
        const DateTimeResult result = DateTimeService::compute(text);
        if (!options.contains(json))
            return QStringList{result.localTime, result.utcTime, result.hebrewDate, result.sourceNote}.join(u'\n');
        const QJsonObject object{
            {QStringLiteral("localTime"), result.localTime},
            {QStringLiteral("utcTime"), result.utcTime},
            {QStringLiteral("hebrewDate"), result.hebrewDate},
            {QStringLiteral("sourceNote"), result.sourceNote},
        };
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    });
}

int runTarget(const QStringList& args)
{
    return runOnText(args, QStringLiteral("target"), {}, [](const QString& text, const QStringList&) {
        return TranslationService::smartTargetLanguage(text);
    });
}

} // namespace vorlex::cli
