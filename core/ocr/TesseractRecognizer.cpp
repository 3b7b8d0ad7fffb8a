#include "TesseractRecognizer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRect>

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace vorlex {

namespace {

constexpr int marginPixels = 16;
constexpr double largestScale = 4.0;
constexpr double smallestScale = 0.5;
// Components smaller than this are specks, not letters.
constexpr int smallestGlyph = 3;

struct PixDeleter {
    void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixHolder = std::unique_ptr<Pix, PixDeleter>;

struct BoxaDeleter {
    void operator()(Boxa* boxes) const { boxaDestroy(&boxes); }
};

// Leptonica reports its failures on stderr; ours are told through the result.
void quietLeptonica()
{
    static const bool quiet = (setMsgSeverity(L_SEVERITY_NONE), true);
    Q_UNUSED(quiet);
}

PixHolder toPix(const GreyImage& image)
{
    PixHolder pix(pixCreate(image.width, image.height, 8));
    if (!pix)
        return pix;
    const int wpl = pixGetWpl(pix.get());
    l_uint32* data = pixGetData(pix.get());
    const auto* bytes = reinterpret_cast<const uchar*>(image.pixels.constData());
    for (int y = 0; y < image.height; ++y) {
        l_uint32* line = data + qsizetype(y) * wpl;
        const uchar* row = bytes + qsizetype(y) * image.width;
        for (int x = 0; x < image.width; ++x)
            SET_DATA_BYTE(line, x, row[x]);
    }
    return pix;
}

// An 8-bit Pix without colour map.
GreyImage fromPix(Pix* pix)
{
    GreyImage image{pixGetWidth(pix), pixGetHeight(pix), {}};
    image.pixels.resize(qsizetype(image.width) * image.height);
    const int wpl = pixGetWpl(pix);
    const l_uint32* data = pixGetData(pix);
    auto* bytes = reinterpret_cast<uchar*>(image.pixels.data());
    for (int y = 0; y < image.height; ++y) {
        const l_uint32* line = data + qsizetype(y) * wpl;
        uchar* row = bytes + qsizetype(y) * image.width;
        for (int x = 0; x < image.width; ++x)
            row[x] = uchar(GET_DATA_BYTE(line, x));
    }
    return image;
}

struct Split {
    int threshold = 0; // grey values up to this are the dark class
    qint64 darkCount = 0;
    double darkMean = 0;
    double lightMean = 255;
};

// Otsu's threshold; nothing for a picture of one grey, which holds no text.
std::optional<Split> otsuSplit(const GreyImage& image)
{
    std::array<qint64, 256> histogram{};
    for (const char byte : image.pixels)
        ++histogram[uchar(byte)];
    const qint64 total = image.pixels.size();
    double sum = 0;
    for (int i = 0; i < 256; ++i)
        sum += double(i) * double(histogram[i]);
    double sumDark = 0;
    qint64 dark = 0;
    double best = 0;
    Split split;
    for (int t = 0; t < 256; ++t) {
        dark += histogram[t];
        if (dark == 0)
            continue;
        const qint64 light = total - dark;
        if (light == 0)
            break;
        sumDark += double(t) * double(histogram[t]);
        const double meanDark = sumDark / double(dark);
        const double meanLight = (sum - sumDark) / double(light);
        const double between = double(dark) * double(light) * (meanDark - meanLight) * (meanDark - meanLight);
        if (between > best) {
            best = between;
            split = {t, dark, meanDark, meanLight};
        }
    }
    return best > 0 ? std::optional(split) : std::nullopt;
}

// What looks like letters: the connected dark components, without specks and rules.
struct Glyphs {
    int height = 0; // the median
    QRect bounds;   // of them all
};

std::optional<Glyphs> findGlyphs(const GreyImage& image, int threshold)
{
    PixHolder binary(pixCreate(image.width, image.height, 1));
    if (!binary)
        return std::nullopt;
    const int wpl = pixGetWpl(binary.get());
    l_uint32* data = pixGetData(binary.get());
    const auto* bytes = reinterpret_cast<const uchar*>(image.pixels.constData());
    for (int y = 0; y < image.height; ++y) {
        l_uint32* line = data + qsizetype(y) * wpl;
        for (int x = 0; x < image.width; ++x) {
            if (bytes[qsizetype(y) * image.width + x] <= threshold)
                SET_DATA_BIT(line, x);
        }
    }
    const std::unique_ptr<Boxa, BoxaDeleter> boxes(pixConnCompBB(binary.get(), 8));
    if (!boxes)
        return std::nullopt;
    std::vector<int> heights;
    QRect bounds;
    for (int i = 0; i < boxaGetCount(boxes.get()); ++i) {
        l_int32 x = 0, y = 0, w = 0, h = 0;
        boxaGetBoxGeometry(boxes.get(), i, &x, &y, &w, &h);
        const bool rule = w > 8 * h || h > 16 * w || h > image.height * 9 / 10;
        if (h >= smallestGlyph && !rule) {
            heights.push_back(h);
            bounds |= QRect(x, y, w, h);
        }
    }
    if (heights.empty())
        return std::nullopt;
    const auto middle = heights.begin() + std::ptrdiff_t(heights.size() / 2);
    std::nth_element(heights.begin(), middle, heights.end());
    return Glyphs{*middle, bounds};
}

GreyImage cropped(const GreyImage& image, const QRect& area)
{
    if (area == QRect(0, 0, image.width, image.height))
        return image;
    GreyImage part{area.width(), area.height(), {}};
    part.pixels.reserve(qsizetype(part.width) * part.height);
    for (int y = area.top(); y <= area.bottom(); ++y)
        part.pixels.append(image.pixels.constData() + qsizetype(y) * image.width + area.left(), part.width);
    return part;
}

// Without the rows and columns at its edges that are mostly ink: what lay around the window the area was
// dragged over (a dark desktop, a frame) rather than text, which the engine would read into the letters
// it touches.
GreyImage withoutDarkEdges(const GreyImage& image, int threshold)
{
    const auto* bytes = reinterpret_cast<const uchar*>(image.pixels.constData());
    const auto mostlyInk = [&](int x0, int y0, int dx, int dy, int count) {
        int ink = 0;
        for (int i = 0; i < count; ++i)
            ink += bytes[qsizetype(y0 + i * dy) * image.width + x0 + i * dx] <= threshold ? 1 : 0;
        return ink * 5 > count * 3;
    };
    int left = 0, top = 0, right = image.width, bottom = image.height;
    for (bool trimmed = true; trimmed && right - left > 1 && bottom - top > 1;) {
        const int width = right - left, height = bottom - top;
        trimmed = true;
        if (mostlyInk(left, top, 0, 1, height))
            ++left;
        else if (mostlyInk(right - 1, top, 0, 1, height))
            --right;
        else if (mostlyInk(left, top, 1, 0, width))
            ++top;
        else if (mostlyInk(left, bottom - 1, 1, 0, width))
            --bottom;
        else
            trimmed = false;
    }
    return cropped(image, QRect(left, top, right - left, bottom - top));
}

// Tesseract's lines, each trimmed, without its bidi marks and blank lines: one line break between lines.
QString cleanedText(const char* utf8)
{
    QString text = QString::fromUtf8(utf8);
    text.remove(QChar(0x200E)); // LRM and RLM around words of the other direction: the popup
    text.remove(QChar(0x200F)); // takes each line's direction from its first strong letter
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines << trimmed;
    }
    return lines.join(QLatin1Char('\n'));
}

bool cancelRequested(void* flag, int)
{
    return static_cast<const std::atomic<bool>*>(flag)->load();
}

} // namespace

std::variant<GreyImage, RecognitionError> decodeImage(const QByteArray& bytes)
{
    using Kind = RecognitionError::Kind;
    quietLeptonica();
    const auto* data = reinterpret_cast<const l_uint8*>(bytes.constData());
    l_int32 format = 0, width = 0, height = 0, bitsPerSample = 0, samples = 0, colourMap = 0;
    if (bytes.isEmpty() ||
        pixReadHeaderMem(data, size_t(bytes.size()), &format, &width, &height, &bitsPerSample, &samples, &colourMap))
        return RecognitionError{Kind::unreadableImage, QStringLiteral("אינה PNG או JPEG")};
    if (width <= 0 || height <= 0 || qint64(width) * height > maximumImagePixels)
        return RecognitionError{Kind::imageTooLarge, {}};
    PixHolder pix(pixReadMem(data, size_t(bytes.size())));
    if (!pix)
        return RecognitionError{Kind::unreadableImage, QStringLiteral("הקובץ פגום")};
    if (pixGetDepth(pix.get()) == 32 && pixGetSpp(pix.get()) == 4)
        pix.reset(pixAlphaBlendUniform(pix.get(), 0xffffff00)); // over white
    PixHolder grey(pix ? pixConvertTo8(pix.get(), 0) : nullptr);
    if (!grey)
        return RecognitionError{Kind::unreadableImage, QStringLiteral("הקובץ פגום")};
    return fromPix(grey.get());
}

std::optional<GreyImage> prepareForRecognition(const GreyImage& image)
{
    quietLeptonica();
    if (!image.isValid())
        return std::nullopt;
    const std::optional<Split> split = otsuSplit(image);
    if (!split)
        return std::nullopt;
    // Mostly dark: light text on a dark theme, turned over. Then the ground is stretched to white and the
    // letters to black: the engine takes a grey ground framed by the white margin for a picture.
    const bool turn = split->darkCount * 2 > image.pixels.size();
    const double ink = turn ? 255 - split->lightMean : split->darkMean;
    const double ground = turn ? 255 - split->darkMean : split->lightMean;
    std::array<char, 256> levels{};
    for (int v = 0; v < 256; ++v) {
        const double level = ((turn ? 255 - v : v) - ink) * 255 / std::max(1.0, ground - ink);
        levels[v] = char(uchar(std::clamp(std::lround(level), 0L, 255L)));
    }
    GreyImage light = image;
    for (char& byte : light.pixels)
        byte = levels[uchar(byte)];
    // The letters: what the split put on the ink's side.
    const int threshold =
        std::min<int>(turn ? uchar(levels[split->threshold + 1]) : uchar(levels[split->threshold]), 254);
    light = withoutDarkEdges(light, threshold);
    const std::optional<Glyphs> glyphs = findGlyphs(light, threshold);
    if (!glyphs)
        return std::nullopt;
    // The text and a margin around it: less for the engine to lay out, and a short line in a large empty
    // area is not taken for a speck.
    const int margin = 3 * glyphs->height;
    light = cropped(light,
                    glyphs->bounds.adjusted(-margin, -margin, margin, margin) & QRect(0, 0, light.width, light.height));

    double scale = std::clamp(double(glyphHeight) / glyphs->height, smallestScale, largestScale);
    const double pixels = double(light.width) * light.height;
    scale = std::min(scale, std::max(1.0, std::sqrt(double(maximumImagePixels) / pixels)));
    PixHolder pix = toPix(light);
    if (pix && std::abs(scale - 1.0) > 0.15)
        pix.reset(pixScale(pix.get(), float(scale), float(scale)));
    if (pix)
        pix.reset(pixAddBorder(pix.get(), marginPixels, 255));
    if (!pix)
        return std::nullopt;
    return fromPix(pix.get());
}

TesseractRecognizer::TesseractRecognizer(QString folder) : tessdata(folder.isEmpty() ? defaultTessdata() : folder) {}

TesseractRecognizer::~TesseractRecognizer()
{
    if (!api)
        return;
    api->End();
    tesseract::TessBaseAPI::ClearPersistentCache(); // the dictionaries Tesseract keeps for the next engine
}

QString TesseractRecognizer::defaultTessdata()
{
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    return prefix.isEmpty() ? QStringLiteral("/usr/share/tesseract-ocr/5/tessdata") : prefix;
}

std::optional<RecognitionError> TesseractRecognizer::load()
{
    using Kind = RecognitionError::Kind;
    if (api)
        return std::nullopt;
    QStringList missing;
    QStringList codes;
    for (const RecognitionLanguage& language : recognitionLanguages) {
        codes << QLatin1String(language.code);
        if (!QFileInfo(QDir(tessdata).filePath(QLatin1String(language.code) + QStringLiteral(".traineddata"))).isFile())
            missing << QLatin1String(language.package);
    }
    if (!missing.isEmpty())
        return RecognitionError{Kind::languageMissing, missing.join(QLatin1Char(' '))};

    auto engine = std::make_unique<tesseract::TessBaseAPI>();
    // Tesseract's own messages go nowhere: failures reach the user through the popup.
    const std::vector<std::string> names{"debug_file"};
    const std::vector<std::string> values{"/dev/null"};
    if (engine->Init(QFile::encodeName(tessdata).constData(), codes.join(QLatin1Char('+')).toLatin1().constData(),
                     tesseract::OEM_LSTM_ONLY, nullptr, 0, &names, &values, false) != 0)
        return RecognitionError{Kind::engineFailed, QStringLiteral("לא ניתן לטעון את קובצי השפה מ-") + tessdata};
    // Tesseract's own layout analysis: an area may hold columns. (One uniform block read single lines a
    // little better but put lines that start with a misread word in left-to-right order.)
    engine->SetPageSegMode(tesseract::PSM_AUTO);
    // Light text on dark ground is turned over before; trying each line inverted as well costs time.
    engine->SetVariable("tessedit_do_invert", "0");
    api = std::move(engine);
    return std::nullopt;
}

RecognitionOutcome TesseractRecognizer::recognize(const GreyImage& image, const std::atomic<bool>* cancelled)
{
    using Kind = RecognitionError::Kind;
    if (!image.isValid())
        return RecognitionError{Kind::unreadableImage, {}};
    if (qint64(image.width) * image.height > maximumImagePixels)
        return RecognitionError{Kind::imageTooLarge, {}};
    const std::optional<GreyImage> prepared = prepareForRecognition(image);
    if (!prepared)
        return RecognitionError{Kind::noText, {}};
    if (const auto failure = load())
        return *failure;

    api->SetImage(reinterpret_cast<const unsigned char*>(prepared->pixels.constData()), prepared->width,
                  prepared->height, 1, prepared->width);
    api->SetSourceResolution(300);
    tesseract::ETEXT_DESC monitor;
    const std::atomic<bool> never{false};
    monitor.cancel = cancelRequested;
    monitor.cancel_this = const_cast<std::atomic<bool>*>(cancelled ? cancelled : &never);
    monitor.set_deadline_msecs(recognitionDeadlineMs);
    const int status = api->Recognize(&monitor);
    const bool stopped = cancelled && cancelled->load();
    const bool late = monitor.deadline_exceeded();
    std::unique_ptr<char[]> text(status == 0 && !stopped && !late ? api->GetUTF8Text() : nullptr);
    api->Clear();
    if (stopped)
        return RecognitionError{Kind::engineFailed, QStringLiteral("בוטל")};
    if (late)
        return RecognitionError{Kind::timedOut, {}};
    if (!text)
        return RecognitionError{Kind::engineFailed, {}};
    const QString read = cleanedText(text.get());
    if (read.isEmpty())
        return RecognitionError{Kind::noText, {}};
    return read;
}

} // namespace vorlex
