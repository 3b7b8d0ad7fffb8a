#include "TranslationViewController.h"

#include "AppFixture.h"
#include "FakePlatform.h"
#include "TestSupport.h"
#include "TextLimit.h"

#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

class TranslationViewControllerTest : public testing::Test {
protected:
    template <typename T = QWidget> T* view(const char* name) { return vc.findChild<T*>(QLatin1String(name)); }
    QString shown() { return view<ClickCopyTextView>("textView")->toPlainText(); }

    FakePlatform platform;
    TranslationViewController vc{platform, {}, test::sharedStores()};
};

// The spinner turns while the session waits; what it shows is drawn as plain text, never as rich text,
// an error in the error colour, and replace acts only on a result. What the session shows is its own
// test's.
TEST_F(TranslationViewControllerTest, TheViewDrawsWhatTheSessionShows)
{
    const QString markup = u"<b>x</b><img src=\"file:///etc/hostname\"> &amp;"_s;
    const auto error = [this] {
        return view("textView")->palette().color(QPalette::Text) == TranslationViewController::errorColour();
    };
    vc.showPending(0);
    EXPECT_FALSE(view("spinner")->isHidden());
    vc.showFailure(markup);
    EXPECT_TRUE(view("spinner")->isHidden());
    EXPECT_EQ(shown(), u"שגיאה: "_s + markup);
    EXPECT_TRUE(error());
    EXPECT_FALSE(view("replaceButton")->isEnabled());
    vc.showEntry({QUuid(), u"translate"_s, u"x"_s, markup, QDateTime()}, 0);
    EXPECT_EQ(shown(), markup);
    EXPECT_FALSE(error());
    EXPECT_TRUE(view("replaceButton")->isEnabled());
}

// Copy (button or a press on the result) acts on the result shown; a tab runs its mode on the same text.
TEST_F(TranslationViewControllerTest, CopyAndTheTabsActOnTheResultShown)
{
    vc.set(TranslationMode::keyboardLayout, u"akuo"_s, 0);
    view<QPushButton>("copyButton")->click();
    QTest::mousePress(view<ClickCopyTextView>("textView")->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(platform.writes, (QStringList{u"שלום"_s, u"שלום"_s}));
    view<QTabBar>("tabControl")->setCurrentIndex(2);
    EXPECT_TRUE(shown().startsWith(u"🕐 שעון מקומי ("_s));
}

// A big text goes into the view a slice per turn and ends whole, as if set at once (no slice cuts a
// surrogate pair or a line); the buttons have all of it from the start.
TEST_F(TranslationViewControllerTest, ABigTextFillsTheViewWhole)
{
    const qsizetype slice = TranslationViewController::textSliceLength;
    const QString text = u"x"_s + u"😀"_s.repeated(slice) + u"\r\n"_s + u"שלום\r\nhello \n"_s.repeated(slice / 8);
    vc.showEntry({QUuid(), u"layout"_s, u"x"_s, text, QDateTime()}, 0);
    EXPECT_LT(shown().size(), slice);
    view<QPushButton>("copyButton")->click();
    EXPECT_EQ(platform.text(), text);
    platform.fakeScheduler.advance(0);
    QTextDocument whole;
    whole.setPlainText(text);
    EXPECT_EQ(shown(), whole.toPlainText());
    vc.showEntry({QUuid(), u"layout"_s, QString(maximumTextBytes + 1, u'a'), u"x"_s, QDateTime()}, 0);
    EXPECT_EQ(shown(), u"שגיאה: הטקסט ארוך מדי (מעל 2 MB)"_s) << "an older version's, beyond the bound";
}

} // namespace
