#include "TextTerms.h"

#include <gtest/gtest.h>
#include <unicode/brkiter.h>

#include <iterator>
#include <memory>
#include <random>

#include <vector>

static void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vorlex {
namespace {

QString s(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

TEST(TextTerms, HebrewLettersAreTheTwentySevenCodePoints)
{
    struct Case {
        char32_t c;
        bool hebrew;
    };
    const Case cases[] = {
        {0x05CF, false}, {0x05D0, true},  {0x05DA, true},  {0x05EA, true},  {0x05EB, false}, {0x05B0, false},
        {0x05BC, false}, {0x05F0, false}, {0x05F3, false}, {0xFB2A, false}, {u'a', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << uint32_t(c.c));
        EXPECT_EQ(TextTerms::isHebrewLetter(c.c), c.hebrew);
    }
}

TEST(TextTerms, TrimmableCharacters)
{
    const char32_t trimmable[] = {0x20,   0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x85,   0xA0,  0x1680,
                                  0x2000, 0x2005, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
    for (const char32_t c : trimmable)
        EXPECT_TRUE(TextTerms::isTrimmable(c)) << std::hex << uint32_t(c);
    // Format characters and other controls are not blanks.
    const char32_t kept[] = {0x00, 0x08, 0x0E, 0x1C, 0x1F, 0x7F, 0x84, 0x180E, 0x200B, 0x200D, 0x2060, 0xFEFF, u'a'};
    for (const char32_t c : kept)
        EXPECT_FALSE(TextTerms::isTrimmable(c)) << std::hex << uint32_t(c);
}

TEST(TextTerms, TrimsBothEndsOnly)
{
    struct Case {
        QString input;
        QString expected;
    };
    const Case cases[] = {
        {s(""), s("")},
        {s(" \t\n\r "), s("")},
        {s("  a b  "), s("a b")},
        {s("\u00A0\u2003שלום\u3000\u2028"), s("שלום")},
        {s("\r\nline one\nline two\r\n"), s("line one\nline two")},
        {s("\u0085x\u0085"), s("x")},
        {s("\u200Bx\u200B"), s("\u200Bx\u200B")},
        {s("\uFEFFx"), s("\uFEFFx")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.toStdString());
        EXPECT_EQ(TextTerms::trimmed(c.input), c.expected);
    }
}

std::vector<QString> clusters(const QString& text)
{
    std::vector<QString> out;
    TextTerms::GraphemeWalker walker(text);
    qsizetype start = 0;
    qsizetype end = 0;
    while (walker.next(start, end))
        out.push_back(text.mid(start, end - start));
    return out;
}

TEST(TextTerms, WalksUserPerceivedCharacters)
{
    EXPECT_TRUE(clusters(QString()).empty());
    EXPECT_TRUE(clusters(s("")).empty());
    EXPECT_EQ(clusters(s("ab")), (std::vector<QString>{s("a"), s("b")}));
    EXPECT_EQ(clusters(s("e\u0301x")), (std::vector<QString>{s("e\u0301"), s("x")}));
    EXPECT_EQ(clusters(s("שָׁל")), (std::vector<QString>{s("שָׁ"), s("ל")}));
    EXPECT_EQ(clusters(s("a\r\nb")), (std::vector<QString>{s("a"), s("\r\n"), s("b")}));
    EXPECT_EQ(clusters(s("👩‍💻🇮🇱")), (std::vector<QString>{s("👩‍💻"), s("🇮🇱")}));
    EXPECT_EQ(clusters(s("𝐀b")), (std::vector<QString>{s("𝐀"), s("b")}));
    // A lone surrogate is a cluster of its own, never read past the end.
    const QString lone = QString(QChar(0xD800));
    EXPECT_EQ(clusters(lone), std::vector<QString>{lone});
}

// The walker asks ICU only around units that can join; its clusters must still be exactly ICU's.
TEST(TextTerms, WalkerAgreesWithIcuOnRandomText)
{
    const char32_t alphabet[] = {
        U'a',   U'Z',   U'1',   U' ',   U'\t',  U'\r',   U'\n',   0x85,    0xA0,    0x05D0,  0x05EA,  0x05B0, 0x05BC,
        0x0301, 0x0308, 0x0903, 0x0915, 0x094D, 0x0E33,  0x0600,  0x1100,  0x1161,  0x11A8,  0xAC00,  0xAC01, 0x200D,
        0x200B, 0x00AD, 0x2028, 0xFEFF, 0xFE0F, 0x1F3FB, 0x1F469, 0x1F4BB, 0x1F1EE, 0x1F1F1, 0x1D400, 0xD800, 0xDC00,
    };
    std::mt19937 random(20240115);
    std::uniform_int_distribution<size_t> pick(0, std::size(alphabet) - 1);
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> longLength(0, 2000); // long enough to leave ICU's break cache
    std::uniform_int_distribution<size_t> percent(0, 99);
    const char32_t plain[] = {U'a', U'.', U' ', U'\n', 0x05D0, 0x05E9};
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> icuIterator(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    ASSERT_TRUE(U_SUCCESS(status));

    for (int round = 0; round < 3000; ++round) {
        QString text;
        for (int i = round % 20 == 0 ? longLength(random) : length(random); i > 0; --i) {
            // Every other text is mostly plain, so ICU is asked after long runs it did not see.
            const char32_t c = round % 2 == 1 && percent(random) < 90 ? plain[percent(random) % std::size(plain)]
                                                                      : alphabet[pick(random)];
            if (c >= 0xD800 && c <= 0xDFFF)
                text.append(QChar(char16_t(c))); // a lone surrogate
            else
                text.append(QString::fromUcs4(&c, 1));
        }
        std::vector<qsizetype> expected;
        const icu::UnicodeString copy(reinterpret_cast<const char16_t*>(text.utf16()), int32_t(text.size()));
        icuIterator->setText(copy);
        for (int32_t p = icuIterator->next(); p != icu::BreakIterator::DONE; p = icuIterator->next())
            expected.push_back(p);

        std::vector<qsizetype> actual;
        TextTerms::GraphemeWalker walker(text);
        qsizetype start = 0;
        qsizetype end = 0;
        qsizetype previous = 0;
        while (walker.next(start, end)) {
            ASSERT_EQ(start, previous);
            previous = end;
            actual.push_back(end);
        }
        ASSERT_EQ(actual, expected) << QString::fromLatin1(text.toUtf8().toHex(' ')).toStdString();
    }
}

TEST(TextTerms, LettersAreClustersStartingWithAnAlphabeticCodePoint)
{
    struct Case {
        QString text;
        qsizetype letters;
    };
    const Case cases[] = {
        {s(""), 0},
        {s("abc"), 3},
        {s("a1-b!"), 2},
        {s("שָׁלוֹם"), 4},              // pointed letters once each
        {s("café"), 4},              // é is a letter, not an ASCII one
        {s("cafe\u0301"), 4},        // decomposed, the same
        {s("𝐀𝐁"), 2},                // letters outside the BMP
        {s("日本語"), 3},            // scripts without case
        {s("😀 👍 12"), 0},            // symbols and digits are not letters
        {s("\u0301a"), 1},           // a leading mark alone is no letter, the a is
        {s("\u05B0"), 1},            // Hebrew points have the Alphabetic property
        {QString(QChar(0xDC00)), 0}, // a lone low surrogate
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(TextTerms::letterCount(c.text), c.letters);
    }
    EXPECT_TRUE(TextTerms::startsWithLetter(u"𝐀"));
    EXPECT_FALSE(TextTerms::startsWithLetter(u""));
    EXPECT_FALSE(TextTerms::startsWithLetter(QStringView(u"\xD835")));
}

TEST(TextTerms, LeadingGraphemes)
{
    const QString text = s("👩‍💻a\u0301ב");
    EXPECT_EQ(TextTerms::leadingGraphemes(text, 0), s(""));
    EXPECT_EQ(TextTerms::leadingGraphemes(text, 1), s("👩‍💻"));
    EXPECT_EQ(TextTerms::leadingGraphemes(text, 2), s("👩‍💻a\u0301"));
    EXPECT_EQ(TextTerms::leadingGraphemes(text, 3), text);
    EXPECT_EQ(TextTerms::leadingGraphemes(text, 50), text);
    EXPECT_EQ(TextTerms::leadingGraphemes(s(""), 3), s(""));
}

TEST(TextTerms, CaseMappingIgnoresTheUserLocale)
{
    struct Case {
        QString input;
        QString lower;
        QString upper;
    };
    const Case cases[] = {
        {s("Hello"), s("hello"), s("HELLO")},
        {s("I"), s("i"), s("I")},                 // not the Turkish dotless i
        {s("\u0130"), s("i\u0307"), s("\u0130")}, // dotted capital I: two code points
        {s("straße"), s("straße"), s("STRASSE")},
        {s("\u212A"), s("k"), s("\u212A")}, // the Kelvin sign lower-cases to k
        {s("שלום"), s("שלום"), s("שלום")},
        {s(""), s(""), s("")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.toStdString());
        EXPECT_EQ(TextTerms::toLower(c.input), c.lower);
        EXPECT_EQ(TextTerms::toUpper(c.input), c.upper);
    }
}

} // namespace
} // namespace vorlex
