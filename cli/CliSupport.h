#pragma once

// What every vorlex-cli command shares: strict UTF-8 in, UTF-8 out, the exit statuses, option parsing.

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

namespace vorlex::cli {

constexpr int exitSuccess = 0;
constexpr int exitFailure = 1; // the command ran but could not finish (output could not be written, ...)
constexpr int exitUsage = 2;   // bad arguments or input that is not valid UTF-8

// The bytes as text when they are valid UTF-8 (a byte order mark is kept as U+FEFF), else nothing.
std::optional<QString> decodeUtf8(QByteArrayView bytes);

// All of standard input as text, as is. Prints the error and returns nothing when the bytes are not
// valid UTF-8 or cannot be read.
std::optional<QString> readStandardInput();

// Writes the text as UTF-8 followed by one newline; false when standard output failed.
bool writeLine(const QString& text);

// Prints "vorlex-cli: <message>" on standard error and returns exitUsage.
int usageError(const QString& message);

// Prints "שגיאה: <description>" on standard error: a command that ran but failed.
void writeError(const QString& description);

// A command's arguments split into options it knows and positional arguments. "--" ends the options;
// a single "-" or "-60" is positional (negative timestamps are texts). An unknown "--name" is an error.
struct ParsedArguments {
    QStringList options;
    QStringList positional;
};
std::optional<ParsedArguments> parseArguments(const QStringList& args, const QStringList& knownOptions,
                                              const QString& command);

// The command's TEXT: its one positional argument, or all of standard input when there is none.
// Prints the error and returns nothing on a second positional argument or invalid input.
std::optional<QString> inputText(const QStringList& positional, const QString& command);

} // namespace vorlex::cli
