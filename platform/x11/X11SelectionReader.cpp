#include "X11SelectionReader.h"

#include "X11Resource.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <array>

namespace vorlex::x11 {

namespace {

enum AtomName { utf8Atom, propertyAtom, incrAtom, atomCount };
constexpr std::array<const char*, atomCount> atomNames{"UTF8_STRING", "VORLEX_SELECTION", "INCR"};

// One request: a window of our own that the owner writes the text to, in one piece or, for a large
// selection, in INCR chunks that we take one by one.
class PrimaryRead final : public QObject {
public:
    PrimaryRead(const QByteArray& displayName, int timeoutMs, QObject* parent,
                std::function<void(std::optional<QString>)> finished)
        : QObject(parent), display(XOpenDisplay(displayName.constData())), done(std::move(finished))
    {
        QTimer::singleShot(timeoutMs, this, [this] { finish(std::nullopt); });
        if (!display) {
            QTimer::singleShot(0, this, [this] { finish(std::nullopt); });
            return;
        }
        Display* const x = display.get();
        XInternAtoms(x, const_cast<char**>(atomNames.data()), atomCount, False, atoms.data());
        window = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 1, 1, 0, 0, 0);
        XSelectInput(x, window, PropertyChangeMask);
        XConvertSelection(x, XA_PRIMARY, atoms[utf8Atom], atoms[propertyAtom], window, CurrentTime);
        XFlush(x);
        notifier = new QSocketNotifier(ConnectionNumber(x), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] { readEvents(); });
    }

private:
    void readEvents()
    {
        while (display && XPending(display.get())) {
            XEvent event;
            XNextEvent(display.get(), &event);
            if (event.type == SelectionNotify && event.xselection.requestor == window)
                converted(event.xselection.property != None);
            else if (event.type == PropertyNotify && event.xproperty.atom == atoms[propertyAtom] &&
                     event.xproperty.state == PropertyNewValue && incremental)
                chunk();
        }
    }

    void converted(bool ok)
    {
        Atom type = None;
        const std::optional<QByteArray> bytes = ok ? take(&type) : std::nullopt;
        if (!bytes)
            return finish(std::nullopt);
        // Taking the INCR marker away tells the owner to write the first chunk.
        if (type == atoms[incrAtom])
            incremental = true;
        else
            finish(QString::fromUtf8(*bytes));
    }

    // The chunks end with an empty one.
    void chunk()
    {
        const std::optional<QByteArray> bytes = take(nullptr);
        if (!bytes)
            return finish(std::nullopt);
        if (bytes->isEmpty())
            return finish(QString::fromUtf8(text));
        text += *bytes;
    }

    // The property's bytes, which it deletes: for a chunk, that asks for the next one.
    std::optional<QByteArray> take(Atom* type)
    {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        const int status = XGetWindowProperty(display.get(), window, atoms[propertyAtom], 0, 0x7fffffff, True,
                                              AnyPropertyType, &actualType, &format, &count, &remaining, &data);
        const X11Resource<unsigned char*, XFree> held{data};
        if (status != Success || actualType == None)
            return std::nullopt;
        if (type)
            *type = actualType;
        return QByteArray(reinterpret_cast<const char*>(data), qsizetype(count) * (format / 8));
    }

    void finish(std::optional<QString> result)
    {
        if (!done)
            return;
        const auto report = std::exchange(done, nullptr);
        if (notifier)
            notifier->setEnabled(false);
        display.reset();
        deleteLater();
        report(std::move(result));
    }

    X11Resource<Display*, XCloseDisplay> display;
    std::array<Atom, atomCount> atoms{};
    Window window = None;
    QSocketNotifier* notifier = nullptr;
    bool incremental = false;
    QByteArray text;
    std::function<void(std::optional<QString>)> done;
};

} // namespace

void readPrimarySelection(const QByteArray& displayName, int timeoutMs, QObject* context,
                          std::function<void(std::optional<QString>)> done)
{
    new PrimaryRead(displayName, timeoutMs, context, std::move(done));
}

} // namespace vorlex::x11
