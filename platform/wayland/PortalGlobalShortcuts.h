#pragma once

// The hotkeys through the desktop's GlobalShortcuts portal (KDE Plasma, GNOME 48+, Hyprland).

#include "PortalSession.h"

#include "Platform.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QVariantMap>

#include <memory>

namespace vorlex::wayland {

// One entry of the portal's a(sa{sv}) shortcut lists.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

// A hotkey's keys as the portal takes a preferred trigger: xkb's modifier and key names joined by '+'
// ("CTRL+SHIFT+t", "ALT+LOGO+equal").
QString preferredTrigger(const Hotkey& hotkey);

// Each bind of other hotkeys opens a new portal session (the portal binds a session's shortcuts only
// once) and closes the one before; the same hotkeys again open one only where the last is gone. A
// hotkey is reported by its action, its description shown by the desktop. A session the desktop
// ends, or whose shortcuts it drops, is opened and bound again (once until one of its hotkeys fires).
// A refusal is reported once and the portal is not asked again in this run: the user binds
// `vorlex --hotkey NAME` instead. An unanswered bind is given up after timeoutMs; the next asks
// again, once.
std::unique_ptr<Hotkeys> createPortalGlobalShortcuts(const QDBusConnection& bus, int timeoutMs = portalAnswerMs);

} // namespace vorlex::wayland

Q_DECLARE_METATYPE(vorlex::wayland::PortalShortcut)
