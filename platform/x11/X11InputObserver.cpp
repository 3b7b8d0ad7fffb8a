// Passive observation of every key and button press of the X server, on a connection of our own.
// XInput2 raw events for the master devices (raw events reach the root window whoever has the
// focus or a grab), with the modifier state kept from XKB state notifications on the same
// connection; RECORD where XInput2 is missing. Nothing is grabbed, so every key still reaches
// its application.

#include "X11Parts.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/record.h>
#include <X11/keysym.h>

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <map>
#include <vector>

// The core event types share their names with the platform's own records.
constexpr int xKeyPress = KeyPress;
constexpr int xKeyRelease = KeyRelease;
constexpr int xButtonPress = ButtonPress;
#undef KeyPress
#undef KeyRelease
#undef ButtonPress

namespace vorlex::x11 {

namespace {

enum class Source { none, xinput2, record };

class X11InputObserver final : public InputObserver {
public:
    X11InputObserver(const char* name, bool preferXInput2)
        : displayName(name ? QByteArray(name) : QByteArray()), tryXInput2(preferXInput2)
    {
        modifierBitsOfState.fill(0);
        modifierBitOfKey.fill(0);
        isModifierKey.fill(false);
        heldKeys.fill(false);
        perKeyRepeat.fill(0xff);
    }

    ~X11InputObserver() override
    {
        notifier.reset();
        recordNotifier.reset();
        repeatNotifier.reset();
        if (repeatTimer >= 0)
            close(repeatTimer);
        if (recordDisplay) {
            XRecordDisableContext(display, recordContext);
            XRecordFreeContext(display, recordContext);
            XSync(display, False);
            XCloseDisplay(recordDisplay);
        }
        if (display)
            XCloseDisplay(display);
    }

    bool watchKeys(KeyHandler handler) override
    {
        if (!start())
            return false;
        keyHandler = std::move(handler);
        return true;
    }

    int addButtonWatcher(ButtonHandler handler) override
    {
        if (!start())
            return 0;
        const int id = nextButtonId++;
        buttonHandlers.emplace(id, std::move(handler));
        return id;
    }

    void removeButtonWatcher(int id) override { buttonHandlers.erase(id); }

private:
    // Opens the connection and selects the events, once; later calls report how that went.
    bool start()
    {
        if (started)
            return source != Source::none;
        started = true;
        installErrorHandler();
        display = XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData());
        if (!display)
            return false;
        refreshModifierMap();
        if (tryXInput2 && startXInput2())
            source = Source::xinput2;
        else if (startRecord())
            source = Source::record;
        notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] { readEvents(); });
        // Setting up may already have queued events that the socket will not announce again.
        readEvents();
        return source != Source::none;
    }

    bool startXInput2()
    {
        int event = 0;
        int error = 0;
        if (!XQueryExtension(display, "XInputExtension", &xinputOpcode, &event, &error))
            return false;
        // 2.1 and later deliver raw events even while another client holds a grab.
        int major = 2;
        int minor = 2;
        if (XIQueryVersion(display, &major, &minor) != Success || major < 2)
            return false;
        int xkbOpcode = 0;
        int xkbError = 0;
        int xkbMajor = XkbMajorVersion;
        int xkbMinor = XkbMinorVersion;
        if (!XkbQueryExtension(display, &xkbOpcode, &xkbEventBase, &xkbError, &xkbMajor, &xkbMinor))
            return false;
        XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbModifierStateMask, XkbModifierStateMask);
        XkbSelectEventDetails(display, XkbUseCoreKbd, XkbMapNotify, XkbModifierMapMask | XkbKeySymsMask,
                              XkbModifierMapMask | XkbKeySymsMask);
        XkbSelectEvents(display, XkbUseCoreKbd, XkbNewKeyboardNotifyMask, XkbNewKeyboardNotifyMask);
        constexpr unsigned long repeatControls = XkbRepeatKeysMask | XkbPerKeyRepeatMask | XkbControlsEnabledMask;
        XkbSelectEventDetails(display, XkbUseCoreKbd, XkbControlsNotify, repeatControls, repeatControls);
        refreshRepeatControls();
        startRepeatTimer();
        XkbStateRec state{};
        if (XkbGetState(display, XkbUseCoreKbd, &state) == Success)
            xkbModifiers = state.mods;

        takeLastError(); // only errors of the requests below count
        // Master devices only: selecting the slaves as well would report every press twice.
        std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
        XISetMask(bits.data(), XI_RawKeyPress);
        XISetMask(bits.data(), XI_RawKeyRelease);
        XISetMask(bits.data(), XI_RawButtonPress);
        XIEventMask mask{};
        mask.deviceid = XIAllMasterDevices;
        mask.mask_len = int(bits.size());
        mask.mask = bits.data();
        XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
        XSync(display, False);
        return takeLastError() == 0;
    }

    bool startRecord()
    {
        int major = 0;
        int minor = 0;
        if (!XRecordQueryVersion(display, &major, &minor))
            return false;
        recordDisplay = XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData());
        if (!recordDisplay)
            return false;
        XRecordRange* range = XRecordAllocRange();
        if (!range) {
            XCloseDisplay(recordDisplay);
            recordDisplay = nullptr;
            return false;
        }
        // Releases too: on this path the modifier state is kept from the recorded modifier keys.
        range->device_events.first = xKeyPress;
        range->device_events.last = xButtonPress;
        XRecordClientSpec clients = XRecordAllClients;
        takeLastError();
        recordContext = XRecordCreateContext(display, 0, &clients, 1, &range, 1);
        XFree(range);
        XSync(display, False);
        if (recordContext == 0 || takeLastError() != 0 ||
            !XRecordEnableContextAsync(recordDisplay, recordContext, &X11InputObserver::recorded,
                                       reinterpret_cast<XPointer>(this))) {
            XCloseDisplay(recordDisplay);
            recordDisplay = nullptr;
            return false;
        }
        recordNotifier = std::make_unique<QSocketNotifier>(ConnectionNumber(recordDisplay), QSocketNotifier::Read);
        QObject::connect(recordNotifier.get(), &QSocketNotifier::activated, recordNotifier.get(),
                         [this] { XRecordProcessReplies(recordDisplay); });
        XRecordProcessReplies(recordDisplay);
        return true;
    }

    void readEvents()
    {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            handle(event);
        }
    }

    void handle(XEvent& event)
    {
        if (event.type == GenericEvent && event.xcookie.extension == xinputOpcode) {
            if (!XGetEventData(display, &event.xcookie))
                return;
            const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
            if (event.xcookie.evtype == XI_RawKeyPress) {
                armRepeat(unsigned(raw->detail));
                keyPressed(unsigned(raw->detail), modifierBitsOfState[xkbModifiers]);
            } else if (event.xcookie.evtype == XI_RawKeyRelease) {
                if (unsigned(raw->detail) == repeatKey)
                    disarmRepeat();
            } else if (event.xcookie.evtype == XI_RawButtonPress)
                buttonPressed(unsigned(raw->detail), pointerPosition());
            XFreeEventData(display, &event.xcookie);
            return;
        }
        if (xkbEventBase >= 0 && event.type == xkbEventBase) {
            const auto& xkb = reinterpret_cast<const XkbEvent&>(event);
            if (xkb.any.xkb_type == XkbStateNotify)
                xkbModifiers = quint8(xkb.state.mods);
            else if (xkb.any.xkb_type == XkbMapNotify || xkb.any.xkb_type == XkbNewKeyboardNotify)
                refreshModifierMap();
            else if (xkb.any.xkb_type == XkbControlsNotify)
                refreshRepeatControls();
            return;
        }
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            refreshModifierMap();
        }
    }

    static void recorded(XPointer closure, XRecordInterceptData* data)
    {
        auto* self = reinterpret_cast<X11InputObserver*>(closure);
        if (data->category == XRecordFromServer && data->data_len * 4 >= sizeof(xEvent)) {
            const auto* event = reinterpret_cast<const xEvent*>(data->data);
            const unsigned detail = event->u.u.detail;
            switch (event->u.u.type & 0x7f) {
            case xKeyPress:
                self->recordedKey(detail, true);
                break;
            case xKeyRelease:
                self->recordedKey(detail, false);
                break;
            case xButtonPress:
                self->buttonPressed(detail, QPoint(event->u.keyButtonPointer.rootX, event->u.keyButtonPointer.rootY));
                break;
            default:
                break;
            }
        }
        XRecordFreeData(data);
    }

    void recordedKey(unsigned keycode, bool down)
    {
        if (keycode >= heldKeys.size())
            return;
        if (const quint8 bit = modifierBitOfKey[keycode]) {
            if (down != heldKeys[keycode]) {
                heldKeys[keycode] = down;
                for (int i = 0; i < 4; ++i) {
                    if (bit & (1u << i))
                        heldCount[i] += down ? 1 : -1;
                }
            }
        }
        if (!down)
            return;
        quint32 modifiers = 0;
        for (int i = 0; i < 4; ++i) {
            if (heldCount[i] > 0)
                modifiers |= 1u << i;
        }
        keyPressed(keycode, modifiers);
    }

    // Raw events carry no auto-repeat: the server repeats a held key by itself, after the press.
    // The same repeat is played here from the keyboard's own repeat controls, on a timerfd so
    // that arming it per key press allocates nothing.
    void startRepeatTimer()
    {
        repeatTimer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (repeatTimer < 0)
            return;
        repeatNotifier = std::make_unique<QSocketNotifier>(repeatTimer, QSocketNotifier::Read);
        QObject::connect(repeatNotifier.get(), &QSocketNotifier::activated, repeatNotifier.get(),
                         [this] { repeatTick(); });
    }

    void armRepeat(unsigned keycode)
    {
        // A key that does not repeat (a modifier, say) leaves the repeating key as it is.
        if (repeatTimer < 0 || !repeatEnabled || keycode >= isModifierKey.size() || isModifierKey[keycode] ||
            !(perKeyRepeat[keycode / 8] & (1u << (keycode % 8))))
            return;
        repeatKey = keycode;
        itimerspec timing{};
        timing.it_value.tv_sec = repeatDelayMs / 1000;
        timing.it_value.tv_nsec = long(repeatDelayMs % 1000) * 1000000;
        timing.it_interval.tv_sec = repeatIntervalMs / 1000;
        timing.it_interval.tv_nsec = long(repeatIntervalMs % 1000) * 1000000;
        timerfd_settime(repeatTimer, 0, &timing, nullptr);
    }

    void disarmRepeat()
    {
        repeatKey = 0;
        const itimerspec stop{};
        timerfd_settime(repeatTimer, 0, &stop, nullptr);
    }

    void repeatTick()
    {
        quint64 expirations = 0;
        if (read(repeatTimer, &expirations, sizeof expirations) != sizeof expirations || repeatKey == 0)
            return;
        keyPressed(repeatKey, modifierBitsOfState[xkbModifiers]);
    }

    void refreshRepeatControls()
    {
        XkbDescPtr keyboard = XkbAllocKeyboard();
        if (!keyboard)
            return;
        if (XkbGetControls(display, XkbRepeatKeysMask | XkbPerKeyRepeatMask | XkbControlsEnabledMask, keyboard) ==
                Success &&
            keyboard->ctrls) {
            repeatEnabled = keyboard->ctrls->enabled_ctrls & XkbRepeatKeysMask;
            repeatDelayMs = std::max(1, int(keyboard->ctrls->repeat_delay));
            repeatIntervalMs = std::max(1, int(keyboard->ctrls->repeat_interval));
            std::copy(std::begin(keyboard->ctrls->per_key_repeat), std::end(keyboard->ctrls->per_key_repeat),
                      perKeyRepeat.begin());
        }
        XkbFreeKeyboard(keyboard, 0, True);
        if (!repeatEnabled && repeatKey != 0)
            disarmRepeat();
    }

    // The per-key path: no allocation, no request to the server.
    void keyPressed(unsigned keycode, quint32 modifiers)
    {
        if (keyHandler)
            keyHandler(KeyPress{keycode, modifiers});
    }

    void buttonPressed(unsigned button, QPoint nativePosition)
    {
        if (buttonHandlers.empty() || (button != Button1 && button != Button3))
            return;
        // Qt's coordinates are device-independent; X reports device pixels.
        const QScreen* screen = QGuiApplication::primaryScreen();
        const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
        const QPoint position = ratio == 1.0 ? nativePosition : (QPointF(nativePosition) / ratio).toPoint();
        const ButtonPress press{button == Button1 ? MouseButton::Left : MouseButton::Right, position};
        // A watcher may remove itself or others while it runs.
        std::vector<int> ids;
        for (const auto& entry : buttonHandlers)
            ids.push_back(entry.first);
        for (int id : ids) {
            const auto found = buttonHandlers.find(id);
            if (found == buttonHandlers.end())
                continue;
            const ButtonHandler handler = found->second;
            handler(press);
        }
    }

    QPoint pointerPosition() const
    {
        Window root = None;
        Window child = None;
        int rootX = 0;
        int rootY = 0;
        int windowX = 0;
        int windowY = 0;
        unsigned mask = 0;
        XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &windowX, &windowY, &mask);
        return QPoint(rootX, rootY);
    }

    // Which modifier bits (Mod1..Mod5) stand for Alt and for Super depends on the keymap: read it
    // through the modifier mapping, and precompute the lookups the per-key path uses.
    void refreshModifierMap()
    {
        unsigned altMask = 0;
        unsigned superMask = 0;
        std::array<quint8, 8> bitOfModifier{ShiftModifier, 0, ControlModifier, 0, 0, 0, 0, 0};
        modifierBitOfKey.fill(0);
        isModifierKey.fill(false);
        if (XModifierKeymap* map = XGetModifierMapping(display)) {
            for (int modifier = Mod1MapIndex; modifier <= Mod5MapIndex; ++modifier) {
                for (int i = 0; i < map->max_keypermod; ++i) {
                    const KeyCode key = map->modifiermap[modifier * map->max_keypermod + i];
                    if (key == 0)
                        continue;
                    int perKey = 0;
                    KeySym* syms = XGetKeyboardMapping(display, key, 1, &perKey);
                    for (int s = 0; syms && s < perKey; ++s) {
                        if (syms[s] == XK_Alt_L || syms[s] == XK_Alt_R || syms[s] == XK_Meta_L || syms[s] == XK_Meta_R)
                            altMask |= 1u << modifier;
                        else if (syms[s] == XK_Super_L || syms[s] == XK_Super_R || syms[s] == XK_Hyper_L ||
                                 syms[s] == XK_Hyper_R)
                            superMask |= 1u << modifier;
                    }
                    if (syms)
                        XFree(syms);
                }
            }
            if (altMask == 0)
                altMask = Mod1Mask;
            if (superMask == 0)
                superMask = Mod4Mask;
            for (int modifier = Mod1MapIndex; modifier <= Mod5MapIndex; ++modifier) {
                if (altMask & (1u << modifier))
                    bitOfModifier[modifier] |= AltModifier;
                if (superMask & (1u << modifier))
                    bitOfModifier[modifier] |= SuperModifier;
            }
            for (int modifier = 0; modifier < 8; ++modifier) {
                for (int i = 0; i < map->max_keypermod; ++i) {
                    const KeyCode key = map->modifiermap[modifier * map->max_keypermod + i];
                    if (key == 0)
                        continue;
                    modifierBitOfKey[key] |= bitOfModifier[modifier];
                    isModifierKey[key] = true;
                }
            }
            XFreeModifiermap(map);
        }
        for (unsigned state = 0; state < modifierBitsOfState.size(); ++state) {
            quint8 bits = 0;
            for (int modifier = 0; modifier < 8; ++modifier) {
                if (state & (1u << modifier))
                    bits |= bitOfModifier[modifier];
            }
            modifierBitsOfState[state] = bits;
        }
    }

    QByteArray displayName;
    bool tryXInput2;
    bool started = false;
    Source source = Source::none;
    Display* display = nullptr;
    Display* recordDisplay = nullptr;
    XRecordContext recordContext = 0;
    int xinputOpcode = -1;
    int xkbEventBase = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<QSocketNotifier> recordNotifier;

    // XKB modifier state (8 bits) to our modifier bits; Lock and the Num Lock modifier map to nothing.
    std::array<quint8, 256> modifierBitsOfState;
    quint8 xkbModifiers = 0;
    // RECORD path: the modifier each keycode stands for, and which of them are down.
    std::array<quint8, 256> modifierBitOfKey;
    std::array<bool, 256> heldKeys;
    std::array<bool, 256> isModifierKey;

    // XInput2 path: the auto-repeat of the last repeating key pressed.
    int repeatTimer = -1;
    std::unique_ptr<QSocketNotifier> repeatNotifier;
    unsigned repeatKey = 0;
    bool repeatEnabled = true;
    int repeatDelayMs = 660;
    int repeatIntervalMs = 40;
    std::array<unsigned char, 32> perKeyRepeat;
    std::array<int, 4> heldCount{};

    KeyHandler keyHandler;
    std::map<int, ButtonHandler> buttonHandlers;
    int nextButtonId = 1;
};

} // namespace

std::unique_ptr<InputObserver> createInputObserver(const char* displayName, bool preferXInput2)
{
    return std::make_unique<X11InputObserver>(displayName, preferXInput2);
}

} // namespace vorlex::x11
