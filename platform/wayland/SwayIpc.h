#pragma once

// The window sway has focused, asked of sway over its IPC socket ($SWAYSOCK) from the event loop.

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QObject;

namespace vorlex::wayland {

struct SwayWindow {
    QString appId;         // a Wayland window's app_id; empty for an X window, or when no window has the focus
    bool xwayland = false; // an X window, on XWayland
    qint64 pid = -1;       // its process, where sway knows it
    bool operator==(const SwayWindow&) const = default;
};

// The focused window in the tree sway's GET_TREE answers with (no window has the focus: an empty
// SwayWindow), or nothing when the answer is not such a tree.
std::optional<SwayWindow> focusedWindowIn(const QByteArray& tree);

// Asks sway at socketPath for its tree; answer gets the focused window, or nothing when sway does not
// answer within timeoutMs. answer runs once on the UI thread, never before this returns, and not at
// all once context is gone.
void askFocusedWindow(const QString& socketPath, int timeoutMs, QObject* context,
                      std::function<void(std::optional<SwayWindow>)> answer);

} // namespace vorlex::wayland
