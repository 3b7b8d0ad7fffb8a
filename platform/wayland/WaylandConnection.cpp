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

void globalAdded(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version)
{
    static_cast<std::vector<Global>*>(data)->push_back({name, QString::fromLatin1(interface), version});
}

void globalRemoved(void* data, wl_registry*, uint32_t name)
{
    std::erase_if(*static_cast<std::vector<Global>*>(data), [name](const Global& g) { return g.name == name; });
}

const wl_registry_listener registryListener = {&globalAdded, &globalRemoved};

void syncDone(void* data, wl_callback*, uint32_t)
{
    *static_cast<bool*>(data) = true;
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

WaylandConnection::WaylandConnection(wl_display* connection)
    : display(connection), registry(wl_display_get_registry(connection))
{
    wl_registry_add_listener(registry.get(), &registryListener, &advertised);
}

WaylandConnection::~WaylandConnection() = default;

// The one wait of this layer, at start only and bounded: wl_display_roundtrip would wait forever
// on a compositor that does not answer.
bool WaylandConnection::roundtrip(int timeoutMs)
{
    bool done = false;
    const PlainProxy<wl_callback> callback(wl_display_sync(display.get()));
    wl_callback_add_listener(callback.get(), &syncListener, &done);
    const QDeadlineTimer deadline(timeoutMs);
    while (!done) {
        while (wl_display_prepare_read(display.get()) != 0)
            wl_display_dispatch_pending(display.get());
        wl_display_flush(display.get());
        pollfd descriptor = {wl_display_get_fd(display.get()), POLLIN, 0};
        const int ready = poll(&descriptor, 1, int(deadline.remainingTime()));
        if (ready <= 0) {
            wl_display_cancel_read(display.get());
            if (ready < 0 && errno == EINTR)
                continue;
            break;
        }
        if (wl_display_read_events(display.get()) < 0)
            break;
        wl_display_dispatch_pending(display.get());
    }
    if (!done)
        return false;
    defaultSeat.reset(static_cast<wl_seat*>(bind(wl_seat_interface, 1)));

    notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(display.get()), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
    return true;
}

void* WaylandConnection::bind(const wl_interface& interface, quint32 version) const
{
    for (const Global& global : advertised) {
        if (global.interface == QLatin1String(interface.name))
            return wl_registry_bind(registry.get(), global.name, &interface, std::min(version, global.version));
    }
    return nullptr;
}

wl_seat* WaylandConnection::seat() const
{
    return defaultSeat.get();
}

void WaylandConnection::flush()
{
    if (!failed)
        wl_display_flush(display.get());
}

void WaylandConnection::readEvents()
{
    if (wl_display_prepare_read(display.get()) == 0 && wl_display_read_events(display.get()) < 0)
        failed = true;
    if (!failed && wl_display_dispatch_pending(display.get()) < 0)
        failed = true;
    if (failed || wl_display_get_error(display.get()) != 0) {
        failed = true;
        notifier->setEnabled(false);
        std::fprintf(stderr, "vorlex: the Wayland connection is lost (%s); clipboard and keys stop working\n",
                     std::strerror(wl_display_get_error(display.get())));
        return;
    }
    wl_display_flush(display.get());
}

} // namespace vorlex::wayland
