#include "TranslationViewController.h"

#include "FakePlatform.h"
#include "HistoryManager.h"
#include "LocalHttpServer.h"
#include "SettingsManager.h"
#include "TestSupport.h"
#include "TextLimit.h"

#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace vorlex;
using vorlex::test::LocalHttpServer;

namespace {

class TranslationViewControllerTest : public testing::Test {
protected:
    template <typename T = QWidget> T* view(const char* name) { return vc.findChild<T*>(QLatin1String(name)); }
    QString shown() { return view<ClickCopyTextView>("textView")->toPlainText(); }

    LocalHttpServer server;
    FakePlatform platform;
    TranslationViewController vc{platform, {server.baseUrl()}};
};

// Text from outside is shown as it is, never as rich text, and goes to the clipboard only when the
// settings say so; a failure shows its message in the error colour and records nothing.
TEST_F(TranslationViewControllerTest, ATranslationRunsBehindTheSpinnerAndShowsItsOutcome)
{
    const QString markup = u"<b>x</b><img src=\"file:///etc/hostname\"> &amp;"_s;
    const auto translated = LocalHttpServer::Reply::googleTranslation(markup, u"<i>iw</i>"_s);
    const std::tuple<QString, LocalHttpServer::Reply, bool, QString> cases[] = {
        {u" שלום \n"_s, translated, false, markup},
        {u" שלום \n"_s, translated, true, markup},
        {u"  \n"_s, translated, true, u"שגיאה: אין טקסט לתרגום"_s},
        {u"hello"_s, LocalHttpServer::Reply::json("{}", 503), true, u"שגיאה: שגיאת HTTP 503"_s},
    };
    for (const auto& [text, reply, autoCopy, result] : cases) {
        SCOPED_TRACE(result);
        server.setDefaultReply(reply);
        AppSettings settings;
        settings.autoCopyToClipboard = autoCopy;
        ASSERT_TRUE(SettingsManager::shared().save(settings));
        platform.writes.clear();
        HistoryManager::shared().clear();
        vc.set(TranslationMode::translate, text, 0);
        EXPECT_FALSE(view("spinner")->isHidden());
        ASSERT_TRUE(test::waitUntil([this] { return view("spinner")->isHidden(); }));
        EXPECT_EQ(shown(), result);
        const bool failed = result != markup;
        EXPECT_EQ(view("textView")->palette().color(QPalette::Text) == TranslationViewController::errorColour(),
                  failed);
        EXPECT_EQ(view("replaceButton")->isEnabled(), !failed);
        EXPECT_EQ(view<ElidingLabel>("sourceLabel")->fullText(), failed ? QString() : u"זוהה: <I>IW</I>"_s);
        EXPECT_EQ(platform.writes, autoCopy && !failed ? QStringList{markup} : QStringList());
        EXPECT_EQ(HistoryManager::shared().load().value(0).originalText, failed ? QString() : text) << "as captured";
    }
    EXPECT_TRUE(server.requests().at(0).query().contains("&tl=en&")) << "Hebrew text goes to English";
}

// Each request aborts the translation before it, so a flood leaves one in flight: the seventh reaches
// the server, which never answers, though the client opens only six connections to it. The popup
// keeps the newest; copy (button or a press on the result) and the tabs act on that.
TEST_F(TranslationViewControllerTest, TheNewestRequestKeepsThePopup)
{
    server.setDefaultReply(LocalHttpServer::Reply::hanging());
    for (int i = 1; i <= 7; ++i)
        vc.set(TranslationMode::translate, u"hello %1"_s.arg(i), 0);
    ASSERT_TRUE(server.waitForQueryEnding("hello%207"));
    vc.set(TranslationMode::keyboardLayout, u"akuo"_s, 0);
    EXPECT_TRUE(view("spinner")->isHidden());
    EXPECT_EQ(shown(), u"שלום"_s);
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
