#pragma once

// Text recognition off the UI thread. The engine (the vorlex-ocr module: Tesseract and its libraries)
// is loaded on first use, on a thread of its own; each picture is read there, one after another, and
// its outcome comes back on the UI thread. A minute without use gives its languages' memory back.

#include "Platform.h"
#include "TextRecognizer.h"

#include <QImage>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

class QThread;

namespace vorlex {

class OcrEngine : public QObject {
    Q_OBJECT

public:
    using Made = std::variant<std::unique_ptr<TextRecognizer>, RecognitionError>;
    // Makes the engine; runs on the engine's thread, once.
    using Factory = std::function<Made()>;

    explicit OcrEngine(Scheduler& scheduler, Factory make = loadTextRecognizer, QObject* parent = nullptr);
    // Stops a recognition under way at its next word and waits for the thread.
    ~OcrEngine() override;

    // Loads the engine now, ahead of the first picture (while the user picks the area).
    void prepare();
    // done gets the text of image, or why there is none, once, on the UI thread; not at all once
    // context is gone.
    void recognize(const QImage& image, QObject* context, std::function<void(const RecognitionOutcome&)> done);

    static GreyImage greyImage(const QImage& image);

    static constexpr int releaseAfterMs = 60'000;

private:
    void post(std::function<void()> job);
    // On the engine's thread.
    TextRecognizer* engine();

    // After the last use, unless another came meanwhile.
    void releaseLater();

    Scheduler& scheduler;
    const Factory make;
    quint64 uses = 0;
    std::unique_ptr<QThread> thread;
    std::unique_ptr<QObject> worker; // lives on thread; jobs are posted to it
    std::atomic<bool> cancelled{false};
    // Touched on the engine's thread only (and by the destructor once it has ended).
    std::unique_ptr<TextRecognizer> recognizer;
    std::optional<RecognitionError> loadFailure;
};

} // namespace vorlex
