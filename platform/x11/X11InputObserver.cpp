// XInput2 raw events for the master devices (raw events reach the root window whoever has the
// focus or a grab), with the modifier state kept from XKB state notifications on the same
// connection; RECORD where XInput2 is missing. Nothing is grabbed, so every key still reaches
// its application.

#include "X11InputObserver.h"

#include "X11ErrorTrap.h"
#include "X11KeyRepeat.h"
#include "X11ModifierMap.h"
#include "X11Resource.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/record.h>

#include <array>
#include <map>
#include <utility>
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

using Connection = X11Resource<Display*, XCloseDisplay>;

// A RECORD context with the connection that made it, which is the one that ends it.
struct RecordContextId {
    Display* control = nullptr;
    XRecordContext id = 0;
    explicit operator bool() const { return id != 0; }
};
using RecordContext = X11Resource<RecordContextId, [](RecordContextId context) {
    XRecordDisableContext(context.control, context.id);
    XRecordFreeContext(context.control, context.id);
    XSync(context.control, False);
}>;

// The RECORD path sees keys, not the XKB state: the modifiers are counted from the modifier keys
// down, so with both Shift keys held, releasing one leaves Shift held.
class HeldModifiers {
public:
    quint32 keyChanged(unsigned keycode, bool down, quint32 modifiersOfKey)
    {
        if (modifiersOfKey != 0 && down != keyDown[keycode]) {
            keyDown[keycode] = down;
            for (unsigned i = 0; i < count.size(); ++i)
                count[i] += (modifiersOfKey & (1u << i)) ? (down ? 1 : -1) : 0;
        }
        quint32 modifiers = 0;
        for (unsigned i = 0; i < count.size(); ++i)
            modifiers |= count[i] > 0 ? 1u << i : 0;
        return modifiers;
    }

private:
    std::array<bool, 256> keyDown{};
    std::array<int, 4> count{}; // per KeyModifier bit
};

enum class Source { none, xinput2, record };

class XServerObserver final : public X11InputObserver {
public:
    XServerObserver(const char* name, bool preferXInput2)
        : displayName(name ? QByteArray(name) : QByteArray()), tryXInput2(preferXInput2)
    {
    }

    // Closing the recording connection delivers what it still holds (XCloseDisplay syncs first), so
    // it closes while every member is still here, with no one left to tell.
    ~XServerObserver() override
    {
        keyHandler = nullptr;
        buttonHandlers.clear();
        recordNotifier.reset();
        recordContext.reset();
        recordDisplay.reset();
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
    const char* name() const { return displayName.isEmpty() ? nullptr : displayName.constData(); }

    // Opens the connection and selects the events, once; later calls report how that went.
    bool start()
    {
        if (started)
            return source != Source::none;
        started = true;
        display.reset(XOpenDisplay(name()));
        if (!display)
            return false;
        modifierMap.refresh(display.get());
        if (tryXInput2 && startXInput2())
            source = Source::xinput2;
        else if (startRecord())
            source = Source::record;
        notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(display.get()), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] { readEvents(); });
        // Setting up may already have queued events that the socket will not announce again.
        readEvents();
        return source != Source::none;
    }

    bool startXInput2()
    {
        Display* const connection = display.get();
        int event = 0;
        int error = 0;
        if (!XQueryExtension(connection, "XInputExtension", &xinputOpcode, &event, &error))
            return false;
        // 2.1 and later deliver raw events even while another client holds a grab.
        int major = 2;
        int minor = 2;
        if (XIQueryVersion(connection, &major, &minor) != Success || major < 2)
            return false;
        int xkbOpcode = 0;
        int xkbMajor = XkbMajorVersion;
        int xkbMinor = XkbMinorVersion;
        if (!XkbQueryExtension(connection, &xkbOpcode, &xkbEventBase, &error, &xkbMajor, &xkbMinor))
            return false;
        keyRepeat = std::make_unique<X11KeyRepeat>(
            [this](unsigned keycode) { keyPressed(keycode, modifierMap.modifiersOfState(xkbModifiers)); });
        XkbSelectEventDetails(connection, XkbUseCoreKbd, XkbStateNotify, XkbModifierStateMask, XkbModifierStateMask);
        XkbSelectEventDetails(connection, XkbUseCoreKbd, XkbMapNotify, XkbModifierMapMask | XkbKeySymsMask,
                              XkbModifierMapMask | XkbKeySymsMask);
        XkbSelectEvents(connection, XkbUseCoreKbd, XkbNewKeyboardNotifyMask, XkbNewKeyboardNotifyMask);
        constexpr unsigned long repeatControls = XkbRepeatKeysMask | XkbPerKeyRepeatMask | XkbControlsEnabledMask;
        XkbSelectEventDetails(connection, XkbUseCoreKbd, XkbControlsNotify, repeatControls, repeatControls);
        keyRepeat->refreshControls(connection);
        XkbStateRec state{};
        if (XkbGetState(connection, XkbUseCoreKbd, &state) == Success)
            xkbModifiers = state.mods;

        // Master devices only: selecting the slaves as well would report every press twice.
        std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
        XISetMask(bits.data(), XI_RawKeyPress);
        XISetMask(bits.data(), XI_RawKeyRelease);
        XISetMask(bits.data(), XI_RawButtonPress);
        XIEventMask mask{XIAllMasterDevices, int(bits.size()), bits.data()};
        X11ErrorTrap trap(connection);
        XISelectEvents(connection, DefaultRootWindow(connection), &mask, 1);
        return trap.passed();
    }

    bool startRecord()
    {
        int major = 0;
        int minor = 0;
        if (!XRecordQueryVersion(display.get(), &major, &minor))
            return false;
        Connection data{XOpenDisplay(name())};
        const X11Resource<XRecordRange*, XFree> range{XRecordAllocRange()};
        if (!data || !range)
            return false;
        // Releases too: on this path the modifier state is kept from the recorded modifier keys.
        range->device_events.first = xKeyPress;
        range->device_events.last = xButtonPress;
        XRecordClientSpec clients = XRecordAllClients;
        XRecordRange* ranges = range.get();
        XRecordContext id = 0;
        {
            X11ErrorTrap trap(display.get());
            id = XRecordCreateContext(display.get(), 0, &clients, 1, &ranges, 1);
            if (!trap.passed() || id == 0)
                return false;
        }
        RecordContext context{{display.get(), id}};
        if (!XRecordEnableContextAsync(data.get(), id, &XServerObserver::recorded, reinterpret_cast<XPointer>(this)))
            return false;
        recordDisplay = std::move(data);
        recordContext = std::move(context);
        recordNotifier =
            std::make_unique<QSocketNotifier>(ConnectionNumber(recordDisplay.get()), QSocketNotifier::Read);
        QObject::connect(recordNotifier.get(), &QSocketNotifier::activated, recordNotifier.get(),
                         [this] { XRecordProcessReplies(recordDisplay.get()); });
        XRecordProcessReplies(recordDisplay.get());
        return true;
    }

    void readEvents()
    {
        while (XPending(display.get()) > 0) {
            XEvent event;
            XNextEvent(display.get(), &event);
            handle(event);
        }
    }

    void handle(XEvent& event)
    {
        if (event.type == GenericEvent && event.xcookie.extension == xinputOpcode) {
            if (!XGetEventData(display.get(), &event.xcookie))
                return;
            const unsigned detail = unsigned(static_cast<const XIRawEvent*>(event.xcookie.data)->detail);
            if (event.xcookie.evtype == XI_RawKeyPress) {
                keyRepeat->keyPressed(detail, modifierMap.isModifierKey(detail));
                keyPressed(detail, modifierMap.modifiersOfState(xkbModifiers));
            } else if (event.xcookie.evtype == XI_RawKeyRelease) {
                keyRepeat->keyReleased(detail);
            } else if (event.xcookie.evtype == XI_RawButtonPress) {
                buttonPressed(detail, pointerPosition());
            }
            XFreeEventData(display.get(), &event.xcookie);
            return;
        }
        if (xkbEventBase >= 0 && event.type == xkbEventBase) {
            const auto& xkb = reinterpret_cast<const XkbEvent&>(event);
            if (xkb.any.xkb_type == XkbStateNotify)
                xkbModifiers = quint8(xkb.state.mods);
            else if (xkb.any.xkb_type == XkbMapNotify || xkb.any.xkb_type == XkbNewKeyboardNotify)
                modifierMap.refresh(display.get());
            else if (xkb.any.xkb_type == XkbControlsNotify)
                keyRepeat->refreshControls(display.get());
            return;
        }
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            modifierMap.refresh(display.get());
        }
    }

    static void recorded(XPointer closure, XRecordInterceptData* data)
    {
        auto* self = reinterpret_cast<XServerObserver*>(closure);
        if (data->category == XRecordFromServer && data->data_len * 4 >= sizeof(xEvent)) {
            const auto* event = reinterpret_cast<const xEvent*>(data->data);
            const unsigned detail = event->u.u.detail;
            switch (event->u.u.type & 0x7f) {
            case xKeyPress:
            case xKeyRelease: {
                const bool down = (event->u.u.type & 0x7f) == xKeyPress;
                const quint32 held =
                    self->heldModifiers.keyChanged(detail, down, self->modifierMap.modifiersOfKey(detail));
                if (down)
                    self->keyPressed(detail, held);
                break;
            }
            case xButtonPress:
                self->buttonPressed(detail, QPoint(event->u.keyButtonPointer.rootX, event->u.keyButtonPointer.rootY));
                break;
            default:
                break;
            }
        }
        XRecordFreeData(data);
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

    // Raw button events carry no position.
    QPoint pointerPosition() const
    {
        Window root = None;
        Window child = None;
        int rootX = 0;
        int rootY = 0;
        int windowX = 0;
        int windowY = 0;
        unsigned mask = 0;
        XQueryPointer(display.get(), DefaultRootWindow(display.get()), &root, &child, &rootX, &rootY, &windowX,
                      &windowY, &mask);
        return QPoint(rootX, rootY);
    }

    QByteArray displayName;
    bool tryXInput2;
    bool started = false;
    Source source = Source::none;
    // Members go in reverse order: the notifiers first, then the context, then its connections.
    Connection display;
    Connection recordDisplay;
    RecordContext recordContext;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<QSocketNotifier> recordNotifier;
    int xinputOpcode = -1;
    int xkbEventBase = -1;

    X11ModifierMap modifierMap;
    quint8 xkbModifiers = 0;                 // XInput2 path: the XKB modifier state
    std::unique_ptr<X11KeyRepeat> keyRepeat; // XInput2 path
    HeldModifiers heldModifiers;             // RECORD path

    KeyHandler keyHandler;
    std::map<int, ButtonHandler> buttonHandlers;
    int nextButtonId = 1;
};

} // namespace

std::unique_ptr<X11InputObserver> createInputObserver(const char* displayName, bool preferXInput2)
{
    return std::make_unique<XServerObserver>(displayName, preferXInput2);
}

} // namespace vorlex::x11
