#include "SettingsWindowController.h"

#include "AutostartEntry.h"
#include "FakePlatform.h"
#include "HotkeyManager.h"
#include "HotkeyRecorderField.h"
#include "SettingsManager.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

#include <optional>

using namespace vorlex;
using namespace Qt::StringLiterals;

namespace {

class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HotkeyManager::shared().applySettings(std::nullopt);
        HotkeyManager::shared().installMonitor(fake);
    }
    void open(const AppSettings& stored = {})
    {
        ASSERT_TRUE(SettingsManager::shared().save(stored));
        controller.emplace(fake, Stores{SettingsManager::shared(), HistoryManager::shared(), HotkeyManager::shared()});
        controller->showWindow();
    }
    template <typename T> T* control(const char* name)
    {
        return controller->window()->findChild<T*>(QLatin1String(name));
    }

    const QString path = SettingsManager::shared().settingsURL();
    FakePlatform fake;
    std::optional<SettingsWindowController> controller;
};

// Cancel keeps the edits for the next opening; Save stores them and rebinds the hotkeys at once, then
// names the newly bound one whose keys another program holds.
TEST_F(SettingsWindowTest, CancelStoresNothingAndSaveStoresTheControls)
{
    AppSettings expected;
    expected.targetLanguage = u"xx"_s; // unknown: the form shows and saves the default
    expected.windowOpacity = 0.7051;   // kept exactly while the slider is not moved
    fake.fakeHotkeys.takenActions = {u"screen"_s};
    open(expected);
    EXPECT_EQ(control<QLabel>("opacityLabel")->text(), u"70%"_s);
    control<QButtonGroup>("engineSegment")->button(1)->click();
    control<QLineEdit>("deepLKeyField")->setText(u" abc:fx "_s);
    control<HotkeyRecorderField>("hotkeyReplaceTextField")->setConfig({{"opt", "cmd"}, "r"});
    control<HotkeyRecorderField>("hotkeyTranslateScreenField")->setConfig({{"cmd"}, "o"});
    control<QPushButton>("cancelButton")->click();
    EXPECT_FALSE(controller->window()->isVisible());
    EXPECT_EQ(SettingsManager::shared().load(), expected);
    EXPECT_TRUE(fake.fakeHotkeys.binds.last().isEmpty()) << "nothing was bound";

    controller->showWindow();
    control<QPushButton>("saveButton")->click();
    expected.engine = TranslationEngine::deepL;
    expected.targetLanguage = u"he"_s;
    expected.deepLApiKey = u" abc:fx "_s;
    expected.hotkeyReplaceText = {{"opt", "cmd"}, "r"};
    expected.hotkeyTranslateScreen = {{"cmd"}, "o"};
    EXPECT_EQ(SettingsManager::shared().load(), expected);
    EXPECT_EQ(fake.fakeHotkeys.binds.last(), HotkeyManager::hotkeys(expected));
    EXPECT_TRUE(control<QLabel>("hotkeyTranslateScreenFieldTaken")->isVisible());
}

// Start at login is the autostart entry's presence, read at every opening. What Save cannot write (a
// file stands where the autostart folder goes, a folder where the entry or the settings file goes:
// root too is stopped) is named in red under the form, which stays open; the hotkeys keep the bindings on disk,
// and the entry is left alone.
// A hotkey whose keys another program holds is named under its field at the opening and after Save,
// which keeps the window open too; recording other keys there takes the line away.
TEST_F(SettingsWindowTest, SaveWritesTheAutostartEntryOrNamesWhatItCouldNotWrite)
{
    enum Blocked { nothing, layoutHotkey, entry, autostart, settings }; // the failures last
    const std::tuple<bool, bool, Blocked, bool> cases[] = {
        // The entry is there at the opening, the box is checked, what cannot be written, the entry after Save.
        {true, false, nothing, false}, {false, true, nothing, true},    {false, false, layoutHotkey, false},
        {false, true, entry, false},   {false, true, autostart, false}, {false, true, settings, false},
    };
    const QString folder = QFileInfo(AutostartEntry::path()).path();
    open();
    QLabel* line = control<QLabel>("saveErrorLabel");
    QLabel* taken = control<QLabel>("hotkeyLayoutConvertFieldTaken");
    const auto shown = [&](QLabel* label) { return label->isVisibleTo(controller->window()); };
    for (const auto& [before, checked, blocked, after] : cases) {
        SCOPED_TRACE(testing::Message() << before << checked << blocked);
        fake.fakeHotkeys.takenActions = blocked == layoutHotkey ? QStringList{u"layout"_s} : QStringList();
        controller->window()->close();
        EXPECT_TRUE(line->isHidden()) << "the line goes with the window";
        ASSERT_TRUE(QFile::remove(folder) || QDir(folder).removeRecursively()); // the file a row left, or the folder
        ASSERT_TRUE(blocked == autostart ? QFile(folder).open(QIODevice::WriteOnly)
                                         : AutostartEntry(u"/v"_s).setInstalled(before));
        ASSERT_TRUE(blocked != entry || QDir().mkpath(AutostartEntry::path() + u"/x"_s));
        ASSERT_TRUE(blocked != settings || (QFile::remove(path) && QDir().mkpath(path)));
        const qsizetype binds = fake.fakeHotkeys.binds.size();
        controller->showWindow();
        EXPECT_EQ(shown(taken), blocked == layoutHotkey);
        EXPECT_EQ(control<QCheckBox>("startAtLoginCheck")->isChecked(), before);
        control<QCheckBox>("startAtLoginCheck")->setChecked(checked);
        control<QPushButton>("saveButton")->click();
        EXPECT_EQ(AutostartEntry::isInstalled(), after);
        EXPECT_EQ(controller->window()->isVisible(), blocked != nothing);
        EXPECT_EQ(shown(line), blocked > layoutHotkey);
        EXPECT_EQ(line->text().startsWith(u"לא ניתן לשמור את ההגדרות"_s) &&
                      line->text().contains(blocked == settings ? path : AutostartEntry::path()),
                  blocked > layoutHotkey);
        EXPECT_EQ(shown(taken), blocked == layoutHotkey);
        EXPECT_EQ(fake.fakeHotkeys.binds.size() > binds, blocked != settings) << "rebound";
        if (blocked == layoutHotkey) {
            control<HotkeyRecorderField>("hotkeyLayoutConvertField")->findChild<QToolButton*>(u"clearBtn"_s)->click();
            EXPECT_FALSE(shown(taken)) << "it named the old keys";
        }
    }
}

} // namespace
