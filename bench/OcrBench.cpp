// Text recognition of a 1000 x 200 px area with two interface lines (goal: under 1 s with the engine
// loaded), next to the floor: Tesseract itself on the same picture as it comes, without the preparation
// (grey, scaled) Vorlex does first. Also the first use, when the module's engine loads its languages.
// Tesseract runs on one thread, as in the program (OMP_THREAD_LIMIT=2 for two).
// The share of characters read right prints as a counter; BM_InterfaceLines measures it over 120 lines.
//   build/bench/ocrbench   (draws its lines offscreen when there is no display)

#include "TesseractRecognizer.h"
#include "TestSupport.h"

#include <benchmark/benchmark.h>
#include <tesseract/baseapi.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextOption>

#include <cstdio>

#include <unistd.h>

namespace {

using namespace vorlex;

const QStringList lines{QStringLiteral("פתחו את תפריט הקובץ ובחרו בשמירה"),
                        QStringLiteral("Open the File menu and choose Save As")};

// Lines of pixels px in family on a 1000 x 200 area, each from its reading direction's start, as grey.
GreyImage drawn(const QStringList& texts, const QString& family, int pixels)
{
    QImage image(1000, 200, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(family);
    font.setPixelSize(pixels);
    painter.setFont(font);
    for (int i = 0; i < texts.size(); ++i) {
        QTextOption option(texts[i].isRightToLeft() ? Qt::AlignRight : Qt::AlignLeft);
        option.setTextDirection(texts[i].isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
        painter.drawText(QRectF(20, 50 + i * 60, 960, 30), texts[i], option);
    }
    painter.end();
    GreyImage grey{image.width(), image.height(), {}};
    for (int y = 0; y < image.height(); ++y)
        grey.pixels.append(reinterpret_cast<const char*>(image.constScanLine(y)), image.width());
    return grey;
}

GreyImage twoLines()
{
    return drawn(lines, QStringLiteral("DejaVu Sans"), 14);
}

double accuracy(const QString& read)
{
    return test::characterAccuracy(lines.join(u'\n'), read);
}

void BM_FirstUse(benchmark::State& state)
{
    for (auto _ : state) {
        TesseractRecognizer recognizer;
        benchmark::DoNotOptimize(recognizer.load());
    }
}
BENCHMARK(BM_FirstUse)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_Recognize(benchmark::State& state)
{
    const GreyImage image = twoLines();
    TesseractRecognizer recognizer;
    recognizer.load();
    QString read;
    for (auto _ : state) {
        const RecognitionOutcome outcome = recognizer.recognize(image);
        read = std::holds_alternative<QString>(outcome) ? std::get<QString>(outcome) : QString();
    }
    state.counters["accuracy"] = accuracy(read);
}
BENCHMARK(BM_Recognize)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_TesseractFloor(benchmark::State& state)
{
    const GreyImage image = twoLines();
    tesseract::TessBaseAPI api;
    api.Init(TesseractRecognizer::defaultTessdata().toLocal8Bit().constData(), "heb+eng", tesseract::OEM_LSTM_ONLY);
    api.SetPageSegMode(tesseract::PSM_AUTO);
    QString read;
    for (auto _ : state) {
        api.SetImage(reinterpret_cast<const unsigned char*>(image.pixels.constData()), image.width, image.height, 1,
                     image.width);
        api.SetSourceResolution(96);
        const std::unique_ptr<char[]> text(api.GetUTF8Text());
        read = QString::fromUtf8(text.get()).trimmed().remove(QChar(0x200E)).remove(QChar(0x200F));
        api.Clear();
    }
    state.counters["accuracy"] = accuracy(read);
}
BENCHMARK(BM_TesseractFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// Accuracy over 120 single lines: five fonts (four Culmus, DejaVu Sans), 12 to 16 px, Hebrew, English and
// mixed. Counters: the mean share of characters right, the worst line, and the lines under 90%.
void BM_InterfaceLines(benchmark::State& state)
{
    const QStringList texts{
        QStringLiteral("שלום עולם, מה שלומך היום?"),
        QStringLiteral("הספר נמצא על השולחן בחדר"),
        QStringLiteral("פתחו את Firefox ולחצו על Settings"),
        QStringLiteral("הגרסה 2.5 של Vorlex זמינה"),
        QStringLiteral("The quick brown fox jumps over the lazy dog."),
        QStringLiteral("Settings were saved successfully"),
    };
    TesseractRecognizer recognizer;
    recognizer.load();
    double total = 0, worst = 1;
    int count = 0, misread = 0;
    for (auto _ : state) {
        for (const char* family : {"Nachlieli CLM", "Miriam CLM", "David CLM", "Frank Ruehl CLM", "DejaVu Sans"}) {
            for (const int pixels : {12, 13, 14, 16}) {
                for (const QString& text : texts) {
                    const RecognitionOutcome outcome =
                        recognizer.recognize(drawn({text}, QLatin1String(family), pixels));
                    const double share = test::characterAccuracy(
                        text, std::holds_alternative<QString>(outcome) ? std::get<QString>(outcome) : QString());
                    total += share;
                    worst = std::min(worst, share);
                    misread += share < 0.9 ? 1 : 0;
                    ++count;
                }
            }
        }
    }
    state.counters["accuracy"] = total / count;
    state.counters["worst"] = worst;
    state.counters["under90"] = misread;
}
BENCHMARK(BM_InterfaceLines)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    // As the program runs Tesseract (OcrEngine): on one thread. libgomp reads the limit when it loads,
    // before main, so the benchmark starts itself again with it; OMP_THREAD_LIMIT=2 measures two.
    if (!qEnvironmentVariableIsSet("OMP_THREAD_LIMIT")) {
        qputenv("OMP_THREAD_LIMIT", "1");
        execv("/proc/self/exe", argv);
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts, for drawing the lines
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("goal: BM_Recognize under 1000 ms per area (1000 x 200 px, two lines), on a machine at rest\n");
    return 0;
}
