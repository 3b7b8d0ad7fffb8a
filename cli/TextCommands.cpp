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

} // namespace

int runLayout(const QStringList& args)
{
    const QString command = QStringLiteral("layout");
    const auto parsed = parseArguments(args, {}, command);
    if (!parsed)
        return exitUsage;
    const auto text = inputText(parsed->positional, command);
    if (!text)
        return exitUsage;
    return finish(KeyboardLayoutConverter::convert(*text));
}

int runDateTime(const QStringList& args)
{
    const QString command = QStringLiteral("datetime");
    const QString json = QStringLiteral("--json");
    const auto parsed = parseArguments(args, {json}, command);
    if (!parsed)
        return exitUsage;
    const auto text = inputText(parsed->positional, command);
    if (!text)
        return exitUsage;
    const DateTimeResult result = DateTimeService::compute(*text);
    if (parsed->options.contains(json)) {
        const QJsonObject object{
            {QStringLiteral("localTime"), result.localTime},
            {QStringLiteral("utcTime"), result.utcTime},
            {QStringLiteral("hebrewDate"), result.hebrewDate},
            {QStringLiteral("sourceNote"), result.sourceNote},
        };
        return finish(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    }
    return finish(QStringList{result.localTime, result.utcTime, result.hebrewDate, result.sourceNote}.join(u'\n'));
}

int runTarget(const QStringList& args)
{
    const QString command = QStringLiteral("target");
    const auto parsed = parseArguments(args, {}, command);
    if (!parsed)
        return exitUsage;
    const auto text = inputText(parsed->positional, command);
    if (!text)
        return exitUsage;
    return finish(TranslationService::smartTargetLanguage(*text));
}

} // namespace vorlex::cli
