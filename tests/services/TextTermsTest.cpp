#include "TextTerms.h"

#include <gtest/gtest.h>
#include <unicode/brkiter.h>

#include <iterator>
#include <memory>
#include <random>
#include <vector>

using namespace vorlex;

// The walker asks ICU only around units that can join; its clusters must still be exactly ICU's.
TEST(TextTerms, WalkerFindsIcusGraphemeClusters)
{
    const char32_t alphabet[] = {
        U'a',   U'Z',   U'1',   U' ',   U'\t',  U'\r',   U'\n',   0x85,    0xA0,    0x05D0,  0x05EA,  0x05B0, 0x05BC,
        0x0301, 0x0308, 0x0903, 0x0915, 0x094D, 0x0E33,  0x0600,  0x1100,  0x1161,  0x11A8,  0xAC00,  0xAC01, 0x200D,
        0x200B, 0x00AD, 0x2028, 0xFEFF, 0xFE0F, 0x1F3FB, 0x1F469, 0x1F4BB, 0x1F1EE, 0x1F1F1, 0x1D400, 0xD800, 0xDC00,
    };
    const char32_t plain[] = {U'a', U'.', U' ', U'\n', 0x05D0, 0x05E9};
    std::mt19937 random(20240115);
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::BreakIterator> icu(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    ASSERT_TRUE(U_SUCCESS(status));
    for (int round = 0; round < 3000; ++round) {
        // Every other text is mostly plain, so ICU is asked after runs it did not see; some are long
        // enough to leave ICU's break cache.
        QString text;
        for (int i = random() % (round % 20 == 0 ? 2000 : 40); i > 0; --i) {
            const char32_t c = round % 2 && random() % 10 ? plain[random() % std::size(plain)]
                                                          : alphabet[random() % std::size(alphabet)];
            text += c >= 0xD800 && c <= 0xDFFF ? QString(QChar(char16_t(c))) : QString::fromUcs4(&c, 1);
        }
        std::vector<qsizetype> expected{0};
        const icu::UnicodeString icuText(reinterpret_cast<const char16_t*>(text.utf16()), int32_t(text.size()));
        icu->setText(icuText); // ICU keeps a reference to it, not a copy
        for (int32_t p = icu->next(); p != icu::BreakIterator::DONE; p = icu->next())
            expected.push_back(p);
        std::vector<qsizetype> actual{0};
        TextTerms::GraphemeWalker walker(text);
        for (qsizetype start = 0, end = 0; walker.next(start, end); actual.push_back(end))
            ASSERT_EQ(start, actual.back()) << "a cluster starts where the last one ended";
        ASSERT_EQ(actual, expected) << text.toUtf8().toHex(' ').toStdString();
    }
}
