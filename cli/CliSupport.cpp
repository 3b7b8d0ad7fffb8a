#include "CliSupport.h"

#include <QByteArray>
#include <QStringDecoder>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vorlex::cli {

std::optional<QString> decodeUtf8(QByteArrayView bytes)
{
    // isValidUtf8 rejects overlong forms, surrogates and code points above U+10FFFF as well.
    if (!bytes.isValidUtf8())
        return std::nullopt;
    // fromUtf8 would drop a leading byte order mark; the text is passed on as is.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return QString(decoder.decode(bytes));
}

std::optional<QString> readStandardInput()
{
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const size_t read = std::fread(buffer, 1, sizeof buffer, stdin);
        bytes.append(buffer, qsizetype(read));
        if (read < sizeof buffer)
            break;
    }
    if (std::ferror(stdin)) {
        usageError(QStringLiteral("cannot read standard input: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return std::nullopt;
    }
    std::optional<QString> text = decodeUtf8(bytes);
    if (!text)
        usageError(QStringLiteral("standard input is not valid UTF-8"));
    return text;
}

bool writeLine(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    bytes.append('\n');
    const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    return std::fflush(stdout) == 0 && written;
}

void writeError(const QString& description)
{
    const QByteArray line = QStringLiteral("שגיאה: %1\n").arg(description).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

int usageError(const QString& message)
{
    const QByteArray line = QByteArrayLiteral("vorlex-cli: ") + message.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    return exitUsage;
}

std::optional<ParsedArguments> parseArguments(const QStringList& args, const QStringList& knownOptions,
                                              const QString& command)
{
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (const QString& arg : args) {
        if (optionsEnded || !arg.startsWith(QLatin1String("--"))) {
            parsed.positional.append(arg);
        } else if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (knownOptions.contains(arg)) {
            parsed.options.append(arg);
        } else {
            usageError(
                QStringLiteral("%1: unknown option %2 (put -- before a TEXT that starts with --)").arg(command, arg));
            return std::nullopt;
        }
    }
    return parsed;
}

std::optional<QString> inputText(const QStringList& positional, const QString& command)
{
    if (positional.size() > 1) {
        usageError(QStringLiteral("%1: expected at most one TEXT argument, got %2 (quote the text)")
                       .arg(command)
                       .arg(positional.size()));
        return std::nullopt;
    }
    if (positional.size() == 1)
        return positional.front();
    return readStandardInput();
}

} // namespace vorlex::cli
