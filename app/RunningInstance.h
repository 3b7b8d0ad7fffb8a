#pragma once

// The running instance as a later launch sees it: the owner of the well-known name on the session
// bus. QtCore and QtDBus only, so the launcher can hand over without loading the rest.

#include "LaunchRequest.h"

#include <QDBusConnection>

#include <variant>

namespace vorlex {

class RunningInstance {
public:
    static constexpr const char* serviceName = "org.vorlex.Vorlex";
    static constexpr const char* objectPath = "/org/vorlex/Vorlex";
    static constexpr const char* interfaceName = "org.vorlex.Vorlex";

    // The request the command line makes, or the exit status 2 after the usage message.
    static std::variant<LaunchRequest, int> readArguments(int argc, char* argv[]);
    // A launch as its command line asks: the request when this process is to become the instance,
    // else its exit status, 2 after the usage message, 0 once the running instance has the request.
    static std::variant<LaunchRequest, int> handOver(int argc, char* argv[]);

    // What a later launch does before it builds anything: when another process owns the name it is
    // handed the request (if there is one) and true comes back, meaning "exit now". False when there
    // is no bus or nobody owns the name (or the owner vanished meanwhile): start normally. Costs one
    // connection to the bus and a call, nothing more.
    static bool handOver(const LaunchRequest& request);

    // Hands request to the owner of the name on bus: true when it took it (or is hung), false when
    // nobody owns the name or its owner went away.
    static bool forward(QDBusConnection bus, const LaunchRequest& request);
};

} // namespace vorlex
