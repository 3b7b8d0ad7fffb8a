#pragma once

// The desktop layer of the running program on an X11 session.

#include "Platform.h"

#include <QString>

#include <memory>

typedef struct _XDisplay Display;

namespace vorlex {

struct X11PlatformOptions {
    // Observe button presses through XInput2 where the server has it; false goes straight to the
    // RECORD fallback.
    bool preferXInput2 = true;
    // Why X11 was chosen; when set, the start line says so on stderr, with any X extension missing.
    QString reason;
};

// Qt's own X connection (X11, or XWayland under a Wayland compositor); null when Qt runs on none.
Display* qtDisplay();

// Needs a QGuiApplication connected to an X server (the xcb platform plugin).
std::unique_ptr<Platform> createX11Platform(X11PlatformOptions options = {});

} // namespace vorlex
