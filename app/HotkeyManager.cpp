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

void HotkeyManager::applySettings(std::optional<AppSettings> newSettings)
{
    settings = std::move(newSettings);
    if (platform)
        bind();
}

void HotkeyManager::installMonitor(Platform& target)
{
    if (platform)
        return;
    platform = &target;
    bind();
}

void HotkeyManager::bind()
{
    Hotkeys* desktop = platform->hotkeys();
    QList<Hotkey> wanted = settings ? hotkeys(*settings) : QList<Hotkey>();
    if (!desktop || wanted == bound)
        return;
    bound = wanted;
    desktop->bind(wanted, [this](const QString& name) {
        if (const auto action = actionNamed(name))
            fire(*action);
    });
}

void HotkeyManager::fire(Action action)
{
    platform->scheduler().after(0, &queueContext, [this, action] {
        if (actionHandler)
            actionHandler(action);
    });
}

} // namespace vorlex
