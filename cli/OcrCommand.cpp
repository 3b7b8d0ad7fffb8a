#include "OcrCommand.h"

#include "CliSupport.h"
#include "TextRecognizer.h"

#include <QFile>

#include <unistd.h>

namespace vorlex::cli {

namespace {

// More than a PNG or JPEG of the largest picture the engine reads takes.
constexpr qint64 maximumFileBytes = qint64(256) * 1024 * 1024;

int fail(const RecognitionError& error)
{
    writeError(error.description());
    return exitFailure;
}

} // namespace

int runOcr(const QStringList& args)
{
    const QString command = QStringLiteral("ocr");
    const auto parsed = parseArguments(args, {}, command);
    if (!parsed)
        return exitUsage;
    if (parsed->positional.size() != 1)
        return usageError(QStringLiteral("ocr: expected one IMAGE (a file, or - for standard input)"));
    const QString path = parsed->positional.front();

    QFile file;
    // Unbuffered, a pipe is read to its end, not only as far as it had arrived.
    const bool opened = path == QLatin1String("-")
                            ? file.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered)
                            : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    using Kind = RecognitionError::Kind;
    if (!opened)
        return fail({Kind::unreadableImage, path + QStringLiteral(": ") + file.errorString()});
    const QByteArray bytes = file.read(maximumFileBytes + 1);
    if (bytes.size() > maximumFileBytes)
        return fail({Kind::imageTooLarge, {}});

    auto engine = loadTextRecognizer();
    if (const auto* error = std::get_if<RecognitionError>(&engine))
        return fail(*error);
    TextRecognizer& recognizer = *std::get<std::unique_ptr<TextRecognizer>>(engine);
    const auto image = recognizer.decode(bytes);
    if (const auto* error = std::get_if<RecognitionError>(&image))
        return fail(error->kind == Kind::unreadableImage
                        ? RecognitionError{Kind::unreadableImage, path + QStringLiteral(": ") + error->detail}
                        : *error);
    const RecognitionOutcome outcome = recognizer.recognize(std::get<GreyImage>(image));
    if (const auto* error = std::get_if<RecognitionError>(&outcome))
        return fail(*error);
    return writeLine(std::get<QString>(outcome)) ? exitSuccess : exitFailure;
}

} // namespace vorlex::cli
