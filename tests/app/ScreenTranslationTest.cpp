// Translating from the screen: known text at a known place on the test's X screen, read by the
// recognition module the program loads, through the frozen screen (X11) or a picture the desktop took.

#include "AppFixture.h"
#include "HistoryManager.h"
#include "OcrEngine.h"
#include "ScreenAreaPicker.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <algorithm>
#include <climits>

using namespace vorlex;
using namespace vorlex::test;

namespace {

const QString hello = u"Hello world"_s;

class ScreenTranslationTest : public AppFixture {
protected:
    ScreenTranslationTest()
    {
        label.setWindowFlags(Qt::FramelessWindowHint | Qt::BypassWindowManagerHint | Qt::WindowStaysOnTopHint);
        label.setStyleSheet(u"background: white; color: black; font: 22px 'DejaVu Sans'; padding: 4px"_s);
        label.setGeometry(textArea);
        label.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&label));
    }
    static QWidget* overlay()
    {
        const QWidgetList windows = QApplication::topLevelWidgets();
        const auto shown = [](QWidget* w) { return w->objectName() == u"screenAreaPicker"_s && w->isVisible(); };
        const auto found = std::ranges::find_if(windows, shown);
        return found == windows.end() ? nullptr : *found;
    }
    // The frozen screen of the screen action, once it is up.
    QWidget* pickStarted()
    {
        runner.run(ActionRunner::Action::translateScreen);
        platform.fakeScheduler.advance(0);
        return waitUntil([] { return overlay(); }) ? overlay() : nullptr;
    }
    void drag(QWidget* on, const QRect& area)
    {
        QTest::mousePress(on, Qt::LeftButton, {}, area.topLeft());
        QTest::mouseMove(on, area.bottomRight());
        QTest::mouseRelease(on, Qt::LeftButton, {}, area.bottomRight());
        platform.fakeScheduler.advance(0);
    }
    QString popupText() const
    {
        const auto* view = runner.popup() ? runner.popup()->window()->findChild<QTextEdit*>(u"textView"_s) : nullptr;
        return view ? view->toPlainText() : QString();
    }

    const QRect textArea{200, 300, 300, 50};
    QLabel label{hello};
};

TEST_F(ScreenTranslationTest, ThePickedAreaIsReadAndTranslatedAsAnyText)
{
    QWidget* frozen = pickStarted();
    ASSERT_TRUE(frozen);
    drag(frozen, textArea.adjusted(-10, -10, 10, 10));
    EXPECT_FALSE(overlay());
    ASSERT_TRUE(waitUntil([&] { return HistoryManager::shared().load().size() == 1; }, 20000)) << popupText();
    const HistoryEntry read = HistoryManager::shared().load().value(0);
    EXPECT_EQ(QStringList({read.originalText, read.resultText}), QStringList({hello, u"translated"_s}));

    // Escape, or a click without a drag, leaves everything as it was.
    for (const bool escape : {true, false}) {
        frozen = pickStarted();
        ASSERT_TRUE(frozen);
        escape ? QTest::keyClick(frozen, Qt::Key_Escape) : QTest::mouseClick(frozen, Qt::LeftButton);
        platform.fakeScheduler.advance(0);
        EXPECT_FALSE(overlay());
    }
    EXPECT_EQ(server.requestCount(), 1);
}

// An area given over the bus is read as given; a blank one, one off the screens, a desktop that takes
// no pictures: the popup's error line.
TEST_F(ScreenTranslationTest, WhatCannotBeReadIsSaidInThePopup)
{
    services.TranslateScreenArea(textArea.x(), textArea.y(), textArea.width(), textArea.height());
    const Shown read{TranslationMode::translate, hello, 0};
    EXPECT_TRUE(waitUntil([&] { return popup() == read; }, 20000)) << popupText();
    label.clear();
    label.repaint();
    runner.translateScreenArea(textArea);
    EXPECT_TRUE(waitUntil([&] { return popupText() == u"שגיאה: לא נמצא טקסט באזור שנבחר"_s; }, 20000)) << popupText();
    services.TranslateScreenArea(INT_MAX - 5, 10, INT_MAX, 10); // its right edge held within an int
    EXPECT_TRUE(waitUntil([&] { return popupText() == u"שגיאה: האזור שנבחר נמצא מחוץ למסך"_s; })) << popupText();
    using Failure = ScreenPictures::Failure;
    platform.fakeScreenPictures.answer = Failure{Failure::Kind::unavailable, u"none"_s};
    runner.run(ActionRunner::Action::translateScreen);
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(popupText(), u"שגיאה: שולחן העבודה אינו מאפשר לצלם את המסך (none)"_s);
    // The user's own cancel, and an empty rectangle, say nothing.
    platform.fakeScreenPictures.answer = Failure{Failure::Kind::cancelled, {}};
    runner.run(ActionRunner::Action::translateScreen);
    services.TranslateScreenArea(10, 10, 0, 10);
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(platform.fakeScreenPictures.asked.size(), 2);
    EXPECT_EQ(popupText(), u"שגיאה: שולחן העבודה אינו מאפשר לצלם את המסך (none)"_s);
    EXPECT_EQ(server.requestCount(), 1);
}

// Wayland: the desktop's own dialog picked the area, or took the whole screen for the frozen one. Its
// temporary file goes once read.
TEST_F(ScreenTranslationTest, ADesktopsPictureIsReadWhereThePortalLeftIt)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"shot.png"_s);
    ASSERT_TRUE(label.grab().save(path));
    platform.fakeScreenPictures.answer = ScreenPictures::Picture{path, true};
    runner.run(ActionRunner::Action::translateScreen);
    platform.fakeScheduler.advance(0);
    EXPECT_FALSE(overlay());
    const Shown read{TranslationMode::translate, hello, 0};
    EXPECT_TRUE(waitUntil([&] { return popup() == read; }, 20000)) << popupText();
    EXPECT_FALSE(QFile::exists(path));

    // The desktop's picture of the whole screen, made here: on the real one, whatever is up at that
    // moment (the popup, kept on top; a window still closing) may cover the label.
    QImage screen(QApplication::primaryScreen()->size(), QImage::Format_RGB32);
    screen.fill(Qt::white);
    QPainter(&screen).drawPixmap(textArea.topLeft(), label.grab());
    ASSERT_TRUE(screen.save(path));
    platform.fakeScreenPictures.answer = ScreenPictures::Picture{path, false};
    QWidget* frozen = pickStarted();
    ASSERT_TRUE(frozen);
    EXPECT_EQ(platform.fakeScreenPictures.asked, (QList<bool>{true, true}));
    label.hide(); // the frozen picture still shows it
    drag(frozen, textArea.adjusted(4, 4, -4, -4));
    EXPECT_TRUE(waitUntil([&] { return server.requestCount() == 2; }, 20000));
}

// A text read after another request took the popup is dropped; a failure, too.
TEST_F(ScreenTranslationTest, ALateReadingLeavesANewerRequestAlone)
{
    TranslationWindowController window(platform, {server.baseUrl(), server.baseUrl(), server.baseUrl()},
                                       sharedStores());
    for (const RecognitionOutcome& late : {RecognitionOutcome(hello), RecognitionOutcome(RecognitionError{})}) {
        window.showPending(5);
        window.show(TranslationMode::keyboardLayout, u"akuo"_s, 6);
        window.finishPending(late);
        EXPECT_EQ(window.shown(), (Shown{TranslationMode::keyboardLayout, u"akuo"_s, 6}));
    }
    window.showPending(5);
    window.finishPending(hello);
    EXPECT_EQ(window.shown(), (Shown{TranslationMode::translate, hello, 5}));
}

// The engine is made on first use and given back a while after the last.
TEST(OcrEngine, IsMadeOnFirstUseAndReleasedWhenIdle)
{
    struct Reader final : TextRecognizer {
        RecognitionOutcome recognize(const GreyImage&, const std::atomic<bool>*) override { return u"read"_s; }
        std::optional<RecognitionError> load() override { return std::nullopt; }
        std::variant<GreyImage, RecognitionError> decode(const QByteArray&) override { return GreyImage{}; }
    };
    FakeScheduler scheduler;
    std::atomic<int> made = 0;
    OcrEngine engine(scheduler, [&made]() -> OcrEngine::Made {
        ++made;
        return std::make_unique<Reader>();
    });
    QStringList read;
    const auto use = [&] {
        engine.recognize(QImage(1, 1, QImage::Format_RGB32), &engine,
                         [&](const RecognitionOutcome& outcome) { read << std::get<QString>(outcome); });
        return waitUntil([&, before = read.size()] { return read.size() > before; }) && read.last() == u"read"_s;
    };
    EXPECT_EQ(made, 0);
    // Idle for less than the release time twice (the time starts again at each use), then for all of it.
    constexpr int release = OcrEngine::releaseAfterMs;
    for (const auto& [idleMs, madeThen] : {std::pair{0, 1}, {release - 1, 1}, {release - 1, 1}, {release, 2}}) {
        scheduler.advance(idleMs);
        ASSERT_TRUE(use());
        EXPECT_EQ(made, madeThen);
    }
}

// Two screens side by side, the right one at twice the resolution: an area across them comes out at
// the resolution of the screen that holds most of it, white where no screen is.
TEST(ScreenAreaPicker, CropsAcrossScreensAtTheirResolution)
{
    QImage left(100, 50, QImage::Format_RGB32), right(200, 100, QImage::Format_RGB32);
    left.fill(Qt::red);
    right.fill(Qt::blue);
    const QList<ScreenShot> shots{{left, {0, 0, 100, 50}}, {right, {100, 0, 100, 50}}};
    const QImage cut = ScreenAreaPicker::crop(shots, QRect(90, 10, 40, 60));
    ASSERT_EQ(cut.size(), QSize(80, 120));
    EXPECT_EQ(cut.pixelColor(18, 78), QColor(Qt::red));
    EXPECT_EQ(cut.pixelColor(21, 1), QColor(Qt::blue));
    EXPECT_EQ(cut.pixelColor(40, 81), QColor(Qt::white));
    EXPECT_TRUE(ScreenAreaPicker::crop(shots, QRect(300, 0, 10, 10)).isNull());
}

} // namespace
