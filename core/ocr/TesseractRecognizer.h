#pragma once

// Text recognition with Tesseract, Hebrew and English at once. The picture is prepared first (grey,
// dark text on a light ground, small text scaled up), so that 12 to 16 px interface text reads well.

#include "TextRecognizer.h"

#include <QString>

#include <memory>
#include <optional>
#include <variant>

namespace tesseract {
class TessBaseAPI;
}

namespace vorlex {

// A PNG or JPEG file's bytes (or another format Leptonica reads) as a grey picture; transparent parts
// count as white.
std::variant<GreyImage, RecognitionError> decodeImage(const QByteArray& bytes);

class TesseractRecognizer final : public TextRecognizer {
public:
    // tessdata: the folder of the language files; empty for defaultTessdata().
    explicit TesseractRecognizer(QString tessdata = {});
    ~TesseractRecognizer() override;

    RecognitionOutcome recognize(const GreyImage& image, const std::atomic<bool>* cancelled = nullptr) override;
    std::optional<RecognitionError> load() override;
    std::variant<GreyImage, RecognitionError> decode(const QByteArray& bytes) override { return decodeImage(bytes); }

    // $TESSDATA_PREFIX, as Tesseract itself reads it, else Debian's folder.
    static QString defaultTessdata();

private:
    const QString tessdata;
    std::unique_ptr<tesseract::TessBaseAPI> api;
};

// Pictures larger than this are not read (an 8K screen is 33 million pixels).
inline constexpr qint64 maximumImagePixels = 40'000'000;

// What the engine is given: dark text on a light ground (a dark theme is turned over), the letters
// scaled to about glyphHeight px, a white margin around. Nothing when nothing in it looks like text.
std::optional<GreyImage> prepareForRecognition(const GreyImage& image);
inline constexpr int glyphHeight = 32;

} // namespace vorlex
