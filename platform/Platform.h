#pragma once

// The desktop facilities the program relies on, as small interfaces. The X11 and Wayland layers
// implement them for the running program; tests use an in-memory fake of their own.
// Every method is called on the UI thread, and every callback runs on the UI thread.

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace vorlex {

// A top-level window of some application (an X window id); 0 means none.
using WindowId = quint64;

// Modifier keys as the desktop reports them. Lock keys (Caps Lock, Num Lock) are never part of the state.
enum KeyModifier : quint32 {
    ShiftModifier = 0x1,
    ControlModifier = 0x2,
    AltModifier = 0x4,
    SuperModifier = 0x8,
};

enum class MouseButton { Left, Right };

// Callbacks that wait for something to be done: each runs once, in the order added, and not at all
// once its context is gone.
class Waiters {
public:
    void add(QObject* context, std::function<void()> done) { list.emplace_back(context, std::move(done)); }
    bool empty() const { return list.empty(); }
    // Runs them, or hands each to forward (which may make it wait again elsewhere).
    void release(const std::function<void(QObject*, std::function<void()>)>& forward = {})
    {
        for (auto& [context, done] : std::exchange(list, {})) {
            if (!context)
                continue;
            if (forward)
                forward(context, std::move(done));
            else
                done();
        }
    }

private:
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> list;
};

// One mouse button press seen system-wide, with the pointer in global screen coordinates.
struct ButtonPress {
    MouseButton button = MouseButton::Left;
    QPoint globalPosition;
    bool operator==(const ButtonPress&) const = default;
};

class NonCopyable {
public:
    NonCopyable() = default;
    NonCopyable(const NonCopyable&) = delete;
    NonCopyable& operator=(const NonCopyable&) = delete;
    virtual ~NonCopyable() = default;
};

// Every delay of the program goes through here, so tests can advance a virtual clock instead of sleeping.
class Scheduler : public NonCopyable {
public:
    // Runs callback once, about milliseconds later, on the UI thread. Never runs it before returning.
    // If context is destroyed first the callback is dropped: that is how callers hold their target weakly.
    virtual void after(int milliseconds, QObject* context, std::function<void()> callback) = 0;
};

// The CLIPBOARD selection, plain text only.
class Clipboard : public NonCopyable {
public:
    // Rises whenever anyone (another application or this one) puts new content on the clipboard.
    virtual quint64 changeCount() const = 0;
    // Reads the current plain text: done gets it, or nothing when the clipboard offers no text or its
    // owner does not answer within timeoutMs. A text longer than the text limit may come cut, but still
    // too long. done runs once on the UI thread (before this returns where the text is at hand), and
    // not at all once context is gone.
    virtual void read(int timeoutMs, QObject* context, std::function<void(std::optional<QString>)> done) = 0;
    // Replaces the clipboard's content with one plain string; this process keeps serving it.
    virtual void setText(const QString& text) = 0;
    // Calls handler after each rise of changeCount() (the count has already moved when it runs),
    // until context is destroyed. This is how a capture learns that its copy landed.
    virtual void watchChanges(QObject* context, std::function<void()> handler) = 0;
    // Runs ready once what setText put here is what other applications paste: at once where they ask
    // this process for it; later where the desktop first copies it over to its own clients.
    virtual void whenServed(QObject* context, std::function<void()> ready)
    {
        Q_UNUSED(context);
        ready();
    }
};

// The highlighted text (X11's PRIMARY selection, Wayland's primary selection), read without a keystroke:
// what a capture takes where a copy key could harm the application or would not copy.
class PrimarySelection : public NonCopyable {
public:
    // done gets the text highlighted now, or nothing when none is offered as text or the owner does not
    // answer in time. It runs once on the UI thread, never before this returns, and not at all once
    // context is gone.
    virtual void read(QObject* context, std::function<void(std::optional<QString>)> done) = 0;
};

// The modifier keys the user holds, where the program can see the keyboard.
class HeldModifiers : public NonCopyable {
public:
    // The KeyModifier bits held now, or nothing where the keyboard cannot be seen (on a Wayland desktop
    // while a Wayland window has the focus).
    virtual std::optional<quint32> now() const = 0;
};

// What the application that has the keyboard focus makes of the copy and paste keystrokes.
enum class FocusedApplication {
    ordinary, // copies on Ctrl+C and pastes on Ctrl+V
    terminal, // takes neither: in a terminal Ctrl+C interrupts the program running in it and Ctrl+V types a
              // control character; Emacs and gVim, whose keys differ, count as terminals
};

// The copy and paste asked of whatever window has the keyboard focus, mostly as synthetic keystrokes.
class KeySender : public NonCopyable {
public:
    // Has the focused application copy its selection to the clipboard, with no key it acts on otherwise:
    // an ordinary application gets the platform's copy shortcut (Ctrl+C on the physical C key),
    // exactly, whatever the user still holds; a terminal no key at all: its highlighted text is read
    // instead and put on the clipboard (on X11 only where PRIMARY is that application's own), else
    // nothing happens.
    virtual void sendCopy() = 0;
    // The platform's paste shortcut (Ctrl+V on the physical V key). Only where inspectFocus tells of an
    // ordinary application.
    virtual void sendPaste() = 0;
    // Runs sent once the copy or paste asked for so far has gone out to the desktop, or was given up:
    // at once where keys go out as they are asked for; later where the desktop is asked first which
    // window has the focus, or opens a keyboard session, or a selection is being read. Not at all once
    // context is gone.
    virtual void whenSent(QObject* context, std::function<void()> sent)
    {
        Q_UNUSED(context);
        sent();
    }
    // Tells what the focused application is: at once where the desktop answers at once (X11), later
    // where it is asked (sway, within a bounded time). Ordinary where the desktop does not tell (GNOME
    // and KDE, for their Wayland windows); a terminal where a desktop that tells does not answer in
    // time, so that nothing is pasted. Not at all once context is gone.
    virtual void inspectFocus(QObject* context, std::function<void(FocusedApplication)> told)
    {
        Q_UNUSED(context);
        told(FocusedApplication::ordinary);
    }
};

// The window manager's notion of the active window.
class WindowSystem : public NonCopyable {
public:
    // The window that has the user's focus now, or 0.
    virtual WindowId activeWindow() const = 0;
    // Asks the window manager to bring window to the front and focus it. 0 is ignored.
    virtual void activate(WindowId window) = 0;
    // Asks the window manager to keep window on every virtual desktop (the popup), until it is hidden.
    // Best effort; 0 is ignored. Without virtual desktops there is nothing to do.
    virtual void showOnAllDesktops(WindowId window) { Q_UNUSED(window); }
};

// Passive, system-wide observation of button presses. Nothing is grabbed or swallowed.
class InputObserver : public NonCopyable {
public:
    using ButtonHandler = std::function<void(const ButtonPress&)>;

    // Delivers left and right button presses to handler until context is destroyed. False, and
    // handler dropped, where presses cannot be observed.
    virtual bool watchButtons(QObject* context, ButtonHandler handler) = 0;
};

// One global hotkey in the program's own terms; each platform turns it into what its desktop takes.
struct Hotkey {
    QString action;        // reported when the hotkey fires: "translate", "layout", "replace"
    QString description;   // shown where the desktop lists the program's shortcuts
    QString key;           // one of the hotkey key names (isHotkeyKey)
    quint32 modifiers = 0; // KeyModifier bits, all of them and no others
    bool operator==(const Hotkey&) const = default;
};

// The 46 key names a hotkey can fire on, each one lower-case character naming a physical key by what
// it types on a US keyboard, unshifted: a-z, 0-9 and - = [ ] \ ; ' , . /.
bool isHotkeyKey(const QString& name);
// The key name of the physical key a key event of the program's own windows came from
// (QKeyEvent::nativeScanCode: they run on X11 or XWayland), so a hotkey recorded while the Hebrew
// layout is active still names its key; nothing for a key outside the 46.
std::optional<QString> hotkeyKeyOfScanCode(quint32 nativeScanCode);

// The global hotkeys, the program's own keys: the application under them never also gets them. Keys
// grabbed system-wide (X11), or shortcuts the desktop keeps for the program (the GlobalShortcuts
// portal), which has the last word on them: it may show them to the user, who can change or refuse them.
class Hotkeys : public NonCopyable {
public:
    using Handler = std::function<void(const QString& action)>;

    // Replaces the hotkeys bound before (an empty list unbinds them all). handler gets the action of
    // each later press on the UI thread, possibly from inside the desktop's key event: it must stay
    // cheap. Where two hotkeys are the same keys, the first fires. A lock key held or on never
    // prevents a match; holding a key down fires again with each repeat where the desktop repeats it.
    // Binding the same hotkeys again asks the desktop again only for what is not in force (a key
    // another program held, a session the desktop ended), so a user's dialog is not shown twice.
    virtual void bind(const QList<Hotkey>& hotkeys, Handler handler) = 0;
    // The actions of the hotkeys bound last whose keys another program holds, so they never fire
    // (X11: an X client grabbed them first). Empty where the desktop does not tell.
    virtual QStringList taken() const { return {}; }
};

// Pictures of the screen taken by the desktop, where no program may read the screen itself (Wayland).
class ScreenPictures : public NonCopyable {
public:
    struct Picture {
        QString path;            // a PNG file the desktop wrote for this request
        bool areaPicked = false; // the user picked the area in the desktop's own dialog; else the whole screen
    };
    struct Failure {
        enum class Kind {
            cancelled,   // the user closed the desktop's dialog
            unavailable, // the desktop offers no screenshots; detail: what the bus said
            failed,      // the desktop tried and failed, or did not answer in time
        };
        Kind kind = Kind::failed;
        QString detail;
    };
    using Outcome = std::variant<Picture, Failure>;

    // With pickArea the desktop lets the user pick the area in a dialog of its own where it has one
    // (GNOME, KDE); elsewhere, and without pickArea, it takes the whole screen at once. done runs once,
    // on the UI thread, not at all once context is gone.
    virtual void take(bool pickArea, QObject* context, std::function<void(const Outcome&)> done) = 0;
};

// Everything above, as one object handed to the controllers.
class Platform : public NonCopyable {
public:
    virtual Scheduler& scheduler() = 0;
    virtual Clipboard& clipboard() = 0;
    virtual KeySender& keySender() = 0;
    virtual WindowSystem& windowSystem() = 0;
    virtual InputObserver& inputObserver() = 0;
    // Null where the desktop offers the program no hotkeys (sway: a compositor binding runs
    // `vorlex --hotkey NAME` instead).
    virtual Hotkeys* hotkeys() = 0;
    // Null where the program reads the screen itself (X11, through Qt).
    virtual ScreenPictures* screenPictures() { return nullptr; }

    // Lives exactly as long as the platform: whoever keeps a Platform* beyond its owner's reach (the
    // process-wide hotkey manager) holds a QPointer to it and lets go of the platform when it is null.
    QObject* lifetime() { return &alive; }

private:
    QObject alive;
};

// The scheduler of the running program: QTimer::singleShot with a context object.
class QtScheduler final : public Scheduler {
public:
    void after(int milliseconds, QObject* context, std::function<void()> callback) override;
};

} // namespace vorlex
