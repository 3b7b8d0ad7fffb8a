#pragma once

// The desktop layer of the running program on an X11 session.

#include "Platform.h"

#include <memory>

namespace vorlex {

// Needs a QGuiApplication connected to an X server (the xcb platform plugin).
std::unique_ptr<Platform> createX11Platform();

} // namespace vorlex
