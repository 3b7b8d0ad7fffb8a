#include "X11SelectionReader.h"

#include "OneShotQuery.h"
#include "TextLimit.h"
#include "X11Resource.h"

#include <QSocketNotifier>
#include <QTimer>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <array>

namespace vorlex::x11 {

namespace {

enum AtomName { clipboardAtom, utf8Atom, plainUtf8Atom, propertyAtom, incrAtom, atomCount };
constexpr std::array<const char*, atomCount> atomNames{"CLIPBOARD", "UTF8_STRING", "text/plain;charset=utf-8",
                                                       "VORLEX_SELECTION", "INCR"};

// One request: a window of our own that the owner writes the text to, in one piece or, for a large
// selection, in INCR pieces that we take one by one.
class SelectionRead final : public OneShotQuery<QString> {
public:
    SelectionRead(const QByteArray& displayName, Selection selection, int timeoutMs, QObject* parent, Done done)
        : OneShotQuery(timeoutMs, parent, std::move(done)), display(XOpenDisplay(displayName.constData()))
    {
        if (!display) {
            failSoon();
            return;
        }
        Display* const x = display.get();
        XInternAtoms(x, const_cast<char**>(atomNames.data()), atomCount, False, atoms.data());
        window = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 1, 1, 0, 0, 0);
        XSelectInput(x, window, PropertyChangeMask);
        XConvertSelection(x, selection == Selection::primary ? XA_PRIMARY : atoms[clipboardAtom], atoms[utf8Atom],
                          atoms[propertyAtom], window, CurrentTime);
        XFlush(x);
        notifier = new QSocketNotifier(ConnectionNumber(x), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] { readEvents(); });
        // Sending may have read a quick answer already, which leaves nothing on the socket to notify of.
        QTimer::singleShot(0, this, [this] { readEvents(); });
    }

private:
    // A step that finished returns false: finishing may have deleted this.
    void readEvents()
    {
        while (XPending(display.get())) {
            XEvent event;
            XNextEvent(display.get(), &event);
            const bool going = event.type == SelectionNotify && event.xselection.requestor == window
                                   ? converted(event.xselection.property != None)
                               : event.type == PropertyNotify && event.xproperty.atom == atoms[propertyAtom] &&
                                       event.xproperty.state == PropertyNewValue && incremental
                                   ? piece()
                                   : true;
            if (!going)
                return;
        }
    }

    bool converted(bool ok)
    {
        const std::optional<Atom> type = ok ? take(false) : std::nullopt;
        if (type == atoms[incrAtom]) {
            // Deleting the INCR marker asks the owner for the first piece.
            incremental = true;
            XDeleteProperty(display.get(), window, atoms[propertyAtom]);
            XFlush(display.get());
            return true;
        }
        finish(type && encoding != Encoding::none ? std::optional(decoded()) : std::nullopt);
        return false;
    }

    // Takes the next INCR piece; false once finished. The pieces end with an empty one.
    bool piece()
    {
        const qsizetype before = bytes.size();
        const std::optional<Atom> type = take(true);
        if (type && encoding != Encoding::none && bytes.size() != before && bytes.size() <= maximumTextBytes)
            return true;
        finish(type && encoding != Encoding::none ? std::optional(decoded()) : std::nullopt);
        return false;
    }

    // Appends the property's bytes, at most one past the limit, and gives its type. Deleting a piece
    // once it is read whole asks the owner for the next one.
    std::optional<Atom> take(bool deleteIt)
    {
        const qsizetype room = maximumTextBytes + 1 - bytes.size();
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        const int status = XGetWindowProperty(display.get(), window, atoms[propertyAtom], 0, (room + 3) / 4, deleteIt,
                                              AnyPropertyType, &type, &format, &count, &remaining, &data);
        const X11Resource<unsigned char*, XFree> held{data};
        if (status != Success || type == None)
            return std::nullopt;
        encoding = format != 8                                               ? Encoding::none
                   : type == atoms[utf8Atom] || type == atoms[plainUtf8Atom] ? Encoding::utf8
                   : type == XA_STRING                                       ? Encoding::latin1
                                                                             : Encoding::none;
        if (encoding != Encoding::none)
            bytes.append(reinterpret_cast<const char*>(data), std::min(qsizetype(count), room));
        return type;
    }

    QString decoded() const
    {
        return encoding == Encoding::latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
    }

    void release() override
    {
        delete std::exchange(notifier, nullptr);
        display.reset(); // with it the window, and whatever an owner still writes there
    }

    enum class Encoding { none, utf8, latin1 };

    X11Resource<Display*, XCloseDisplay> display;
    std::array<Atom, atomCount> atoms{};
    Window window = None;
    QSocketNotifier* notifier = nullptr;
    bool incremental = false;
    Encoding encoding = Encoding::none;
    QByteArray bytes;
};

} // namespace

void readSelection(const QByteArray& displayName, Selection selection, int timeoutMs, QObject* context,
                   std::function<void(std::optional<QString>)> done)
{
    new SelectionRead(displayName, selection, timeoutMs, context, std::move(done));
}

} // namespace vorlex::x11
