#include "WaylandConnection.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <wayland-client.h>

#include <poll.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vorlex::wayland {

namespace {

void globalAdded(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto& globals = *static_cast<std::vector<Global>*>(data);
    globals.push_back({name, QString::fromLatin1(interface), version});
    Q_UNUSED(registry);
}

void globalRemoved(void* data, wl_registry*, uint32_t name)
{
    std::erase_if(*static_cast<std::vector<Global>*>(data), [name](const Global& g) { return g.name == name; });
}

const wl_registry_listener registryListener = {&globalAdded, &globalRemoved};

void syncDone(void* data, wl_callback* callback, uint32_t)
{
    *static_cast<bool*>(data) = true;
    wl_callback_destroy(callback);
}

const wl_callback_listener syncListener = {&syncDone};

} // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::open(int timeoutMs)
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return nullptr;
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    if (!connection->roundtrip(timeoutMs))
        return nullptr;
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* connection) : display(connection)
{
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &advertised);
}

WaylandConnection::~WaylandConnection()
{
    delete notifier;
    if (defaultSeat)
        wl_seat_destroy(defaultSeat);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
}

// The one wait of this layer, at start only and bounded: wl_display_roundtrip would wait forever
// on a compositor that does not answer.
bool WaylandConnection::roundtrip(int timeoutMs)
{
    bool done = false;
    wl_callback* callback = wl_display_sync(display);
    wl_callback_add_listener(callback, &syncListener, &done);
    const QDeadlineTimer deadline(timeoutMs);
    while (!done) {
        while (wl_display_prepare_read(display) != 0)
            wl_display_dispatch_pending(display);
        wl_display_flush(display);
        pollfd descriptor = {wl_display_get_fd(display), POLLIN, 0};
        const int ready = poll(&descriptor, 1, int(deadline.remainingTime()));
        if (ready <= 0) {
            wl_display_cancel_read(display);
            if (ready < 0 && errno == EINTR)
                continue;
            break;
        }
        if (wl_display_read_events(display) < 0)
            break;
        wl_display_dispatch_pending(display);
    }
    if (!done) {
        wl_callback_destroy(callback);
        return false;
    }
    defaultSeat = static_cast<wl_seat*>(bind(wl_seat_interface, 1));

    notifier = new QSocketNotifier(wl_display_get_fd(display), QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, this, [this] { readEvents(); });
    return true;
}

void* WaylandConnection::bind(const wl_interface& interface, quint32 version) const
{
    for (const Global& global : advertised) {
        if (global.interface == QLatin1String(interface.name))
            return wl_registry_bind(registry, global.name, &interface, std::min(version, global.version));
    }
    return nullptr;
}

void WaylandConnection::flush()
{
    if (!failed)
        wl_display_flush(display);
}

bool WaylandConnection::alive() const
{
    return !failed;
}

void WaylandConnection::readEvents()
{
    if (wl_display_prepare_read(display) == 0 && wl_display_read_events(display) < 0)
        failed = true;
    if (!failed && wl_display_dispatch_pending(display) < 0)
        failed = true;
    if (failed || wl_display_get_error(display) != 0) {
        failed = true;
        notifier->setEnabled(false);
        std::fprintf(stderr, "vorlex: the Wayland connection is lost (%s); clipboard and keys stop working\n",
                     std::strerror(wl_display_get_error(display)));
        return;
    }
    wl_display_flush(display);
}

} // namespace vorlex::wayland
