#include "DBusService.h"

#include "AppFixture.h"
#include "SettingsWindowController.h"
#include "TextLimit.h"

#include <QTextEdit>

using namespace vorlex;
using namespace vorlex::test;

namespace {

class DBusServiceTest : public AppFixture {};

// Each method reaches its action; the rules of each are the runner's and the launch request's (a
// launch hands its own request to the same runner). The bus itself is crossed by the journeys: links
// and later launches, `vorlex --hotkey` on Wayland. A text beyond the bound, however it comes, is
// only the popup's error line (replace too): neither kept, run nor laid out.
TEST_F(DBusServiceTest, EachMethodReachesItsAction)
{
    using enum TranslationMode;
    const QString big = u"ש"_s.repeated(maximumTextBytes / 2) + u'x'; // one byte too many as UTF-8
    const std::tuple<void (DBusService::*)(const QString&), QString, Shown> cases[] = {
        {&DBusService::TranslateText, u"text"_s, {translate, u"text"_s, 5}},
        {&DBusService::ConvertKeyboardLayout, u"akuo"_s, {keyboardLayout, u"akuo"_s, 5}},
        {&DBusService::OpenURL, u"vorlex:///url%20text"_s, {translate, u"url text"_s, 5}},
        {&DBusService::HandleArgument, u"vorlex:?text=argument"_s, {translate, u"argument"_s, 5}},
        {&DBusService::RunHotkeyAction, u"layout"_s, {keyboardLayout, u"selected"_s, 5}},
        {&DBusService::TranslateText, QString(), {keyboardLayout, u"selected"_s, 5}}, // an empty text does nothing
        {&DBusService::HandleArgument, u"--settings"_s, {keyboardLayout, u"selected"_s, 5}},
        {&DBusService::ConvertKeyboardLayout, big, {keyboardLayout, {}, 5}},
        {&DBusService::TranslateAndReplace, big, {translate, {}, 5}},
    };
    platform.selectText(u"selected"_s);
    for (const auto& [method, argument, shown] : cases) {
        SCOPED_TRACE(argument.left(20));
        platform.active = 5;
        (services.*method)(argument);
        platform.fakeScheduler.advance(1000);
        EXPECT_EQ(popup(), shown);
    }
    EXPECT_EQ(runner.popup()->window()->findChild<QTextEdit*>(u"textView"_s)->toPlainText(),
              u"שגיאה: הטקסט ארוך מדי (מעל 2 MB)"_s);
    EXPECT_TRUE(runner.settingsWindow() && runner.settingsWindow()->window()->isVisible());
    services.TranslateAndReplace(u"שלום"_s);
    EXPECT_TRUE(waitUntil([&] { return platform.log.contains(u"setText translated"_s); }));
}

} // namespace
