#include "X11Hotkeys.h"

#include "X11ErrorTrap.h"
#include "X11KeyCodes.h"
#include "X11ModifierMap.h"
#include "X11Resource.h"

#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>

// The core event type shares its name with the hotkeys' own record.
constexpr int xKeyPress = KeyPress;
#undef KeyPress

namespace vorlex::x11 {

X11HotkeyTable::X11HotkeyTable(const QList<Hotkey>& hotkeys)
{
    for (const Hotkey& hotkey : hotkeys) {
        const auto keycode = keycodeOfHotkeyKey(hotkey.key);
        const KeyPress press{keycode.value_or(0), hotkey.modifiers};
        if (keycode && !match(press))
            keys.push_back({press, hotkey.action});
    }
}

const QString* X11HotkeyTable::match(const KeyPress& press) const
{
    for (const auto& [grabbed, action] : keys) {
        if (grabbed == press)
            return &action;
    }
    return nullptr;
}

namespace {

using Connection = X11Resource<Display*, XCloseDisplay>;

// One passive grab: a keycode under one exact X modifier state.
struct Grab {
    unsigned keycode = 0;
    unsigned state = 0;
    bool operator==(const Grab&) const = default;
};

class GrabbedHotkeys final : public Hotkeys {
public:
    explicit GrabbedHotkeys(QByteArray name) : displayName(std::move(name)) {}

    // Closing the connection ends every grab it holds.
    ~GrabbedHotkeys() override
    {
        notifier.reset();
        display.reset();
    }

    void bind(const QList<Hotkey>& hotkeys, Handler handler) override
    {
        triggered = std::move(handler);
        table = X11HotkeyTable(hotkeys);
        if (open())
            grabAll();
    }

    QStringList taken() const override { return takenActions; }

private:
    bool open()
    {
        if (display || table.entries().empty())
            return bool(display);
        display.reset(XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData()));
        if (!display)
            return false;
        int opcode = 0;
        int error = 0;
        int major = XkbMajorVersion;
        int minor = XkbMinorVersion;
        // Which modifier Num Lock, Alt and Super sit on is the keymap's to say, and it may change.
        if (XkbQueryExtension(display.get(), &opcode, &xkbEventBase, &error, &major, &minor)) {
            XkbSelectEventDetails(display.get(), XkbUseCoreKbd, XkbMapNotify, XkbModifierMapMask, XkbModifierMapMask);
            XkbSelectEvents(display.get(), XkbUseCoreKbd, XkbNewKeyboardNotifyMask, XkbNewKeyboardNotifyMask);
        }
        modifierMap.refresh(display.get());
        notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(display.get()), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] { readEvents(); });
        return true;
    }

    // The passive grabs of one hotkey: its exact modifiers with each combination of the lock keys.
    std::vector<Grab> grabsOf(const KeyPress& keys) const
    {
        const unsigned state = modifierMap.stateOfModifiers(keys.modifiers);
        std::vector<Grab> grabs;
        for (const unsigned locks :
             {0u, unsigned(LockMask), modifierMap.numLockState(), unsigned(LockMask) | modifierMap.numLockState()}) {
            const Grab grab{keys.keycode, state | locks};
            if (std::find(grabs.begin(), grabs.end(), grab) == grabs.end())
                grabs.push_back(grab);
        }
        return grabs;
    }

    // Holds exactly the grabs of the bound hotkeys. A grab already held is taken again in place (no
    // moment without it); a hotkey is all or nothing, so one another client holds in part never fires.
    void grabAll()
    {
        Display* const connection = display.get();
        const Window root = DefaultRootWindow(connection);
        std::vector<Grab> nowHeld;
        QStringList nowTaken;
        for (const auto& [keys, action] : table.entries()) {
            const std::vector<Grab> grabs = grabsOf(keys);
            X11ErrorTrap trap(connection);
            for (const Grab& grab : grabs)
                XGrabKey(connection, int(grab.keycode), grab.state, root, False, GrabModeAsync, GrabModeAsync);
            if (trap.passed()) {
                nowHeld.insert(nowHeld.end(), grabs.begin(), grabs.end());
                continue;
            }
            for (const Grab& grab : grabs) // only ours go: another client's grab stays its own
                XUngrabKey(connection, int(grab.keycode), grab.state, root);
            nowTaken << action;
        }
        for (const Grab& grab : held) {
            if (std::find(nowHeld.begin(), nowHeld.end(), grab) == nowHeld.end())
                XUngrabKey(connection, int(grab.keycode), grab.state, root);
        }
        XFlush(connection);
        held = std::move(nowHeld);
        if (!nowTaken.isEmpty() && nowTaken != takenActions)
            std::fprintf(stderr,
                         "vorlex: hotkeys: another program holds the keys of %s; the settings window names them\n",
                         qPrintable(nowTaken.join(QStringLiteral(", "))));
        takenActions = std::move(nowTaken);
    }

    void readEvents()
    {
        while (XPending(display.get()) > 0) {
            XEvent event;
            XNextEvent(display.get(), &event);
            if (event.type == xKeyPress) {
                pressed(event.xkey);
            } else if (event.type == MappingNotify || (xkbEventBase >= 0 && event.type == xkbEventBase)) {
                if (event.type == MappingNotify)
                    XRefreshKeyboardMapping(&event.xmapping);
                modifierMap.refresh(display.get());
                grabAll();
            }
        }
    }

    // A grab took the press away from the focused window. It ends here, so the rest of the chord and
    // the copy key the action sends reach the focused window: the action runs from the event loop
    // later (the manager queues it), when this request has long gone out. One request per hotkey
    // press, no round trip; nothing at all runs for other keys.
    void pressed(const XKeyEvent& key)
    {
        XUngrabKeyboard(display.get(), key.time);
        XFlush(display.get());
        const QString* action = table.match({key.keycode, modifierMap.modifiersOfState(key.state)});
        if (action && triggered)
            triggered(QString(*action)); // a copy: the handler may bind anew
    }

    QByteArray displayName;
    Connection display;
    std::unique_ptr<QSocketNotifier> notifier;
    int xkbEventBase = -1;
    X11ModifierMap modifierMap;
    X11HotkeyTable table;
    std::vector<Grab> held;
    QStringList takenActions;
    Handler triggered;
};

} // namespace

std::unique_ptr<Hotkeys> createX11Hotkeys(const QByteArray& displayName)
{
    return std::make_unique<GrabbedHotkeys>(displayName);
}

} // namespace vorlex::x11
