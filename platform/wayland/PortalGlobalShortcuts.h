#pragma once

// The hotkeys through the desktop's GlobalShortcuts portal (KDE Plasma, GNOME 48+, Hyprland).

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

// Each bind opens a new portal session (the portal binds a session's shortcuts only once) and
// closes the one before. A refusal, or a portal without the interface, is reported once and the
// portal is not asked again in this run: the user binds `vorlex --hotkey NAME` instead.
std::unique_ptr<GlobalShortcuts> createPortalGlobalShortcuts(const QDBusConnection& bus);

} // namespace vorlex::wayland

Q_DECLARE_METATYPE(vorlex::wayland::PortalShortcut)
