#pragma once

// Makes the focused application copy its selection and reads what the copy put on the clipboard.
// The hotkeys and the tray menu differ only in timing.

#include "Platform.h"

#include <QString>

#include <functional>
#include <optional>

class QObject;

namespace vorlex {

struct CaptureTiming {
    // From activating the source window to the copy keystroke.
    int activationMs = 0;
    // How long the copy may take to land on the clipboard before the capture gives up.
    int landingTimeoutMs = 250;
};

// Activates source (0: none), sends the copy keystroke and completes as
// soon as the clipboard changes, or when the timeout passes. completion gets the clipboard's text
// when it changed since the call (empty when it holds no text), else nothing. It runs exactly once,
// never before this returns, and not at all once context is gone.
void captureSelection(Platform& platform, QObject* context, WindowId source, CaptureTiming timing,
                      std::function<void(std::optional<QString>)> completion);

} // namespace vorlex
