#include "HotkeyManager.h"

#include "ModifierToken.h"
#include "TextTerms.h"

namespace vorlex {

namespace {

// The physical key of each key name on a US keyboard, as an X keycode (evdev code + 8), so a
// hotkey works whichever layout (Hebrew or English) is active.
struct KeyCode {
    char16_t name;
    quint32 keycode;
};
constexpr KeyCode keyCodeMap[] = {
    {u'a', 38},  {u's', 39}, {u'd', 40}, {u'f', 41}, {u'h', 43}, {u'g', 42},  {u'z', 52}, {u'x', 53},
    {u'c', 54},  {u'v', 55}, {u'b', 56}, {u'q', 24}, {u'w', 25}, {u'e', 26},  {u'r', 27}, {u'y', 29},
    {u't', 28},  {u'1', 10}, {u'2', 11}, {u'3', 12}, {u'4', 13}, {u'6', 15},  {u'5', 14}, {u'=', 21},
    {u'9', 18},  {u'7', 16}, {u'-', 20}, {u'8', 17}, {u'0', 19}, {u']', 35},  {u'o', 32}, {u'u', 30},
    {u'[', 34},  {u'i', 31}, {u'p', 33}, {u'l', 46}, {u'j', 44}, {u'\'', 48}, {u'k', 45}, {u';', 47},
    {u'\\', 51}, {u',', 59}, {u'/', 61}, {u'n', 57}, {u'm', 58}, {u'.', 60},
};
static_assert(std::size(keyCodeMap) == 46);

// The xkb names of the punctuation keys, as the desktop's shortcut service spells keys; a letter or
// a digit is its own name.
constexpr std::pair<char16_t, const char*> keysymNames[] = {
    {u'=', "equal"},     {u'-', "minus"},      {u']', "bracketright"}, {u'[', "bracketleft"}, {u'\'', "apostrophe"},
    {u';', "semicolon"}, {u'\\', "backslash"}, {u',', "comma"},        {u'/', "slash"},       {u'.', "period"},
};

// The platform reports each modifier under the name Qt gives it.
constexpr quint32 keyModifier(Qt::KeyboardModifier modifier)
{
    switch (modifier) {
    case Qt::ShiftModifier:
        return ShiftModifier;
    case Qt::ControlModifier:
        return ControlModifier;
    case Qt::AltModifier:
        return AltModifier;
    case Qt::MetaModifier:
        return SuperModifier;
    default:
        return 0;
    }
}

// The names `vorlex --hotkey`, RunHotkeyAction and the desktop's shortcut service know the actions by,
// with the description the desktop shows next to a shortcut (the tray menu's words).
struct ActionName {
    HotkeyManager::Action action;
    const char* name;
    const char16_t* description;
};
constexpr ActionName actionNames[] = {
    {HotkeyManager::Action::translate, "translate", u"תרגם טקסט שנבחר"},
    {HotkeyManager::Action::layoutConvert, "layout", u"החלף פריסת מקלדת"},
    {HotkeyManager::Action::replaceText, "replace", u"תרגם והחלף טקסט"},
};

// The modifier names the desktop's shortcut service takes (xkb's), in Qt's order of shortcut names.
constexpr std::pair<KeyModifier, const char*> triggerModifiers[] = {
    {ControlModifier, "CTRL"}, {AltModifier, "ALT"}, {ShiftModifier, "SHIFT"}, {SuperModifier, "LOGO"}};

void add(HotkeyManager::Bindings& bindings, const HotkeyConfig& config, HotkeyManager::Action action)
{
    if (config.key.isEmpty())
        return;
    const auto keycode = HotkeyManager::keycodeForKeyName(config.key);
    if (!keycode)
        return;
    bindings.entries[std::size_t(bindings.count++)] = {*keycode, HotkeyManager::modifierMask(config.modifiers), action};
}

} // namespace

std::optional<quint32> HotkeyManager::keycodeForKeyName(const QString& key)
{
    const QString lower = TextTerms::toLower(key);
    if (lower.size() != 1)
        return std::nullopt;
    for (const KeyCode& entry : keyCodeMap) {
        if (entry.name == lower.at(0).unicode())
            return entry.keycode;
    }
    return std::nullopt;
}

std::optional<QString> HotkeyManager::keyNameForKeycode(quint32 keycode)
{
    for (const KeyCode& entry : keyCodeMap) {
        if (entry.keycode == keycode)
            return QString(QChar(entry.name));
    }
    return std::nullopt;
}

std::optional<HotkeyManager::Action> HotkeyManager::actionNamed(const QString& name)
{
    for (const ActionName& entry : actionNames) {
        if (name == QLatin1String(entry.name))
            return entry.action;
    }
    return std::nullopt;
}

QList<GlobalShortcuts::Shortcut> HotkeyManager::shortcuts(const Bindings& bindings)
{
    QList<GlobalShortcuts::Shortcut> list;
    for (int i = 0; i < bindings.count; ++i) {
        const Binding& binding = bindings.entries[std::size_t(i)];
        const ActionName& action = actionNames[std::size_t(binding.action) - 1];
        QStringList trigger;
        for (const auto& [modifier, name] : triggerModifiers) {
            if (binding.modifiers & modifier)
                trigger << QLatin1String(name);
        }
        QString key = keyNameForKeycode(binding.keycode).value_or(QString());
        for (const auto& [name, keysym] : keysymNames) {
            if (key == QChar(name))
                key = QLatin1String(keysym);
        }
        trigger << key;
        list.append({QLatin1String(action.name), QString::fromUtf16(action.description), trigger.join(u'+')});
    }
    return list;
}

quint32 HotkeyManager::modifierMask(const QStringList& modifiers)
{
    quint32 mask = 0;
    for (const QString& name : modifiers) {
        for (const ModifierToken& modifier : modifierTokens) {
            if (name == QLatin1String(modifier.token))
                mask |= keyModifier(modifier.qtModifier);
        }
    }
    return mask;
}

HotkeyManager::Bindings HotkeyManager::compile(const AppSettings& settings)
{
    Bindings bindings;
    add(bindings, settings.hotkeyTranslate, Action::translate);
    add(bindings, settings.hotkeyLayoutConvert, Action::layoutConvert);
    add(bindings, settings.hotkeyReplaceText, Action::replaceText);
    return bindings;
}

std::optional<HotkeyManager::Action> HotkeyManager::match(const Bindings& bindings, const KeyPress& press)
{
    for (int i = 0; i < bindings.count; ++i) {
        const Binding& binding = bindings.entries[std::size_t(i)];
        if (binding.keycode == press.keycode && binding.modifiers == press.modifiers)
            return binding.action;
    }
    return std::nullopt;
}

HotkeyManager::Settings& HotkeyManager::Settings::operator=(std::optional<AppSettings> settings)
{
    value = std::move(settings);
    compiled = value ? compile(*value) : Bindings{};
    if (changed)
        changed();
    return *this;
}

HotkeyManager& HotkeyManager::shared()
{
    static HotkeyManager instance;
    return instance;
}

std::optional<HotkeyManager::Action> HotkeyManager::match(const KeyPress& press) const
{
    return match(currentSettings.bindings(), press);
}

void HotkeyManager::installMonitor(Platform& target)
{
    if (installed)
        return;
    installed = true;
    platform = &target;
    platform->inputObserver().watchKeys([this](const KeyPress& press) { keyPressed(press); });
    if (platform->globalShortcuts()) {
        currentSettings.changed = [this] { bindShortcuts(); };
        bindShortcuts();
    }
}

// The desktop is asked again only when the keys really changed: each bind may show the user a dialog.
void HotkeyManager::bindShortcuts()
{
    QList<GlobalShortcuts::Shortcut> wanted = shortcuts(currentSettings.bindings());
    if (wanted == boundShortcuts)
        return;
    boundShortcuts = wanted;
    platform->globalShortcuts()->bind(wanted, [this](const QString& id) {
        if (const auto action = actionNamed(id))
            fire(*action);
    });
}

// Runs for every key the user types: a few comparisons, nothing allocated unless a hotkey matched.
void HotkeyManager::keyPressed(const KeyPress& press)
{
    if (const auto action = match(press))
        fire(*action);
}

void HotkeyManager::fire(Action action)
{
    platform->scheduler().after(0, &queueContext, [this, action] {
        if (actionHandler)
            actionHandler(action);
    });
}

} // namespace vorlex
