#include "PopupSession.h"

#include "FakePlatform.h"
#include "HistoryManager.h"
#include "LocalHttpServer.h"
#include "SettingsManager.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlex;
using vorlex::test::LocalHttpServer;
using enum TranslationMode;

namespace {

class PopupSessionTest : public testing::Test {
protected:
    LocalHttpServer server;
    FakePlatform platform;
    PopupSession session{platform, {server.baseUrl()}};
};

// A translation shows the spinner, then its outcome: the result with the detected language and the
// engine, on the clipboard only when the settings say so, and recorded as captured. A failure shows its
// line and records nothing.
TEST_F(PopupSessionTest, ATranslationShowsItsOutcomeAndRecordsASuccess)
{
    const PopupDisplay translated{translate, false, u"salut"_s, false, u"זוהה: EN"_s, u"Google Translate"_s};
    const std::tuple<QString, LocalHttpServer::Reply, bool, PopupDisplay> cases[] = {
        {u" hello \n"_s, LocalHttpServer::Reply::googleTranslation(u"salut"_s, u"en"_s), false, translated},
        {u" hello \n"_s, LocalHttpServer::Reply::googleTranslation(u"salut"_s, u"en"_s), true, translated},
        {u"  \n"_s, {}, true, {translate, false, u"שגיאה: אין טקסט לתרגום"_s, true, {}, {}}},
        {u"hello"_s,
         LocalHttpServer::Reply::json("{}", 503),
         true,
         {translate, false, u"שגיאה: שגיאת HTTP 503"_s, true, {}, {}}},
    };
    for (const auto& [text, reply, autoCopy, display] : cases) {
        SCOPED_TRACE(display.text);
        server.setDefaultReply(reply);
        AppSettings settings;
        settings.autoCopyToClipboard = autoCopy;
        ASSERT_TRUE(SettingsManager::shared().save(settings));
        platform.writes.clear();
        HistoryManager::shared().clear();
        session.set(TranslationMode::translate, text, 0);
        EXPECT_EQ(session.display(), (PopupDisplay{translate, true, {}, false, {}, {}}));
        ASSERT_TRUE(test::waitUntil([this] { return !session.display().busy; }));
        EXPECT_EQ(session.display(), display);
        const QString result = display.error ? QString() : u"salut"_s;
        EXPECT_EQ(session.result(), result);
        EXPECT_EQ(platform.writes, autoCopy && !display.error ? QStringList{result} : QStringList());
        const HistoryEntry recorded = HistoryManager::shared().load().value(0);
        EXPECT_EQ(QStringList({recorded.originalText, recorded.resultText}),
                  display.error ? QStringList({{}, {}}) : QStringList({text, result}));
    }
}

// Each request aborts the translation before it, so a flood leaves one in flight: the seventh reaches
// the server, which never answers, though the client opens only six connections to it. A layout
// conversion then takes the popup at once, a date reading the same text after it.
TEST_F(PopupSessionTest, TheNewestRequestSupersedesTheOneInFlight)
{
    server.setDefaultReply(LocalHttpServer::Reply::hanging());
    for (int i = 1; i <= 7; ++i)
        session.set(translate, u"hello %1"_s.arg(i), 0);
    ASSERT_TRUE(server.waitForQueryEnding("hello%207"));
    HistoryManager::shared().clear();
    session.set(keyboardLayout, u"akuo"_s, 7);
    EXPECT_EQ(session.display(), (PopupDisplay{keyboardLayout, false, u"שלום"_s, false, u"פריסת מקלדת"_s, {}}));
    EXPECT_EQ(HistoryManager::shared().load().value(0).resultText, u"שלום"_s);
    session.choose(dateTime);
    EXPECT_TRUE(session.display().text.startsWith(u"🕐 שעון מקומי ("_s));
    EXPECT_EQ(session.shown(), (PopupSession::Shown{dateTime, u"akuo"_s, 7}));
}

} // namespace
