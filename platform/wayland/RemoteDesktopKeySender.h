#pragma once

// Ctrl+C / Ctrl+V through the RemoteDesktop portal, for compositors without a virtual keyboard for
// clients (KWin, mutter).

#include "PortalSession.h"

#include "Platform.h"

#include <QDBusConnection>
#include <QString>

#include <memory>

namespace vorlex::wayland {

// One keyboard session, opened at the first keystroke (the first time the desktop asks the user),
// kept with persist_mode 2; its restore token is stored at tokenPath, readable only by the owner.
// A refusal is remembered for the rest of the run and reported once: the user is never asked in a
// loop. A stored token the portal no longer takes is dropped and the user asked again, once. A
// request unanswered after timeoutMs gives up that keystroke: the next one asks again, once.
std::unique_ptr<KeySender> createRemoteDesktopKeySender(const QDBusConnection& bus, const QString& tokenPath,
                                                        int timeoutMs = portalAnswerMs);

} // namespace vorlex::wayland
