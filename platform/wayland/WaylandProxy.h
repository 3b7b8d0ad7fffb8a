#pragma once

// Owns one Wayland protocol object and destroys it with its own destructor request when the holder
// goes, whichever way the code leaves: WaylandProxy<zwp_virtual_keyboard_v1,
// zwp_virtual_keyboard_v1_destroy>. get(), reset() and release() as std::unique_ptr has them.
// PlainProxy is for objects whose interface has no destructor request (wl_registry): the proxy is
// all there is to destroy. Holders go before the connection their objects live on.

#include <wayland-client-core.h>

#include <memory>

namespace vorlex::wayland {

template <auto destroy> struct DestroyProxy {
    template <typename Proxy> void operator()(Proxy* proxy) const { destroy(proxy); }
};

struct DestroyPlainProxy {
    template <typename Proxy> void operator()(Proxy* proxy) const
    {
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(proxy));
    }
};

template <typename Proxy, auto destroy> using WaylandProxy = std::unique_ptr<Proxy, DestroyProxy<destroy>>;
template <typename Proxy> using PlainProxy = std::unique_ptr<Proxy, DestroyPlainProxy>;

} // namespace vorlex::wayland
