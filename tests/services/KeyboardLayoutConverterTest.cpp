#include "KeyboardLayoutConverter.h"

#include <gtest/gtest.h>

using namespace vorlex;

TEST(KeyboardLayoutConverter, ConvertsEachWordTowardsItsMinorityScript)
{
    const std::pair<QString, QString> cases[] = {
        {"ertyuiopasdfghjkl;zxcvbnm,.", "קראטוןםפשדגכעיחלךףזסבהנמצתץ"}, // every key
        {"קראטוןםפשדגכעיחלךףזסבהנמצתץ", "ertyuiopasdfghjkl;zxcvbnm,."}, // and back
        {"Hello", "יקךךם"},                                             // case dropped
        {"USA I'M", "USA I'M"},                                         // acronyms kept
        {"I", "ן"},                                                     // a lone capital is no acronym
        {"USa ÉT", "ודש Éא"},                                           // nor are these
        {"quiet Q w", "qוןקא Q w"},                                     // q and w have no key
        {"aב 123 --", "aב 123 --"},                                     // equal counts
        {"abcאב", "שנבאב"},                                             // English majority keeps the Hebrew
        {"אבגa של,ום!2", "tcda ak,uo!2"},                               // Hebrew majority keeps the rest
        {"café cafe\u0301", "בשכé בשכe\u0301"},                         // a letter with a mark is no ASCII letter
        {"שָׁלוֹם בָּא", "שָׁkוֹo בָּt"},                                         // pointed letters count, but stay
        {"😀ab 👩‍💻ab 🇮🇱שלום", "😀שנ 👩‍💻שנ 🇮🇱akuo"},
        {"\u212Aa \u0130ab", "לש \u0130שנ"}, // the Kelvin sign lower-cases to k, U+0130 to two code points
        {"akuo world שלום USA", "שלום wםרךג akuo USA"},
        {" a  b\tc\r\nd\u00A0e\u2003f\u2028g\u0085h\n",
         " ש  נ\tב\r\nג\u00A0ק\u2003כ\u2028ע\u0085י\n"}, // separators kept
        {"a \u0301b", "ש \u0301נ"},                      // a mark after a space starts the next word
        {QString(QChar(0xD800)) + "ab" + QChar(0xDC00), QString(QChar(0xD800)) + "שנ" + QChar(0xDC00)},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(KeyboardLayoutConverter::convert(input).toStdString(), expected.toStdString()) << input.toStdString();
}
