// Interface lines drawn here with Qt, as a screen shows them, saved as PNG or JPEG and read back.

#include "TesseractRecognizer.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTextOption>

#include <gtest/gtest.h>

#include <cstdio>

using namespace vorlex;

namespace {

// Lines of pixels px on a 1000 x 200 area, each aligned to its reading direction's start, encoded as
// a file would hold them.
QByteArray drawn(const QStringList& lines, const QString& family, int pixels, bool dark, const char* format,
                 int pngQuality = -1)
{
    QImage image(1000, 200, QImage::Format_RGB32);
    image.fill(dark ? QColor(0x2b, 0x2b, 0x2b) : Qt::white);
    QPainter painter(&image);
    QFont font(family);
    font.setPixelSize(pixels);
    painter.setFont(font);
    painter.setPen(dark ? QColor(0xe0, 0xe0, 0xe0) : QColor(0x20, 0x20, 0x20));
    for (int i = 0; i < lines.size(); ++i) {
        QTextOption option(lines[i].isRightToLeft() ? Qt::AlignRight : Qt::AlignLeft);
        option.setTextDirection(lines[i].isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
        painter.drawText(QRectF(20, 30 + i * pixels * 2, 960, pixels * 2), lines[i], option);
    }
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    // PNG compressed unless asked otherwise, as tools write it.
    image.save(&buffer, format, qstrcmp(format, "JPEG") == 0 ? 95 : pngQuality);
    return bytes;
}

TEST(TesseractRecognizer, ReadsHebrewAndEnglishLinesInLogicalOrder)
{
    const struct Case {
        QStringList lines;
        const char* font;
        int pixels;
        bool dark = false;
        const char* format = "PNG";
    } cases[] = {
        {{u"שלום עולם, מה שלומך היום?"_s, u"הספר נמצא על השולחן בחדר"_s}, "Nachlieli CLM", 14},
        {{u"קובץ עריכה תצוגה עזרה"_s, u"ההגדרות נשמרו בהצלחה"_s}, "Miriam CLM", 13, false, "JPEG"},
        {{u"The quick brown fox jumps over the lazy dog."_s, u"Settings were saved"_s}, "DejaVu Sans", 12},
        {{u"פתחו את Firefox ולחצו על Settings"_s, u"הגרסה 2.5 של Vorlex"_s}, "Nachlieli CLM", 15}, // mixed
        {{u"Open the file menu"_s, u"פתחו את התפריט"_s}, "DejaVu Sans", 16, true},                 // dark theme
    };
    TesseractRecognizer recognizer;
    for (const Case& c : cases) {
        const QByteArray name = QByteArray(c.font) + ' ' + QByteArray::number(c.pixels) + " px " + c.format;
        SCOPED_TRACE(name.constData()); // each font and size once
        const auto image = decodeImage(drawn(c.lines, QString::fromLatin1(c.font), c.pixels, c.dark, c.format));
        ASSERT_TRUE(std::holds_alternative<GreyImage>(image));
        const RecognitionOutcome outcome = recognizer.recognize(std::get<GreyImage>(image));
        ASSERT_TRUE(std::holds_alternative<QString>(outcome)) << std::get<RecognitionError>(outcome).description();
        const QString read = std::get<QString>(outcome);
        const double share = test::characterAccuracy(c.lines.join(u'\n'), read);
        std::printf("[ocr] %-24s %5.1f%% of characters: %s\n", name.constData(), 100 * share,
                    qPrintable(QString(read).replace(u'\n', u" / "_s)));
        EXPECT_GE(share, 0.95) << read;
        // A right-to-left line comes back as it is typed: its first word first.
        EXPECT_TRUE(read.startsWith(c.lines.front().section(u' ', 0, 0))) << read;
    }
}

// vorlex-cli reads a picture on its input as the program reads the screen: it prints the text, or why
// nothing was read.
TEST(TesseractRecognizer, TheCliPrintsTheTextOfAPictureOrWhyNothingWasRead)
{
    QTemporaryDir englishOnly;
    ASSERT_TRUE(QFile::link(TesseractRecognizer::defaultTessdata() + u"/eng.traineddata"_s,
                            englishOnly.filePath(u"eng.traineddata"_s)));
    // Uncompressed: more than a pipe holds at once.
    const QByteArray text = drawn({u"Hello world"_s}, u"DejaVu Sans"_s, 16, false, "PNG", 100);
    const std::tuple<QByteArray, QString, QByteArray> cases[] = {
        // the file, the languages' folder, what is printed
        {text, {}, "Hello world\n"},
        {"GIF89a, or so it says", {}, "שגיאה: לא ניתן לקרוא את התמונה: -: אינה PNG או JPEG\n"},
        {text.first(text.size() / 2), {}, "שגיאה: לא ניתן לקרוא את התמונה: -: הקובץ פגום\n"},
        {drawn({}, u"DejaVu Sans"_s, 16, false, "PNG"), {}, "שגיאה: לא נמצא טקסט באזור שנבחר\n"},
        {text, englishOnly.path(), "שגיאה: חסרה חבילת השפה לזיהוי טקסט; התקינו את tesseract-ocr-heb\n"},
    };
    for (const auto& [file, tessdata, printed] : cases) {
        SCOPED_TRACE(printed.toStdString());
        const test::EnvGuard languages("TESSDATA_PREFIX", tessdata.toUtf8());
        // Through another program, so the picture arrives in the pieces the pipe holds.
        const auto result =
            test::run(u"sh"_s, {u"-c"_s, u"cat | \"$0\" ocr -"_s, u"" VORLEX_BINARY_DIR "/cli/vorlex-cli"_s}, file);
        const bool failed = printed.startsWith("שגיאה");
        EXPECT_EQ(result.exitCode, failed ? 1 : 0);
        EXPECT_EQ(result.out, failed ? "" : printed);
        EXPECT_TRUE(result.err.endsWith(failed ? printed : "")) << result.err.toStdString(); // after libpng's own
    }
}

} // namespace
