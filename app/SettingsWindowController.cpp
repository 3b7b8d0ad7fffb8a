#include "SettingsWindowController.h"

#include "AutostartEntry.h"
#include "HotkeyManager.h"
#include "HotkeyRecorderField.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vorlex {

namespace {

constexpr int sliderScale = 1000; // the slider counts thousandths of full opacity
constexpr double opacityMinimum = 0.7;
constexpr double opacityMaximum = 1.0;
constexpr int windowWidth = 420;
constexpr int windowMinimumHeight = 520;

QList<LanguageEntry> allLanguages()
{
    return {
        {QStringLiteral("auto"), QStringLiteral("זיהוי אוטומטי")}, {QStringLiteral("he"), QStringLiteral("עברית")},
        {QStringLiteral("en"), QStringLiteral("אנגלית")},          {QStringLiteral("ar"), QStringLiteral("ערבית")},
        {QStringLiteral("ru"), QStringLiteral("רוסית")},           {QStringLiteral("yi"), QStringLiteral("יידיש")},
        {QStringLiteral("es"), QStringLiteral("ספרדית")},          {QStringLiteral("fr"), QStringLiteral("צרפתית")},
        {QStringLiteral("de"), QStringLiteral("גרמנית")},          {QStringLiteral("it"), QStringLiteral("איטלקית")},
        {QStringLiteral("pt"), QStringLiteral("פורטוגזית")},       {QStringLiteral("nl"), QStringLiteral("הולנדית")},
        {QStringLiteral("pl"), QStringLiteral("פולנית")},          {QStringLiteral("tr"), QStringLiteral("טורקית")},
        {QStringLiteral("uk"), QStringLiteral("אוקראינית")},       {QStringLiteral("zh"), QStringLiteral("סינית")},
        {QStringLiteral("ja"), QStringLiteral("יפנית")},           {QStringLiteral("ko"), QStringLiteral("קוריאנית")},
        {QStringLiteral("hi"), QStringLiteral("הינדי")},
    };
}

QList<LanguageEntry> withoutAuto(const QList<LanguageEntry>& list)
{
    QList<LanguageEntry> result;
    for (const LanguageEntry& entry : list) {
        if (entry.code != QLatin1String("auto"))
            result << entry;
    }
    return result;
}

QList<PositionEntry> allPositions()
{
    return {
        {QStringLiteral("cursor"), QStringLiteral("ליד הסמן")},
        {QStringLiteral("center"), QStringLiteral("מרכז המסך")},
        {QStringLiteral("top-right"), QStringLiteral("פינה ימנית עליונה")},
        {QStringLiteral("top-left"), QStringLiteral("פינה שמאלית עליונה")},
    };
}

QFont fontOfSize(int pixels, bool bold = false)
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// A red line of plain text, hidden until something goes wrong.
QLabel* errorLabel(QWidget* parent, const QString& text, int pixels)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(fontOfSize(pixels));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0xC0, 0x1C, 0x28));
    label->setPalette(palette);
    label->hide();
    return label;
}

// The index of the first entry whose key equals value, if any.
template <typename List, typename Key> std::optional<int> indexOf(const List& list, Key key, const QString& value)
{
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).*key == value)
            return i;
    }
    return std::nullopt;
}

// The accessible name of a control: its row label without the colon.
QString nameFromLabel(const QString& text)
{
    QString name = text;
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name;
}

// "70%" for 0.705: the hundredfold truncated toward zero.
std::optional<QString> percentText(double value)
{
    const double percent = std::trunc(value * 100);
    // Only a hand-edited file holds a value whose hundredfold is no whole number of ours.
    if (!std::isfinite(percent) || percent < double(std::numeric_limits<int>::min()) ||
        percent > double(std::numeric_limits<int>::max()))
        return std::nullopt;
    return QString::number(int(percent)) + QLatin1Char('%');
}

} // namespace

SettingsViewController::SettingsViewController(QWidget* parent)
    : QWidget(parent), languages(allLanguages()), positions(allPositions()), targetLanguages(withoutAuto(languages))
{
    buildForm();
    populateFromSettings();
}

void SettingsViewController::buildForm()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* form = new QGridLayout;
    form->setContentsMargins(16, 20, 20, 12);
    form->setHorizontalSpacing(6);
    form->setVerticalSpacing(8);
    form->setColumnMinimumWidth(0, 148);
    form->setColumnMinimumWidth(1, 230);
    form->setColumnStretch(1, 1);
    outer->addLayout(form);

    int row = 0;
    auto heading = [&](const QString& text) {
        if (row > 0)
            form->setRowMinimumHeight(row++, 6); // sections stand apart a little more than rows
        auto* label = new QLabel(text, this);
        label->setTextFormat(Qt::PlainText);
        label->setFont(fontOfSize(12, true));
        label->setForegroundRole(QPalette::PlaceholderText); // the secondary label colour
        form->addWidget(label, row++, 0, 1, 2);
    };
    auto labelled = [&](const QString& text, QWidget* control, int height = 26) {
        auto* label = new QLabel(text, this);
        label->setTextFormat(Qt::PlainText);
        label->setFont(fontOfSize(13));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter); // toward the control, also right to left
        label->setBuddy(control);
        label->setFixedHeight(height);
        if (control->accessibleName().isEmpty())
            control->setAccessibleName(nameFromLabel(text));
        form->addWidget(label, row, 0);
        return label;
    };
    auto controlRow = [&](const QString& text, QWidget* control) {
        labelled(text, control);
        control->setFixedHeight(26);
        form->addWidget(control, row++, 1);
    };
    auto checkRow = [&](QCheckBox* check) {
        check->setFont(fontOfSize(13));
        check->setAccessibleName(check->text());
        form->addWidget(check, row++, 1);
    };

    heading(QStringLiteral("מנוע תרגום"));
    auto* segments = new QWidget(this);
    auto* segmentLayout = new QHBoxLayout(segments);
    segmentLayout->setContentsMargins(0, 0, 0, 0);
    segmentLayout->setSpacing(0);
    engineSegment = new QButtonGroup(this);
    engineSegment->setExclusive(true);
    const QStringList engineNames{QStringLiteral("Google Translate"), QStringLiteral("DeepL")};
    for (int id = 0; id < engineNames.size(); ++id) {
        auto* segment = new QPushButton(engineNames.at(id), segments);
        segment->setCheckable(true);
        segment->setAutoDefault(false);
        segment->setAccessibleName(engineNames.at(id));
        engineSegment->addButton(segment, id);
        segmentLayout->addWidget(segment, 1);
    }
    engineSegment->button(0)->setChecked(true);
    controlRow(QStringLiteral("מנוע:"), segments);

    heading(QStringLiteral("שפות"));
    targetPopup = new QComboBox(this);
    controlRow(QStringLiteral("שפת יעד:"), targetPopup);
    sourcePopup = new QComboBox(this);
    controlRow(QStringLiteral("שפת מקור:"), sourcePopup);

    heading(QStringLiteral("DeepL (אופציונלי)"));
    deepLKeyField = new QLineEdit(this);
    deepLKeyField->setEchoMode(QLineEdit::Password);
    deepLKeyField->setLayoutDirection(Qt::LeftToRight); // keys are Latin text
    controlRow(QStringLiteral("מפתח API:"), deepLKeyField);
    deepLFreeCheck = new QCheckBox(QStringLiteral("השתמש ב-DeepL Free Tier"), this);
    deepLFreeCheck->setChecked(true);
    checkRow(deepLFreeCheck);

    heading(QStringLiteral("תצוגה"));
    positionPopup = new QComboBox(this);
    controlRow(QStringLiteral("מיקום חלונית:"), positionPopup);
    autoCopyCheck = new QCheckBox(QStringLiteral("העתק תרגום ללוח אוטומטית"), this);
    checkRow(autoCopyCheck);

    opacitySlider = new QSlider(Qt::Horizontal, this);
    opacitySlider->setRange(int(std::lround(opacityMinimum * sliderScale)),
                            int(std::lround(opacityMaximum * sliderScale)));
    opacitySlider->setSingleStep(10);
    opacitySlider->setPageStep(50);
    opacitySlider->setValue(int(std::lround(opacity * sliderScale)));
    opacityLabel = new QLabel(QStringLiteral("98%"), this);
    opacityLabel->setTextFormat(Qt::PlainText);
    opacityLabel->setFont(fontOfSize(13));
    opacityLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    opacityLabel->setFixedWidth(36);
    opacityLabel->setAccessibleName(QStringLiteral("שקיפות"));
    auto* opacityBox = new QHBoxLayout;
    opacityBox->setSpacing(6);
    opacityBox->addWidget(opacitySlider, 1);
    opacityBox->addWidget(opacityLabel);
    labelled(QStringLiteral("שקיפות:"), opacitySlider, 22);
    form->addLayout(opacityBox, row++, 1);
    startAtLoginCheck = new QCheckBox(QStringLiteral("הפעל עם הכניסה למערכת"), this);
    checkRow(startAtLoginCheck);
    connect(opacitySlider, &QSlider::valueChanged, this, [this](int value) {
        opacity = double(value) / sliderScale;
        opacityLabel->setText(percentText(opacity).value_or(QString()));
    });

    heading(QStringLiteral("קיצורי מקשים (לחץ כדי לשנות)"));
    auto hotkeyRow = [&](const QString& text, HotkeyAction action) {
        auto* field = new HotkeyRecorderField(this);
        controlRow(text, field);
        QLabel* taken = errorLabel(this, QStringLiteral("הקיצור תפוס על ידי תוכנה אחרת"), 11);
        form->addWidget(taken, row++, 1);
        connect(field, &HotkeyRecorderField::edited, taken, &QWidget::hide); // it names the old keys
        hotkeyRows.push_back({action, field, taken});
        return field;
    };
    hotkeyTranslateField = hotkeyRow(QStringLiteral("תרגום:"), HotkeyAction::translate);
    hotkeyLayoutConvertField = hotkeyRow(QStringLiteral("החלפת פריסה:"), HotkeyAction::layoutConvert);
    hotkeyReplaceTextField = hotkeyRow(QStringLiteral("החלפת טקסט:"), HotkeyAction::replaceText);
    hotkeyTranslateScreenField = hotkeyRow(QStringLiteral("תרגום מהמסך:"), HotkeyAction::translateScreen);

    saveErrorLabel = errorLabel(this, QString(), 12);
    saveErrorLabel->setContentsMargins(16, 0, 20, 8);
    outer->addWidget(saveErrorLabel);
    outer->addStretch(1);

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    outer->addWidget(separator);

    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(16, 10, 16, 10);
    footer->setSpacing(8);
    footer->addStretch(1);
    cancelButton = new QPushButton(QStringLiteral("ביטול"), this);
    saveButton = new QPushButton(QStringLiteral("שמור"), this);
    for (QPushButton* button : {cancelButton, saveButton}) {
        button->setMinimumSize(74, 28);
        button->setAutoDefault(false); // Return always means Save, whichever button has the focus
        button->setAccessibleName(button->text());
        footer->addWidget(button);
    }
    saveButton->setDefault(true);
    outer->addLayout(footer);
    connect(saveButton, &QPushButton::clicked, this, &SettingsViewController::save);
    connect(cancelButton, &QPushButton::clicked, this, &SettingsViewController::cancel);

    // Window-wide keys, like the buttons' key equivalents. A recording hotkey field overrides them.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &SettingsViewController::save);
    }
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &SettingsViewController::cancel);

    for (const PositionEntry& entry : positions)
        positionPopup->addItem(entry.label, entry.value);
    for (const LanguageEntry& entry : targetLanguages)
        targetPopup->addItem(entry.name, entry.code);
    for (const LanguageEntry& entry : languages)
        sourcePopup->addItem(entry.name, entry.code);

    // The names tests find the controls by.
    const std::pair<QObject*, const char*> named[] = {
        {engineSegment, "engineSegment"},
        {targetPopup, "targetPopup"},
        {sourcePopup, "sourcePopup"},
        {deepLKeyField, "deepLKeyField"},
        {deepLFreeCheck, "deepLFreeCheck"},
        {positionPopup, "positionPopup"},
        {autoCopyCheck, "autoCopyCheck"},
        {startAtLoginCheck, "startAtLoginCheck"},
        {opacitySlider, "opacitySlider"},
        {opacityLabel, "opacityLabel"},
        {hotkeyTranslateField, "hotkeyTranslateField"},
        {hotkeyLayoutConvertField, "hotkeyLayoutConvertField"},
        {hotkeyReplaceTextField, "hotkeyReplaceTextField"},
        {hotkeyTranslateScreenField, "hotkeyTranslateScreenField"},
        {saveErrorLabel, "saveErrorLabel"},
        {saveButton, "saveButton"},
        {cancelButton, "cancelButton"},
    };
    for (const auto& [object, name] : named)
        object->setObjectName(QLatin1String(name));
    for (const HotkeyRow& hotkey : hotkeyRows)
        hotkey.takenLabel->setObjectName(hotkey.field->objectName() + QStringLiteral("Taken"));
}

void SettingsViewController::populateFromSettings()
{
    const AppSettings settings = SettingsManager::shared().load();
    engineSegment->button(settings.engine == TranslationEngine::deepL ? 1 : 0)->setChecked(true);
    if (const auto index = indexOf(targetLanguages, &LanguageEntry::code, settings.targetLanguage))
        targetPopup->setCurrentIndex(*index);
    if (const auto index = indexOf(languages, &LanguageEntry::code, settings.sourceLanguage))
        sourcePopup->setCurrentIndex(*index);
    deepLKeyField->setText(settings.deepLApiKey);
    deepLFreeCheck->setChecked(settings.deepLUseFreeTier);
    if (const auto index = indexOf(positions, &PositionEntry::value, settings.windowPosition))
        positionPopup->setCurrentIndex(*index);
    autoCopyCheck->setChecked(settings.autoCopyToClipboard);
    setOpacityValue(settings.windowOpacity);
    opacityLabel->setText(percentText(settings.windowOpacity).value_or(opacityLabel->text()));
    hotkeyTranslateField->setConfig(settings.hotkeyTranslate);
    hotkeyLayoutConvertField->setConfig(settings.hotkeyLayoutConvert);
    hotkeyReplaceTextField->setConfig(settings.hotkeyReplaceText);
    hotkeyTranslateScreenField->setConfig(settings.hotkeyTranslateScreen);
}

void SettingsViewController::setOpacityValue(double value)
{
    // Like a slider of real numbers: held within its range, otherwise exact.
    opacity = std::isnan(value) ? opacityMinimum : std::clamp(value, opacityMinimum, opacityMaximum);
    const QSignalBlocker blocker(opacitySlider);
    opacitySlider->setValue(int(std::lround(opacity * sliderScale)));
    opacityLabel->setText(percentText(opacity).value_or(QString()));
}

AppSettings SettingsViewController::recordFromControls() const
{
    AppSettings record = SettingsManager::shared().load();
    record.engine = engineSegment->checkedId() == 1 ? TranslationEngine::deepL : TranslationEngine::google;
    const int target = targetPopup->currentIndex();
    record.targetLanguage =
        target >= 0 && target < targetLanguages.size() ? targetLanguages.at(target).code : QStringLiteral("he");
    const int source = sourcePopup->currentIndex();
    record.sourceLanguage =
        source >= 0 && source < languages.size() ? languages.at(source).code : QStringLiteral("auto");
    record.deepLApiKey = deepLKeyField->text();
    record.deepLUseFreeTier = deepLFreeCheck->isChecked();
    const int position = positionPopup->currentIndex();
    record.windowPosition =
        position >= 0 && position < positions.size() ? positions.at(position).value : QStringLiteral("cursor");
    record.autoCopyToClipboard = autoCopyCheck->isChecked();
    record.windowOpacity = opacity;
    record.hotkeyTranslate = hotkeyTranslateField->config();
    record.hotkeyLayoutConvert = hotkeyLayoutConvertField->config();
    record.hotkeyReplaceText = hotkeyReplaceTextField->config();
    record.hotkeyTranslateScreen = hotkeyTranslateScreenField->config();
    return record;
}

void SettingsViewController::save()
{
    const AppSettings record = recordFromControls();
    SettingsManager& store = SettingsManager::shared();
    if (!store.save(record)) {
        // The monitor keeps the bindings that are on disk, and the user keeps the edits.
        showSaveFailure(store.settingsURL());
        return;
    }
    HotkeyManager::shared().applySettings(record);
    // The entry names the program that is running now: the installed one, when started as installed.
    if (!AutostartEntry(QCoreApplication::applicationFilePath()).setInstalled(startAtLoginCheck->isChecked())) {
        showSaveFailure(AutostartEntry::path());
        return;
    }
    saveErrorLabel->hide();
    // Saved, but a hotkey that will not fire is told here first.
    if (!showTakenHotkeys())
        window()->close();
}

bool SettingsViewController::showTakenHotkeys()
{
    const QList<HotkeyAction> taken = HotkeyManager::shared().takenHotkeys();
    for (const HotkeyRow& hotkey : hotkeyRows)
        hotkey.takenLabel->setVisible(taken.contains(hotkey.action));
    return !taken.isEmpty();
}

void SettingsViewController::showSaveFailure(const QString& path)
{
    saveErrorLabel->setText(QStringLiteral("לא ניתן לשמור את ההגדרות בקובץ ") + QChar(0x2066) + path + QChar(0x2069));
    saveErrorLabel->show();
}

void SettingsViewController::cancel()
{
    window()->close();
}

void SettingsViewController::showEvent(QShowEvent* event)
{
    // Not settings: the entry's presence and the keys other programs hold are the state, and either
    // may have changed since the window was last open.
    if (!event->spontaneous()) {
        startAtLoginCheck->setChecked(AutostartEntry::isInstalled());
        showTakenHotkeys();
    }
    QWidget::showEvent(event);
}

void SettingsViewController::hideEvent(QHideEvent* event)
{
    // The line tells about the last attempt; it goes with the window however that is closed.
    saveErrorLabel->hide();
    QWidget::hideEvent(event);
}

SettingsWindowController::SettingsWindowController(Platform& platform)
    : desktop(platform),
      // A tool window: no taskbar entry, like every window of a tray program.
      panel(std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                   Qt::WindowCloseButtonHint))
{
    panel->setWindowTitle(QStringLiteral("הגדרות — Vorlex"));
    panel->setLayoutDirection(Qt::RightToLeft);
    auto* layout = new QVBoxLayout(panel.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new SettingsViewController(panel.get()));

    const int height =
        std::max(windowMinimumHeight, layout->heightForWidth(windowWidth) > 0 ? layout->heightForWidth(windowWidth)
                                                                              : layout->sizeHint().height());
    panel->setFixedSize(windowWidth, height);

    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        panel->move(area.center() - QPoint(windowWidth / 2, height / 2));
    }
}

SettingsWindowController::~SettingsWindowController() = default;

void SettingsWindowController::showWindow()
{
    panel->show();
    panel->raise();
    panel->activateWindow();
    desktop.windowSystem().activate(panel->winId());
}

} // namespace vorlex
