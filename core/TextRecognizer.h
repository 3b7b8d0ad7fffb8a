#pragma once

// Reading the text in a picture (OCR), Hebrew and English together. The engine (Tesseract, with some
// fifty libraries of its own) lives in a module that the program and vorlex-cli load on first use;
// this is what they share with it. QtCore only.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>
#include <variant>

namespace vorlex {

// An 8-bit grey picture: width * height bytes, row after row, 0 black to 255 white.
struct GreyImage {
    int width = 0;
    int height = 0;
    QByteArray pixels;
    bool operator==(const GreyImage&) const = default;
    bool isValid() const { return width > 0 && height > 0 && pixels.size() == qsizetype(width) * height; }
};

struct RecognitionError {
    enum class Kind {
        unreadableImage, // not a picture the engine reads; detail: why
        imageTooLarge,   // more pixels than the engine is given at once
        engineMissing,   // the module or Tesseract could not be loaded; detail: the loader's reason
        languageMissing, // detail: the missing language packages, separated by spaces
        engineFailed,    // Tesseract would not start or stopped; detail: what it said
        timedOut,        // it took longer than recognitionDeadlineMs
        noText,          // nothing that reads as text
        noScreen,        // the desktop gives no picture of the screen; detail: why
        screenFailed,    // the desktop's screenshot failed; detail: what it said
        outsideScreen,   // the area asked for lies outside every screen
    };
    Kind kind = Kind::engineFailed;
    QString detail;

    bool operator==(const RecognitionError&) const = default;
    // The Hebrew message the popup shows after "שגיאה: ". Never empty.
    QString description() const;
};

// The text read, lines in reading order, each in logical order (Hebrew as it is typed, not as it is
// drawn), line breaks kept; or why there is none.
using RecognitionOutcome = std::variant<QString, RecognitionError>;

class TextRecognizer {
public:
    TextRecognizer() = default;
    TextRecognizer(const TextRecognizer&) = delete;
    TextRecognizer& operator=(const TextRecognizer&) = delete;
    virtual ~TextRecognizer() = default;

    // Blocks the calling thread for the whole recognition (about a second; the first call also loads the
    // languages): never on the UI thread. One call at a time. When cancelled turns true the engine
    // stops at its next word and the call returns engineFailed.
    virtual RecognitionOutcome recognize(const GreyImage& image, const std::atomic<bool>* cancelled = nullptr) = 0;
    // Loads the languages now rather than at the first recognize (which blocks as long); why it cannot.
    virtual std::optional<RecognitionError> load() = 0;
    // A PNG or JPEG file's bytes (or another format the engine reads) as a grey picture.
    virtual std::variant<GreyImage, RecognitionError> decode(const QByteArray& bytes) = 0;
};

// The engine: the vorlex-ocr module, from the running program's folder or ../<libexec>/vorlex from it
// (bin/vorlex-cli, and the programs of the build); engineMissing when it or Tesseract cannot be loaded.
// Limits Tesseract's threads first.
std::variant<std::unique_ptr<TextRecognizer>, RecognitionError> loadTextRecognizer();
// Tesseract on one thread: its OpenMP threads spin waiting for each other, several times slower on a
// busy two-core machine (bench/OcrBench.cpp). Sets OMP_THREAD_LIMIT=1 unless it is set; libgomp reads
// it once, when the module loads it. Call it before the process starts threads that read the environment.
void limitRecognitionThreads();

// The languages read, as Tesseract names them, and the Debian packages that hold them.
struct RecognitionLanguage {
    const char* code;
    const char* package;
};
inline constexpr RecognitionLanguage recognitionLanguages[] = {{"heb", "tesseract-ocr-heb"},
                                                               {"eng", "tesseract-ocr-eng"}};

// A recognition that runs longer is stopped (a full screen of dense text takes a few seconds).
inline constexpr int recognitionDeadlineMs = 20'000;

} // namespace vorlex
