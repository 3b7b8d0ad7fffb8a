// XInput2 raw button events for the master devices (raw events reach the root window whoever has
// the focus or a grab); RECORD where XInput2 is missing. Nothing is grabbed, so every press still
// reaches its application. Keys are not observed: the hotkeys are grabbed (X11Hotkeys).

#include "X11InputObserver.h"

#include "X11ErrorTrap.h"
#include "X11Resource.h"

#include "Watchers.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/record.h>

#include "X11Pointer.h" // Xlib's macros come after Qt's headers

#include <array>

// The core event type shares its name with the platform's own record.
constexpr int xButtonPress = ButtonPress;
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

enum class Source { none, xinput2, record };

class XServerObserver final : public InputObserver {
public:
    XServerObserver(const char* name, bool preferXInput2)
        : displayName(name ? QByteArray(name) : QByteArray()), tryXInput2(preferXInput2)
    {
    }

    // Closing the recording connection delivers what it still holds (XCloseDisplay syncs first), so
    // it closes while every member is still here, with no one left to tell.
    ~XServerObserver() override
    {
        buttonWatchers.clear();
        recordNotifier.reset();
        recordContext.reset();
        recordDisplay.reset();
    }

    bool watchButtons(QObject* context, ButtonHandler handler) override
    {
        if (!start())
            return false;
        buttonWatchers.add(context, std::move(handler));
        return true;
    }

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
        // Master devices only: selecting the slaves as well would report every press twice.
        std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
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
        range->device_events.first = xButtonPress;
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
            if (event.xcookie.evtype == XI_RawButtonPress)
                buttonPressed(unsigned(static_cast<const XIRawEvent*>(event.xcookie.data)->detail), pointerPosition());
            XFreeEventData(display.get(), &event.xcookie);
        }
    }

    static void recorded(XPointer closure, XRecordInterceptData* data)
    {
        auto* self = reinterpret_cast<XServerObserver*>(closure);
        if (data->category == XRecordFromServer && data->data_len * 4 >= sizeof(xEvent)) {
            const auto* event = reinterpret_cast<const xEvent*>(data->data);
            if ((event->u.u.type & 0x7f) == xButtonPress)
                self->buttonPressed(event->u.u.detail,
                                    QPoint(event->u.keyButtonPointer.rootX, event->u.keyButtonPointer.rootY));
        }
        XRecordFreeData(data);
    }

    void buttonPressed(unsigned button, QPoint nativePosition)
    {
        if ((button != Button1 && button != Button3) || buttonWatchers.empty())
            return;
        // Qt's coordinates are device-independent; X reports device pixels.
        const QScreen* screen = QGuiApplication::primaryScreen();
        const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
        const QPoint position = ratio == 1.0 ? nativePosition : (QPointF(nativePosition) / ratio).toPoint();
        buttonWatchers.notify({button == Button1 ? MouseButton::Left : MouseButton::Right, position});
    }

    // Raw button events carry no position.
    QPoint pointerPosition() const { return queryPointer(display.get()).position; }

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

    Watchers<const ButtonPress&> buttonWatchers;
};

} // namespace

std::unique_ptr<InputObserver> createInputObserver(const char* displayName, bool preferXInput2)
{
    return std::make_unique<XServerObserver>(displayName, preferXInput2);
}

} // namespace vorlex::x11
