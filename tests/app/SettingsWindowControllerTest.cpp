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

#include <gtest/gtest.h>

#include <array>
#include <optional>

using namespace vorlex;
using namespace Qt::StringLiterals;

namespace {

class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir(path).removeRecursively();
        HotkeyManager::shared().applySettings(std::nullopt);
    }
    QWidget* open(const AppSettings& stored = {})
    {
        EXPECT_TRUE(SettingsManager::shared().save(stored));
        controller.emplace(fake);
        controller->showWindow();
        return controller->window();
    }
    template <typename T> T* control(const char* name)
    {
        return controller->window()->findChild<T*>(QLatin1String(name));
    }

    const QString path = SettingsManager::shared().settingsURL();
    FakePlatform fake;
    std::optional<SettingsWindowController> controller;
};

// Cancel keeps the edits for the next opening; Save stores them and rebinds the hotkeys at once.
TEST_F(SettingsWindowTest, CancelStoresNothingAndSaveStoresTheControls)
{
    AppSettings expected;
    expected.targetLanguage = u"xx"_s; // unknown: the form shows and saves the default
    expected.windowOpacity = 0.7051;   // kept exactly while the slider is not moved
    open(expected);
    EXPECT_EQ(control<QLabel>("opacityLabel")->text(), u"70%"_s);
    control<QButtonGroup>("engineSegment")->button(1)->click();
    control<QLineEdit>("deepLKeyField")->setText(u" abc:fx "_s);
    control<HotkeyRecorderField>("hotkeyReplaceTextField")->setConfig({{"opt", "cmd"}, "r"});
    control<QPushButton>("cancelButton")->click();
    EXPECT_FALSE(controller->window()->isVisible());
    EXPECT_EQ(SettingsManager::shared().load(), expected);
    EXPECT_FALSE(HotkeyManager::shared().currentSettings().has_value());

    controller->showWindow();
    control<QPushButton>("saveButton")->click();
    expected.engine = TranslationEngine::deepL;
    expected.targetLanguage = u"he"_s;
    expected.deepLApiKey = u" abc:fx "_s;
    expected.hotkeyReplaceText = {{"opt", "cmd"}, "r"};
    EXPECT_EQ(SettingsManager::shared().load(), expected);
    EXPECT_TRUE(HotkeyManager::shared().currentSettings() == std::optional(expected));
}

// The store cannot write (a folder stands where the file goes, which stops root too).
TEST_F(SettingsWindowTest, AFailedSaveShowsTheRedLineAndKeepsTheWindowAndTheBindings)
{
    open();
    ASSERT_TRUE(QFile::remove(path) && QDir().mkpath(path));
    HotkeyManager::shared().applySettings(AppSettings{});
    control<HotkeyRecorderField>("hotkeyTranslateField")->setConfig({{"cmd"}, "y"});
    control<QPushButton>("saveButton")->click();
    QLabel* line = control<QLabel>("saveErrorLabel");
    EXPECT_TRUE(controller->window()->isVisible());
    EXPECT_FALSE(line->isHidden());
    EXPECT_EQ(line->textFormat(), Qt::PlainText);
    EXPECT_TRUE(line->text().startsWith(u"לא ניתן לשמור את ההגדרות"_s) && line->text().contains(path));
    EXPECT_GT(line->palette().color(QPalette::WindowText).red(), 150);
    EXPECT_TRUE(HotkeyManager::shared().currentSettings() == std::optional(AppSettings{}));
    controller->window()->close();
    EXPECT_TRUE(line->isHidden()) << "the line goes with the window";
}

// Start at login is the autostart entry's presence, read at every opening; a file standing where
// its folder goes makes the save fail (root too).
TEST_F(SettingsWindowTest, StartAtLoginWritesOrRemovesTheAutostartEntry)
{
    // The entry is there at the opening, the box is checked, a file stands where its folder goes, the
    // entry is there after Save.
    using Row = std::array<bool, 4>;
    const QString folder = QFileInfo(AutostartEntry::path()).path();
    open();
    for (const auto& [before, checked, blocked, after] :
         {Row{true, false, false, false}, Row{false, true, false, true}, Row{false, true, true, false}}) {
        SCOPED_TRACE(testing::Message() << before << checked << blocked);
        controller->window()->close();
        ASSERT_TRUE(QDir(folder).removeRecursively());
        ASSERT_TRUE(blocked ? QFile(folder).open(QIODevice::WriteOnly) : AutostartEntry(u"/v"_s).setInstalled(before));
        controller->showWindow();
        EXPECT_EQ(control<QCheckBox>("startAtLoginCheck")->isChecked(), before);
        control<QCheckBox>("startAtLoginCheck")->setChecked(checked);
        control<QPushButton>("saveButton")->click();
        EXPECT_EQ(AutostartEntry::isInstalled(), after);
        EXPECT_EQ(controller->window()->isVisible(), blocked);
        EXPECT_EQ(control<QLabel>("saveErrorLabel")->text().contains(AutostartEntry::path()), blocked);
    }
}

} // namespace
