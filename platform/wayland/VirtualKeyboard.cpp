#include "VirtualKeyboard.h"

#include "WaylandConnection.h"

#include "virtual-keyboard-unstable-v1-client.h"

#include <QElapsedTimer>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace vorlex::wayland {

namespace {

// Only the keys we send, on a US layout; xkb keycodes are evdev codes + 8. <I255> is never sent: GTK 3
// looks its shortcuts up on every keycode but the keymap's highest, so V must not be that one.
constexpr char keymap[] = R"(xkb_keymap {
xkb_keycodes "vorlex" {
    minimum = 8; maximum = 255; <LCTL> = 37; <LFSH> = 50; <AB03> = 54; <AB04> = 55; <I255> = 255;
};
xkb_types "vorlex" { include "complete" };
xkb_compatibility "vorlex" { include "complete" };
xkb_symbols "vorlex" {
    key <LCTL> { [ Control_L ] };
    key <LFSH> { [ Shift_L ] };
    key <AB03> { [ c, C ] };
    key <AB04> { [ v, V ] };
    modifier_map Control { <LCTL> };
    modifier_map Shift { <LFSH> };
};
};
)";

constexpr quint32 evdevLeftCtrl = 29;
constexpr quint32 evdevC = 46;
constexpr quint32 evdevV = 47;
constexpr quint32 controlMask = 1u << 2; // the Control modifier's index in every xkb keymap
constexpr quint32 xkbV1Format = 1;

class ProtocolKeyboard final : public KeySender {
public:
    ProtocolKeyboard(WaylandConnection& wayland, zwp_virtual_keyboard_manager_v1* keyboards)
        : connection(wayland), manager(keyboards),
          keyboard(zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboards, wayland.seat()))
    {
        clock.start();
        const int fd = memfd_create("vorlex-keymap", MFD_CLOEXEC);
        if (fd >= 0 && ::write(fd, keymap, sizeof keymap) == ssize_t(sizeof keymap))
            zwp_virtual_keyboard_v1_keymap(keyboard.get(), xkbV1Format, fd, sizeof keymap);
        if (fd >= 0)
            ::close(fd);
        connection.flush();
    }

    ~ProtocolKeyboard() override
    {
        keyboard.reset();
        manager.reset();
        connection.flush();
    }

    void sendCopy() override { sendWithControl(evdevC); }
    void sendPaste() override { sendWithControl(evdevV); }

private:
    void sendWithControl(quint32 key)
    {
        const auto time = quint32(clock.elapsed());
        zwp_virtual_keyboard_v1* const keys = keyboard.get();
        zwp_virtual_keyboard_v1_key(keys, time, evdevLeftCtrl, 1);
        zwp_virtual_keyboard_v1_modifiers(keys, controlMask, 0, 0, 0);
        zwp_virtual_keyboard_v1_key(keys, time, key, 1);
        zwp_virtual_keyboard_v1_key(keys, time, key, 0);
        zwp_virtual_keyboard_v1_key(keys, time, evdevLeftCtrl, 0);
        zwp_virtual_keyboard_v1_modifiers(keys, 0, 0, 0, 0);
        connection.flush();
    }

    WaylandConnection& connection;
    WaylandProxy<zwp_virtual_keyboard_manager_v1, zwp_virtual_keyboard_manager_v1_destroy> manager;
    WaylandProxy<zwp_virtual_keyboard_v1, zwp_virtual_keyboard_v1_destroy> keyboard;
    QElapsedTimer clock;
};

} // namespace

std::unique_ptr<KeySender> createVirtualKeyboard(WaylandConnection& connection)
{
    if (!connection.seat())
        return nullptr;
    auto* manager =
        static_cast<zwp_virtual_keyboard_manager_v1*>(connection.bind(zwp_virtual_keyboard_manager_v1_interface, 1));
    if (!manager)
        return nullptr;
    return std::make_unique<ProtocolKeyboard>(connection, manager);
}

} // namespace vorlex::wayland
