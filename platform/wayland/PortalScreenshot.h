#pragma once

// Pictures of the screen through the desktop's Screenshot portal: GNOME and KDE let the user pick the
// area in their own dialog; elsewhere (wlroots) the portal gives the whole screen.

#include "PortalSession.h"

#include "Platform.h"

#include <QDBusConnection>
#include <QString>

#include <memory>

namespace vorlex::wayland {

// Whether the desktop's portal picks an area in its interactive dialog (GNOME, KDE), by
// XDG_CURRENT_DESKTOP; wlroots portals at most choose an output there.
bool desktopPicksArea(const QString& currentDesktop);

// desktop: XDG_CURRENT_DESKTOP. The user may take up to timeoutMs with the dialog.
std::unique_ptr<ScreenPictures> createPortalScreenshot(const QDBusConnection& bus, const QString& desktop,
                                                       int timeoutMs = portalAnswerMs);

} // namespace vorlex::wayland
