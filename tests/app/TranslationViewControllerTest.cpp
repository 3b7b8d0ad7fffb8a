#include "TranslationViewController.h"

#include "DateTimeService.h"
#include "FakePlatform.h"
#include "HistoryManager.h"
#include "KeyboardLayoutConverter.h"
#include "LocalHttpServer.h"
#include "SettingsManager.h"
#include "TestSupport.h"
#include "TranslationService.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <functional>

#include <unicode/timezone.h>
#include <unicode/unistr.h>

using namespace vorlex;
using vorlex::test::LocalHttpServer;

namespace {

const QString kDetectedPrefix = QStringLiteral("זוהה: ");
const QString kErrorPrefix = QStringLiteral("שגיאה: ");
const QString kLayoutSource = QStringLiteral("פריסת מקלדת");

class TranslationViewControllerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        TranslationEndpoints local = saved;
        local.google = server.baseUrl();
        local.deepLFree = server.baseUrl();
        local.deepLPaid = server.baseUrl();
        TranslationService::setEndpoints(local);
        useSettings([](AppSettings&) {});
        HistoryManager::shared().clear();
    }
    void TearDown() override
    {
        TranslationService::setEndpoints(saved);
        HistoryManager::shared().clear();
    }

    void useSettings(const std::function<void(AppSettings&)>& change)
    {
        AppSettings settings;
        change(settings);
        ASSERT_TRUE(SettingsManager::shared().save(settings));
    }

    // Waits until the running translation has finished (the spinner is gone).
    bool waitForResult()
    {
        return test::waitUntil([this] { return vc.spinner->isHidden(); });
    }

    QString shown() const { return vc.textView->toPlainText(); }
    QList<HistoryEntry> history() const { return HistoryManager::shared().load(); }

    void pressOnResult(QPoint at = {20, 20}, Qt::MouseButton button = Qt::LeftButton)
    {
        QWidget* viewport = vc.textView->viewport();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), viewport->mapToGlobal(QPointF(at)), button, button,
                          Qt::NoModifier);
        QApplication::sendEvent(viewport, &press);
    }
    void moveAndRelease(QPoint to)
    {
        QWidget* viewport = vc.textView->viewport();
        QMouseEvent move(QEvent::MouseMove, QPointF(to), viewport->mapToGlobal(QPointF(to)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(to), viewport->mapToGlobal(QPointF(to)), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &release);
    }

    const TranslationEndpoints saved = TranslationService::endpoints();
    LocalHttpServer server;
    FakePlatform platform;
    TranslationViewController vc{platform};
};

TEST_F(TranslationViewControllerTest, ATranslationShowsTheSpinnerThenTheResultAndRecordsIt)
{
    server.enqueueReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("Hello"), QStringLiteral("iw")));
    vc.resize(480, 300);
    vc.show();
    vc.set(TranslationMode::translate, QStringLiteral(" שלום \n"));

    // Running: spinner, nothing else.
    EXPECT_FALSE(vc.spinner->isHidden());
    EXPECT_TRUE(vc.spinner->isAnimating());
    EXPECT_EQ(shown(), QString());
    EXPECT_EQ(vc.sourceLabel->fullText(), QString());
    EXPECT_EQ(vc.engineLabel->text(), QString());
    EXPECT_EQ(vc.resultText, QString());
    EXPECT_FALSE(vc.replaceButton->isEnabled());
    EXPECT_EQ(vc.tabControl->currentIndex(), 0);

    ASSERT_TRUE(waitForResult());
    EXPECT_FALSE(vc.spinner->isAnimating());
    EXPECT_EQ(shown(), QStringLiteral("Hello"));
    EXPECT_FALSE(vc.showsError());
    EXPECT_EQ(vc.sourceLabel->fullText(), kDetectedPrefix + QStringLiteral("IW"));
    EXPECT_EQ(vc.engineLabel->text(), QStringLiteral("Google Translate"));
    EXPECT_EQ(vc.resultText, QStringLiteral("Hello"));
    EXPECT_TRUE(vc.replaceButton->isEnabled());
    EXPECT_TRUE(platform.fakeClipboard.writes.isEmpty()); // automatic copy is off

    // Mostly Hebrew letters: the target is English whatever the settings say.
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_TRUE(server.requests().at(0).query().contains("&tl=en&"));

    const QList<HistoryEntry> entries = history();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries.first().type, QStringLiteral("translate"));
    EXPECT_EQ(entries.first().originalText, QStringLiteral(" שלום \n")); // as captured
    EXPECT_EQ(entries.first().resultText, QStringLiteral("Hello"));
}

TEST_F(TranslationViewControllerTest, AutomaticCopyAndTheDetectedLanguageLabel)
{
    struct Case {
        const char* name;
        bool autoCopy;
        QString detected;
        QStringList expectedWrites;
        QString expectedSource;
    };
    const Case cases[] = {
        {"auto-copy on", true, QStringLiteral("en"), {QStringLiteral("שלום")}, kDetectedPrefix + QStringLiteral("EN")},
        {"auto-copy off", false, QStringLiteral("en"), {}, kDetectedPrefix + QStringLiteral("EN")},
        {"nothing detected", false, QString(), {}, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        useSettings([&](AppSettings& s) { s.autoCopyToClipboard = c.autoCopy; });
        platform.fakeClipboard.writes.clear();
        server.enqueueReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("שלום"), c.detected));
        vc.set(TranslationMode::translate, QStringLiteral("hello"));
        ASSERT_TRUE(waitForResult());
        EXPECT_EQ(platform.fakeClipboard.writes, c.expectedWrites);
        EXPECT_EQ(vc.sourceLabel->fullText(), c.expectedSource);
        EXPECT_EQ(shown(), QStringLiteral("שלום"));
    }
}

TEST_F(TranslationViewControllerTest, FailuresShowTheHebrewMessageInTheErrorColourAndRecordNothing)
{
    struct Case {
        const char* name;
        QString text;
        std::optional<LocalHttpServer::Reply> reply;
        QString message;
    };
    const Case cases[] = {
        {"empty text", QString(), std::nullopt, QStringLiteral("אין טקסט לתרגום")},
        {"blank text", QStringLiteral("  \n"), std::nullopt, QStringLiteral("אין טקסט לתרגום")},
        {"server error", QStringLiteral("hello"), LocalHttpServer::Reply::json("{}", 503),
         QStringLiteral("שגיאת HTTP 503")},
        {"unreadable reply", QStringLiteral("hello"), LocalHttpServer::Reply::text("<html>no</html>"),
         QStringLiteral("שגיאה בפענוח תגובת השרת")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.reply)
            server.enqueueReply(*c.reply);
        vc.set(TranslationMode::translate, c.text);
        ASSERT_TRUE(waitForResult());
        EXPECT_EQ(shown(), kErrorPrefix + c.message);
        EXPECT_TRUE(vc.showsError());
        EXPECT_EQ(vc.textView->palette().color(QPalette::Text), TranslationViewController::errorColour());
        EXPECT_EQ(vc.resultText, QString());
        EXPECT_FALSE(vc.replaceButton->isEnabled());
        EXPECT_EQ(vc.sourceLabel->fullText(), QString());
        EXPECT_EQ(vc.engineLabel->text(), QString());
        EXPECT_TRUE(history().isEmpty());
    }

    // The next result is in the normal colour again.
    vc.set(TranslationMode::keyboardLayout, QStringLiteral("akuo"));
    EXPECT_FALSE(vc.showsError());
    EXPECT_EQ(vc.textView->palette().color(QPalette::Text), vc.palette().color(QPalette::Text));
}

TEST_F(TranslationViewControllerTest, LayoutAndDateTimeModesShowTheirResultsAtOnce)
{
    vc.set(TranslationMode::keyboardLayout, QStringLiteral("akuo"));
    EXPECT_EQ(vc.tabControl->currentIndex(), 1);
    EXPECT_TRUE(vc.spinner->isHidden());
    EXPECT_EQ(shown(), QStringLiteral("שלום"));
    EXPECT_EQ(vc.resultText, QStringLiteral("שלום"));
    EXPECT_TRUE(vc.replaceButton->isEnabled());
    EXPECT_EQ(vc.sourceLabel->fullText(), kLayoutSource);
    EXPECT_EQ(vc.engineLabel->text(), QString());
    ASSERT_EQ(history().size(), 1);
    EXPECT_EQ(history().first().type, QStringLiteral("layout"));
    EXPECT_EQ(history().first().originalText, QStringLiteral("akuo"));
    EXPECT_EQ(history().first().resultText, QStringLiteral("שלום"));

    vc.set(TranslationMode::dateTime, QStringLiteral("0"));
    EXPECT_EQ(vc.tabControl->currentIndex(), 2);
    const DateTimeResult reading = DateTimeService::compute(QStringLiteral("0"));
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
    icu::UnicodeString zoneId;
    zone->getID(zoneId);
    const QString expected = QStringLiteral("🕐 שעון מקומי (") +
                             QString::fromUtf16(zoneId.getBuffer(), zoneId.length()) + QStringLiteral("):\n") +
                             reading.localTime + QStringLiteral("\n\n🌍 לפי שעון UTC (רוחב 0):\n") + reading.utcTime +
                             QStringLiteral("\n\n✡️ לוח עברי:\n") + reading.hebrewDate;
    EXPECT_EQ(shown(), expected);
    EXPECT_EQ(shown().count(QLatin1Char('\n')), 7);
    EXPECT_EQ(vc.resultText, expected);
    EXPECT_EQ(vc.sourceLabel->fullText(), QStringLiteral("Unix timestamp: 0"));
    EXPECT_EQ(vc.engineLabel->text(), QString());
    EXPECT_EQ(history().size(), 1); // the reading is not recorded
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(TranslationViewControllerTest, ShowEntryShowsTheStoredResultWithoutRunningAnything)
{
    struct Case {
        QString type;
        QString result;
        int tab;
        QString source;
    };
    const Case cases[] = {
        {QStringLiteral("translate"), QStringLiteral("Hello"), 0, QStringLiteral("היסטוריה")},
        {QStringLiteral("layout"), QStringLiteral("akuo"), 1, kLayoutSource}, // not converted again
        {QStringLiteral("Translate"), QStringLiteral("x"), 1, kLayoutSource},
        {QStringLiteral("translate"), QString(), 0, QStringLiteral("היסטוריה")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type.toStdString() + "/" + c.result.toStdString());
        HistoryEntry entry;
        entry.id = QUuid::createUuid();
        entry.type = c.type;
        entry.originalText = QStringLiteral("שלום");
        entry.resultText = c.result;
        vc.showEntry(entry);
        EXPECT_EQ(vc.tabControl->currentIndex(), c.tab);
        EXPECT_EQ(vc.mode, c.tab == 0 ? TranslationMode::translate : TranslationMode::keyboardLayout);
        EXPECT_EQ(vc.originalText, QStringLiteral("שלום"));
        EXPECT_EQ(vc.resultText, c.result);
        EXPECT_EQ(shown(), c.result);
        EXPECT_EQ(vc.replaceButton->isEnabled(), !c.result.isEmpty());
        EXPECT_EQ(vc.sourceLabel->fullText(), c.source);
        EXPECT_EQ(vc.engineLabel->text(), QString());
    }
    test::waitUntil([] { return false; }, 100);
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_TRUE(history().isEmpty());
}

TEST_F(TranslationViewControllerTest, SwitchingTabsRunsTheOtherModesOnTheSameText)
{
    server.setDefaultReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("שלום"), QStringLiteral("en")));
    vc.set(TranslationMode::translate, QStringLiteral("akuo"));
    ASSERT_TRUE(waitForResult());
    EXPECT_EQ(history().size(), 1);

    vc.tabControl->setCurrentIndex(1);
    EXPECT_EQ(vc.mode, TranslationMode::keyboardLayout);
    EXPECT_EQ(shown(), QStringLiteral("שלום"));
    EXPECT_EQ(vc.sourceLabel->fullText(), kLayoutSource);

    // Back to the translation: while it runs, copy and replace still act on the layout result.
    vc.tabControl->setCurrentIndex(0);
    EXPECT_EQ(vc.mode, TranslationMode::translate);
    EXPECT_FALSE(vc.spinner->isHidden());
    EXPECT_EQ(shown(), QString());
    EXPECT_EQ(vc.resultText, QStringLiteral("שלום"));
    EXPECT_TRUE(vc.replaceButton->isEnabled());
    ASSERT_TRUE(waitForResult());
    EXPECT_EQ(server.requestCount(), 2);

    const QList<HistoryEntry> entries = history();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries.at(0).type, QStringLiteral("translate"));
    EXPECT_EQ(entries.at(1).type, QStringLiteral("layout"));
    EXPECT_EQ(entries.at(2).type, QStringLiteral("translate"));

    vc.tabControl->setCurrentIndex(2);
    EXPECT_EQ(vc.mode, TranslationMode::dateTime);
    EXPECT_TRUE(shown().startsWith(QStringLiteral("🕐 שעון מקומי (")));
    EXPECT_EQ(vc.sourceLabel->fullText(), QStringLiteral("עכשיו"));
}

TEST_F(TranslationViewControllerTest, SwitchingTabsWithNoTextLeavesTheDisplayExceptForTheDateTime)
{
    vc.set(TranslationMode::translate, QString());
    ASSERT_TRUE(waitForResult());
    const QString error = shown();
    ASSERT_TRUE(error.startsWith(kErrorPrefix));

    vc.tabControl->setCurrentIndex(1);
    EXPECT_EQ(vc.mode, TranslationMode::keyboardLayout);
    EXPECT_EQ(shown(), error);
    vc.tabControl->setCurrentIndex(0);
    EXPECT_EQ(vc.mode, TranslationMode::translate);
    EXPECT_EQ(shown(), error);
    EXPECT_TRUE(vc.spinner->isHidden());

    vc.tabControl->setCurrentIndex(2);
    EXPECT_TRUE(shown().startsWith(QStringLiteral("🕐 שעון מקומי (")));
    EXPECT_FALSE(vc.showsError());
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_TRUE(history().isEmpty());
}

TEST_F(TranslationViewControllerTest, ALateTranslationIsRecordedButDoesNotReplaceWhatIsShown)
{
    useSettings([](AppSettings& s) { s.autoCopyToClipboard = true; });
    struct Case {
        const char* name;
        std::function<void()> newer;
        QString stillShown;
    };
    HistoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.type = QStringLiteral("translate");
    entry.originalText = QStringLiteral("o");
    entry.resultText = QStringLiteral("stored");
    const Case cases[] = {
        {"a newer request", [&] { vc.set(TranslationMode::keyboardLayout, QStringLiteral("akuo")); },
         QStringLiteral("שלום")},
        {"a history entry", [&] { vc.showEntry(entry); }, QStringLiteral("stored")},
        {"a tab switch", [&] { vc.tabControl->setCurrentIndex(1); },
         KeyboardLayoutConverter::convert(QStringLiteral("hello"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HistoryManager::shared().clear();
        platform.fakeClipboard.writes.clear();
        LocalHttpServer::Reply late = LocalHttpServer::Reply::googleTranslation(QStringLiteral("late"));
        late.delayMs = 300;
        server.enqueueReply(late);
        vc.set(TranslationMode::translate, QStringLiteral("hello"));
        ASSERT_TRUE(server.waitForRequests(1));
        c.newer();
        ASSERT_TRUE(test::waitUntil([] {
            for (const HistoryEntry& e : HistoryManager::shared().load())
                if (e.resultText == QLatin1String("late"))
                    return true;
            return false;
        }));
        EXPECT_EQ(shown(), c.stillShown);
        EXPECT_EQ(vc.resultText, c.stillShown);
        EXPECT_TRUE(vc.spinner->isHidden());
        EXPECT_FALSE(vc.showsError());
        EXPECT_FALSE(platform.fakeClipboard.writes.contains(QStringLiteral("late")));
        server.clearRecords();
    }
}

TEST_F(TranslationViewControllerTest, ALateErrorIsNotShown)
{
    LocalHttpServer::Reply late = LocalHttpServer::Reply::json("{}", 500);
    late.delayMs = 200;
    server.enqueueReply(late);
    vc.set(TranslationMode::translate, QStringLiteral("hello"));
    ASSERT_TRUE(server.waitForRequests(1));
    vc.set(TranslationMode::keyboardLayout, QStringLiteral("akuo"));
    test::waitUntil([] { return false; }, 600);
    EXPECT_EQ(shown(), QStringLiteral("שלום"));
    EXPECT_FALSE(vc.showsError());
}

TEST_F(TranslationViewControllerTest, MarkupFromOutsideIsShownAsPlainText)
{
    const QString markup = QStringLiteral("<b>x</b><img src=\"file:///etc/hostname\"> &amp; <a href=\"x\">y</a>");
    server.enqueueReply(LocalHttpServer::Reply::googleTranslation(markup, QStringLiteral("<i>he</i>")));
    vc.set(TranslationMode::translate, QStringLiteral("hello"));
    ASSERT_TRUE(waitForResult());
    EXPECT_EQ(shown(), markup);
    EXPECT_EQ(vc.textView->document()->toRawText(), markup);
    EXPECT_EQ(vc.sourceLabel->textFormat(), Qt::PlainText);
    EXPECT_EQ(vc.engineLabel->textFormat(), Qt::PlainText);
    EXPECT_EQ(vc.sourceLabel->fullText(), kDetectedPrefix + QStringLiteral("<I>HE</I>"));

    HistoryEntry entry;
    entry.type = QStringLiteral("layout");
    entry.resultText = QStringLiteral("<h1>big</h1>");
    vc.showEntry(entry);
    EXPECT_EQ(shown(), QStringLiteral("<h1>big</h1>"));
}

TEST_F(TranslationViewControllerTest, CopyByButtonOrClickFlashesTheButtonFor1200Ms)
{
    vc.resize(480, 300);
    vc.show();
    vc.set(TranslationMode::keyboardLayout, QStringLiteral("akuo"));

    vc.copyButton->click();
    EXPECT_EQ(platform.fakeClipboard.writes, QStringList{QStringLiteral("שלום")});
    EXPECT_EQ(vc.copyButton->text(), QStringLiteral("✓"));
    platform.fakeScheduler.advance(1199);
    EXPECT_EQ(vc.copyButton->text(), QStringLiteral("✓"));
    platform.fakeScheduler.advance(1);
    EXPECT_EQ(vc.copyButton->text(), QStringLiteral("העתק"));

    // Two copies 500 ms apart: the first one's restore ends the flash.
    pressOnResult();
    moveAndRelease({20, 20});
    EXPECT_EQ(platform.fakeClipboard.writes.size(), 2);
    platform.fakeScheduler.advance(500);
    vc.copyButton->click();
    platform.fakeScheduler.advance(700);
    EXPECT_EQ(vc.copyButton->text(), QStringLiteral("העתק"));
    EXPECT_EQ(platform.fakeClipboard.writes.size(), 3);

    // A right-button press is not a copy.
    pressOnResult({20, 20}, Qt::RightButton);
    EXPECT_EQ(platform.fakeClipboard.writes.size(), 3);
}

TEST_F(TranslationViewControllerTest, AClickOnTheResultCopiesAllOfItAndStillSelects)
{
    vc.resize(480, 300);
    vc.show();
    vc.set(TranslationMode::keyboardLayout, QStringLiteral("akuo akuo akuo"));
    ASSERT_TRUE(test::waitUntil([&] { return vc.textView->isVisible(); }));

    const QRect firstLine = vc.textView->cursorRect(QTextCursor(vc.textView->document()));
    const QPoint from(vc.textView->viewport()->width() - 15, firstLine.center().y());
    pressOnResult(from);
    moveAndRelease({from.x() - 60, from.y()});
    EXPECT_EQ(platform.fakeClipboard.writes, QStringList{QStringLiteral("שלום שלום שלום")});
    EXPECT_TRUE(vc.textView->textCursor().hasSelection()) << from.x() << "," << from.y();
    EXPECT_NE(vc.textView->textCursor().selectedText(), QStringLiteral("שלום שלום שלום"));
}

TEST_F(TranslationViewControllerTest, NothingToCopyMeansNoCopyAndNoFlash)
{
    vc.set(TranslationMode::translate, QString()); // an error: resultText stays empty
    ASSERT_TRUE(waitForResult());
    vc.copyButton->click();
    pressOnResult();
    EXPECT_TRUE(platform.fakeClipboard.writes.isEmpty());
    EXPECT_EQ(vc.copyButton->text(), QStringLiteral("העתק"));
    EXPECT_EQ(platform.fakeScheduler.pending(), 0);
}

TEST_F(TranslationViewControllerTest, EachParagraphTakesItsDirectionFromItsFirstStrongCharacter)
{
    HistoryEntry entry;
    entry.type = QStringLiteral("translate");
    entry.resultText = QStringLiteral("Hello world\nשלום עולם\n123 שלום\n(Hi) there");
    vc.resize(480, 300);
    vc.show();
    vc.showEntry(entry);
    EXPECT_EQ(vc.layoutDirection(), Qt::RightToLeft);

    const Qt::LayoutDirection expected[] = {Qt::LeftToRight, Qt::RightToLeft, Qt::RightToLeft, Qt::LeftToRight};
    QTextBlock block = vc.textView->document()->begin();
    for (Qt::LayoutDirection direction : expected) {
        SCOPED_TRACE(block.text().toStdString());
        ASSERT_TRUE(block.isValid());
        EXPECT_EQ(block.textDirection(), direction);
        // Left-to-right paragraphs start at the left margin, right-to-left ones end at the right.
        const QRectF line = block.layout()->lineAt(0).naturalTextRect();
        const double width = vc.textView->viewport()->width();
        if (direction == Qt::LeftToRight)
            EXPECT_LT(line.left(), width / 4);
        else
            EXPECT_GT(line.right(), width * 3 / 4);
        block = block.next();
    }
}

TEST_F(TranslationViewControllerTest, EveryControlHasAnAccessibleName)
{
    vc.set(TranslationMode::keyboardLayout, QStringLiteral("akuo"));
    const QWidget* controls[] = {vc.tabControl,    vc.textView, vc.copyButton,
                                 vc.replaceButton, vc.spinner,  vc.sourceLabel};
    for (const QWidget* control : controls) {
        SCOPED_TRACE(control->metaObject()->className());
        EXPECT_FALSE(control->accessibleName().isEmpty());
    }
    EXPECT_EQ(vc.copyButton->accessibleName(), QStringLiteral("העתק"));
    EXPECT_EQ(vc.replaceButton->accessibleName(), QStringLiteral("החלף"));
    EXPECT_EQ(vc.replaceButton->toolTip(), QStringLiteral("מחליף את הטקסט המקורי בתוצאה"));
    EXPECT_EQ(vc.sourceLabel->accessibleName(), kLayoutSource);
    EXPECT_EQ(vc.tabControl->tabText(0), QStringLiteral("תרגום"));
    EXPECT_EQ(vc.tabControl->tabText(1), QStringLiteral("החלפת פריסה"));
    EXPECT_EQ(vc.tabControl->tabText(2), QStringLiteral("תאריך ושעה"));
}

TEST_F(TranslationViewControllerTest, ALongSourceIsCutAt140PixelsButKeptWhole)
{
    vc.resize(480, 300);
    vc.show();
    vc.set(TranslationMode::dateTime, QStringLiteral("00000000000000001700000000.5"));
    // The label takes its whole 140 px and no more.
    EXPECT_TRUE(test::waitUntil([&] { return vc.sourceLabel->width() == 140; })) << vc.sourceLabel->width();
    EXPECT_TRUE(vc.sourceLabel->fullText().startsWith(QStringLiteral("Unix timestamp: 0000")));
    EXPECT_NE(vc.sourceLabel->text(), vc.sourceLabel->fullText());
    EXPECT_TRUE(vc.sourceLabel->text().contains(QChar(0x2026)))
        << vc.sourceLabel->text().toStdString() << " w=" << vc.sourceLabel->width()
        << " full=" << vc.sourceLabel->fullText().toStdString();
}

} // namespace
