#include "KeyboardLayoutConverter.h"

#include <gtest/gtest.h>

// Failures show the text, not its bytes.
static void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vorlex {
namespace {

struct Case {
    const char* name;
    QString input;
    QString expected;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

class KeyboardLayoutConverterCases : public testing::TestWithParam<Case> {};

TEST_P(KeyboardLayoutConverterCases, Converts)
{
    const Case& c = GetParam();
    EXPECT_EQ(KeyboardLayoutConverter::convert(c.input), c.expected);
}

QString s(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

const Case wordCases[] = {
    {"empty", s(""), s("")},
    {"english to hebrew", s("akuo"), s("שלום")},
    {"hebrew to english", s("שלום"), s("akuo")},
    {"case dropped", s("Hello"), s("יקךךם")},
    {"acronym kept", s("USA"), s("USA")},
    {"two-letter acronym", s("OK"), s("OK")},
    {"acronym with digit", s("A1B"), s("A1B")},
    {"acronym with apostrophe", s("I'M"), s("I'M")},
    {"single capital converts", s("I"), s("ן")},
    {"capital then small", s("Hi"), s("ין")},
    {"capital q has no key", s("Q"), s("Q")},
    {"w has no key", s("w"), s("w")},
    {"q kept inside a converted word", s("quiet"), s("qוןקא")},
    {"digits only", s("123"), s("123")},
    {"two hyphens", s("--"), s("--")},
    {"one of each script", s("aב"), s("aב")},
    {"english majority keeps hebrew", s("abcאב"), s("שנבאב")},
    {"hebrew majority keeps latin", s("אבגa"), s("tcda")},
    {"full stops", s("e.g."), s("קץעץ")},
    {"trailing comma", s("hello,"), s("יקךךםת")},
    {"back to comma", s("יקךךםת"), s("hello,")},
    {"semicolon", s("k;"), s("לף")},
    {"final letters back", s("ךםןףץ"), s("loi;.")},
    {"plus stays", s("a+b"), s("ש+נ")},
    {"hebrew direction keeps punctuation", s("של,ום!"), s("ak,uo!")},
    {"hebrew direction keeps digits", s("שלום2"), s("akuo2")},
    {"latin with diacritic", s("café"), s("בשכé")},
    {"decomposed diacritic stays one character", s("cafe\u0301"), s("בשכe\u0301")},
    {"pointed letters stay", s("שָׁלוֹם"), s("שָׁkוֹo")},
    {"all pointed still counts as hebrew", s("בָּא"), s("בָּt")},
    {"presentation form is no hebrew letter", s("\uFB2Aab"), s("\uFB2Aשנ")},
    {"emoji is neither", s("😀ab"), s("😀שנ")},
    {"emoji zwj sequence untouched", s("👩‍💻ab"), s("👩‍💻שנ")},
    {"flag untouched", s("🇮🇱שלום"), s("🇮🇱akuo")},
    {"greek letters count for neither", s("αβa"), s("αβש")},
    {"kelvin sign lower-cases to k", s("\u212Aa"), s("לש")},
    {"dotted capital i has no single lower case", s("\u0130ab"), s("\u0130שנ")},
    {"upper with diacritic is no acronym", s("ÉT"), s("Éא")},
    {"mixed acronym with lower is converted", s("USa"), s("ודש")},
};
INSTANTIATE_TEST_SUITE_P(Words, KeyboardLayoutConverterCases, testing::ValuesIn(wordCases));

const Case separatorCases[] = {
    {"two words", s("akuo guko"), s("שלום עולם")},
    {"double space kept", s("a  b"), s("ש  נ")},
    {"tab and line feed kept in place", s("a\tb\nc"), s("ש\tנ\nב")},
    {"crlf kept", s("a\r\nb"), s("ש\r\nנ")},
    {"leading and trailing separators", s(" a\n"), s(" ש\n")},
    {"only separators", s(" \t\n\u2028"), s(" \t\n\u2028")},
    {"unicode spaces", s("a\u00A0b\u2003c\u3000d\u0085e"), s("ש\u00A0נ\u2003ב\u3000ג\u0085ק")},
    {"line and paragraph separators", s("a\u2028b\u2029c"), s("ש\u2028נ\u2029ב")},
    {"direction per word", s("akuo world שלום USA"), s("שלום wםרךג akuo USA")},
    {"mark after a space starts the next word", s("a \u0301b"), s("ש \u0301נ")},
    {"no-break space is a separator", s("OK\u00A0ab"), s("OK\u00A0שנ")},
    {"zero-width space is not a separator", s("a\u200Bb"), s("ש\u200Bנ")},
};
INSTANTIATE_TEST_SUITE_P(Separators, KeyboardLayoutConverterCases, testing::ValuesIn(separatorCases));

TEST(KeyboardLayoutConverter, RoundTripsEveryKey)
{
    const QString keys = s("ertyuiopasdfghjkl;zxcvbnm,.");
    const QString hebrew = KeyboardLayoutConverter::convert(keys);
    ASSERT_EQ(hebrew.size(), 27);
    for (const QChar c : hebrew)
        EXPECT_TRUE(c.unicode() >= 0x05D0 && c.unicode() <= 0x05EA) << int(c.unicode());
    EXPECT_EQ(KeyboardLayoutConverter::convert(hebrew), keys);
}

TEST(KeyboardLayoutConverter, NeverLosesText)
{
    // Lone surrogates and controls are not characters a user typed, but they must come back as they were.
    const QString odd = QString(QChar(0xD800)) + s("ab") + QChar(0xDC00) + QChar(0) + s("\u05D0");
    const QString out = KeyboardLayoutConverter::convert(odd);
    EXPECT_EQ(out.size(), odd.size());
    EXPECT_EQ(out.at(0), QChar(0xD800));
    EXPECT_EQ(out.at(3), QChar(0xDC00));
}

} // namespace
} // namespace vorlex
