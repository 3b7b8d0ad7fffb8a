#pragma once

// Plays the user on the X server through XTEST, on a connection of its own: key and button
// presses as if typed or clicked. For tests and measurements only: a target of its own that the
// program never links.
// Everything still held when the object goes away is released, so no key stays stuck.

#include <QPoint>
#include <QtGlobal>

#include <initializer_list>
#include <vector>

typedef struct _XDisplay Display;

namespace vorlex::x11 {

class X11InputSynthesizer {
public:
    X11InputSynthesizer();
    ~X11InputSynthesizer();
    X11InputSynthesizer(const X11InputSynthesizer&) = delete;
    X11InputSynthesizer& operator=(const X11InputSynthesizer&) = delete;

    bool isValid() const { return display != nullptr; }

    // Each call reaches the server before it returns.
    void pressKey(quint32 keycode);
    void releaseKey(quint32 keycode);
    // Presses the keys in order, then releases them in reverse order.
    void tap(std::initializer_list<quint32> keycodes);

    // In X screen pixels.
    void movePointer(QPoint position);
    void pressButton(unsigned button);
    void releaseButton(unsigned button);
    void click(QPoint position, unsigned button = 1);

    void releaseAll();

    // Holds a key as another program's hotkey does: grabbed on the root window with exactly these X
    // modifiers, until the object goes.
    void grabKey(quint32 keycode, unsigned modifiers);

    // What the server holds now, whoever pressed it: the X modifier bits of the keys down (XKB's
    // base state; Caps Lock and Num Lock on are not part of it).
    quint32 heldModifiers() const;
    // The key the server's keymap types keysym with (its lowest keycode), or 0.
    quint32 keycodeOfKeysym(quint32 keysym) const;

private:
    Display* display;
    std::vector<quint32> heldKeys;
    std::vector<unsigned> heldButtons;
};

} // namespace vorlex::x11
