#include "TranslationService.h"

#include <gtest/gtest.h>

namespace vorlex {
namespace {

struct Case {
    const char* name;
    QString text;
    const char* expected;
};

QString s(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

TEST(SmartTargetLanguage, PicksEnglishForMostlyHebrewLetters)
{
    const Case cases[] = {
        {"hebrew word", s("שלום"), "en"},
        {"english word", s("hello"), "he"},
        {"digits only", s("12345"), "he"},
        {"empty", s(""), "he"},
        {"blanks and punctuation", s(" \n!?-"), "he"},
        {"emoji only", s("😀👍"), "he"},
        {"two and two is exactly half", s("אבab"), "he"},
        {"three and three is exactly half", s("אבג abc"), "he"},
        {"eight of ten", s("שלום עולם hi"), "en"},
        {"three of five", s("אבגab"), "en"},
        {"pointed letters count once", s("שָׁלוֹם"), "en"},
        {"pointed hebrew against three latin", s("שָׁלוֹם abc"), "en"},
        {"final forms are letters", s("ךםןףץ"), "en"},
        {"digits do not dilute", s("שלום 1234567890"), "en"},
        {"other scripts are letters", s("של мир"), "he"},
        {"cyrillic minority", s("שלום мир"), "en"},
        {"cjk letters count", s("日本語א"), "he"},
        {"arabic is not hebrew", s("مرحبا"), "he"},
        {"presentation forms are not hebrew letters", s("\uFB2A\uFB2B\uFB2C"), "he"},
        {"yiddish ligatures are not hebrew letters", s("\u05F0\u05F0א"), "he"},
        {"latin with marks is one letter", s("e\u0301\u0301א"), "he"},
        {"hebrew with marks and latin", s("א\u05B0\u05B0b"), "he"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TranslationService::smartTargetLanguage(c.text).toStdString(), c.expected);
    }
}

TEST(SmartTargetLanguage, DecidesOnTheRatioOfLongTexts)
{
    const QString hebrew = QString(1000, QChar(0x05D0));
    EXPECT_EQ(TranslationService::smartTargetLanguage(hebrew + QString(999, u'a')).toStdString(), "en");
    EXPECT_EQ(TranslationService::smartTargetLanguage(hebrew + QString(1000, u'a')).toStdString(), "he");
    EXPECT_EQ(TranslationService::smartTargetLanguage(hebrew + QString(1001, u'a')).toStdString(), "he");
}

} // namespace
} // namespace vorlex
