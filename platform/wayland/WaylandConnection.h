#pragma once

// The program's own connection to the Wayland compositor (apart from Qt's, which runs on XWayland),
// read on the UI thread through a QSocketNotifier.

#include "WaylandProxy.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

struct wl_registry;
struct wl_seat;
struct wl_interface;
class QSocketNotifier;

namespace vorlex::wayland {

// One global the compositor advertises.
struct Global {
    quint32 name = 0;
    QString interface;
    quint32 version = 0;
    bool operator==(const Global&) const = default;
};

class WaylandConnection : public QObject {
public:
    // Connects to WAYLAND_DISPLAY and learns the globals, waiting at most timeoutMs for the
    // compositor's answer. Returns nullptr when there is no compositor to talk to.
    static std::unique_ptr<WaylandConnection> open(int timeoutMs);
    ~WaylandConnection() override;

    const std::vector<Global>& globals() const { return advertised; }
    // Binds the named global at min(version, its version), or returns nullptr when it is not offered.
    void* bind(const wl_interface& interface, quint32 version) const;
    // The first seat, or null where the compositor has none.
    wl_seat* seat() const;

    // Sends what was queued; call after each batch of requests.
    void flush();

private:
    explicit WaylandConnection(wl_display* connection);
    bool roundtrip(int timeoutMs);
    void readEvents();

    // Declared first, so it goes last: every proxy below lives on it.
    WaylandProxy<wl_display, wl_display_disconnect> display;
    std::unique_ptr<QSocketNotifier> notifier;
    PlainProxy<wl_registry> registry;
    PlainProxy<wl_seat> defaultSeat;
    std::vector<Global> advertised;
    bool failed = false;
};

} // namespace vorlex::wayland
