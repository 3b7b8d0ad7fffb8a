#include "TranslationWindowController.h"

#include "AppFixture.h"
#include "FakePlatform.h"
#include "SettingsManager.h"
#include "TestSupport.h"

#include <QWindow>

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

// Qt coordinates: y points down. Where the popup does not fit, its right and top edges win.
TEST(TranslationWindowPlacementTest, OriginForEachPositionSetting)
{
    const QRect screen(0, 0, 1440, 875), offset(100, 50, 800, 600), small(100, 50, 300, 100);
    const std::tuple<const char*, QString, QPoint, QRect, QPoint> cases[] = {
        {"12 px right of and below the pointer", u"cursor"_s, {500, 400}, screen, {512, 412}},
        {"near the bottom-right corner: pushed back inside", u"cursor"_s, {1439, 874}, screen, {960, 575}},
        {"left of and above an offset area", u"cursor"_s, {0, 0}, offset, {100, 50}},
        {"larger than the area: right and top edges", u"cursor"_s, {900, 700}, small, {-80, 50}},
        {"top-right keeps 20 px", u"top-right"_s, {5, 5}, offset, {400, 70}},
        {"top-left keeps 20 px, never clamped", u"top-left"_s, {5, 5}, small, {120, 70}},
        {"anything else is the centre", u"Cursor"_s, {5, 5}, offset, {260, 200}},
    };
    for (const auto& [name, position, pointer, available, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(TranslationWindowController::windowOrigin(position, pointer, available, {480, 300}), expected);
    }
}

// Each presentation applies the opacity of that time; a click outside hides, one on the popup does not;
// closing the window stops the watching.
TEST(TranslationWindowControllerTest, PresentAndClickOutside)
{
    FakePlatform platform;
    TranslationWindowController controller(platform, {}, test::sharedStores());
    QWidget* panel = controller.window();
    AppSettings settings;
    for (const double opacity : {0.5, 0.8}) {
        settings.windowOpacity = opacity;
        ASSERT_TRUE(SettingsManager::shared().save(settings));
        controller.show(TranslationMode::keyboardLayout, u"akuo"_s, 0);
        ASSERT_TRUE(test::waitUntil([&] { return panel->windowHandle()->isExposed(); }));
        EXPECT_NEAR(panel->windowOpacity(), opacity, 0.005);
        platform.fakeInputObserver.pressButton({MouseButton::Left, panel->frameGeometry().center()});
        EXPECT_TRUE(panel->isVisible());
        platform.fakeInputObserver.pressButton(
            {MouseButton::Right, panel->frameGeometry().bottomRight() + QPoint(5, 5)});
        EXPECT_FALSE(panel->isVisible());
    }
    EXPECT_EQ(platform.onAllDesktops, (std::vector<WindowId>{panel->winId(), panel->winId()}));
    panel->close();
    EXPECT_EQ(platform.fakeInputObserver.buttonWatcherCount(), 0) << "the watcher ends with the window";
}

} // namespace
