// vorlex-cli: the text services of Vorlex from a terminal or a script.
//   vorlex-cli <command> [options] [TEXT]      (without TEXT, all of standard input)

#include "CliSupport.h"
#include "OcrCommand.h"
#include "QtTranslations.h"
#include "TextCommands.h"
#include "TranslateCommand.h"
// Further commands declare their run function in their own header, included here.

#include <QCoreApplication>

#include <cstdio>
#include <iterator>

namespace {

using namespace vorlex::cli;

struct Command {
    const char* name;
    const char* usage;
    const char* summary;
    int (*run)(const QStringList& args);
};

// The dispatch table: one line per command, in the order --help lists them.
const Command commands[] = {
    {"layout", "[TEXT]", "convert text typed with the wrong keyboard layout (Hebrew <-> English)", runLayout},
    {"datetime", "[--json] [TEXT]",
     "read TEXT as a Unix timestamp (else now): local time, UTC, Hebrew date, source note", runDateTime},
    {"target", "[TEXT]", "the translation target for TEXT: \"en\" when mostly Hebrew letters, else \"he\"", runTarget},
    {"translate", "[--engine google|deepl] [--to CODE] [--json] [--google-url URL] [--deepl-url URL] [TEXT]",
     "translate TEXT with the engine, key and languages of the settings file; --to picks the target (else "
     "\"target\"), --google-url/--deepl-url replace the service's scheme, host and port",
     runTranslate},
    {"ocr", "IMAGE", "the text in a PNG or JPEG picture (- reads standard input), Hebrew and English", runOcr},
    // ---- more commands go here ----
};

QString helpText()
{
    QString help = QStringLiteral("Usage: vorlex-cli <command> [options] [TEXT]\n\nCommands:\n");
    for (const Command& command : commands) {
        help += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(QLatin1String(command.name), QLatin1String(command.usage), QLatin1String(command.summary));
    }
    help += QStringLiteral("\nWithout TEXT a command reads all of standard input (UTF-8, as is, nothing trimmed).\n"
                           "Put -- before a TEXT that starts with --. Output is UTF-8 and ends with one newline.\n"
                           "Exit status: 0 success, 1 failure, 2 bad arguments or input that is not valid UTF-8.");
    return help;
}

} // namespace

int main(int argc, char** argv)
{
    // Arguments are decoded strictly here: QCoreApplication::arguments() would replace invalid bytes.
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        const auto arg = decodeUtf8(QByteArrayView(argv[i]));
        if (!arg)
            return usageError(QStringLiteral("argument %1 is not valid UTF-8").arg(i));
        args.append(*arg);
    }
    QCoreApplication app(argc, argv); // commands that wait for the network run its event loop
    // Qt's network error texts in Hebrew, as in the tray program.
    vorlex::QtTranslations::install();

    if (args.isEmpty())
        return usageError(QStringLiteral("no command given; see vorlex-cli --help"));
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help"))
        return writeLine(helpText()) ? exitSuccess : exitFailure;
    for (const Command& command : commands) {
        if (name != QLatin1String(command.name))
            continue;
        if (args.value(0) == QLatin1String("--help"))
            return writeLine(QStringLiteral("Usage: vorlex-cli %1 %2\n    %3")
                                 .arg(QLatin1String(command.name), QLatin1String(command.usage),
                                      QLatin1String(command.summary)))
                       ? exitSuccess
                       : exitFailure;
        return command.run(args);
    }
    return usageError(QStringLiteral("unknown command \"%1\"; see vorlex-cli --help").arg(name));
}
