#include "SettingsWindowController.h"

#include "FakePlatform.h"
#include "HotkeyManager.h"
#include "HotkeyRecorderField.h"
#include "SettingsManager.h"
#include "TestSupport.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <vector>

using namespace vorlex;

namespace {

const QStringList allCodes{"auto", "he", "en", "ar", "ru", "yi", "es", "fr", "de", "it",
                           "pt",   "nl", "pl", "tr", "uk", "zh", "ja", "ko", "hi"};
const QStringList allNames{"זיהוי אוטומטי", "עברית",  "אנגלית",  "ערבית",     "רוסית",   "יידיש",  "ספרדית",
                           "צרפתית",        "גרמנית", "איטלקית", "פורטוגזית", "הולנדית", "פולנית", "טורקית",
                           "אוקראינית",     "סינית",  "יפנית",   "קוריאנית",  "הינדי"};

QStringList itemData(const QComboBox& box)
{
    QStringList result;
    for (int i = 0; i < box.count(); ++i)
        result << box.itemData(i).toString();
    return result;
}

QStringList itemTexts(const QComboBox& box)
{
    QStringList result;
    for (int i = 0; i < box.count(); ++i)
        result << box.itemText(i);
    return result;
}

// Records a hotkey in a field the way the user does: click, then one key press.
void record(HotkeyRecorderField& field, int key, Qt::KeyboardModifiers modifiers, const QString& text, quint32 keycode)
{
    field.startRecording();
    QKeyEvent event(QEvent::KeyPress, key, modifiers, keycode, 0, 0, text);
    QApplication::sendEvent(&field, &event);
}

class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QApplication::setQuitOnLastWindowClosed(false);
        path = SettingsManager::shared().settingsURL();
        removeSettings();
        HotkeyManager::shared().currentSettings = std::nullopt;
    }
    void TearDown() override
    {
        removeSettings();
        HotkeyManager::shared().currentSettings = std::nullopt;
    }
    void removeSettings()
    {
        if (QFileInfo(path).isDir())
            QDir(path).removeRecursively();
        QFile::remove(path);
        QFile::remove(path + QStringLiteral(".bad"));
    }
    void store(const AppSettings& settings) { ASSERT_TRUE(SettingsManager::shared().save(settings)); }

    FakePlatform fake;
    QString path;
};

} // namespace

TEST_F(SettingsWindowTest, DefaultForm)
{
    SettingsWindowController controller(fake);
    QWidget* window = controller.window();
    SettingsViewController* form = controller.viewController();

    EXPECT_EQ(window->windowTitle(), QStringLiteral("הגדרות — Vorlex"));
    EXPECT_EQ(window->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(window->width(), 420);
    EXPECT_GE(window->height(), 520);
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "fixed size";
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window->isVisible()) << "shown only when asked";

    EXPECT_EQ(form->engineSegment->checkedId(), 0);
    EXPECT_EQ(form->engineSegment->button(0)->text(), QStringLiteral("Google Translate"));
    EXPECT_EQ(form->engineSegment->button(1)->text(), QStringLiteral("DeepL"));

    EXPECT_EQ(itemData(*form->sourcePopup), allCodes);
    EXPECT_EQ(itemTexts(*form->sourcePopup), allNames);
    EXPECT_EQ(itemData(*form->targetPopup), allCodes.mid(1));
    EXPECT_EQ(itemTexts(*form->targetPopup), allNames.mid(1));
    EXPECT_EQ(form->targetPopup->currentText(), QStringLiteral("עברית"));
    EXPECT_EQ(form->sourcePopup->currentText(), QStringLiteral("זיהוי אוטומטי"));

    EXPECT_TRUE(form->deepLKeyField->text().isEmpty());
    EXPECT_EQ(form->deepLKeyField->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form->deepLFreeCheck->text(), QStringLiteral("השתמש ב-DeepL Free Tier"));
    EXPECT_TRUE(form->deepLFreeCheck->isChecked());

    EXPECT_EQ(itemData(*form->positionPopup), (QStringList{"cursor", "center", "top-right", "top-left"}));
    EXPECT_EQ(itemTexts(*form->positionPopup),
              (QStringList{"ליד הסמן", "מרכז המסך", "פינה ימנית עליונה", "פינה שמאלית עליונה"}));
    EXPECT_EQ(form->positionPopup->currentIndex(), 0);
    EXPECT_EQ(form->autoCopyCheck->text(), QStringLiteral("העתק תרגום ללוח אוטומטית"));
    EXPECT_FALSE(form->autoCopyCheck->isChecked());

    EXPECT_EQ(form->opacitySlider->minimum(), 700);
    EXPECT_EQ(form->opacitySlider->maximum(), 1000);
    EXPECT_EQ(form->opacitySlider->value(), 980);
    EXPECT_DOUBLE_EQ(form->opacityValue(), 0.98);
    EXPECT_EQ(form->opacityLabel->text(), QStringLiteral("98%"));

    EXPECT_EQ(form->hotkeyTranslateField->label->text(), QStringLiteral("⌘⇧T"));
    EXPECT_EQ(form->hotkeyTranslateField->toolTip(), QStringLiteral("Ctrl+Shift+T"));
    EXPECT_EQ(form->hotkeyLayoutConvertField->label->text(), QStringLiteral("⌘⇧K"));
    EXPECT_EQ(form->hotkeyReplaceTextField->label->text(), QStringLiteral("— (לחץ לשינוי)"));

    EXPECT_EQ(form->saveButton->text(), QStringLiteral("שמור"));
    EXPECT_EQ(form->cancelButton->text(), QStringLiteral("ביטול"));
    EXPECT_TRUE(form->saveErrorLabel->isHidden());

    const QList<QWidget*> controls{static_cast<QWidget*>(form->engineSegment->button(0)),
                                   form->engineSegment->button(1),
                                   form->targetPopup,
                                   form->sourcePopup,
                                   form->deepLKeyField,
                                   form->deepLFreeCheck,
                                   form->positionPopup,
                                   form->autoCopyCheck,
                                   form->opacitySlider,
                                   form->opacityLabel,
                                   form->hotkeyTranslateField,
                                   form->hotkeyLayoutConvertField,
                                   form->hotkeyReplaceTextField,
                                   form->hotkeyTranslateField->clearBtn,
                                   form->saveButton,
                                   form->cancelButton};
    for (QWidget* control : controls)
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
    EXPECT_EQ(form->targetPopup->accessibleName(), QStringLiteral("שפת יעד"));
    EXPECT_EQ(form->hotkeyLayoutConvertField->accessibleName(), QStringLiteral("החלפת פריסה"));
}

TEST_F(SettingsWindowTest, StoredOpacityShowsTruncatedPercentage)
{
    struct Case {
        double stored;
        QString label;
        int sliderValue;
    };
    const Case cases[] = {
        {0.705, "70%", 705},   {0.7, "70%", 700}, {0.999, "99%", 999},
        {1.0, "100%", 1000},   {0.5, "50%", 700}, // held at the slider's minimum, shown as stored
        {1e300, "100%", 1000},                    // no whole percentage: the slider's own
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        AppSettings settings;
        settings.windowOpacity = c.stored;
        store(settings);
        SettingsWindowController controller(fake);
        EXPECT_EQ(controller.viewController()->opacityLabel->text(), c.label);
        EXPECT_EQ(controller.viewController()->opacitySlider->value(), c.sliderValue);
    }
}

TEST_F(SettingsWindowTest, MovingTheSliderUpdatesOnlyTheLabel)
{
    SettingsWindowController controller(fake);
    SettingsViewController* form = controller.viewController();
    struct Case {
        int value;
        QString label;
        double opacity;
    };
    const Case cases[] = {{700, "70%", 0.7}, {1000, "100%", 1.0}, {855, "85%", 0.855}, {709, "70%", 0.709}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        form->opacitySlider->setValue(c.value);
        EXPECT_EQ(form->opacityLabel->text(), c.label);
        EXPECT_DOUBLE_EQ(form->opacityValue(), c.opacity);
    }
    EXPECT_FALSE(QFileInfo::exists(path)) << "nothing is stored before Save";
}

TEST_F(SettingsWindowTest, StoredLanguageAndPositionCodes)
{
    struct Case {
        const char* what;
        QString target, source, position;
        QString targetShown, sourceShown, positionShown;
        QString targetSaved, sourceSaved, positionSaved;
    };
    const Case cases[] = {
        {"known", "ja", "yi", "top-left", "יפנית", "יידיש", "פינה שמאלית עליונה", "ja", "yi", "top-left"},
        {"last entries", "hi", "hi", "top-right", "הינדי", "הינדי", "פינה ימנית עליונה", "hi", "hi", "top-right"},
        {"unknown", "xx", "klingon", "bottom", "עברית", "זיהוי אוטומטי", "ליד הסמן", "he", "auto", "cursor"},
        {"auto is no target", "auto", "", "", "עברית", "זיהוי אוטומטי", "ליד הסמן", "he", "auto", "cursor"},
        {"case matters", "EN", "En", "Center", "עברית", "זיהוי אוטומטי", "ליד הסמן", "he", "auto", "cursor"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AppSettings settings;
        settings.targetLanguage = c.target;
        settings.sourceLanguage = c.source;
        settings.windowPosition = c.position;
        store(settings);
        SettingsWindowController controller(fake);
        SettingsViewController* form = controller.viewController();
        EXPECT_EQ(form->targetPopup->currentText(), c.targetShown);
        EXPECT_EQ(form->sourcePopup->currentText(), c.sourceShown);
        EXPECT_EQ(form->positionPopup->currentText(), c.positionShown);
        form->save();
        const AppSettings saved = SettingsManager::shared().load();
        EXPECT_EQ(saved.targetLanguage, c.targetSaved);
        EXPECT_EQ(saved.sourceLanguage, c.sourceSaved);
        EXPECT_EQ(saved.windowPosition, c.positionSaved);
    }
}

TEST_F(SettingsWindowTest, SaveStoresEveryFieldFromTheControls)
{
    SettingsWindowController controller(fake);
    controller.showWindow();
    SettingsViewController* form = controller.viewController();

    // A file written by other means after the form was filled does not count: the controls do.
    AppSettings other;
    other.deepLApiKey = QStringLiteral("from elsewhere");
    other.windowOpacity = 0.75;
    store(other);

    form->engineSegment->button(1)->click();
    form->targetPopup->setCurrentIndex(1);  // en
    form->sourcePopup->setCurrentIndex(17); // ko
    form->deepLKeyField->setText(QStringLiteral("  abc:fx "));
    form->deepLFreeCheck->setChecked(false);
    form->positionPopup->setCurrentIndex(2);
    form->autoCopyCheck->setChecked(true);
    form->opacitySlider->setValue(850);
    record(*form->hotkeyTranslateField, Qt::Key_Y, Qt::ControlModifier | Qt::AltModifier, QStringLiteral("\x19"), 29);
    record(*form->hotkeyLayoutConvertField, Qt::Key_L, Qt::MetaModifier | Qt::ShiftModifier, QStringLiteral("L"), 46);
    record(*form->hotkeyReplaceTextField, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("\x12"),
           27);

    AppSettings expected;
    expected.engine = TranslationEngine::deepL;
    expected.targetLanguage = QStringLiteral("en");
    expected.sourceLanguage = QStringLiteral("ko");
    expected.deepLApiKey = QStringLiteral("  abc:fx ");
    expected.deepLUseFreeTier = false;
    expected.windowPosition = QStringLiteral("top-right");
    expected.autoCopyToClipboard = true;
    expected.windowOpacity = 0.85;
    expected.hotkeyTranslate = {{QStringLiteral("opt"), QStringLiteral("cmd")}, QStringLiteral("y")};
    expected.hotkeyLayoutConvert = {{QStringLiteral("ctrl"), QStringLiteral("shift")}, QStringLiteral("l")};
    expected.hotkeyReplaceText = {{QStringLiteral("cmd"), QStringLiteral("shift")}, QStringLiteral("r")};

    form->saveButton->click();
    EXPECT_EQ(SettingsManager::shared().load(), expected);
    ASSERT_TRUE(HotkeyManager::shared().currentSettings.has_value());
    EXPECT_EQ(*HotkeyManager::shared().currentSettings, expected);
    EXPECT_FALSE(controller.window()->isVisible());
    EXPECT_TRUE(form->saveErrorLabel->isHidden());
}

TEST_F(SettingsWindowTest, SaveKeepsAStoredOpacityExactlyAndClearedHotkeys)
{
    AppSettings settings;
    settings.windowOpacity = 0.7051;
    store(settings);
    SettingsWindowController controller(fake);
    SettingsViewController* form = controller.viewController();
    form->hotkeyTranslateField->clearBtn->click();
    form->save();
    AppSettings expected = settings;
    expected.hotkeyTranslate = HotkeyConfig{};
    EXPECT_EQ(SettingsManager::shared().load(), expected);
}

TEST_F(SettingsWindowTest, CancelKeepsUnsavedEditsForTheNextOpening)
{
    SettingsWindowController controller(fake);
    SettingsViewController* form = controller.viewController();
    controller.showWindow();
    form->sourcePopup->setCurrentIndex(2);
    form->deepLKeyField->setText(QStringLiteral("draft"));
    record(*form->hotkeyReplaceTextField, Qt::Key_R, Qt::ControlModifier | Qt::AltModifier, QStringLiteral("\x12"), 27);
    form->cancelButton->click();
    EXPECT_FALSE(controller.window()->isVisible());
    EXPECT_FALSE(QFileInfo::exists(path)) << "Cancel stores nothing";
    EXPECT_FALSE(HotkeyManager::shared().currentSettings.has_value());

    controller.showWindow();
    EXPECT_TRUE(controller.window()->isVisible());
    EXPECT_EQ(form->sourcePopup->currentText(), QStringLiteral("אנגלית"));
    EXPECT_EQ(form->deepLKeyField->text(), QStringLiteral("draft"));
    EXPECT_EQ(form->hotkeyReplaceTextField->label->text(), QStringLiteral("⌥⌘R"));

    form->save();
    const AppSettings saved = SettingsManager::shared().load();
    EXPECT_EQ(saved.sourceLanguage, QStringLiteral("en"));
    EXPECT_EQ(saved.deepLApiKey, QStringLiteral("draft"));
    EXPECT_EQ(saved.hotkeyReplaceText,
              (HotkeyConfig{{QStringLiteral("opt"), QStringLiteral("cmd")}, QStringLiteral("r")}));
}

// The store cannot write (here: a folder stands where the file goes, which stops root too).
TEST_F(SettingsWindowTest, FailedSaveKeepsTheWindowAndTheMonitorsBindings)
{
    ASSERT_TRUE(QDir().mkpath(path));
    const AppSettings running; // what the monitor matches now
    HotkeyManager::shared().currentSettings = running;

    SettingsWindowController controller(fake);
    SettingsViewController* form = controller.viewController();
    controller.showWindow();
    record(*form->hotkeyTranslateField, Qt::Key_Y, Qt::ControlModifier, QStringLiteral("\x19"), 29);
    form->save();

    EXPECT_TRUE(controller.window()->isVisible()) << "the edits stay in front of the user";
    EXPECT_FALSE(form->saveErrorLabel->isHidden());
    EXPECT_TRUE(form->saveErrorLabel->text().startsWith(QStringLiteral("לא ניתן לשמור את ההגדרות")));
    EXPECT_TRUE(form->saveErrorLabel->text().contains(path));
    EXPECT_EQ(form->saveErrorLabel->textFormat(), Qt::PlainText);
    EXPECT_TRUE(HotkeyManager::shared().currentSettings == std::optional<AppSettings>(running));
    EXPECT_TRUE(QFileInfo(path).isDir());

    // Closing the window takes the line away; once the file can be written, the same form saves.
    controller.window()->close();
    EXPECT_TRUE(form->saveErrorLabel->isHidden());
    controller.showWindow();
    form->save();
    EXPECT_FALSE(form->saveErrorLabel->isHidden()) << "still failing";
    QDir(path).removeRecursively();
    form->save();
    EXPECT_FALSE(controller.window()->isVisible());
    EXPECT_TRUE(form->saveErrorLabel->isHidden());
    EXPECT_EQ(SettingsManager::shared().load().hotkeyTranslate,
              (HotkeyConfig{{QStringLiteral("cmd")}, QStringLiteral("y")}));
    ASSERT_TRUE(HotkeyManager::shared().currentSettings.has_value());
    EXPECT_EQ(HotkeyManager::shared().currentSettings->hotkeyTranslate.key, QStringLiteral("y"));
}

TEST_F(SettingsWindowTest, SavedHotkeysFireAtOnce)
{
    // The monitor is installed once per process; this is the only test here that uses it.
    static FakePlatform desktop;
    HotkeyManager& hotkeys = HotkeyManager::shared();
    std::vector<HotkeyManager::Action> fired;
    hotkeys.actionHandler = [&fired](HotkeyManager::Action action) { fired.push_back(action); };
    hotkeys.currentSettings = SettingsManager::shared().load();
    hotkeys.installMonitor(desktop);
    auto fires = [&](quint32 keycode, quint32 modifiers) {
        fired.clear();
        desktop.fakeInputObserver.pressKey(KeyPress{keycode, modifiers});
        desktop.fakeScheduler.advance(0);
        return fired;
    };
    using Actions = std::vector<HotkeyManager::Action>;
    const quint32 ctrlShift = ControlModifier | ShiftModifier;
    const quint32 ctrlAlt = ControlModifier | AltModifier;

    SettingsWindowController controller(fake);
    SettingsViewController* form = controller.viewController();
    record(*form->hotkeyTranslateField, Qt::Key_Y, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("\x19"), 29);
    // Recorded on the Hebrew layout: the R key gives resh, the hotkey still names the R key.
    record(*form->hotkeyReplaceTextField, 0x05E8, Qt::ControlModifier | Qt::AltModifier, QStringLiteral("ר"), 27);
    EXPECT_EQ(fires(28, ctrlShift), Actions{HotkeyManager::Action::translate}) << "the saved bindings until Save";
    EXPECT_EQ(fires(27, ctrlAlt), Actions{});

    form->save();
    EXPECT_EQ(fires(28, ctrlShift), Actions{});
    EXPECT_EQ(fires(29, ctrlShift), Actions{HotkeyManager::Action::translate});
    EXPECT_EQ(fires(27, ctrlAlt), Actions{HotkeyManager::Action::replaceText});
    EXPECT_EQ(fires(45, ctrlShift), Actions{HotkeyManager::Action::layoutConvert});
    hotkeys.actionHandler = nullptr;
}

TEST_F(SettingsWindowTest, ShowWindowBringsItToTheFront)
{
    QWidget other; // another window has the focus
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));

    SettingsWindowController controller(fake);
    controller.showWindow();
    EXPECT_EQ(fake.fakeWindowSystem.activations, std::vector<WindowId>{WindowId(controller.window()->winId())});
    EXPECT_TRUE(test::waitUntil([&] { return QApplication::activeWindow() == controller.window(); }));
}

TEST_F(SettingsWindowTest, ReturnSavesAndEscapeCancelsExceptWhileRecording)
{
    SettingsWindowController controller(fake);
    SettingsViewController* form = controller.viewController();
    QWidget* window = controller.window();
    controller.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));

    // While a field records, Return and Escape are its keys: nothing is saved or closed.
    QTest::mouseClick(form->hotkeyTranslateField, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_TRUE(form->hotkeyTranslateField->isRecording());
    ASSERT_EQ(QApplication::focusWidget(), form->hotkeyTranslateField);
    QTest::keyClick(form->hotkeyTranslateField, Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(form->hotkeyTranslateField->isRecording());
    EXPECT_FALSE(QFileInfo::exists(path));
    QTest::keyClick(form->hotkeyTranslateField, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(form->hotkeyTranslateField->isRecording());

    // Idle: Escape cancels, whatever has the focus.
    form->deepLKeyField->setFocus();
    QTest::keyClicks(form->deepLKeyField, QStringLiteral("key"));
    QTest::keyClick(form->deepLKeyField, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(QFileInfo::exists(path));

    // Return saves, also with the focus on Cancel.
    controller.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    form->cancelButton->setFocus();
    QTest::keyClick(form->cancelButton, Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(SettingsManager::shared().load().deepLApiKey, QStringLiteral("key"));
}

// Looks: the form laid out right to left, sections in order, and a screenshot for a person to check.
TEST_F(SettingsWindowTest, WindowScreenshot)
{
    const QFont oldFont = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    {
        SettingsWindowController controller(fake);
        SettingsViewController* form = controller.viewController();
        QWidget* window = controller.window();
        controller.showWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));

        auto top = [&](QWidget* widget) { return widget->mapTo(window, QPoint(0, 0)).y(); };
        const QList<QWidget*> order{static_cast<QWidget*>(form->engineSegment->button(0)),
                                    form->targetPopup,
                                    form->sourcePopup,
                                    form->deepLKeyField,
                                    form->deepLFreeCheck,
                                    form->positionPopup,
                                    form->autoCopyCheck,
                                    form->opacitySlider,
                                    form->hotkeyTranslateField,
                                    form->hotkeyLayoutConvertField,
                                    form->hotkeyReplaceTextField,
                                    form->saveButton};
        for (int i = 1; i < order.size(); ++i)
            EXPECT_LT(top(order.at(i - 1)) + order.at(i - 1)->height(), top(order.at(i)) + 1) << i;

        int rowLabels = 0;
        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (!label->buddy())
                continue;
            ++rowLabels;
            const QRect labelRect(label->mapTo(window, QPoint(0, 0)), label->size());
            const QRect controlRect(label->buddy()->mapTo(window, QPoint(0, 0)), label->buddy()->size());
            SCOPED_TRACE(label->text().toStdString());
            EXPECT_GE(labelRect.left(), controlRect.right()) << "labels on the right of their controls";
            EXPECT_LE(labelRect.right(), window->width());
        }
        EXPECT_EQ(rowLabels, 9);
        EXPECT_GE(top(form->saveButton), top(form->hotkeyReplaceTextField) + form->hotkeyReplaceTextField->height())
            << "the footer stays below the last row";
        EXPECT_GT(form->cancelButton->mapTo(window, QPoint(0, 0)).x(),
                  form->saveButton->mapTo(window, QPoint(0, 0)).x())
            << "mirrored footer: Save at the leading edge's far end";

        form->hotkeyLayoutConvertField->startRecording(); // one field in its recording look
        const QImage shot = window->grab().toImage();
        ASSERT_FALSE(shot.isNull());
        EXPECT_EQ(shot.width(), 420 * shot.devicePixelRatio());
        EXPECT_TRUE(shot.save(QDir(test::outputDir()).filePath(QStringLiteral("settings-window.png"))));
    }
    QApplication::setFont(oldFont);
}
