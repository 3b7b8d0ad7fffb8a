#pragma once

// Reads the PRIMARY selection (what is highlighted now) as text, on an X connection of its own
// served from the event loop: its owner may be slow or hung, and the UI thread never waits for it.

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QObject;

namespace vorlex::x11 {

// Asks PRIMARY's owner on displayName for UTF-8 text; done gets it, or nothing when the owner refuses,
// the display cannot be reached, or timeoutMs passes first. done runs once on the UI thread, never
// before this returns, and not at all once context is gone.
void readPrimarySelection(const QByteArray& displayName, int timeoutMs, QObject* context,
                          std::function<void(std::optional<QString>)> done);

} // namespace vorlex::x11
