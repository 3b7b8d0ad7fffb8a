#include "OcrCommand.h"

#include "CliSupport.h"
#include "TesseractRecognizer.h"

#include <QFile>

#include <cstdio>

namespace vorlex::cli {

namespace {

// More than any picture of maximumImagePixels takes as PNG or JPEG.
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
    const bool opened = path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                   : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    using Kind = RecognitionError::Kind;
    if (!opened)
        return fail({Kind::unreadableImage, path + QStringLiteral(": ") + file.errorString()});
    const QByteArray bytes = file.read(maximumFileBytes + 1);
    if (bytes.size() > maximumFileBytes)
        return fail({Kind::imageTooLarge, {}});

    const auto image = decodeImage(bytes);
    if (const auto* error = std::get_if<RecognitionError>(&image))
        return fail(error->kind == Kind::unreadableImage
                        ? RecognitionError{Kind::unreadableImage, path + QStringLiteral(": ") + error->detail}
                        : *error);
    const RecognitionOutcome outcome = TesseractRecognizer().recognize(std::get<GreyImage>(image));
    if (const auto* error = std::get_if<RecognitionError>(&outcome))
        return fail(*error);
    return writeLine(std::get<QString>(outcome)) ? exitSuccess : exitFailure;
}

} // namespace vorlex::cli
