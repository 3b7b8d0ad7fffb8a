#pragma once

// Owns one thing Xlib handed out (a reply buffer, a connection, a record context) and gives it back
// with its own release call when the holder goes, whichever way the code leaves. release is the
// Xlib function itself (XFree, XCloseDisplay, ...) or a captureless lambda for calls that take more.

#include <utility>

namespace vorlex::x11 {

template <typename Handle, auto release> class X11Resource {
public:
    X11Resource() = default;
    explicit X11Resource(Handle handle) : value(handle) {}
    X11Resource(X11Resource&& other) noexcept : value(std::exchange(other.value, Handle{})) {}
    X11Resource& operator=(X11Resource&& other) noexcept
    {
        reset(std::exchange(other.value, Handle{}));
        return *this;
    }
    ~X11Resource() { reset(); }

    void reset(Handle handle = Handle{})
    {
        if (value)
            release(value);
        value = handle;
    }
    Handle get() const { return value; }
    Handle operator->() const { return value; }
    explicit operator bool() const { return bool(value); }

private:
    Handle value{};
};

} // namespace vorlex::x11
