#include "TranslationWindowController.h"

#include "FakePlatform.h"
#include "HistoryManager.h"
#include "LocalHttpServer.h"
#include "SettingsManager.h"
#include "TestSupport.h"
#include "TranslationService.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>

using namespace vorlex;
using vorlex::test::LocalHttpServer;

namespace {

TEST(TranslationWindowPlacementTest, OriginsInQtCoordinates)
{
    struct Case {
        const char* name;
        QString position;
        QPoint pointer;
        QRect available;
        QSize frame;
        QPoint expected;
    };
    const QRect screen(0, 0, 1440, 875);
    const QRect offset(100, 50, 800, 600); // a second screen, or a panel at the top and the left
    const QSize popup(480, 300);
    const QString cursor = QStringLiteral("cursor");
    const Case cases[] = {
        {"cursor: 12 px right of and below the pointer", cursor, {500, 400}, screen, popup, {512, 412}},
        {"cursor 5 px from the right edge: right edges touch", cursor, {1435, 400}, screen, popup, {960, 412}},
        {"cursor near the bottom: bottom edges touch", cursor, {500, 870}, screen, popup, {512, 575}},
        {"cursor in the bottom-right corner", cursor, {1439, 874}, screen, popup, {960, 575}},
        {"cursor left of and above the area", cursor, {0, 0}, offset, popup, {100, 50}},
        {"cursor inside an offset area", cursor, {300, 300}, offset, popup, {312, 312}},
        {"larger than the area: right and top edges win", cursor, {10, 10}, QRect(0, 0, 400, 200), popup, {-80, 0}},
        {"larger than an offset area", cursor, {900, 700}, QRect(100, 50, 300, 100), popup, {-80, 50}},
        {"top-right keeps 20 px", QStringLiteral("top-right"), {5, 5}, screen, popup, {940, 20}},
        {"top-right of an offset area", QStringLiteral("top-right"), {5, 5}, offset, popup, {400, 70}},
        {"top-left keeps 20 px", QStringLiteral("top-left"), {900, 900}, screen, popup, {20, 20}},
        {"top-left of an offset area", QStringLiteral("top-left"), {5, 5}, offset, popup, {120, 70}},
        {"top-left is not clamped", QStringLiteral("top-left"), {5, 5}, QRect(0, 0, 400, 200), popup, {20, 20}},
        {"center", QStringLiteral("center"), {5, 5}, screen, popup, {480, 287}},
        {"center of an offset area", QStringLiteral("center"), {5, 5}, offset, popup, {260, 200}},
        {"case matters", QStringLiteral("Cursor"), {5, 5}, screen, popup, {480, 287}},
        {"spacing matters", QStringLiteral("top-left "), {5, 5}, screen, popup, {480, 287}},
        {"empty", QString(), {5, 5}, screen, popup, {480, 287}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TranslationWindowController::windowOrigin(c.position, c.pointer, c.available, c.frame), c.expected);
    }
}

class TranslationWindowControllerTest : public testing::Test {
protected:
    void SetUp() override
    {
        useSettings([](AppSettings& s) { s.windowPosition = QStringLiteral("top-left"); });
        HistoryManager::shared().clear();
    }
    void TearDown() override { HistoryManager::shared().clear(); }

    void useSettings(const std::function<void(AppSettings&)>& change)
    {
        AppSettings settings;
        change(settings);
        ASSERT_TRUE(SettingsManager::shared().save(settings));
    }

    QWidget* panel() const { return controller.window(); }
    bool waitExposed() const
    {
        return test::waitUntil([this] { return panel()->windowHandle() && panel()->windowHandle()->isExposed(); });
    }

    FakePlatform platform;
    TranslationWindowController controller{platform};
};

TEST_F(TranslationWindowControllerTest, TheWindowIsAResizableToolWindowAboveTheOthers)
{
    QWidget* window = panel();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorlex"));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(window->size(), QSize(480, 300));
    EXPECT_EQ(window->minimumSize(), QSize(360, 240));
    EXPECT_LT(window->minimumSize().width(), window->maximumSize().width()); // resizable
    EXPECT_EQ(window->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(controller.translationVC->parentWidget(), window);
    EXPECT_EQ(controller.outsideClickMonitor, 0);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(TranslationWindowControllerTest, PresentShowsPlacesActivatesAndAppliesTheOpacityEachTime)
{
    useSettings([](AppSettings& s) {
        s.windowPosition = QStringLiteral("top-left");
        s.windowOpacity = 0.5;
    });
    controller.translationVC->set(TranslationMode::keyboardLayout, QStringLiteral("akuo"));
    controller.present();
    ASSERT_TRUE(waitExposed());
    EXPECT_TRUE(panel()->isVisible());
    EXPECT_NEAR(panel()->windowOpacity(), 0.5, 0.005);
    const WindowId id = panel()->winId();
    EXPECT_EQ(platform.fakeWindowSystem.activations, std::vector<WindowId>{id});
    EXPECT_EQ(platform.fakeWindowSystem.onAllDesktops, std::vector<WindowId>{id});
    EXPECT_NE(controller.outsideClickMonitor, 0);
    EXPECT_EQ(platform.fakeInputObserver.buttonWatcherCount(), 1);

    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    ASSERT_NE(screen, nullptr);
    const QPoint corner = screen->availableGeometry().topLeft() + QPoint(20, 20);
    EXPECT_TRUE(test::waitUntil([&] { return panel()->frameGeometry().topLeft() == corner; }))
        << panel()->frameGeometry().x() << "," << panel()->frameGeometry().y();

    // A changed setting shows at the next presentation, not before.
    useSettings([](AppSettings& s) {
        s.windowPosition = QStringLiteral("top-right");
        s.windowOpacity = 0.9;
    });
    EXPECT_NEAR(panel()->windowOpacity(), 0.5, 0.005);
    controller.present();
    EXPECT_NEAR(panel()->windowOpacity(), 0.9, 0.005);
    EXPECT_EQ(platform.fakeWindowSystem.activations.size(), 2u);
    EXPECT_EQ(platform.fakeInputObserver.buttonWatcherCount(), 1); // still the one watcher
    const int right = screen->availableGeometry().x() + screen->availableGeometry().width();
    EXPECT_TRUE(test::waitUntil(
        [&] { return panel()->frameGeometry().topLeft().x() + panel()->frameGeometry().width() == right - 20; }));
}

TEST_F(TranslationWindowControllerTest, APressOutsideHidesThePopupAndAPressOnOurWindowsDoesNot)
{
    controller.present();
    ASSERT_TRUE(waitExposed());
    FakeInputObserver& input = platform.fakeInputObserver;

    input.pressButton({MouseButton::Left, panel()->frameGeometry().center()});
    EXPECT_TRUE(panel()->isVisible());

    QWidget other; // the settings window, say
    other.setGeometry(900, 300, 200, 120);
    other.show();
    ASSERT_TRUE(test::waitUntil([&] { return other.windowHandle() && other.windowHandle()->isExposed(); }));
    input.pressButton({MouseButton::Right, other.frameGeometry().center()});
    EXPECT_TRUE(panel()->isVisible());
    other.hide();

    input.pressButton({MouseButton::Right, QPoint(1200, 700)});
    EXPECT_FALSE(panel()->isVisible());
    EXPECT_EQ(controller.outsideClickMonitor != 0, true);      // hiding is not closing
    input.pressButton({MouseButton::Left, QPoint(1200, 700)}); // already hidden: nothing happens
    EXPECT_FALSE(panel()->isVisible());

    controller.present();
    EXPECT_TRUE(panel()->isVisible());
    EXPECT_EQ(input.buttonWatcherCount(), 1);
}

TEST_F(TranslationWindowControllerTest, ClosingRemovesTheWatcherAndTheNextPresentInstallsOne)
{
    controller.present();
    ASSERT_TRUE(waitExposed());
    const int first = controller.outsideClickMonitor;
    EXPECT_NE(first, 0);

    panel()->close(); // the title bar's close button
    EXPECT_EQ(controller.outsideClickMonitor, 0);
    EXPECT_EQ(platform.fakeInputObserver.buttonWatcherCount(), 0);

    controller.present();
    EXPECT_NE(controller.outsideClickMonitor, 0);
    EXPECT_NE(controller.outsideClickMonitor, first);
    EXPECT_EQ(platform.fakeInputObserver.buttonWatcherCount(), 1);
}

TEST_F(TranslationWindowControllerTest, ReplaceWritesTheClipboardHidesActivatesThenPastes)
{
    struct Case {
        const char* name;
        WindowId source;
        QStringList expectedLog;
    };
    const Case cases[] = {
        {"with a source window",
         42,
         {QStringLiteral("setText שלום"), QStringLiteral("activate 42"), QStringLiteral("paste")}},
        {"without one", 0, {QStringLiteral("setText שלום"), QStringLiteral("paste")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        controller.translationVC->set(TranslationMode::keyboardLayout, QStringLiteral("akuo"));
        controller.translationVC->sourceApp = c.source;
        controller.present();
        platform.log.clear();

        controller.translationVC->replaceButton->click();
        EXPECT_EQ(platform.log, QStringList{QStringLiteral("setText שלום")});
        EXPECT_FALSE(panel()->isVisible()); // hidden at once
        platform.fakeScheduler.advance(49);
        EXPECT_EQ(platform.log.size(), 1);
        platform.fakeScheduler.advance(1); // 0.05 s: the source window comes back
        platform.fakeScheduler.advance(149);
        EXPECT_FALSE(platform.log.contains(QStringLiteral("paste")));
        platform.fakeScheduler.advance(1); // a further 0.15 s: the paste
        EXPECT_EQ(platform.log, c.expectedLog);
        EXPECT_EQ(platform.fakeKeySender.sent.count(QStringLiteral("paste")), 1);
        EXPECT_EQ(platform.fakeClipboard.text(), QStringLiteral("שלום")); // the result stays there
        platform.fakeKeySender.sent.clear();
    }
}

TEST_F(TranslationWindowControllerTest, ReplaceWithNoResultDoesNothing)
{
    controller.translationVC->set(TranslationMode::translate, QString()); // fails: nothing to paste
    ASSERT_TRUE(test::waitUntil([this] { return controller.translationVC->showsError(); }));
    controller.translationVC->sourceApp = 42;
    controller.present();
    platform.log.clear();
    EXPECT_FALSE(controller.translationVC->replaceButton->isEnabled());
    controller.translationVC->replaceOriginalText();
    platform.fakeScheduler.advance(1000);
    EXPECT_TRUE(panel()->isVisible());
    EXPECT_TRUE(platform.log.isEmpty());
}

TEST_F(TranslationWindowControllerTest, ScreenshotOfAHebrewTranslation)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    const TranslationEndpoints saved = TranslationService::endpoints();
    TranslationEndpoints local = saved;
    local.google = server.baseUrl();
    TranslationService::setEndpoints(local);
    server.enqueueReply(LocalHttpServer::Reply::googleTranslation(
        QStringLiteral("שלום עולם! זהו תרגום לדוגמה של משפט באנגלית.\nHello stays left to right."),
        QStringLiteral("en")));
    useSettings([](AppSettings& s) {
        s.windowPosition = QStringLiteral("center");
        s.windowOpacity = 1.0;
    });

    // A fixed font, so the picture does not depend on the machine's defaults.
    const QFont savedFont = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    {
        FakePlatform screenshotPlatform;
        TranslationWindowController popup(screenshotPlatform);
        popup.translationVC->set(TranslationMode::translate, QStringLiteral("Hello world! This is a sample sentence."));
        popup.present();
        QWidget* window = popup.window();
        ASSERT_TRUE(test::waitUntil([&] { return window->windowHandle()->isExposed(); }));
        ASSERT_TRUE(test::waitUntil([&] { return popup.translationVC->spinner->isHidden(); }));
        EXPECT_TRUE(popup.translationVC->textView->toPlainText().startsWith(QStringLiteral("שלום עולם")));
        test::waitUntil([] { return false; }, 300); // let the window manager draw its frame
        // "זוהה: EN" fits its 140 px: it must not be cut.
        EXPECT_EQ(popup.translationVC->sourceLabel->text(), QStringLiteral("זוהה: EN"));

        const QRect frame = window->frameGeometry();
        QImage shot = window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage();
        if (shot.isNull())
            shot = window->grab().toImage();
        ASSERT_FALSE(shot.isNull());
        const QString path = QDir(test::outputDir()).filePath(QStringLiteral("popup-hebrew-translation.png"));
        EXPECT_TRUE(shot.save(path)) << path.toStdString();

        // Something was drawn: the picture is not a single colour.
        const QImage content = window->grab().toImage();
        const QRgb first = content.pixel(0, 0);
        bool varied = false;
        for (int y = 0; y < content.height() && !varied; y += 3)
            for (int x = 0; x < content.width() && !varied; x += 3)
                varied = content.pixel(x, y) != first;
        EXPECT_TRUE(varied);
    }
    QApplication::setFont(savedFont);
    TranslationService::setEndpoints(saved);
}

} // namespace
