#include "X11KeyRepeat.h"

#include "X11Resource.h"

#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>

namespace vorlex::x11 {

namespace {

using Keyboard = X11Resource<XkbDescPtr, [](XkbDescPtr keyboard) { XkbFreeKeyboard(keyboard, 0, True); }>;

timespec duration(int milliseconds)
{
    return {milliseconds / 1000, long(milliseconds % 1000) * 1000000};
}

} // namespace

X11KeyRepeat::X11KeyRepeat(std::function<void(unsigned)> repeatKey) : repeat(std::move(repeatKey))
{
    keysThatRepeat.fill(0xff);
    timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timer < 0)
        return;
    notifier = std::make_unique<QSocketNotifier>(timer, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] { tick(); });
}

X11KeyRepeat::~X11KeyRepeat()
{
    notifier.reset();
    if (timer >= 0)
        close(timer);
}

void X11KeyRepeat::refreshControls(Display* display)
{
    constexpr unsigned controls = XkbRepeatKeysMask | XkbPerKeyRepeatMask | XkbControlsEnabledMask;
    const Keyboard keyboard{XkbAllocKeyboard()};
    if (keyboard && XkbGetControls(display, controls, keyboard.get()) == Success && keyboard->ctrls) {
        enabled = keyboard->ctrls->enabled_ctrls & XkbRepeatKeysMask;
        delayMs = std::max(1, int(keyboard->ctrls->repeat_delay));
        intervalMs = std::max(1, int(keyboard->ctrls->repeat_interval));
        std::copy(std::begin(keyboard->ctrls->per_key_repeat), std::end(keyboard->ctrls->per_key_repeat),
                  keysThatRepeat.begin());
    }
    if (!enabled && repeatingKey != 0)
        stop();
}

void X11KeyRepeat::keyPressed(unsigned keycode, bool isModifierKey)
{
    if (timer < 0 || !enabled || isModifierKey || keycode >= 256 ||
        !(keysThatRepeat[keycode / 8] & (1u << (keycode % 8))))
        return;
    repeatingKey = keycode;
    const itimerspec timing{duration(intervalMs), duration(delayMs)};
    timerfd_settime(timer, 0, &timing, nullptr);
}

void X11KeyRepeat::keyReleased(unsigned keycode)
{
    if (keycode == repeatingKey)
        stop();
}

void X11KeyRepeat::stop()
{
    repeatingKey = 0;
    const itimerspec stopped{};
    timerfd_settime(timer, 0, &stopped, nullptr);
}

void X11KeyRepeat::tick()
{
    quint64 expirations = 0;
    if (read(timer, &expirations, sizeof expirations) != sizeof expirations || repeatingKey == 0)
        return;
    repeat(repeatingKey);
}

} // namespace vorlex::x11
