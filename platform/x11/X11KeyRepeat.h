#pragma once

// Raw key events carry no auto-repeat: the server repeats a held key by itself, after the press.
// This plays the same repeat from the keyboard's own repeat controls, on a timerfd, so arming it for
// a key press allocates nothing and asks the server nothing.

#include <array>
#include <functional>
#include <memory>

class QSocketNotifier;
typedef struct _XDisplay Display;

namespace vorlex::x11 {

class X11KeyRepeat {
public:
    // repeat runs on the UI thread for every repeat of the held key.
    explicit X11KeyRepeat(std::function<void(unsigned keycode)> repeat);
    ~X11KeyRepeat();
    X11KeyRepeat(const X11KeyRepeat&) = delete;
    X11KeyRepeat& operator=(const X11KeyRepeat&) = delete;

    // Reads the repeat controls (on or off, delay, interval, which keys repeat): a round trip, so
    // only at start and when the server reports that they changed.
    void refreshControls(Display* display);

    // A key that does not repeat (a modifier, say) leaves the repeating key as it is.
    void keyPressed(unsigned keycode, bool isModifierKey);
    void keyReleased(unsigned keycode);

private:
    void stop();
    void tick();

    std::function<void(unsigned)> repeat;
    int timer = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    unsigned repeatingKey = 0;
    bool enabled = true;
    int delayMs = 660;
    int intervalMs = 40;
    std::array<unsigned char, 32> keysThatRepeat;
};

} // namespace vorlex::x11
