#include "HotkeyManager.h"

#include "ModifierToken.h"
#include "TextTerms.h"

namespace vorlex {

namespace {

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

// The KeyModifier bits of modifier tokens (see ModifierToken.h); other names are ignored.
quint32 modifierMask(const QStringList& modifiers)
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

} // namespace

QList<Hotkey> HotkeyManager::hotkeys(const AppSettings& settings)
{
    const HotkeyConfig* configs[] = {&settings.hotkeyTranslate, &settings.hotkeyLayoutConvert,
                                     &settings.hotkeyReplaceText,
                                     &settings.hotkeyTranslateScreen}; // in the order of hotkeyActionNames
    QList<Hotkey> list;
    for (std::size_t i = 0; i < std::size(hotkeyActionNames); ++i) {
        const QString key = TextTerms::toLower(configs[i]->key); // "T" and "t" are the same key
        if (isHotkeyKey(key))
            list.append({QLatin1String(hotkeyActionNames[i].name), QString::fromUtf16(hotkeyActionNames[i].description),
                         key, modifierMask(configs[i]->modifiers)});
    }
    return list;
}

HotkeyManager& HotkeyManager::shared()
{
    static HotkeyManager instance;
    return instance;
}

HotkeyManager::~HotkeyManager()
{
    // The platform's handler calls this manager: it must not outlive it.
    if (Hotkeys* desktop = desktopHotkeys())
        desktop->bind({}, {});
}

void HotkeyManager::applySettings(std::optional<AppSettings> newSettings)
{
    settings = std::move(newSettings);
    bind();
}

void HotkeyManager::installMonitor(Platform& target)
{
    if (platformAlive)
        return;
    platform = &target;
    platformAlive = target.lifetime();
    bind();
}

QList<HotkeyManager::Action> HotkeyManager::takenHotkeys() const
{
    QList<Action> taken;
    if (const Hotkeys* desktop = desktopHotkeys()) {
        for (const QString& name : desktop->taken()) {
            if (const auto action = actionNamed(name))
                taken << *action;
        }
    }
    return taken;
}

void HotkeyManager::bind()
{
    if (Hotkeys* desktop = desktopHotkeys())
        desktop->bind(settings ? hotkeys(*settings) : QList<Hotkey>(), [this](const QString& name) {
            if (const auto action = actionNamed(name))
                fire(*action);
        });
}

void HotkeyManager::fire(Action action)
{
    // Only the platform's own handler fires, so the platform is there.
    platform->scheduler().after(0, &queueContext, [this, action] {
        if (actionHandler)
            actionHandler(action);
    });
}

} // namespace vorlex
