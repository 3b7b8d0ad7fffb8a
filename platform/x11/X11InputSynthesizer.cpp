#include "X11InputSynthesizer.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>

namespace vorlex::x11 {

X11InputSynthesizer::X11InputSynthesizer() : display(XOpenDisplay(nullptr)) {}

X11InputSynthesizer::~X11InputSynthesizer()
{
    if (!display)
        return;
    releaseAll();
    XCloseDisplay(display);
}

void X11InputSynthesizer::pressKey(quint32 keycode)
{
    if (!display)
        return;
    XTestFakeKeyEvent(display, keycode, True, CurrentTime);
    XSync(display, False);
    heldKeys.push_back(keycode);
}

void X11InputSynthesizer::releaseKey(quint32 keycode)
{
    if (!display)
        return;
    XTestFakeKeyEvent(display, keycode, False, CurrentTime);
    XSync(display, False);
    const auto found = std::find(heldKeys.begin(), heldKeys.end(), keycode);
    if (found != heldKeys.end())
        heldKeys.erase(found);
}

void X11InputSynthesizer::tap(std::initializer_list<quint32> keycodes)
{
    for (quint32 keycode : keycodes)
        pressKey(keycode);
    for (auto it = std::rbegin(keycodes); it != std::rend(keycodes); ++it)
        releaseKey(*it);
}

void X11InputSynthesizer::movePointer(QPoint position)
{
    if (!display)
        return;
    XTestFakeMotionEvent(display, -1, position.x(), position.y(), CurrentTime);
    XSync(display, False);
}

void X11InputSynthesizer::pressButton(unsigned button)
{
    if (!display)
        return;
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XSync(display, False);
    heldButtons.push_back(button);
}

void X11InputSynthesizer::releaseButton(unsigned button)
{
    if (!display)
        return;
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XSync(display, False);
    const auto found = std::find(heldButtons.begin(), heldButtons.end(), button);
    if (found != heldButtons.end())
        heldButtons.erase(found);
}

void X11InputSynthesizer::click(QPoint position, unsigned button)
{
    movePointer(position);
    pressButton(button);
    releaseButton(button);
}

void X11InputSynthesizer::releaseAll()
{
    while (!heldKeys.empty())
        releaseKey(heldKeys.back());
    while (!heldButtons.empty())
        releaseButton(heldButtons.back());
}

void X11InputSynthesizer::grabKey(quint32 keycode, unsigned modifiers)
{
    if (!display)
        return;
    XGrabKey(display, int(keycode), modifiers, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
}

quint32 X11InputSynthesizer::heldModifiers() const
{
    XkbStateRec state{};
    return display && XkbGetState(display, XkbUseCoreKbd, &state) == Success ? state.base_mods : 0;
}

quint32 X11InputSynthesizer::keycodeOfKeysym(quint32 keysym) const
{
    return display ? XKeysymToKeycode(display, keysym) : 0;
}

} // namespace vorlex::x11
