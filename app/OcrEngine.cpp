#include "OcrEngine.h"

#include <QPointer>
#include <QThread>

#include <cstring>

#include <malloc.h>

namespace vorlex {

OcrEngine::OcrEngine(Scheduler& timers, Factory factory, QObject* parent)
    : QObject(parent), scheduler(timers), make(std::move(factory))
{
}

OcrEngine::~OcrEngine()
{
    if (!thread)
        return;
    cancelled = true;
    thread->quit();
    thread->wait();
    worker.reset();
    recognizer.reset();
}

GreyImage OcrEngine::greyImage(const QImage& image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    GreyImage converted{grey.width(), grey.height(), {}};
    converted.pixels.resize(qsizetype(converted.width) * converted.height);
    for (int y = 0; y < grey.height(); ++y)
        std::memcpy(converted.pixels.data() + qsizetype(y) * converted.width, grey.constScanLine(y),
                    size_t(converted.width));
    return converted;
}

void OcrEngine::post(std::function<void()> job)
{
    if (!thread) {
        limitRecognitionThreads(); // here, before the thread that loads the module reads it
        thread = std::make_unique<QThread>();
        thread->setObjectName(QStringLiteral("ocr"));
        worker = std::make_unique<QObject>();
        worker->moveToThread(thread.get());
        thread->start(QThread::LowPriority); // the UI thread keeps the upper hand on a busy machine
    }
    QMetaObject::invokeMethod(worker.get(), std::move(job), Qt::QueuedConnection);
}

TextRecognizer* OcrEngine::engine()
{
    if (!recognizer && !loadFailure) {
        Made made = make();
        if (auto* failure = std::get_if<RecognitionError>(&made))
            loadFailure = *failure;
        else
            recognizer = std::move(std::get<std::unique_ptr<TextRecognizer>>(made));
    }
    return recognizer.get();
}

void OcrEngine::releaseLater()
{
    scheduler.after(releaseAfterMs, this, [this, use = ++uses] {
        if (use != uses)
            return;
        post([this] {
            recognizer.reset();
            loadFailure.reset();
            malloc_trim(0); // most of it goes back to the system only so
        });
    });
}

void OcrEngine::prepare()
{
    releaseLater();
    post([this] {
        if (TextRecognizer* reader = engine())
            reader->load(); // a failure comes again with the first picture
    });
}

void OcrEngine::recognize(const QImage& image, QObject* context, std::function<void(const RecognitionOutcome&)> done)
{
    ++uses; // a release already due waits for the next idle minute
    post([this, image, held = QPointer<QObject>(context), done = std::move(done)] {
        TextRecognizer* reader = engine();
        const RecognitionOutcome outcome =
            reader ? reader->recognize(greyImage(image), &cancelled) : RecognitionOutcome(*loadFailure);
        QMetaObject::invokeMethod(
            this,
            [this, held, done, outcome] {
                releaseLater();
                if (held)
                    done(outcome);
            },
            Qt::QueuedConnection);
    });
}

} // namespace vorlex
